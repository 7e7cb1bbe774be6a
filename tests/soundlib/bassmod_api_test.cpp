// The calls, their results and error codes, and what happens with bad input.
// Output runs on SDL's dummy driver (set by ctest) or on "no sound".
#include "soundlib/bassmod.h"
#include "tests/soundlib/test_support.hpp"
#include "tests/soundlib/test_tune.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace soundlib_test;

namespace {

constexpr DWORD rate = 44100;
constexpr DWORD program_flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;

// A call's result paired with the error code it left.
using Outcome = std::pair<long long, int>;
Outcome outcome(long long result) { return {result, BASSMOD_ErrorGetCode()}; }
const Outcome ok{1, BASSMOD_OK};
Outcome failed(int code) { return {0, code}; }

std::vector<std::uint8_t> random_bytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

class Bassmod : public ::testing::Test {
protected:
    void TearDown() override { BASSMOD_Free(); }

    Outcome load_memory(const std::vector<std::uint8_t>& bytes, DWORD flags = program_flags)
    {
        return outcome(BASSMOD_MusicLoad(1, bytes.data(), 0, static_cast<DWORD>(bytes.size()), flags));
    }
    Outcome load_file(const std::filesystem::path& file, DWORD offset = 0, DWORD length = 0)
    {
        return outcome(BASSMOD_MusicLoad(0, file.c_str(), offset, length, program_flags));
    }

    std::vector<std::uint8_t> tune = make_test_tune();
};

TEST(BassmodVersion, IsOnePointSix)
{
    const DWORD version = BASSMOD_GetVersion();
    EXPECT_EQ(version & 0xFFFFU, 1U);
    EXPECT_EQ(version >> 16U, 6U);
}

TEST_F(Bassmod, CallsBeforeInitReportNotInitialised)
{
    EXPECT_EQ(load_memory(tune), failed(BASSMOD_ERROR_INIT));
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_INIT));
    EXPECT_EQ(outcome(BASSMOD_MusicStop()), failed(BASSMOD_ERROR_INIT));
    EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(0xFFFFFFFFLL, BASSMOD_ERROR_INIT));
    EXPECT_EQ(outcome(BASSMOD_Free()), failed(BASSMOD_ERROR_INIT));
    BASSMOD_MusicFree();  // harmless with nothing loaded
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
}

TEST_F(Bassmod, InitOnceUntilFreed)
{
    EXPECT_EQ(outcome(BASSMOD_Init(-2, rate, 0)), failed(BASSMOD_ERROR_DEVICE));
    EXPECT_EQ(outcome(BASSMOD_Init(1000, rate, 0)), failed(BASSMOD_ERROR_DEVICE));
    EXPECT_EQ(outcome(BASSMOD_Init(-1, 0, 0)), failed(BASSMOD_ERROR_ILLEGAL_PARAM));
    EXPECT_EQ(outcome(BASSMOD_Init(-1, 1'000'000, 0)), failed(BASSMOD_ERROR_ILLEGAL_PARAM));
    {
        const EnvVar driver("SDL_AUDIODRIVER", "no-such-driver");
        EXPECT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), failed(BASSMOD_ERROR_DRIVER));
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0U);  // failures give back SDL's audio

    EXPECT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), ok);
    EXPECT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), failed(BASSMOD_ERROR_ALREADY));
    EXPECT_EQ(outcome(BASSMOD_Init(0, rate, 0)), failed(BASSMOD_ERROR_ALREADY));
    // Reading the code, or the version, leaves it alone.
    BASSMOD_GetVersion();
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_ERROR_ALREADY);
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_ERROR_ALREADY);

    EXPECT_EQ(outcome(BASSMOD_Free()), ok);
    EXPECT_EQ(outcome(BASSMOD_Free()), failed(BASSMOD_ERROR_INIT));
    EXPECT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
    EXPECT_EQ(outcome(BASSMOD_Free()), ok);
    EXPECT_EQ(outcome(BASSMOD_Init(1, rate, 0)), ok);  // the first listed output
    EXPECT_EQ(outcome(BASSMOD_Free()), ok);
}

TEST_F(Bassmod, LeavesTheHostsSdlRunning)
{
    // The program keeps SDL for its window; our audio reference must come and
    // go without taking theirs.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS), 0);
    ASSERT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), ok);
    ASSERT_EQ(outcome(BASSMOD_Free()), ok);
    EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0U);
    EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0U);
    SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);
}

TEST_F(Bassmod, NoSoundDeviceRunsEveryCall)
{
    const auto long_tune = make_test_tune({.rows = 64, .speed = 6, .tempo = 125});  // 7.68 s
    ASSERT_EQ(outcome(BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0)), ok);
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));

    ASSERT_EQ(load_memory(long_tune), ok);
    EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);
    EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(8, BASSMOD_OK));
    EXPECT_EQ(outcome(BASSMOD_MusicGetLength(0)), Outcome(1, BASSMOD_OK));
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);
    EXPECT_EQ(BASSMOD_MusicIsActive(), 1U);
    EXPECT_EQ(outcome(BASSMOD_MusicStop()), ok);
    EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);

    BASSMOD_MusicFree();
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
    EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
    EXPECT_EQ(outcome(BASSMOD_MusicStop()), failed(BASSMOD_ERROR_HANDLE));
    EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(0xFFFFFFFFLL, BASSMOD_ERROR_HANDLE));
    BASSMOD_MusicFree();
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
}

TEST_F(Bassmod, LoadsFromMemoryAndFromPartsOfFiles)
{
    ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
    const auto before = random_bytes(37, 1);
    const auto after = random_bytes(50, 2);
    std::vector<std::uint8_t> packed = before;
    packed.insert(packed.end(), tune.begin(), tune.end());
    const std::vector<std::uint8_t> tail_only = packed;
    packed.insert(packed.end(), after.begin(), after.end());
    const auto size = static_cast<DWORD>(tune.size());

    EXPECT_EQ(load_memory(tune), ok);
    EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, packed.data(), 37, size, program_flags)), ok);
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);

    const TempDir dir;
    EXPECT_EQ(load_file(dir.write("tune.s3m", tune)), ok);
    const auto packed_file = dir.write("packed.bin", packed);
    EXPECT_EQ(load_file(packed_file, 37, size), ok);
    EXPECT_EQ(load_file(dir.write("tail.bin", tail_only), 37, 0), ok);  // to the end
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);

    // The wrong part is not a module; the music before it is gone all the same.
    EXPECT_EQ(load_file(packed_file, 0, size), failed(BASSMOD_ERROR_FORMAT));
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
}

TEST_F(Bassmod, RefusesBadInputsWithTheirCodes)
{
    ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
    const TempDir dir;
    const auto good = dir.write("good.s3m", tune);
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path() / "folder.s3m");
    const auto junk = dir.write("junk.bin", random_bytes(4096, 3));
    const std::string text = "this is not a tracker module at all\n";
    const auto huge = dir.write("huge.s3m", random_bytes(65536, 4));
    std::filesystem::resize_file(huge, 100U << 20U);  // 100 MB, refused by its header

    struct Case {
        const char* what;
        std::filesystem::path file;
        DWORD offset;
        int code;
    };
    const Case cases[] = {
        {"missing file", dir.path() / "missing.s3m", 0, BASSMOD_ERROR_FILE_OPEN},
        {"directory", dir.path() / "folder.s3m", 0, BASSMOD_ERROR_FILE_OPEN},
        {"path through a file", good / "inner.s3m", 0, BASSMOD_ERROR_FILE_OPEN},
        {"named pipe", fifo, 0, BASSMOD_ERROR_FILE_OPEN},
        {"device", "/dev/zero", 0, BASSMOD_ERROR_FILE_OPEN},
        {"empty file", dir.write("empty.s3m", {}), 0, BASSMOD_ERROR_FORMAT},
        {"first bytes only", dir.write("cut.s3m", std::span(tune).first(10)), 0, BASSMOD_ERROR_FORMAT},
        {"random bytes", junk, 0, BASSMOD_ERROR_FORMAT},
        {"text", dir.write("text.s3m", {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}), 0,
         BASSMOD_ERROR_FORMAT},
        {"100 MB of junk", huge, 0, BASSMOD_ERROR_FORMAT},
        {"offset past the end", good, 1U << 20U, BASSMOD_ERROR_FORMAT},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.what);
        ASSERT_EQ(load_memory(tune), ok);
        EXPECT_EQ(load_file(bad.file, bad.offset), failed(bad.code));
        EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));  // old music freed
    }

    EXPECT_EQ(outcome(BASSMOD_MusicLoad(0, nullptr, 0, 0, 0)), failed(BASSMOD_ERROR_FILE_OPEN));
    EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, nullptr, 0, 100, 0)), failed(BASSMOD_ERROR_ILLEGAL_PARAM));
    EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, tune.data(), 0, 0, 0)), failed(BASSMOD_ERROR_FORMAT));
    EXPECT_EQ(load_memory(random_bytes(100'000, 5)), failed(BASSMOD_ERROR_FORMAT));
}

TEST_F(Bassmod, TruncatedModulesLoadOrAreRefused)
{
    ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
    for (std::size_t cut = 0; cut < tune.size(); cut += 3) {
        SCOPED_TRACE(cut);
        const auto result = outcome(BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(cut), 0));
        EXPECT_TRUE(result == ok || result == failed(BASSMOD_ERROR_FORMAT));
        EXPECT_EQ(BASSMOD_MusicPlay(), result.first);
    }
}

// Exits the death-test child with the code the load left.
[[noreturn]] void exit_with_load_code(const std::filesystem::path& file)
{
    BASSMOD_Init(0, rate, 0);
    BASSMOD_MusicLoad(0, file.c_str(), 0, 0, program_flags);
    std::fflush(nullptr);
    ::_exit(BASSMOD_ErrorGetCode());
}

[[noreturn]] void load_with_little_memory(const std::filesystem::path& file)
{
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto used = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    const rlimit limit{used + (512U << 20U), used + (512U << 20U)};
    ::setrlimit(RLIMIT_AS, &limit);
    exit_with_load_code(file);
}

[[noreturn]] void load_as_ordinary_user(const std::filesystem::path& file)
{
    // Root reads anything: drop to an ordinary user first.
    constexpr uid_t nobody = 65534;
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
        ::_exit(100);
    }
    exit_with_load_code(file);
}

TEST_F(Bassmod, ReportsMemoryShortage)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitisers' allocators do not report memory shortage";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A valid header in front of 3 GB: the probe passes, the read cannot fit.
    const TempDir dir;
    const auto file = dir.write("huge.s3m", tune);
    std::filesystem::resize_file(file, 3ULL << 30U);
    EXPECT_EXIT(load_with_little_memory(file),
        ::testing::ExitedWithCode(BASSMOD_ERROR_MEMORY), "");
}

TEST_F(Bassmod, UnreadableFileCannotBeOpened)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    const auto file = dir.write("locked.s3m", tune);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    EXPECT_EXIT(load_as_ordinary_user(file),
        ::testing::ExitedWithCode(BASSMOD_ERROR_FILE_OPEN), "");
}

}  // namespace
