// Module files on Windows: the UTF-8 path as the wide one Windows names
// files by, read at an offset with ReadFile.
#include "module_file.hpp"

#include <windows.h>

#include <algorithm>
#include <string>

#include "bassmod.h"
#include "failure.hpp"

namespace bassmod {

namespace {

std::wstring wide(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (length <= 0) {
    throw Failure{BASSMOD_ERROR_FILE_OPEN};  // not UTF-8: no file has that name
  }
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, text.data(), length);
  text.pop_back();  // the NUL
  return text;
}

// NOLINTNEXTLINE(performance-no-int-to-ptr): the HANDLE, kept in the platforms' common field
HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

ModuleFile::ModuleFile(const char* path) {
  const HANDLE file =
      CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw Failure{error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ? BASSMOD_ERROR_MEMORY
                                                                                 : BASSMOD_ERROR_FILE_OPEN};
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    throw Failure{BASSMOD_ERROR_FILE_OPEN};  // devices, pipes
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

ModuleFile::~ModuleFile() { CloseHandle(as_handle(handle_)); }

void ModuleFile::read(std::span<std::byte> into, std::uint64_t at) const {
  while (!into.empty()) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32U);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1U << 30U));
    if (!ReadFile(as_handle(handle_), into.data(), want, &got, &where) || got == 0) {
      throw Failure{BASSMOD_ERROR_FILE_OPEN};  // a read error, or the file shrank under us
    }
    into = into.subspan(got);
    at += got;
  }
}

}  // namespace bassmod
