#pragma once

#include "soundlib/player.hpp"

#include <SDL.h>

#include <cstdint>

namespace bassmod {

// Frames the output asks for at a time: 46 ms at 44.1 kHz, nothing waits on
// the music, and fewer wake-ups.
inline constexpr Uint16 output_buffer_frames = 2048;

// SDL's audio subsystem is reference counted: the host uses SDL for its
// window in the same process, so we only ever add and drop our own reference.
class SdlAudioSubsystem {
 public:
  SdlAudioSubsystem();  // throws Failure{BASSMOD_ERROR_DRIVER}
  ~SdlAudioSubsystem();
  SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
  SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
};

// An open, running SDL output that pulls 16-bit stereo from a Player.
// Closing it waits for the callback to return, so once the destructor is done
// nothing of ours runs on the audio thread.
class AudioOutput {
 public:
  // device: -1 the default output, 1..n the outputs SDL lists.
  // Throws Failure{BASSMOD_ERROR_DEVICE} or Failure{BASSMOD_ERROR_DRIVER}.
  AudioOutput(int device, std::int32_t rate, Player& player);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

 private:
  static void callback(void* self, Uint8* stream, int bytes);

  SdlAudioSubsystem subsystem_;
  Player& player_;
  std::int32_t rate_;
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace bassmod
