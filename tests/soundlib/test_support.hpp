#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace soundlib_test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, std::span<const std::uint8_t> bytes) const;

private:
    std::filesystem::path path_;
};

// Sets an environment variable for its lifetime, then restores it.
class EnvVar {
public:
    // No value: the variable is removed for the lifetime.
    EnvVar(const char* name, const std::optional<std::string>& value);
    ~EnvVar();
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::vector<std::uint8_t> read_file(const std::filesystem::path& file);

struct Loudness {
    std::size_t nonzero = 0;
    int peak = 0;
};
Loudness loudness(std::span<const std::int16_t> samples);

}  // namespace soundlib_test
