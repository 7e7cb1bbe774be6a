// libFuzzer over what the program does with a module, starting from bytes in
// memory: the library's C interface loads it, plays it and frees it, and then
// the library's player renders a second of it, block by block as the audio
// callback does. No sound device is opened (device 0), so a second of music
// costs milliseconds, not a second.
//
// Besides the sanitizers, the library's own contract is checked: a call fails
// exactly when it leaves a non-zero error code, a failed load leaves nothing
// to play, and the C interface and the loader agree on what loads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "soundlib/bassmod.h"
#include "soundlib/failure.hpp"
#include "soundlib/module_loader.hpp"
#include "soundlib/player.hpp"

namespace {

constexpr DWORD kRate = 44100;
constexpr std::size_t kBlockFrames = 1024;  // what the SDL output asks for at a time

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// One second, rendered as the audio callback renders it.
bool RenderOneSecond(const std::uint8_t* data, std::size_t size, DWORD flags) {
  bassmod::Player player;
  try {
    static_cast<void>(player.replace(bassmod::load_module_memory(data, 0, static_cast<std::uint32_t>(size), flags)));
  } catch (const bassmod::Failure&) {
    return false;
  }
  Require(player.play());
  std::array<std::int16_t, 2 * kBlockFrames> block{};
  for (std::size_t done = 0; done < kRate; done += kBlockFrames) {
    player.render(block.data(), kBlockFrames, static_cast<std::int32_t>(kRate));
  }
  std::uint32_t seconds = 0;
  std::uint32_t orders = 0;
  Require(player.length(true, seconds) && player.length(false, orders));
  static_cast<void>(player.replace(nullptr));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  Require(BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, kRate, 0) != 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) return -1;
  // The program's flags (sensitive ramping, surround) and, for odd sizes, the
  // loop flag with plain ramping: both render paths get their share.
  const DWORD flags =
      size % 2 == 0 ? BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND : BASSMOD_MUSIC_LOOP | BASSMOD_MUSIC_RAMP;

  const BOOL loaded = BASSMOD_MusicLoad(1, data, 0, static_cast<DWORD>(size), flags);
  const int code = BASSMOD_ErrorGetCode();
  Require((loaded != 0) == (code == BASSMOD_OK));
  if (loaded != 0) {
    Require(BASSMOD_MusicPlay() != 0);
    Require(BASSMOD_MusicIsActive() == 1);
    Require(BASSMOD_MusicGetLength(1) != static_cast<DWORD>(-1));
  } else {
    Require(code == BASSMOD_ERROR_FORMAT || code == BASSMOD_ERROR_MEMORY || code == BASSMOD_ERROR_ILLEGAL_PARAM);
    Require(BASSMOD_MusicPlay() == 0 && BASSMOD_ErrorGetCode() == BASSMOD_ERROR_HANDLE);
  }
  BASSMOD_MusicFree();
  Require(BASSMOD_MusicIsActive() == 0);

  // A module the library refused must not load through the loader either,
  // and the other way round (short of running out of memory).
  const bool rendered = RenderOneSecond(data, size, flags);
  Require(rendered == (loaded != 0) || code == BASSMOD_ERROR_MEMORY);
  return 0;
}
