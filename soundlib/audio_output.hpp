#pragma once

#include "player.hpp"

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace bassmod {

// Frames the output asks for at a time: 46 ms at 44.1 kHz, nothing waits on
// the music, and fewer wake-ups.
inline constexpr Uint16 output_buffer_frames = 2048;

// How long starting and opening the output may take. A sound server that takes
// the connection and then never answers (PipeWire's pulse server without its
// session manager, a stopped server) keeps SDL waiting inside its open for
// ever; a real one answers within a fraction of a second.
inline constexpr std::chrono::milliseconds kOpenBound{3000};

struct Opening;

// Starts SDL's audio and opens an output. Where SDL's open may wait on a sound
// server (natively), it runs on a thread of its own, and the caller waits at
// most the bound for it. Past the bound the output counts as not there
// (BASSMOD_ERROR_DRIVER) and SDL's call is left behind on that thread: the
// library stays loaded for good (the thread runs our code when SDL returns),
// and should SDL ever answer, the thread closes what it opened. Until it has,
// opening again fails at once rather than leave a second call behind. In a
// browser the open never waits (it makes a Web Audio graph) and there are no
// threads: it opens directly. Serialised by the caller.
class OutputOpener {
 public:
  constexpr explicit OutputOpener(std::chrono::milliseconds bound = kOpenBound) : bound_(bound) {}
  OutputOpener(const OutputOpener&) = delete;
  OutputOpener& operator=(const OutputOpener&) = delete;

  // device: -1 the default output, 1..n the outputs SDL lists. The device
  // comes with a reference on SDL's audio subsystem, both the caller's to
  // close on its own thread. Throws Failure{BASSMOD_ERROR_DEVICE} or
  // Failure{BASSMOD_ERROR_DRIVER}.
  SDL_AudioDeviceID open(int device, const SDL_AudioSpec& wanted);

 private:
  [[maybe_unused]] std::chrono::milliseconds bound_;  // not where the open runs directly
  std::shared_ptr<Opening> unanswered_;               // an opening given up on that SDL has not yet answered
};

// SDL's part of an open, on the calling thread: the subsystem reference and
// the device, or an error code and neither.
int open_with_sdl(int device, const SDL_AudioSpec& wanted, SDL_AudioDeviceID& opened);

// An open, running SDL output that pulls 16-bit stereo from a Player.
// Closing it waits for the callback to return, so once the destructor is done
// nothing of ours runs on the audio thread.
class AudioOutput {
 public:
  // As OutputOpener::open, which it opens through.
  AudioOutput(OutputOpener& opener, int device, std::int32_t rate, Player& player);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

 private:
  static void callback(void* self, Uint8* stream, int bytes);

  Player& player_;
  std::int32_t rate_;
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace bassmod
