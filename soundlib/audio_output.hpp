#pragma once

#include "player.hpp"

#include <chrono>
#include <cstdint>
#include <memory>

struct SDL_AudioSpec;

namespace bassmod {

// Frames an output pulls at a time, natively SDL's and in a page: 46 ms at
// 44.1 kHz, nothing waits on the music, and fewer wake-ups. The module
// player's output depends, a sample here and there, on how it is read: every
// output reads it so, and so sounds the same.
inline constexpr std::uint16_t output_buffer_frames = 2048;

// How long starting and opening the output may take. A sound server that takes
// the connection and then never answers (PipeWire's pulse server without its
// session manager, a stopped server) keeps SDL waiting inside its open for
// ever; a real one answers within a fraction of a second.
inline constexpr std::chrono::milliseconds kOpenBound{3000};

struct Opening;

// Starts SDL's audio and opens an output (natively; output_opener.cpp). SDL's
// open may wait on a sound server, so it runs on a thread of its own, and the
// caller waits at most the bound for it. Past the bound the output counts as
// not there (BASSMOD_ERROR_DRIVER) and SDL's call is left behind on that
// thread: the library stays loaded for good (the thread runs our code when
// SDL returns), and should SDL ever answer, the thread closes what it opened.
// Until it has, opening again fails at once rather than leave a second call
// behind. A browser's output has nothing to wait on and needs none of this.
// Serialised by the caller.
class OutputOpener {
 public:
  constexpr explicit OutputOpener(std::chrono::milliseconds bound = kOpenBound) : bound_(bound) {}
  OutputOpener(const OutputOpener&) = delete;
  OutputOpener& operator=(const OutputOpener&) = delete;

  // device: -1 the default output, 1..n the outputs SDL lists. The device
  // comes with a reference on SDL's audio subsystem, both the caller's to
  // close on its own thread. meanwhile runs on the caller's thread while SDL
  // opens (within the bound). Throws Failure{BASSMOD_ERROR_DEVICE} or
  // Failure{BASSMOD_ERROR_DRIVER}.
  std::uint32_t open(int device, const SDL_AudioSpec& wanted, void (*meanwhile)() noexcept);

 private:
  [[maybe_unused]] std::chrono::milliseconds bound_;  // unused in a page, whose output opens without waiting
  std::shared_ptr<Opening> unanswered_;               // an opening given up on that SDL has not yet answered
};

// SDL's part of an open, on the calling thread: the subsystem reference and
// the device, or an error code and neither.
int open_with_sdl(int device, const SDL_AudioSpec& wanted, std::uint32_t& opened);

// An open, running output that pulls 16-bit stereo from a Player, one
// implementation per platform: natively SDL's (audio_output_sdl.cpp, opened
// through the OutputOpener), in a browser Web Audio's (audio_output_web.cpp).
// Closing it waits for the output to stop pulling, so once the destructor is
// done nothing of ours runs for it.
class AudioOutput {
 public:
  // As OutputOpener::open; meanwhile has run when it returns.
  AudioOutput(OutputOpener& opener, int device, std::int32_t rate, Player& player, void (*meanwhile)() noexcept);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Fills frames of interleaved stereo from the player, as the output pulls them.
  void pull(std::int16_t* out, std::size_t frames) noexcept { player_.render(out, frames, rate_); }

 private:
  Player& player_;
  std::int32_t rate_;
  std::uint32_t device_ = 0;  // the platform's own handle of the output
};

}  // namespace bassmod
