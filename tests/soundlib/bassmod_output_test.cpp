// What reaches the sound output, playback under concurrent calls, and the
// library builds the program's start-up checks load.
#include "soundlib/bassmod.h"
#include "tests/soundlib/test_support.hpp"
#include "tests/soundlib/test_tune.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

using namespace soundlib_test;
using namespace std::chrono_literals;

namespace {

constexpr DWORD rate = 44100;
constexpr std::size_t bytes_per_second = rate * 2 * sizeof(std::int16_t);

// Records what the library plays through SDL's disk driver. delay_ms is the
// driver's pause per buffer: none means its own real-time pace, "0" runs the
// audio thread flat out. The output runs from Init on, so a recording starts
// with silence of varying length; checks measure from the onset of sound.
class DiskRecording {
public:
    explicit DiskRecording(const std::optional<std::string>& delay_ms, const std::string& file = {})
        : file_(file.empty() ? (dir_.path() / "out.raw").string() : file),
          driver_("SDL_AUDIODRIVER", "disk"),
          output_("SDL_DISKAUDIOFILE", file_),
          delay_("SDL_DISKAUDIODELAY", delay_ms)
    {
    }
    ~DiskRecording() { BASSMOD_Free(); }
    DiskRecording(const DiskRecording&) = delete;
    DiskRecording& operator=(const DiskRecording&) = delete;

    [[nodiscard]] double seconds_written() const
    {
        std::error_code error;
        return static_cast<double>(std::filesystem::file_size(file_, error)) / bytes_per_second;
    }

    // Waits until `seconds` of audio are on disk (or a generous deadline).
    void wait_for(double seconds) const
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (seconds_written() < seconds) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the output stalled";
            std::this_thread::sleep_for(1ms);
        }
    }

    // Closes the output and returns everything it recorded.
    [[nodiscard]] std::vector<std::int16_t> stop() const
    {
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

// Start of the first sound, in seconds.
double onset(std::span<const std::int16_t> stereo)
{
    const auto first = std::ranges::find_if(stereo, [](std::int16_t sample) { return sample != 0; });
    return static_cast<double>((first - stereo.begin()) / 2) / rate;
}

// The samples from `from` to `to` seconds, cut at the end of the recording.
std::span<const std::int16_t> window(std::span<const std::int16_t> stereo, double from, double to)
{
    const auto frame = [&](double seconds) {
        return std::min(stereo.size() / 2, static_cast<std::size_t>(std::max(0.0, seconds) * rate));
    };
    return stereo.subspan(2 * frame(from), 2 * (frame(to) - frame(from)));
}

bool play_tune(const std::vector<std::uint8_t>& tune, DWORD flags)
{
    return BASSMOD_Init(-1, rate, 0) != 0
        && BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), flags) != 0
        && BASSMOD_MusicPlay() != 0;
}

// Share of the signal that differs between left and right.
double side_share(std::span<const std::int16_t> stereo)
{
    double side = 0;
    double mid = 0;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
        const double left = stereo[i];
        const double right = stereo[i + 1];
        side += (left - right) * (left - right);
        mid += (left + right) * (left + right);
    }
    return side / (side + mid);
}

TEST(BassmodOutput, DiskDriverRecordsTheMusic)
{
    const DiskRecording recording(std::nullopt);  // the driver's real-time pace
    ASSERT_TRUE(play_tune(make_test_tune(), BASSMOD_MUSIC_LOOP | BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND));
    std::this_thread::sleep_for(1s);
    const auto recorded = recording.stop();
    const auto played = window(recorded, onset(recorded), 100.0);
    EXPECT_GT(played.size(), rate / 2);
    const auto level = loudness(played);
    EXPECT_GT(level.nonzero, played.size() / 2);
    EXPECT_GT(level.peak, 1000);
}

TEST(BassmodOutput, PlaysOnceUnlessLooped)
{
    const auto tune = make_test_tune();  // 0.48 s
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "looped" : "once");
        const DiskRecording recording("1");
        ASSERT_TRUE(play_tune(tune, loop ? BASSMOD_MUSIC_LOOP : 0));
        recording.wait_for(recording.seconds_written() + 2.0);
        EXPECT_EQ(BASSMOD_MusicIsActive(), loop ? 1U : 0U);
        const auto recorded = recording.stop();
        const double start = onset(recorded);
        EXPECT_GT(loudness(window(recorded, start, start + 0.4)).peak, 1000);
        const auto later = loudness(window(recorded, start + 1.0, start + 2.0));
        if (loop) {
            EXPECT_GT(later.peak, 1000);
        } else {
            EXPECT_EQ(later.nonzero, 0U);
        }
    }
}

TEST(BassmodOutput, PlayAfterTheEndStartsAgain)
{
    const DiskRecording recording("1");
    ASSERT_TRUE(play_tune(make_test_tune(), 0));
    recording.wait_for(recording.seconds_written() + 1.0);
    ASSERT_EQ(BASSMOD_MusicIsActive(), 0U);
    ASSERT_EQ(BASSMOD_MusicPlay(), 1);
    const double again = recording.seconds_written();
    recording.wait_for(again + 1.0);
    EXPECT_GT(loudness(window(recording.stop(), again, again + 1.0)).peak, 1000);
}

TEST(BassmodOutput, SurroundWidensTheStereo)
{
    const auto tune = make_test_tune();
    double share[2] = {};
    for (int surround = 0; surround < 2; ++surround) {
        const DiskRecording recording("1");
        ASSERT_TRUE(play_tune(tune, surround != 0 ? BASSMOD_MUSIC_SURROUND : 0));
        recording.wait_for(recording.seconds_written() + 0.6);
        const auto recorded = recording.stop();
        share[surround] = side_share(window(recorded, onset(recorded), onset(recorded) + 0.4));
    }
    EXPECT_GT(share[0], 0.0);
    EXPECT_GT(share[1], share[0] * 1.5);
}

TEST(BassmodOutput, CallsFromOtherThreadsDuringPlayback)
{
    const DiskRecording recording("0", "/dev/null");
    const auto tune = make_test_tune({.rows = 64});
    const TempDir dir;
    const auto file = dir.write("tune.s3m", tune);
    ASSERT_TRUE(play_tune(tune, BASSMOD_MUSIC_LOOP));

    std::atomic<bool> running{true};
    std::atomic<int> loads{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        while (running) {
            if (BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), BASSMOD_MUSIC_LOOP) != 0) {
                ++loads;
            }
            BASSMOD_MusicPlay();
        }
    });
    threads.emplace_back([&] {
        while (running) {
            if (BASSMOD_MusicLoad(0, file.c_str(), 0, 0, BASSMOD_MUSIC_SURROUND) != 0) {
                ++loads;
            }
            BASSMOD_MusicPlay();
            BASSMOD_MusicGetLength(1);
        }
    });
    threads.emplace_back([&] {
        while (running) {
            BASSMOD_MusicFree();
            BASSMOD_MusicIsActive();
            BASSMOD_MusicStop();
            std::this_thread::yield();
        }
    });
    std::this_thread::sleep_for(1500ms);
    running = false;
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GT(loads.load(), 10);
    ASSERT_EQ(BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), 0), 1);
    EXPECT_EQ(BASSMOD_MusicPlay(), 1);
    EXPECT_EQ(BASSMOD_Free(), 1);  // while it plays
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
}

// The other builds of the library, loaded the way the program loads it.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* path) : handle_(::dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedLibrary() { close(); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    [[nodiscard]] bool loaded() const { return handle_ != nullptr; }
    template <class Function>
    Function* find(const char* name) const
    {
        return reinterpret_cast<Function*>(::dlsym(handle_, name));
    }
    void close()
    {
        if (handle_ != nullptr) {
            ::dlclose(handle_);
            handle_ = nullptr;
        }
    }

private:
    void* handle_;
};

DWORD version_of(const char* path)
{
    const LoadedLibrary library(path);
    EXPECT_TRUE(library.loaded()) << path << ": " << ::dlerror();
    auto* get_version = library.find<DWORD()>("BASSMOD_GetVersion");
    return get_version != nullptr ? get_version() : 0;
}

TEST(BassmodBuilds, TestBuildsDifferAsTheChecksNeed)
{
    EXPECT_EQ(version_of(BASSMOD_V2_0), 2U);
    EXPECT_EQ(version_of(BASSMOD_V1_60), 1U | (60U << 16U));

    const LoadedLibrary failing(BASSMOD_INITFAIL);
    ASSERT_TRUE(failing.loaded());
    EXPECT_EQ(failing.find<BOOL(int, DWORD, DWORD)>("BASSMOD_Init")(-1, rate, 0), 0);
    EXPECT_EQ(failing.find<int()>("BASSMOD_ErrorGetCode")(), BASSMOD_ERROR_DRIVER);

    const LoadedLibrary lacking(BASSMOD_NO_INIT);
    ASSERT_TRUE(lacking.loaded());
    EXPECT_NE(lacking.find<DWORD()>("BASSMOD_GetVersion"), nullptr);
    EXPECT_EQ(lacking.find<BOOL(int, DWORD, DWORD)>("BASSMOD_Init"), nullptr);
}

bool mapped(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find(path) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(BassmodBuilds, UnloadingWhilePlayingStopsTheOutput)
{
    // A separate copy of the library (the test build of version 2.0), so it
    // really leaves the process. The audio thread runs flat out: a callback
    // into unmapped code would crash at once.
    const DiskRecording recording("0", "/dev/null");
    const auto tune = make_test_tune();
    const std::string path = std::filesystem::canonical(BASSMOD_V2_0).string();
    LoadedLibrary library(path.c_str());
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.find<BOOL(int, DWORD, DWORD)>("BASSMOD_Init")(-1, rate, 0), 1);
    ASSERT_EQ(library.find<BOOL(BOOL, const void*, DWORD, DWORD, DWORD)>("BASSMOD_MusicLoad")(
                  1, tune.data(), 0, static_cast<DWORD>(tune.size()), BASSMOD_MUSIC_LOOP),
              1);
    ASSERT_EQ(library.find<BOOL()>("BASSMOD_MusicPlay")(), 1);
    std::this_thread::sleep_for(100ms);
    library.close();
    EXPECT_FALSE(mapped(path));
    std::this_thread::sleep_for(200ms);
}

}  // namespace
