// libbassmod through its C interface: the calls, their results and error
// codes, bad input, what reaches the sound output, playback under concurrent
// calls, and the builds the program's start-up checks load. Output runs on
// SDL's dummy driver (set by ctest), its disk driver, or on "no sound".
#include "soundlib/bassmod.h"
#include "tests/soundlib/test_support.hpp"
#include "tests/soundlib/test_tune.hpp"

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace soundlib_test;
using namespace std::chrono_literals;

namespace {

constexpr DWORD rate = 44100;
constexpr DWORD program_flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;

// A call's result paired with the error code it left.
using Outcome = std::pair<long long, int>;
Outcome outcome(long long result) { return {result, BASSMOD_ErrorGetCode()}; }
const Outcome ok{1, BASSMOD_OK};
Outcome failed(int code) { return {0, code}; }
constexpr long long no_length = 0xFFFFFFFF;

std::vector<std::uint8_t> random_bytes(std::size_t count, unsigned seed) {
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

  Outcome load_memory(const std::vector<std::uint8_t>& bytes) {
    return outcome(BASSMOD_MusicLoad(1, bytes.data(), 0, static_cast<DWORD>(bytes.size()), program_flags));
  }
  Outcome load_file(const std::filesystem::path& file, DWORD offset = 0, DWORD length = 0) {
    return outcome(BASSMOD_MusicLoad(0, file.c_str(), offset, length, program_flags));
  }

  std::vector<std::uint8_t> tune = make_test_tune();
};

TEST_F(Bassmod, InitFreeAndTheCodesOfCallsOutOfTurn) {
  EXPECT_EQ(load_memory(tune), failed(BASSMOD_ERROR_INIT));
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_INIT));
  EXPECT_EQ(outcome(BASSMOD_MusicStop()), failed(BASSMOD_ERROR_INIT));
  EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(no_length, BASSMOD_ERROR_INIT));
  EXPECT_EQ(outcome(BASSMOD_Free()), failed(BASSMOD_ERROR_INIT));
  BASSMOD_MusicFree();  // harmless with nothing loaded
  EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);

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
  EXPECT_EQ(outcome(BASSMOD_Init(0, rate, 0)), failed(BASSMOD_ERROR_ALREADY));
  BASSMOD_GetVersion();  // reading the version, or the code, leaves the code alone
  EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_ERROR_ALREADY);
  EXPECT_EQ(outcome(BASSMOD_Free()), ok);
  EXPECT_EQ(outcome(BASSMOD_Free()), failed(BASSMOD_ERROR_INIT));
  EXPECT_EQ(outcome(BASSMOD_Init(1, rate, 0)), ok);  // the first listed output
  EXPECT_EQ(outcome(BASSMOD_Free()), ok);

  // The program keeps SDL for its window: our audio reference goes without taking theirs.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS), 0);
  ASSERT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), ok);
  ASSERT_EQ(outcome(BASSMOD_Free()), ok);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO | SDL_INIT_EVENTS), SDL_INIT_AUDIO | SDL_INIT_EVENTS);
  SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);
}

TEST_F(Bassmod, NoSoundDeviceRunsEveryCall) {
  ASSERT_EQ(outcome(BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0)), ok);
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
  ASSERT_EQ(load_memory(make_test_tune({.rows = 64, .speed = 6, .tempo = 125})), ok);  // 7.68 s
  EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(8, BASSMOD_OK));
  EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);  // loaded stopped
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);
  EXPECT_EQ(BASSMOD_MusicIsActive(), 1U);
  EXPECT_EQ(outcome(BASSMOD_MusicStop()), ok);
  EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);
  BASSMOD_MusicFree();
  EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
  EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(no_length, BASSMOD_ERROR_HANDLE));
}

TEST_F(Bassmod, LoadsFromMemoryAndFromPartsOfFiles) {
  ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
  std::vector<std::uint8_t> packed = random_bytes(37, 1);
  packed.insert(packed.end(), tune.begin(), tune.end());
  const TempDir dir;
  const auto tail = dir.write("tail.bin", packed);
  const auto after = random_bytes(50, 2);
  packed.insert(packed.end(), after.begin(), after.end());
  const auto packed_file = dir.write("packed.bin", packed);
  const auto size = static_cast<DWORD>(tune.size());

  EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, packed.data(), 37, size, program_flags)), ok);
  EXPECT_EQ(load_file(dir.write("tune.s3m", tune)), ok);
  EXPECT_EQ(load_file(packed_file, 37, size), ok);
  EXPECT_EQ(load_file(tail, 37, 0), ok);            // to the end
  EXPECT_EQ(load_file(tail, 37, size + 1000), ok);  // cut at the end
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);
  // The wrong part is not a module; the music before it is gone all the same.
  EXPECT_EQ(load_file(packed_file, 0, size), failed(BASSMOD_ERROR_FORMAT));
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
}

TEST_F(Bassmod, RefusesBadInputsWithTheirCodesAndFreesTheOldMusic) {
  ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
  const TempDir dir;
  const auto good = dir.write("good.s3m", tune);
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.path() / "folder.s3m");
  const auto huge = dir.write("huge.s3m", random_bytes(65536, 4));
  std::filesystem::resize_file(huge, 100U << 20U);  // 100 MB, refused by its header

  const struct {
    std::filesystem::path file;
    DWORD offset;
    int code;
  } cases[] = {
      {dir.path() / "missing.s3m", 0, BASSMOD_ERROR_FILE_OPEN},
      {dir.path() / "folder.s3m", 0, BASSMOD_ERROR_FILE_OPEN},
      {dir.path() / "fifo", 0, BASSMOD_ERROR_FILE_OPEN},
      {"/dev/zero", 0, BASSMOD_ERROR_FILE_OPEN},
      {dir.write("empty.s3m", {}), 0, BASSMOD_ERROR_FORMAT},
      {dir.write("junk.bin", random_bytes(4096, 3)), 0, BASSMOD_ERROR_FORMAT},
      {huge, 0, BASSMOD_ERROR_FORMAT},
      {good, 1U << 20U, BASSMOD_ERROR_FORMAT},  // offset past the end
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.file);
    ASSERT_EQ(load_memory(tune), ok);
    EXPECT_EQ(load_file(bad.file, bad.offset), failed(bad.code));
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), failed(BASSMOD_ERROR_HANDLE));
  }
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(0, nullptr, 0, 0, 0)), failed(BASSMOD_ERROR_FILE_OPEN));
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, nullptr, 0, 100, 0)), failed(BASSMOD_ERROR_ILLEGAL_PARAM));
  EXPECT_EQ(load_memory(random_bytes(100'000, 5)), failed(BASSMOD_ERROR_FORMAT));
  // Cut anywhere, the tune loads or is refused as a format, and plays just when it loaded.
  for (DWORD cut = 0; cut < tune.size(); cut += 3) {
    const auto result = outcome(BASSMOD_MusicLoad(1, tune.data(), 0, cut, 0));
    EXPECT_TRUE(result == ok || result == failed(BASSMOD_ERROR_FORMAT)) << cut;
    EXPECT_EQ(BASSMOD_MusicPlay(), result.first) << cut;
  }
}

// In a death-test child: prepares, loads the file and exits with the code the load left.
[[noreturn]] void exit_with_load_code(const std::filesystem::path& file, const std::function<void()>& prepare) {
  prepare();
  BASSMOD_Init(0, rate, 0);
  BASSMOD_MusicLoad(0, file.c_str(), 0, 0, program_flags);
  std::fflush(nullptr);
  ::_exit(BASSMOD_ErrorGetCode());
}

TEST_F(Bassmod, ReportsMemoryShortageAndUnreadableFiles) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const TempDir dir;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their allocators do not report shortage
  // A valid header in front of 3 GB: the probe passes, the read cannot fit in 512 MB more.
  const auto huge = dir.write("huge.s3m", tune);
  std::filesystem::resize_file(huge, 3ULL << 30U);
  const auto little_memory = [] {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (512U << 20U);
    const rlimit both{limit, limit};
    ::setrlimit(RLIMIT_AS, &both);
  };
  EXPECT_EXIT(exit_with_load_code(huge, little_memory), ::testing::ExitedWithCode(BASSMOD_ERROR_MEMORY), "");
#endif
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
  const auto locked = dir.write("locked.s3m", tune);
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  const auto ordinary_user = [] {  // root reads anything
    constexpr uid_t nobody = 65534;
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
      ::_exit(100);
    }
  };
  EXPECT_EXIT(exit_with_load_code(locked, ordinary_user), ::testing::ExitedWithCode(BASSMOD_ERROR_FILE_OPEN), "");
}

// Start of the first sound, in seconds.
double onset(std::span<const std::int16_t> stereo) {
  const auto first = std::ranges::find_if(stereo, [](std::int16_t sample) { return sample != 0; });
  return static_cast<double>((first - stereo.begin()) / 2) / rate;
}

// The samples from `from` to `to` seconds, cut at the end of the recording.
std::span<const std::int16_t> window(std::span<const std::int16_t> stereo, double from, double to) {
  const auto frame = [&](double seconds) {
    return std::min(stereo.size() / 2, static_cast<std::size_t>(std::max(0.0, seconds) * rate));
  };
  return stereo.subspan(2 * frame(from), 2 * (frame(to) - frame(from)));
}

bool play_tune(const std::vector<std::uint8_t>& tune, DWORD flags) {
  return BASSMOD_Init(-1, rate, 0) != 0 &&
         BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), flags) != 0 && BASSMOD_MusicPlay() != 0;
}

TEST(BassmodOutput, PlaysOnceUnlessLoopedAndPlayAfterTheEndStartsAgain) {
  const auto tune = make_test_tune();  // 0.48 s
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop ? "looped" : "once");
    const DiskRecording recording("1");
    ASSERT_TRUE(play_tune(tune, loop ? BASSMOD_MUSIC_LOOP : 0));
    ASSERT_TRUE(recording.wait_for(2.0));
    EXPECT_EQ(BASSMOD_MusicIsActive(), loop ? 1U : 0U);
    const double again = loop ? 0.0 : recording.seconds_written();
    if (!loop) {
      ASSERT_EQ(BASSMOD_MusicPlay(), 1);
      ASSERT_TRUE(recording.wait_for(1.0));
    }
    const auto recorded = recording.stop();
    const double start = onset(recorded);
    EXPECT_GT(loudness(window(recorded, start, start + 0.4)).peak, 1000);
    const auto later = loudness(window(recorded, start + 1.0, start + 1.9));  // before any replay
    if (loop) {
      EXPECT_GT(later.peak, 1000);
    } else {
      EXPECT_EQ(later.nonzero, 0U);
      EXPECT_GT(loudness(window(recorded, again, again + 1.0)).peak, 1000);
    }
  }
}

TEST(BassmodOutput, SurroundWidensTheStereo) {
  // Share of the signal that differs between left and right.
  const auto side_share = [](std::span<const std::int16_t> stereo) {
    double side = 0;
    double mid = 0;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
      const double left = stereo[i];
      const double right = stereo[i + 1];
      side += (left - right) * (left - right);
      mid += (left + right) * (left + right);
    }
    return side / (side + mid);
  };
  double share[2] = {};
  for (int surround = 0; surround < 2; ++surround) {
    const DiskRecording recording("1");
    ASSERT_TRUE(play_tune(make_test_tune(), surround != 0 ? BASSMOD_MUSIC_SURROUND : 0));
    ASSERT_TRUE(recording.wait_for(0.6));
    const auto recorded = recording.stop();
    share[surround] = side_share(window(recorded, onset(recorded), onset(recorded) + 0.4));
  }
  EXPECT_GT(share[0], 0.0);
  EXPECT_GT(share[1], share[0] * 1.5);
}

TEST(BassmodOutput, LoadsPlaysAndFreesFromOtherThreadsDuringPlayback) {
  const DiskRecording recording("0", "/dev/null");  // the audio thread renders flat out
  const auto tune = make_test_tune({.rows = 64});
  const TempDir dir;
  const auto file = dir.write("tune.s3m", tune);
  ASSERT_TRUE(play_tune(tune, BASSMOD_MUSIC_LOOP));

  std::atomic<bool> running{true};
  std::atomic<int> loads{0};
  std::thread loader([&] {
    for (bool from_file = false; running; from_file = !from_file) {
      loads += from_file ? BASSMOD_MusicLoad(0, file.c_str(), 0, 0, BASSMOD_MUSIC_SURROUND)
                         : BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), BASSMOD_MUSIC_LOOP);
      BASSMOD_MusicPlay();
      BASSMOD_MusicGetLength(1);
    }
  });
  std::thread freer([&] {
    while (running) {
      BASSMOD_MusicFree();
      BASSMOD_MusicIsActive();
      BASSMOD_MusicStop();
      std::this_thread::yield();
    }
  });
  std::this_thread::sleep_for(1500ms);
  running = false;
  loader.join();
  freer.join();
  EXPECT_GT(loads.load(), 10);
  ASSERT_EQ(BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), 0), 1);
  EXPECT_EQ(BASSMOD_MusicPlay(), 1);
  EXPECT_EQ(BASSMOD_Free(), 1);  // while it plays
  EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_OK);
}

// A build of the library, loaded the way the program loads it.
struct Unload {
  void operator()(void* handle) const { ::dlclose(handle); }
};
using LoadedLibrary = std::unique_ptr<void, Unload>;

LoadedLibrary load_library(const char* path) {
  LoadedLibrary library(::dlopen(path, RTLD_NOW | RTLD_LOCAL));
  EXPECT_NE(library, nullptr) << path << ": " << ::dlerror();
  return library;
}

template <class Function>
Function* find(const LoadedLibrary& library, const char* name) {
  return library ? reinterpret_cast<Function*>(::dlsym(library.get(), name)) : nullptr;
}

TEST(BassmodBuilds, TestBuildsDifferAsTheStartUpChecksNeed) {
  EXPECT_EQ(BASSMOD_GetVersion(), 1U | (6U << 16U));  // the real one
  for (const auto& [path, version] : {std::pair{BASSMOD_V2_0, 2U}, {BASSMOD_V1_60, 1U | (60U << 16U)}}) {
    const auto library = load_library(path);
    auto* get_version = find<DWORD()>(library, "BASSMOD_GetVersion");
    ASSERT_NE(get_version, nullptr) << path;
    EXPECT_EQ(get_version(), version) << path;
  }
  const auto failing = load_library(BASSMOD_INITFAIL);
  ASSERT_NE(find<BOOL(int, DWORD, DWORD)>(failing, "BASSMOD_Init"), nullptr);
  EXPECT_EQ(find<BOOL(int, DWORD, DWORD)>(failing, "BASSMOD_Init")(-1, rate, 0), 0);
  EXPECT_EQ(find<int()>(failing, "BASSMOD_ErrorGetCode")(), BASSMOD_ERROR_DRIVER);
  const auto lacking = load_library(BASSMOD_NO_INIT);
  EXPECT_NE(find<DWORD()>(lacking, "BASSMOD_GetVersion"), nullptr);
  EXPECT_EQ(find<BOOL(int, DWORD, DWORD)>(lacking, "BASSMOD_Init"), nullptr);
}

TEST(BassmodBuilds, UnloadingWhilePlayingStopsTheOutput) {
  // A separate copy of the library (the test build of version 2.0), so it
  // really leaves the process. The audio thread runs flat out: a callback
  // into unmapped code would crash at once.
  const DiskRecording recording("0", "/dev/null");
  const auto tune = make_test_tune();
  const std::string path = std::filesystem::canonical(BASSMOD_V2_0).string();
  auto library = load_library(path.c_str());
  ASSERT_EQ(find<BOOL(int, DWORD, DWORD)>(library, "BASSMOD_Init")(-1, rate, 0), 1);
  ASSERT_EQ(find<BOOL(BOOL, const void*, DWORD, DWORD, DWORD)>(library, "BASSMOD_MusicLoad")(
                1, tune.data(), 0, static_cast<DWORD>(tune.size()), BASSMOD_MUSIC_LOOP),
            1);
  ASSERT_EQ(find<BOOL()>(library, "BASSMOD_MusicPlay")(), 1);
  std::this_thread::sleep_for(100ms);
  library.reset();
  std::ifstream maps("/proc/self/maps");
  const std::string mapped{std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>()};
  EXPECT_EQ(mapped.find(path), std::string::npos);
  std::this_thread::sleep_for(200ms);
}

// A host runs the program's BASSMOD_Init(-1, ...) unchanged with no output
// opened and pulls the music itself: sample for sample what an output gets.
TEST(BassmodDecode, WithoutAnOutputDecodesWhatTheOutputWouldPlay) {
  const auto tune = make_test_tune();                          // 0.48 s, then silence
  const auto start = [](const std::vector<std::int16_t>& s) {  // first sound, at a whole frame
    return static_cast<std::size_t>(std::find_if(s.begin(), s.end(), [](auto x) { return x != 0; }) - s.begin()) & ~1U;
  };
  const auto play = [&] {
    return BASSMOD_Init(-1, 44100, 0) && BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), 514) &&
           BASSMOD_MusicPlay();
  };
  std::vector<std::int16_t> played;
  std::vector<std::int16_t> decoded(2 * 44100);
  {
    const DiskRecording recording("0");
    ASSERT_TRUE(play() && recording.wait_for(1.0));
    EXPECT_EQ(BASSMOD_MusicDecode(decoded.data(), 1), 0);  // the open output pulls the music
    EXPECT_EQ(BASSMOD_ErrorGetCode(), BASSMOD_ERROR_DEVICE);
    played = recording.stop();
  }
  ASSERT_EQ(BASSMOD_SetDefaultDevice(BASSMOD_DEVICE_NO_SOUND), 1);
  const bool decoding = play() && BASSMOD_MusicDecode(decoded.data(), 44100);
  BASSMOD_Free();
  BASSMOD_SetDefaultDevice(BASSMOD_DEVICE_DEFAULT);
  ASSERT_TRUE(decoding);
  const std::size_t length = 2 * 30000;  // the tune and its silent end
  ASSERT_LE(start(played) + length, played.size());
  EXPECT_EQ(start(decoded), 0U);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.begin() + length, played.begin() + start(played)));
}

}  // namespace
