#pragma once

#include <filesystem>
#include <string>
#include <system_error>

// What the program asks of the operating system beside its window: one
// interface, one implementation per OS (os/linux, os/windows, os/web), chosen
// by the build. The libraries it loads are library.hpp's, the ending signals
// and console events signals.hpp's.
namespace tk {

// The folder of the running program, with symbolic links resolved. In a
// page, which has no program file, the current folder stands for it.
std::filesystem::path ProgramFolder();

// Makes the folder the current drive and directory.
inline void ChangeDirectory(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::current_path(folder, ec);
}

// A path as UTF-8 text, the one encoding the program's strings and the
// music library's file names have on every system.
inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// Makes the standard streams valid before the program opens anything: on
// POSIX each closed descriptor 0, 1 or 2 is opened on /dev/null, as a file
// the program opens would otherwise take that number and get whatever is
// written to stdout or stderr. false when that cannot be done (nothing can be
// reported then).
[[nodiscard]] bool OpenStandardDescriptors() noexcept;

}  // namespace tk
