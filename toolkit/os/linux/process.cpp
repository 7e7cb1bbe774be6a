// The process on Linux.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "os.hpp"

namespace tk {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

bool OpenStandardDescriptors() noexcept {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number, which is this one: the ones below are open.
    const int opened = open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened != fd) {
      if (opened >= 0) close(opened);
      return false;
    }
  }
  return true;
}

}  // namespace tk
