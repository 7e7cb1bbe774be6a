// Module files on POSIX: a descriptor, read with pread.
#include "module_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "bassmod.h"
#include "failure.hpp"

namespace bassmod {

ModuleFile::ModuleFile(const char* path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    throw Failure{errno == ENOMEM ? BASSMOD_ERROR_MEMORY : BASSMOD_ERROR_FILE_OPEN};
  }
  handle_ = fd;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw Failure{BASSMOD_ERROR_FILE_OPEN};  // directories, devices, pipes
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

ModuleFile::~ModuleFile() { ::close(static_cast<int>(handle_)); }

void ModuleFile::read(std::span<std::byte> into, std::uint64_t at) const {
  while (!into.empty()) {
    const ssize_t got = ::pread(static_cast<int>(handle_), into.data(), into.size(), static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {  // a read error, or the file shrank under us
      throw Failure{BASSMOD_ERROR_FILE_OPEN};
    }
    into = into.subspan(static_cast<std::size_t>(got));
    at += static_cast<std::uint64_t>(got);
  }
}

}  // namespace bassmod
