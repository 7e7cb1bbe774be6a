// Library on Windows: a DLL, checked as a PE image, loaded with LoadLibrary.
#include "library.hpp"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tk {

namespace {

using Fault = Library::Fault;

[[noreturn]] void Fail(Fault fault, std::string reason = {}) {
  if (reason.empty()) {
    switch (fault) {
      case Fault::Missing: reason = "there is no such file"; break;
      case Fault::NotRegularFile: reason = "not a regular file"; break;
      case Fault::NotSharedObject: reason = "not a DLL"; break;
      case Fault::OtherMachine: reason = "built for another machine"; break;
      case Fault::CutShort: reason = "cut short"; break;
      case Fault::Unreadable:
      case Fault::Refused: reason = "cannot be loaded"; break;
    }
  }
  throw Library::Error(fault, reason);
}

// The system's words for an error code, in UTF-8, without the line end.
std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(text, &LocalFree);
  if (length == 0) return "error " + std::to_string(code);
  std::wstring wide(text, length);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.')) wide.pop_back();
  const std::u8string utf8 = std::filesystem::path(wide).u8string();
  return {utf8.begin(), utf8.end()};
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// How many bytes of into were read from at; the rest stays zero.
template <typename T>
std::size_t ReadAt(HANDLE file, T& into, std::uint64_t at) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(at);
  where.OffsetHigh = static_cast<DWORD>(at >> 32U);
  DWORD got = 0;
  if (!ReadFile(file, &into, sizeof into, &got, &where)) {
    const DWORD error = GetLastError();
    if (error != ERROR_HANDLE_EOF) Fail(Fault::Unreadable, SystemText(error));
  }
  return got;
}

// The PE headers of the running program: what "built for this machine" means.
const IMAGE_NT_HEADERS& OwnHeaders() {
  const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return *reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

// Throws unless the loader can map the file without harm.
void CheckLoadable(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) Fail(Fault::NotRegularFile);
  LARGE_INTEGER file_size{};
  if (!GetFileSizeEx(file, &file_size)) Fail(Fault::Unreadable, SystemText(GetLastError()));
  const auto size = static_cast<std::uint64_t>(file_size.QuadPart);

  IMAGE_DOS_HEADER dos{};
  const std::size_t got = ReadAt(file, dos, 0);
  if (got < sizeof dos.e_magic || dos.e_magic != IMAGE_DOS_SIGNATURE) Fail(Fault::NotSharedObject);
  if (got < sizeof dos) Fail(Fault::CutShort);
  const auto at = static_cast<std::uint64_t>(static_cast<std::uint32_t>(dos.e_lfanew));
  IMAGE_NT_HEADERS headers{};
  const std::size_t got_headers = ReadAt(file, headers, at);
  if (got_headers < sizeof headers.Signature) Fail(Fault::CutShort);
  if (headers.Signature != IMAGE_NT_SIGNATURE) Fail(Fault::NotSharedObject);
  if (got_headers < sizeof headers) Fail(Fault::CutShort);
  const IMAGE_NT_HEADERS& self = OwnHeaders();
  if (headers.FileHeader.Machine != self.FileHeader.Machine ||
      headers.OptionalHeader.Magic != self.OptionalHeader.Magic) {
    Fail(Fault::OtherMachine);
  }
  if ((headers.FileHeader.Characteristics & IMAGE_FILE_DLL) == 0) Fail(Fault::NotSharedObject);
  if (headers.OptionalHeader.SizeOfHeaders > size) Fail(Fault::CutShort);

  // Every section's bytes in the file.
  const std::uint64_t sections =
      at + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + headers.FileHeader.SizeOfOptionalHeader;
  for (std::uint64_t i = 0; i < headers.FileHeader.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section{};
    if (ReadAt(file, section, sections + i * sizeof section) < sizeof section) Fail(Fault::CutShort);
    if (std::uint64_t{section.PointerToRawData} + section.SizeOfRawData > size) Fail(Fault::CutShort);
  }
}

}  // namespace

Library::Library(const std::filesystem::path& file, Stay stay) {
  {
    const UniqueHandle opened(CreateFileW(file.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (opened.get() == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) Fail(Fault::Missing);
      // A folder cannot be opened as a file.
      const DWORD attributes = GetFileAttributesW(file.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        Fail(Fault::NotRegularFile);
      }
      Fail(Fault::Unreadable, SystemText(error));
    }
    CheckLoadable(opened.get());
  }
  // Its own imports are looked for beside it first; no system box for one
  // that is missing: the caller reports.
  DWORD old_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD error = GetLastError();
  SetThreadErrorMode(old_mode, nullptr);
  if (module == nullptr) Fail(Fault::Refused, SystemText(error));
  if (stay == Stay::ForLife) {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(module), &pinned);
  }
  handle_ = module;
}

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

Library::Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* Library::Find(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace tk
