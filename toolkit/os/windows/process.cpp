// The process on Windows.
#include <windows.h>

#include <string>

#include "os.hpp"

namespace tk {

std::filesystem::path ProgramFolder() {
  std::wstring file(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size()));
    if (got == 0) return std::filesystem::current_path();
    if (got < file.size()) {
      file.resize(got);
      return std::filesystem::path(file).parent_path();
    }
    file.resize(file.size() * 2);  // cut short: a longer name than MAX_PATH
  }
}

// A handle the program opens never takes a standard stream's place here.
bool OpenStandardDescriptors() noexcept { return true; }

}  // namespace tk
