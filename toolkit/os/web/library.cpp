// Library on a platform without a loader: the program's own table of the
// libraries linked into it, by file name.
#include <cstring>
#include <utility>

#include "library.hpp"

namespace tk {

Library::Library(const std::filesystem::path& file, Stay /*stay*/) {
  const std::string name = file.filename().string();
  for (const LinkedLibrary& library : LinkedLibraries()) {
    if (name == library.file_name) {
      handle_ = const_cast<LinkedLibrary*>(&library);
      return;
    }
  }
  throw Error(Fault::Missing, "not linked into the program");
}

// Nothing to unload.
Library::~Library() = default;

Library::Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  handle_ = std::exchange(other.handle_, nullptr);
  return *this;
}

void* Library::Find(const char* name) const {
  for (const LinkedExport& entry : static_cast<const LinkedLibrary*>(handle_)->exports) {
    if (std::strcmp(entry.name, name) == 0) return entry.address;
  }
  return nullptr;
}

}  // namespace tk
