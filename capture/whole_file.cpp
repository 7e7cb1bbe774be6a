#include "whole_file.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>

namespace zenora {

namespace {

// Names tried before giving up: each clash means a file of that name is
// already there, which should never happen twice.
constexpr int kTries = 16;

// Bytes from the system's randomness, without waiting for it: false when
// there is none yet. Emscripten has no getrandom; its getentropy draws on
// the browser's or Node's, which never waits.
bool RandomBytes(std::span<std::uint8_t> bytes) {
#ifdef __EMSCRIPTEN__
  return getentropy(bytes.data(), bytes.size()) == 0;
#else
  return getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) == static_cast<ssize_t>(bytes.size());
#endif
}

// Twelve hex digits that no other run picks but by a one in 2^48 chance; the
// exclusive creation makes sure even then.
std::string UniqueTag() {
  std::array<std::uint8_t, 6> bytes{};
  if (!RandomBytes(bytes)) {
    // No randomness yet, so early after boot: the process and the clock tell runs apart.
    auto mix = static_cast<std::uint64_t>(getpid()) << 24 ^
               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(mix >>= 8);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string tag;
  for (const std::uint8_t byte : bytes) {
    tag += kHex[byte >> 4];
    tag += kHex[byte & 0xF];
  }
  return tag;
}

}  // namespace

WholeFile::WholeFile(std::filesystem::path path) : path_(std::move(path)) {
  for (int i = 0; i < kTries && !fd_; ++i) {
    part_ = path_;
    part_ += "." + UniqueTag() + ".part";
    // Readable by others as any file the user makes (0666 less the umask).
    fd_.Reset(open(part_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd_ && errno != EEXIST) Fail(errno);
  }
  if (!fd_) Fail(EEXIST);
}

WholeFile::~WholeFile() {
  if (named_) return;
  fd_.Reset();
  unlink(part_.c_str());
}

void WholeFile::Write(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd_.Get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail(written < 0 ? errno : ENOSPC);
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
}

void WholeFile::Commit() {
  if (fsync(fd_.Get()) != 0) Fail(errno);
  if (close(fd_.Release()) != 0) Fail(errno);
  if (rename(part_.c_str(), path_.c_str()) != 0) Fail(errno);
  named_ = true;
}

void WholeFile::Fail(int error) const {
  throw FileError("cannot write " + path_.string() + ": " + std::strerror(error));
}

void WriteWholeFile(const std::filesystem::path& path, std::span<const std::byte> bytes) {
  WholeFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace zenora
