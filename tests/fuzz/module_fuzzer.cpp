// libFuzzer over a module in memory: the C interface loads, plays and frees it
// (no sound device), then the player renders a second of it block by block as
// the audio callback does. Besides the sanitizers, the contract holds: a call
// fails exactly when it leaves a non-zero code, a failed load leaves nothing
// to play, and the C interface and the loader agree on what loads.
#include <array>
#include <cstdint>

#include "bassmod.h"
#include "failure.hpp"
#include "module_loader.hpp"
#include "player.hpp"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// False when the loader refuses the module.
bool RenderOneSecond(const std::uint8_t* data, std::size_t size, DWORD flags) try {
  bassmod::Player player;
  static_cast<void>(player.replace(bassmod::load_module_memory(data, 0, static_cast<std::uint32_t>(size), flags)));
  Require(player.play());
  constexpr std::size_t kFrames = 1024;  // a block, as the SDL output asks for it
  std::array<std::int16_t, 2 * kFrames> block{};
  for (std::size_t done = 0; done < 44100; done += kFrames) player.render(block.data(), kFrames, 44100);
  std::uint32_t length = 0;
  Require(player.length(true, length) && player.length(false, length));
  return true;
} catch (const bassmod::Failure&) {
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  Require(BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, 44100, 0) != 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) return -1;
  // The program's flags, and for odd sizes the loop flag with plain ramping.
  const DWORD flags =
      size % 2 == 0 ? BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND : BASSMOD_MUSIC_LOOP | BASSMOD_MUSIC_RAMP;
  const BOOL loaded = BASSMOD_MusicLoad(1, data, 0, static_cast<DWORD>(size), flags);
  const int code = BASSMOD_ErrorGetCode();
  Require((loaded != 0) == (code == BASSMOD_OK));
  if (loaded != 0) {
    Require(BASSMOD_MusicPlay() && BASSMOD_MusicIsActive() == 1 && BASSMOD_MusicGetLength(1) != DWORD(-1));
  } else {
    Require(code == BASSMOD_ERROR_FORMAT || code == BASSMOD_ERROR_MEMORY || code == BASSMOD_ERROR_ILLEGAL_PARAM);
    Require(BASSMOD_MusicPlay() == 0 && BASSMOD_ErrorGetCode() == BASSMOD_ERROR_HANDLE);
  }
  BASSMOD_MusicFree();
  Require(BASSMOD_MusicIsActive() == 0);
  // Short of running out of memory, the loader takes exactly what the library took.
  Require(RenderOneSecond(data, size, flags) == (loaded != 0) || code == BASSMOD_ERROR_MEMORY);
  return 0;
}
