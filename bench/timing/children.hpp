#pragma once

#include <cstdint>
#include <filesystem>

namespace timing {

// The programs the harness measures beside the intro, each started as a
// process of its own. Each writes its Report's text to report_fd; started_ns
// is when the harness started the process.

// The floor of what the job costs: the same music through SDL audio (same
// rate, format and buffer, decoded by libopenmpt) and a changing 320 x 189
// frame copied whole into the window's surface and presented 50 times a
// second, for seconds after its first frame.
int RunFloorChild(const std::filesystem::path& folder, int seconds, int report_fd, std::int64_t started_ns);

// A minimal SDL window program: open the window as the intro does and show
// one frame.
int RunMinimalChild(int report_fd, std::int64_t started_ns);

// The intro's own way to its first frame, step by step: SDL's video, the
// images, the library with Form_Initialize, Form_Load, the window shown.
int RunStartUpChild(const std::filesystem::path& folder, int report_fd, std::int64_t started_ns);

}  // namespace timing
