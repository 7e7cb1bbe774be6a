#pragma once

#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace tk {

// A shared library loaded from its file, its exports found by name; unloaded
// when it goes, unless it stays for the life of the process.
//
// The file is checked before the loader sees it: a regular file holding a
// shared library (an ELF shared object, a Windows DLL) of this program's
// kind and machine, every part the loader maps inside the file. The loader
// maps a segment that reaches past the end of a cut-short file all the same,
// and the first touch of it faults; a file it cannot use gets a reason that
// names what is wrong, not the loader's guess. A FIFO under the name never
// blocks.
//
// One implementation per OS: the system's loader (dlopen in os/linux,
// LoadLibrary in os/windows). Where there is none (WebAssembly, os/web) the
// libraries are linked into the program, and a file name stands for the
// table of exports that the program gives for it (LinkedLibraries): a name
// the program has no table for is a missing file, and its exports are found
// by name as from a file.
class Library {
 public:
  // What is wrong with a file that cannot be loaded.
  enum class Fault {
    Missing,          // no file of that name
    Unreadable,       // there, but cannot be opened
    NotRegularFile,   // a folder, a FIFO, a device
    NotSharedObject,  // not a shared library
    OtherMachine,     // another class, byte order or machine
    CutShort,         // the file ends before what its header describes
    Refused,          // passed the checks; the loader gave its own reason
  };

  // what(): the reason in a few words, without the file's name, so that each
  // user words its own report.
  class Error : public std::runtime_error {
   public:
    Error(Fault fault, const std::string& reason) : std::runtime_error(reason), fault_(fault) {}
    Fault Kind() const { return fault_; }

   private:
    Fault fault_;
  };

  enum class Stay {
    UntilDropped,
    ForLife,  // kept mapped when dropped: for libraries whose own allocations outlive them
  };

  // Checks and loads the file; throws Library::Error.
  explicit Library(const std::filesystem::path& file, Stay stay = Stay::UntilDropped);
  ~Library();  // NOLINT(performance-trivially-destructible): where linked in; the loaders' unload
  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The export's address, or nullptr when the library has none of that name.
  void* Find(const char* name) const;

 private:
  void* handle_ = nullptr;  // the loader's handle, or the LinkedLibrary
};

// A library linked into the program where nothing loads one from a file.
struct LinkedExport {
  const char* name;
  void* address;
};
struct LinkedLibrary {
  const char* file_name;  // the name a Library is made with, without its folder
  std::span<const LinkedExport> exports;
};
// Every library linked in: given by the program on platforms without a loader.
std::span<const LinkedLibrary> LinkedLibraries();

}  // namespace tk
