#include "sound/bassmod.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "toolkit/errors.hpp"

// The ELF header of the running program, placed there by the linker: what
// "built for this machine" means is read from it.
extern "C" const ElfW(Ehdr) __ehdr_start;  // NOLINT(bugprone-reserved-identifier): the linker's name

namespace sound {

namespace {

using GetVersionFn = std::uint32_t();
using InitFn = std::int32_t(std::int32_t, std::uint32_t, std::uint32_t);
using MusicLoadFn = std::int32_t(std::int32_t, const void*, std::uint32_t, std::uint32_t, std::uint32_t);
using MusicPlayFn = std::int32_t();
using MusicFreeFn = void();
using ErrorGetCodeFn = std::int32_t();

template <typename Fn>
Fn* As(void* entry) {
  return reinterpret_cast<Fn*>(entry);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

template <typename T>
bool ReadAt(int fd, T& into, std::uint64_t at) {
  return pread(fd, &into, sizeof into, static_cast<off_t>(at)) == static_cast<ssize_t>(sizeof into);
}

// Whether the loader can map the file without harm: a regular file holding a
// shared object of the program's class, byte order and machine whose loadable
// segments lie within the file. A segment reaching past the end would be
// mapped all the same and fault (SIGBUS) on first touch.
bool IsLoadable(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  ElfW(Ehdr) header{};
  if (!ReadAt(fd, header, 0)) return false;
  const ElfW(Ehdr)& self = __ehdr_start;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != self.e_ident[EI_CLASS] ||
      header.e_ident[EI_DATA] != self.e_ident[EI_DATA] || header.e_machine != self.e_machine ||
      header.e_type != ET_DYN || header.e_phentsize != sizeof(ElfW(Phdr))) {
    return false;
  }
  if (header.e_phoff > size || std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)) > size - header.e_phoff) return false;
  bool loads = false;
  for (std::uint64_t i = 0; i < header.e_phnum; ++i) {
    ElfW(Phdr) segment{};
    if (!ReadAt(fd, segment, header.e_phoff + i * sizeof segment)) return false;
    if (segment.p_type != PT_LOAD) continue;
    if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) return false;
    loads = true;
  }
  return loads;
}

// A missing library is "File not found"; one that is there but cannot be
// loaded is "Error in loading DLL", whatever is wrong with it.
void* OpenLibrary(const std::filesystem::path& file) {
  // O_NONBLOCK: a FIFO under the library's name must not wait for a writer.
  const FileDescriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw tk::RuntimeError::FileNotFound(Bassmod::kFileName);
    throw tk::RuntimeError::ErrorInLoadingDll();
  }
  if (!IsLoadable(fd.get())) throw tk::RuntimeError::ErrorInLoadingDll();
  // By its name, not through /proc/self/fd: the loader knows a library by the
  // name it was loaded with, and fd numbers come round again.
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw tk::RuntimeError::ErrorInLoadingDll();
  return library;
}

}  // namespace

struct Bassmod::Handle {
  void* library = nullptr;
  ~Handle() {
    if (library) dlclose(library);
  }
};

Bassmod::Bassmod(std::filesystem::path folder) : folder_(std::move(folder)) {}

Bassmod::~Bassmod() = default;

void* Bassmod::Entry(const char* name, void*& slot) {
  if (slot) return slot;
  // Only the program's own copy: a library of the same name found elsewhere
  // on the system is not ours.
  if (!handle_) {
    auto handle = std::make_unique<Handle>();
    handle->library = OpenLibrary(folder_ / kFileName);
    handle_ = std::move(handle);
  }
  slot = dlsym(handle_->library, name);
  if (!slot) throw tk::RuntimeError::EntryPointNotFound(name, kFileName);
  return slot;
}

std::uint32_t Bassmod::BASSMOD_GetVersion() { return As<GetVersionFn>(Entry("BASSMOD_GetVersion", get_version_))(); }

std::int32_t Bassmod::BASSMOD_Init(std::int32_t device, std::uint32_t freq, std::uint32_t flags) {
  return As<InitFn>(Entry("BASSMOD_Init", init_))(device, freq, flags);
}

std::int32_t Bassmod::BASSMOD_MusicLoad(std::int32_t mem, const char* file, std::uint32_t offset, std::uint32_t length,
                                        std::uint32_t flags) {
  return As<MusicLoadFn>(Entry("BASSMOD_MusicLoad", music_load_))(mem, file, offset, length, flags);
}

std::int32_t Bassmod::BASSMOD_MusicPlay() { return As<MusicPlayFn>(Entry("BASSMOD_MusicPlay", music_play_))(); }

void Bassmod::BASSMOD_MusicFree() { As<MusicFreeFn>(Entry("BASSMOD_MusicFree", music_free_))(); }

std::int32_t Bassmod::BASSMOD_ErrorGetCode() {
  return As<ErrorGetCodeFn>(Entry("BASSMOD_ErrorGetCode", error_get_code_))();
}

void* Bassmod::Export(const char* name) {
  void* entry = nullptr;
  return Entry(name, entry);
}

std::string VersionText(Bassmod& bassmod) {
  // Two calls, one per half, as the version value is read twice.
  const auto first = std::to_string(LoWord(static_cast<std::int32_t>(bassmod.BASSMOD_GetVersion())));
  const auto second = std::to_string(HiWord(static_cast<std::int32_t>(bassmod.BASSMOD_GetVersion())));
  return first + "." + second;
}

std::string_view ErrorText(std::int32_t code) {
  static constexpr std::array<std::pair<std::int32_t, std::string_view>, 15> kTexts{{
      {-1, "Some Other Mystery Error"},
      {0, "All is OK"},
      {1, "Memory Error"},
      {2, "Can't Open the File"},
      {3, "Can't Find a Free Sound Driver"},
      {5, "Invalid Handle"},
      {6, "Unsupported Format"},
      {7, "Invalid Playback Position"},
      {8, "BASS_Init Has Not Been Successfully Called"},
      {14, "Already Initialized"},
      {16, "Not Paused"},
      {19, "An Illegal Type Was Specified"},
      {20, "An Illegal Parameter Was Specified"},
      {23, "Illegal Device Number"},
      {24, "Not Playing"},
  }};
  for (const auto& [known, text] : kTexts) {
    if (known == code) return text;
  }
  return {};
}

std::string ErrorPrompt(std::string_view message, std::int32_t code) {
  std::string prompt(message);
  prompt += "\r\n\r\nError Code : ";
  prompt += std::to_string(code);
  prompt += "\r\n";
  prompt += ErrorText(code);
  return prompt;
}

}  // namespace sound
