// The C interface of the music library. A C library with a last-error code
// needs process-wide state; it lives in one Library object that is never
// destroyed by the C++ runtime, only torn down explicitly when the library is
// unloaded or the process exits (lifetime.hpp).
#include "bassmod.h"

#include "audio_output.hpp"
#include "failure.hpp"
#include "lifetime.hpp"
#include "module_loader.hpp"
#include "player.hpp"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <optional>

// Test builds of the library change these through compile definitions.
#ifndef BASSMOD_VERSION_MAJOR
#define BASSMOD_VERSION_MAJOR 1
#endif
#ifndef BASSMOD_VERSION_MINOR
#define BASSMOD_VERSION_MINOR 6
#endif
#ifdef BASSMOD_INIT_ALWAYS_FAILS
constexpr bool init_always_fails = true;
#else
constexpr bool init_always_fails = false;
#endif

namespace bassmod {
namespace {

// The output rates libopenmpt renders.
constexpr DWORD min_rate = 8000;
constexpr DWORD max_rate = 192000;

class Library {
 public:
  Library() = default;

  BOOL init(int device, DWORD rate) {
    return guarded(BOOL{0}, [&] {
      if constexpr (init_always_fails) {
        throw Failure{BASSMOD_ERROR_DRIVER};
      }
      if (initialised_) {
        throw Failure{BASSMOD_ERROR_ALREADY};
      }
      if (device < BASSMOD_DEVICE_DEFAULT) {
        throw Failure{BASSMOD_ERROR_DEVICE};
      }
      if (rate < min_rate || rate > max_rate) {
        throw Failure{BASSMOD_ERROR_ILLEGAL_PARAM};
      }
      if (device == BASSMOD_DEVICE_DEFAULT) {
        device = default_device_;
      }
      if (device != BASSMOD_DEVICE_NO_SOUND) {
        // The mixing tables are worked out while the output opens, not in the first load after it.
        output_.emplace(opener_, device, static_cast<std::int32_t>(rate), player_, &warm_up_mixer);
        hook_unload();
      }
      rate_ = static_cast<std::int32_t>(rate);
      initialised_ = true;
      return BOOL{1};
    });
  }

  BOOL set_default_device(int device) {
    return guarded(BOOL{0}, [&] {
      if (device < BASSMOD_DEVICE_DEFAULT) {
        throw Failure{BASSMOD_ERROR_DEVICE};
      }
      default_device_ = device;
      return BOOL{1};
    });
  }

  // The same rendering an output's callback does, pulled by the caller instead.
  BOOL decode(void* buffer, DWORD frames) {
    return guarded(BOOL{0}, [&] {
      require_init();
      if (output_) {
        throw Failure{BASSMOD_ERROR_DEVICE};
      }
      if (buffer == nullptr && frames != 0) {
        throw Failure{BASSMOD_ERROR_ILLEGAL_PARAM};
      }
      player_.render(static_cast<std::int16_t*>(buffer), frames, rate_);
      return BOOL{1};
    });
  }

  BOOL free() {
    return guarded(BOOL{0}, [&] {
      require_init();
      close();
      return BOOL{1};
    });
  }

  BOOL load(bool memory, const void* file, DWORD offset, DWORD length, DWORD flags) {
    return guarded(BOOL{0}, [&] {
      require_init();
      // The old music goes first, whether or not the new one loads.
      free_music();
      auto next = memory ? load_module_memory(file, offset, length, flags)
                         : load_module_file(static_cast<const char*>(file), offset, length, flags);
      static_cast<void>(player_.replace(std::move(next)));
      return BOOL{1};
    });
  }

  BOOL play() {
    return guarded(BOOL{0}, [&] {
      require_init();
      if (!player_.play()) {
        throw Failure{BASSMOD_ERROR_HANDLE};
      }
      return BOOL{1};
    });
  }

  BOOL stop() {
    return guarded(BOOL{0}, [&] {
      require_init();
      if (!player_.stop()) {
        throw Failure{BASSMOD_ERROR_HANDLE};
      }
      return BOOL{1};
    });
  }

  void free_music_call() {
    guarded(0, [&] {
      free_music();
      return 0;
    });
  }

  DWORD is_active() {
    return guarded(DWORD{0}, [&] { return player_.active() ? DWORD{1} : DWORD{0}; });
  }

  DWORD length(bool seconds) {
    return guarded(static_cast<DWORD>(-1), [&] {
      require_init();
      std::uint32_t result = 0;
      if (!player_.length(seconds, result)) {
        throw Failure{BASSMOD_ERROR_HANDLE};
      }
      return DWORD{result};
    });
  }

  int error_code() const noexcept { return last_error_.load(); }

  // Unload or process exit: stop the audio thread before our code or
  // libopenmpt's goes away.
  void tear_down() noexcept {
    try {
      const std::scoped_lock lock(api_);
      close();
    } catch (...) {  // a broken mutex at exit: nothing sensible is left to do
    }
  }

 private:
  // Every call ends by setting the last error code; failures thrown below
  // never cross the C boundary.
  template <class Result, class Call>
  Result guarded(Result on_failure, Call&& call) noexcept {
    int code = BASSMOD_ERROR_UNKNOWN;
    try {
      const std::scoped_lock lock(api_);
      const Result result = call();
      last_error_.store(BASSMOD_OK);
      return result;
    } catch (const Failure& failure) {
      code = failure.code;
    } catch (const std::bad_alloc&) {
      code = BASSMOD_ERROR_MEMORY;
    } catch (...) {
      code = BASSMOD_ERROR_UNKNOWN;
    }
    last_error_.store(code);
    return on_failure;
  }

  void require_init() const {
    if (!initialised_) {
      throw Failure{BASSMOD_ERROR_INIT};
    }
  }

  void free_music() noexcept {
    // Destroyed here, outside the player's lock.
    const auto old = player_.replace(nullptr);
  }

  void close() noexcept {
    output_.reset();  // waits for a running callback
    free_music();
    initialised_ = false;
  }

  std::mutex api_;
  std::atomic<int> last_error_{BASSMOD_OK};
  bool initialised_ = false;
  int default_device_ = BASSMOD_DEVICE_DEFAULT;
  std::int32_t rate_ = 0;
  Player player_;
  OutputOpener opener_;
  std::optional<AudioOutput> output_;  // declared after player_: closed before it goes
};

// Never destroyed by the runtime: the audio thread may still be running when
// static destructors would run, so tear-down is explicit instead.
template <class T>
union Immortal {
  Immortal() : value() {}
  ~Immortal() {}  // NOLINT(modernize-use-equals-default): = default would be deleted for a member with a destructor
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;
  T value;
};

Library& library() {
  static Immortal<Library> instance;
  return instance.value;
}

}  // namespace

void tear_down_library() noexcept { library().tear_down(); }

}  // namespace bassmod

using bassmod::library;

extern "C" {

DWORD BASSMOD_GetVersion(void) { return DWORD{BASSMOD_VERSION_MAJOR} | (DWORD{BASSMOD_VERSION_MINOR} << 16U); }

#ifndef BASSMOD_WITHOUT_INIT_EXPORT
BOOL BASSMOD_Init(int device, DWORD freq, DWORD /*flags*/) { return library().init(device, freq); }
#endif

BOOL BASSMOD_Free(void) { return library().free(); }

BOOL BASSMOD_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
  return library().load(mem != 0, file, offset, length, flags);
}

BOOL BASSMOD_MusicPlay(void) { return library().play(); }

BOOL BASSMOD_MusicStop(void) { return library().stop(); }

void BASSMOD_MusicFree(void) { library().free_music_call(); }

DWORD BASSMOD_MusicIsActive(void) { return library().is_active(); }

DWORD BASSMOD_MusicGetLength(BOOL playlen) { return library().length(playlen != 0); }

BOOL BASSMOD_SetDefaultDevice(int device) { return library().set_default_device(device); }

BOOL BASSMOD_MusicDecode(void* buffer, DWORD frames) { return library().decode(buffer, frames); }

int BASSMOD_ErrorGetCode(void) { return library().error_code(); }

}  // extern "C"
