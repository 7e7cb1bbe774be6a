#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "surface.hpp"
#include "zenora.hpp"

namespace zenora {

// The state as the capture records it: one JSON object, a field to a line.
std::string StateJson(const FormState& state);

// One instant of the intro as two files in folder, frame-MS.png and
// state-MS.json, each whole or not there; throws CaptureError.
void SaveFrame(const std::filesystem::path& folder, std::int64_t ms, const tk::Surface& frame, const FormState& state);

}  // namespace zenora
