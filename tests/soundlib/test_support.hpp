#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace soundlib_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder under the system's temporary folder, removed with its contents.
struct TempDir {
  TempDir() = default;
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() { std::filesystem::remove_all(path, ignored); }

  std::filesystem::path write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    return path / name;
  }

  std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "bassmod-test-XXXXXX").string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : throw std::runtime_error("mkdtemp failed");
  }();
  std::error_code ignored;
};

}  // namespace soundlib_test
