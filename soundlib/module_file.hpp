#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bassmod {

// A module file open for reading, one implementation per platform
// (module_file_posix.cpp, module_file_windows.cpp). Only a regular file
// opens: a folder, device or pipe is refused, and a FIFO under the name is
// never waited on. Throws Failure with BASSMOD_ERROR_FILE_OPEN or _MEMORY.
class ModuleFile {
 public:
  // path: NUL-terminated, in UTF-8.
  explicit ModuleFile(const char* path);
  ~ModuleFile();
  ModuleFile(const ModuleFile&) = delete;
  ModuleFile& operator=(const ModuleFile&) = delete;

  std::uint64_t size() const { return size_; }
  // Fills into from the file at `at`; a file that ends first (it shrank
  // under us) or cannot be read is BASSMOD_ERROR_FILE_OPEN.
  void read(std::span<std::byte> into, std::uint64_t at) const;

 private:
  std::intptr_t handle_ = -1;  // the platform's: a descriptor, or a HANDLE
  std::uint64_t size_ = 0;
};

}  // namespace bassmod
