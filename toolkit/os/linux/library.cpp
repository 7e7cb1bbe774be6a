// Library on Linux: an ELF shared object, checked, loaded with dlopen.
#include "library.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "unique_fd.hpp"

// The ELF header of the running program, placed there by the linker: what
// "built for this machine" means is read from it.
extern "C" const ElfW(Ehdr) __ehdr_start;  // NOLINT(bugprone-reserved-identifier): the linker's name

namespace tk {

namespace {

using Fault = Library::Fault;

[[noreturn]] void Fail(Fault fault, std::string reason = {}) {
  if (reason.empty()) {
    switch (fault) {
      case Fault::Missing: reason = "there is no such file"; break;
      case Fault::NotRegularFile: reason = "not a regular file"; break;
      case Fault::NotSharedObject: reason = "not an ELF shared object"; break;
      case Fault::OtherMachine: reason = "built for another machine"; break;
      case Fault::CutShort: reason = "cut short"; break;
      case Fault::Unreadable:
      case Fault::Refused: reason = "cannot be loaded"; break;
    }
  }
  throw Library::Error(fault, reason);
}

// How many bytes of into were read from at; the rest stays zero.
template <typename T>
std::size_t ReadAt(int fd, T& into, std::uint64_t at) {
  const ssize_t got = pread(fd, &into, sizeof into, static_cast<off_t>(at));
  if (got < 0) Fail(Fault::Unreadable, std::strerror(errno));
  return static_cast<std::size_t>(got);
}

// Throws unless the loader can map the file without harm.
void CheckLoadable(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) Fail(Fault::Unreadable, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) Fail(Fault::NotRegularFile);
  const auto size = static_cast<std::uint64_t>(info.st_size);

  ElfW(Ehdr) header{};
  const std::size_t got = ReadAt(fd, header, 0);
  if (got < SELFMAG || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) Fail(Fault::NotSharedObject);
  if (got < sizeof header) Fail(Fault::CutShort);
  const ElfW(Ehdr)& self = __ehdr_start;
  if (header.e_ident[EI_CLASS] != self.e_ident[EI_CLASS] || header.e_ident[EI_DATA] != self.e_ident[EI_DATA] ||
      header.e_machine != self.e_machine) {
    Fail(Fault::OtherMachine);
  }
  if (header.e_type != ET_DYN || header.e_phentsize != sizeof(ElfW(Phdr))) Fail(Fault::NotSharedObject);

  if (header.e_phoff > size || std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)) > size - header.e_phoff) {
    Fail(Fault::CutShort);
  }
  bool loads = false;
  for (std::uint64_t i = 0; i < header.e_phnum; ++i) {
    ElfW(Phdr) segment{};
    if (ReadAt(fd, segment, header.e_phoff + i * sizeof segment) < sizeof segment) Fail(Fault::CutShort);
    if (segment.p_type != PT_LOAD) continue;
    if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) Fail(Fault::CutShort);
    loads = true;
  }
  if (!loads) Fail(Fault::NotSharedObject);
}

}  // namespace

Library::Library(const std::filesystem::path& file, Stay stay) {
  {
    // O_NONBLOCK: a FIFO under the name must not wait for a writer.
    const UniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
      if (errno == ENOENT || errno == ENOTDIR) Fail(Fault::Missing);
      Fail(Fault::Unreadable, std::strerror(errno));
    }
    CheckLoadable(fd.Get());
  }
  // By its name, not through /proc/self/fd: the loader knows a library by the
  // name it was loaded with, and fd numbers come round again.
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | (stay == Stay::ForLife ? RTLD_NODELETE : 0));
  if (handle_ == nullptr) {
    const char* error = dlerror();
    std::string_view reason = error != nullptr ? error : "";
    // The loader starts with the file's name, which the user of the message gives already.
    if (const std::string name = file.string() + ": "; reason.starts_with(name)) reason.remove_prefix(name.size());
    Fail(Fault::Refused, std::string(reason));
  }
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

Library::Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* Library::Find(const char* name) const { return dlsym(handle_, name); }

}  // namespace tk
