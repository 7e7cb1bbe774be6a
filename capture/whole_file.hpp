#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

#include "capture_error.hpp"
#include "unique_fd.hpp"

namespace zenora {

class FileError : public CaptureError {
 public:
  using CaptureError::CaptureError;
};

// A file that shows under its name only when whole. It is written under a
// name of its own beside the final one, NAME.<12 hex digits>.part, created
// new: never a file or link that was there, never one another run writes.
// Commit flushes it to the disk and renames it over whatever has the final
// name (a link there is replaced, not followed); dropped before that, it is
// removed. Failures throw FileError with the final name and the reason.
class WholeFile {
 public:
  explicit WholeFile(std::filesystem::path path);
  ~WholeFile();
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // For a writer that places its bytes itself (seeks, reads back): the file,
  // open for reading and writing, until Commit.
  int Fd() const { return fd_.Get(); }

  void Write(std::span<const std::byte> bytes);
  void Commit();
  // Throws FileError for the error number.
  [[noreturn]] void Fail(int error) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path part_;
  tk::UniqueFd fd_;
  bool named_ = false;
};

// bytes, whole, as the file at path.
void WriteWholeFile(const std::filesystem::path& path, std::span<const std::byte> bytes);

}  // namespace zenora
