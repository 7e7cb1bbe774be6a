#include "toolkit/process.hpp"

#include "toolkit/backend.hpp"
#include "toolkit/errors.hpp"

namespace tk {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

void ChangeDirectory(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::current_path(folder, ec);
}

int RunGuarded(Backend& backend, std::string_view program_name, const std::function<int()>& body) {
  try {
    return body();
  } catch (const ProgramEnd& end) {
    return end.status;
  } catch (const RuntimeError& error) {
    backend.MessageBox(program_name, RuntimeErrorPrompt(error), kCritical);
    return 1;
  }
}

}  // namespace tk
