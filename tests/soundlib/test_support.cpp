#include "tests/soundlib/test_support.hpp"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace soundlib_test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "bassmod-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::string& name, std::span<const std::uint8_t> bytes) const
{
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

EnvVar::EnvVar(const char* name, const std::optional<std::string>& value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        old_ = old;
    }
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

EnvVar::~EnvVar()
{
    if (old_) {
        ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Loudness loudness(std::span<const std::int16_t> samples)
{
    Loudness result;
    for (const std::int16_t sample : samples) {
        const int level = sample < 0 ? -int{sample} : int{sample};
        result.nonzero += level != 0 ? 1U : 0U;
        result.peak = level > result.peak ? level : result.peak;
    }
    return result;
}

}  // namespace soundlib_test
