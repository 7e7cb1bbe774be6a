#pragma once

#include <stdlib.h>

#include "soundlib/bassmod.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace soundlib_test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bassmod-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  std::filesystem::path write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    std::ofstream(path_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable (or removes it, given no value) for its lifetime, then restores it.
class EnvVar {
 public:
  EnvVar(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    set(value);
  }
  ~EnvVar() { set(old_); }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  void set(const std::optional<std::string>& value) const {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> old_;
};

inline std::vector<std::uint8_t> read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Loudness {
  std::size_t nonzero = 0;
  int peak = 0;
};

inline Loudness loudness(std::span<const std::int16_t> samples) {
  Loudness result;
  for (const std::int16_t sample : samples) {
    const int level = sample < 0 ? -int{sample} : int{sample};
    result.nonzero += level != 0 ? 1U : 0U;
    result.peak = std::max(result.peak, level);
  }
  return result;
}

// Records what the library plays through SDL's disk driver, with no pause
// between buffers ("0") or 1 ms per buffer ("1"); made before BASSMOD_Init.
// The output runs from Init on, so a recording starts with silence of
// varying length.
class DiskRecording {
 public:
  explicit DiskRecording(const char* delay_ms, const std::string& file = {})
      : file_(file.empty() ? (dir_.path() / "out.raw").string() : file),
        driver_("SDL_AUDIODRIVER", "disk"),
        output_("SDL_DISKAUDIOFILE", file_),
        delay_("SDL_DISKAUDIODELAY", delay_ms) {}
  ~DiskRecording() { BASSMOD_Free(); }

  // Seconds of 16-bit stereo at 44100 Hz on disk.
  [[nodiscard]] double seconds_written() const {
    std::error_code error;
    return static_cast<double>(std::filesystem::file_size(file_, error)) / (44100 * 4);
  }

  // Waits until `more` seconds of audio have been added; false if the output stalls.
  [[nodiscard]] bool wait_for(double more, std::chrono::seconds limit = std::chrono::seconds(20)) const {
    const double until = seconds_written() + more;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (seconds_written() < until) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  // Closes the output and returns everything it recorded.
  [[nodiscard]] std::vector<std::int16_t> stop() const {
    BASSMOD_Free();
    const auto bytes = read_file(file_);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }

 private:
  TempDir dir_;
  std::string file_;
  EnvVar driver_;
  EnvVar output_;
  EnvVar delay_;
};

}  // namespace soundlib_test
