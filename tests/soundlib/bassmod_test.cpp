// libbassmod through its C interface: calls, results and error codes, bad
// input, the sound it outputs, concurrent calls, unloading while it plays.
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "bassmod.h"
#include "module_loader.hpp"
#include "test_support.hpp"

using namespace soundlib_test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr DWORD rate = 44100;
constexpr DWORD program_flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;

// A call's result paired with the error code it left.
using Outcome = std::pair<long long, int>;
Outcome outcome(long long result) { return {result, BASSMOD_ErrorGetCode()}; }
const Outcome ok{1, BASSMOD_OK};
Outcome failed(int code) { return {0, code}; }
constexpr long long no_length = 0xFFFFFFFF;

// A tiny but complete S3M: a looped square wave sounding from the first row of
// one pattern that breaks after `rows` rows of 0.06 s; then the song ends.
Bytes make_tune(int rows = 8) {
  Bytes t(0x100, 0);
  const auto put = [&](std::ptrdiff_t at, std::initializer_list<int> bytes) {
    std::ranges::copy(bytes, t.begin() + at);
  };
  put(0x1C, {0x1A, 16, 0, 0, 2, 0, 1, 0, 1, 0});                        // module type; orders, instruments, patterns
  put(0x28, {0x20, 0x13, 2, 0, 'S', 'C', 'R', 'M', 64, 3, 125, 0xB0});  // version, unsigned samples; speed, tempo
  std::fill(t.begin() + 0x42, t.begin() + 0x60, 255);                   // channel 1 left, channel 2 right, no others
  put(0x41, {8});
  put(0x60, {0, 255, 0x70 / 16, 0, 0x100 / 16, 0});  // order list; instrument and pattern in paragraphs
  // The instrument: sampled, data at 0xC0, 64 bytes looped whole, full volume, 8363 Hz.
  put(0x70, {1});
  put(0x7E, {0xC0 / 16, 0, 64, 0, 0, 0, 0, 0, 0, 0, 64, 0, 0, 0, 64, 0, 0, 1, 0xAB, 0x20});
  put(0xBC, {'S', 'C', 'R', 'S'});
  for (int i = 0; i < 64; ++i) t[0xC0 + i] = i < 32 ? 192 : 64;
  Bytes pattern{0x60, 0x50, 1, 64};  // row 0: C-5, instrument 1, volume 64 on channel 1
  for (int row = 0; row < 64; ++row) {
    if (row == rows - 1 && rows < 64) pattern.insert(pattern.end(), {0x81, 3, 0});  // pattern break
    pattern.push_back(0);
  }
  const auto size = pattern.size() + 2;
  t.insert(t.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8U)});
  t.insert(t.end(), pattern.begin(), pattern.end());
  return t;
}

// A (sparse) file of `size` bytes that starts with a valid module.
fs::path sparse_tune(const TempDir& dir, const std::string& name, std::uintmax_t size) {
  auto file = dir.write(name, make_tune());
  fs::resize_file(file, size);
  return file;
}

Outcome load_memory(const Bytes& bytes) {
  return outcome(BASSMOD_MusicLoad(1, bytes.data(), 0, static_cast<DWORD>(bytes.size()), program_flags));
}

class Bassmod : public ::testing::Test {
 protected:
  void TearDown() override { BASSMOD_Free(); }
  Bytes tune = make_tune();
  TempDir dir;
};

TEST_F(Bassmod, InitFreeNoSoundAndTheCodesOfCallsOutOfTurn) {
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
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), failed(BASSMOD_ERROR_DRIVER));
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0U);  // failures give back SDL's audio

  // The program keeps SDL for its window: our audio reference goes without taking theirs.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS), 0);
  EXPECT_EQ(outcome(BASSMOD_Init(-1, rate, 0)), ok);
  EXPECT_EQ(outcome(BASSMOD_Init(0, rate, 0)), failed(BASSMOD_ERROR_ALREADY));
  EXPECT_EQ(outcome(BASSMOD_Free()), ok);
  EXPECT_EQ(outcome(BASSMOD_Free()), failed(BASSMOD_ERROR_INIT));
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO | SDL_INIT_EVENTS), SDL_INIT_AUDIO | SDL_INIT_EVENTS);
  SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);

  // No sound: every call works, nothing is heard.
  ASSERT_EQ(outcome(BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0)), ok);
  ASSERT_EQ(load_memory(make_tune(64)), ok);  // 3.84 s
  EXPECT_EQ(outcome(BASSMOD_MusicGetLength(1)), Outcome(4, BASSMOD_OK));
  EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);  // loaded stopped
  EXPECT_EQ(outcome(BASSMOD_MusicPlay()), ok);
  EXPECT_EQ(BASSMOD_MusicIsActive(), 1U);
  EXPECT_EQ(outcome(BASSMOD_MusicStop()), ok);
  EXPECT_EQ(BASSMOD_MusicIsActive(), 0U);
}

// Each load first replaces a loaded tune: a refused one leaves nothing to play.
TEST_F(Bassmod, LoadsFilesAndTheirPartsAndRefusesBadOnesWithTheirCodes) {
  ASSERT_EQ(outcome(BASSMOD_Init(0, rate, 0)), ok);
  Bytes packed(37, 0xA5);
  packed.insert(packed.end(), tune.begin(), tune.end());
  packed.insert(packed.end(), 50, 0x5A);
  const auto size = static_cast<DWORD>(tune.size());
  const struct {
    fs::path file;
    DWORD offset, length;
    int code;
  } cases[] = {
      {dir.write("tune.s3m", tune), 0, 0, BASSMOD_OK},
      {dir.write("packed.bin", packed), 37, size, BASSMOD_OK},
      {dir.path / "packed.bin", 37, 0, BASSMOD_OK},            // to the end
      {dir.path / "packed.bin", 37, size + 1000, BASSMOD_OK},  // cut at the end
      {sparse_tune(dir, "largest.s3m", bassmod::max_module_bytes), 0, 0, BASSMOD_OK},
      {dir.path / "packed.bin", 0, size, BASSMOD_ERROR_FORMAT},                                   // the wrong part
      {"/dev/zero", 0, 0, BASSMOD_ERROR_FILE_OPEN},                                               // not a file
      {dir.path / "tune.s3m", 1U << 20U, 0, BASSMOD_ERROR_FORMAT},                                // offset past the end
      {sparse_tune(dir, "over.s3m", bassmod::max_module_bytes + 1), 0, 0, BASSMOD_ERROR_MEMORY},  // too large
  };
  for (const auto& load : cases) {
    SCOPED_TRACE(load.file.string() + " from " + std::to_string(load.offset));
    ASSERT_EQ(load_memory(tune), ok);
    EXPECT_EQ(outcome(BASSMOD_MusicLoad(0, load.file.c_str(), load.offset, load.length, program_flags)),
              load.code ? failed(load.code) : ok);
    EXPECT_EQ(outcome(BASSMOD_MusicPlay()), load.code ? failed(BASSMOD_ERROR_HANDLE) : ok);
  }
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, packed.data(), 37, size, program_flags)), ok);
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(0, nullptr, 0, 0, 0)), failed(BASSMOD_ERROR_FILE_OPEN));
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, nullptr, 0, 100, 0)), failed(BASSMOD_ERROR_ILLEGAL_PARAM));
  EXPECT_EQ(outcome(BASSMOD_MusicLoad(1, tune.data(), 0, bassmod::max_module_bytes + 1, 0)),
            failed(BASSMOD_ERROR_MEMORY));  // refused by its length alone: none of it is read
  // Cut anywhere, the tune loads or is refused as a format, and plays just when it loaded.
  for (DWORD cut = 0; cut < tune.size(); cut += 3) {
    const auto result = outcome(BASSMOD_MusicLoad(1, tune.data(), 0, cut, 0));
    EXPECT_TRUE(result == ok || result == failed(BASSMOD_ERROR_FORMAT)) << cut;
    EXPECT_EQ(BASSMOD_MusicPlay(), result.first) << cut;
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their allocators do not report shortage
TEST_F(Bassmod, ReportsMemoryShortage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto file = sparse_tune(dir, "60m.s3m", 60U << 20U);  // within the size bound
  const auto load_with_16_mb_to_spare = [&] {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (16U << 20U);
    const rlimit both{limit, limit};
    ::setrlimit(RLIMIT_AS, &both);
    BASSMOD_Init(0, rate, 0);
    BASSMOD_MusicLoad(0, file.c_str(), 0, 0, program_flags);
    ::_exit(BASSMOD_ErrorGetCode());
  };
  EXPECT_EXIT(load_with_16_mb_to_spare(), ::testing::ExitedWithCode(BASSMOD_ERROR_MEMORY), "");
}
#endif

// Output through SDL's disk driver into a file, `delay_ms` between buffers; set
// before BASSMOD_Init. It runs from Init on: silence of varying length first.
void record_to(const fs::path& file, const char* delay_ms) {
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  ::setenv("SDL_DISKAUDIODELAY", delay_ms, 1);
}

bool play_tune(const Bytes& tune, DWORD flags) {
  return BASSMOD_Init(-1, rate, 0) != 0 &&
         BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), flags) != 0 && BASSMOD_MusicPlay() != 0;
}

TEST_F(Bassmod, PlaysOnceUnlessLooped) {
  const auto file = dir.path / "out.raw";
  const auto wait_for = [&](double seconds) {  // more seconds of output, for up to 20 s
    const auto until = fs::file_size(file) + static_cast<std::uintmax_t>(seconds * rate) * 4;
    for (int ms = 0; ms < 20'000 && fs::file_size(file) < until; ++ms) std::this_thread::sleep_for(1ms);
    return fs::file_size(file) >= until;
  };
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop ? "looped" : "once");
    record_to(file, "1");
    ASSERT_TRUE(play_tune(tune, loop ? BASSMOD_MUSIC_LOOP : 0));  // 0.48 s
    ASSERT_TRUE(wait_for(2.0));
    EXPECT_EQ(BASSMOD_MusicIsActive(), loop ? 1U : 0U);
    BASSMOD_Free();  // while it plays, looped
    const Bytes out = read_file(file);
    const auto sounds = [](std::uint8_t byte) { return byte != 0; };
    const auto onset = std::ranges::find_if(out, sounds) - out.begin();  // after silence of varying length
    ASSERT_LT(onset, std::ssize(out));
    const auto at = [&](double second) {
      return out.begin() + std::min(std::ssize(out), onset + 4 * static_cast<long>(second * rate));
    };
    EXPECT_EQ(std::any_of(at(1.0), at(1.9), sounds), loop);
  }
}

TEST_F(Bassmod, CallsFromOtherThreadsAndUnloadingWhilePlaying) {
  record_to("/dev/null", "0");  // the audio thread renders flat out
  const auto file = dir.write("tune.s3m", tune);
  ASSERT_TRUE(play_tune(tune, BASSMOD_MUSIC_LOOP));
  std::atomic<int> loads{0};
  {
    const std::jthread loader([&](const std::stop_token& stop) {
      for (bool from_file = false; !stop.stop_requested(); from_file = !from_file) {
        loads += from_file ? BASSMOD_MusicLoad(0, file.c_str(), 0, 0, BASSMOD_MUSIC_SURROUND)
                           : BASSMOD_MusicLoad(1, tune.data(), 0, static_cast<DWORD>(tune.size()), BASSMOD_MUSIC_LOOP);
        BASSMOD_MusicPlay();
      }
    });
    const std::jthread freer([](const std::stop_token& stop) {
      for (; !stop.stop_requested(); std::this_thread::yield()) {
        BASSMOD_MusicFree();
        BASSMOD_MusicStop();
      }
    });
    std::this_thread::sleep_for(1500ms);
  }  // both stopped and joined
  EXPECT_GT(loads.load(), 10);

  // Unloaded while it plays: a separate copy of the library (the test build of
  // version 2.0), so it really leaves the process. Its audio thread runs flat
  // out too: a callback into unmapped code would crash at once.
  const std::string path = fs::canonical(BASSMOD_V2_0).string();
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  const auto call = [&](auto* linked, const char* name, auto... args) {  // the same export of that copy
    return reinterpret_cast<decltype(linked)>(::dlsym(library, name))(args...);
  };
  ASSERT_EQ(call(&BASSMOD_Init, "BASSMOD_Init", -1, rate, 0U), 1);
  ASSERT_EQ(call(&BASSMOD_MusicLoad, "BASSMOD_MusicLoad", 1, tune.data(), 0U, static_cast<DWORD>(tune.size()),
                 DWORD{BASSMOD_MUSIC_LOOP}),
            1);
  ASSERT_EQ(call(&BASSMOD_MusicPlay, "BASSMOD_MusicPlay"), 1);
  std::this_thread::sleep_for(100ms);
  ::dlclose(library);
  const auto maps = read_file("/proc/self/maps");
  EXPECT_EQ(std::string(maps.begin(), maps.end()).find(path), std::string::npos);
  std::this_thread::sleep_for(200ms);
}

// A host runs the program's BASSMOD_Init(-1, ...) unchanged with no output
// opened and pulls the music itself: sample for sample what an output gets.
TEST_F(Bassmod, WithoutAnOutputDecodesWhatTheOutputWouldPlay) {
  const auto file = dir.path / "played.raw";
  record_to(file, "0");
  ASSERT_TRUE(play_tune(tune, program_flags));  // 0.48 s, then silence
  std::vector<std::int16_t> decoded(std::size_t{2} * rate);
  EXPECT_EQ(outcome(BASSMOD_MusicDecode(decoded.data(), 1)), failed(BASSMOD_ERROR_DEVICE));  // the output pulls it
  const auto until = fs::file_size(file) + std::uintmax_t{4} * rate;                         // a second more
  for (int ms = 0; ms < 20'000 && fs::file_size(file) < until; ++ms) std::this_thread::sleep_for(1ms);
  BASSMOD_Free();
  const Bytes out = read_file(file);
  std::vector<std::int16_t> played(out.size() / 2);
  std::memcpy(played.data(), out.data(), played.size() * 2);

  ASSERT_EQ(BASSMOD_SetDefaultDevice(BASSMOD_DEVICE_NO_SOUND), 1);
  const bool decoding = play_tune(tune, program_flags) && BASSMOD_MusicDecode(decoded.data(), rate) != 0;
  BASSMOD_Free();
  BASSMOD_SetDefaultDevice(BASSMOD_DEVICE_DEFAULT);
  ASSERT_TRUE(decoding);
  const auto start = [](const std::vector<std::int16_t>& s) {  // first sound, at a whole frame
    return static_cast<std::size_t>(std::ranges::find_if(s, [](auto x) { return x != 0; }) - s.begin()) & ~1U;
  };
  const std::size_t length = std::size_t{2} * 30000;  // the tune and its silent end
  ASSERT_LE(start(played) + length, played.size());
  EXPECT_EQ(start(decoded), 0U);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.begin() + length, played.begin() + start(played)));
}

}  // namespace
