// Opening the output on a thread of its own, bounded: natively SDL's open may
// wait for ever on a sound server that takes the connection and never answers.
#include "audio_output.hpp"

#include "bassmod.h"
#include "failure.hpp"
#include "lifetime.hpp"

#include <SDL.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace bassmod {

// What the caller and the opening thread share; the last of them frees it.
struct Opening {
  Opening(int device_number, const SDL_AudioSpec& spec) : device(device_number), wanted(spec) {}

  const int device;
  const SDL_AudioSpec wanted;
  std::mutex mutex;
  std::condition_variable answered_cv;
  bool answered = false;  // SDL has returned (and, if given up on, what it opened is closed)
  bool given_up = false;
  int error = BASSMOD_OK;
  std::uint32_t opened = 0;
};

namespace {

// Enough for SDL's start of a sound server's client library; the default
// would take 8 MB of address space from a program run under a memory limit.
constexpr std::size_t kOpeningStack = std::size_t{1} << 20;

int SDLCALL RunOpening(void* argument) {
  const std::unique_ptr<std::shared_ptr<Opening>> held(static_cast<std::shared_ptr<Opening>*>(argument));
  Opening& opening = **held;
  std::uint32_t opened = 0;
  const int error = open_with_sdl(opening.device, opening.wanted, opened);
  bool given_up = false;
  {
    const std::scoped_lock lock(opening.mutex);
    given_up = opening.given_up;
    if (!given_up) {
      opening.error = error;
      opening.opened = opened;
      opening.answered = true;
    }
  }
  if (given_up) {
    // Opened paused: nothing of the caller's ever ran on it.
    if (opened != 0) {
      SDL_CloseAudioDevice(opened);
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    const std::scoped_lock lock(opening.mutex);
    opening.answered = true;
  }
  opening.answered_cv.notify_one();
  return 0;
}

// An SDL thread: SDL frees what it keeps for a thread only for its own.
void StartOpening(const std::shared_ptr<Opening>& opening) {
  auto held = std::make_unique<std::shared_ptr<Opening>>(opening);
  SDL_Thread* thread = SDL_CreateThreadWithStackSize(&RunOpening, "bassmod-open", kOpeningStack, held.get());
  if (thread == nullptr) throw Failure{BASSMOD_ERROR_MEMORY};
  static_cast<void>(held.release());  // the thread's now
  SDL_DetachThread(thread);
}

}  // namespace

std::uint32_t OutputOpener::open(int device, const SDL_AudioSpec& wanted, void (*meanwhile)() noexcept) {
  if (unanswered_) {
    const std::scoped_lock lock(unanswered_->mutex);
    if (!unanswered_->answered) throw Failure{BASSMOD_ERROR_DRIVER};
  }
  unanswered_.reset();

  auto opening = std::make_shared<Opening>(device, wanted);
  const auto deadline = std::chrono::steady_clock::now() + bound_;
  StartOpening(opening);
  meanwhile();
  std::unique_lock lock(opening->mutex);
  if (!opening->answered_cv.wait_until(lock, deadline, [&] { return opening->answered; })) {
    opening->given_up = true;
    stay_loaded();
    unanswered_ = std::move(opening);
    throw Failure{BASSMOD_ERROR_DRIVER};
  }
  if (opening->error != BASSMOD_OK) throw Failure{opening->error};
  return opening->opened;
}

}  // namespace bassmod
