#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "bassmod.hpp"

namespace sound {

// The music beside the program: loaded and started at start-up, restarted
// every TuneLength seconds. Failures go to the error box and nowhere else.
class Tune {
 public:
  using ThrowErrorFn = std::function<void(std::string_view message)>;

  Tune(Bassmod& bassmod, ThrowErrorFn throw_error);

  // Counters as start-up sets them.
  void ResetCounters();
  void SetMusicFile(std::string path) { MusicFile = std::move(path); }
  const std::string& GetMusicFile() const { return MusicFile; }
  std::int16_t GetTuneLength() const { return TuneLength; }
  std::int16_t GetTuneSeconds() const { return TuneSeconds; }

  // Never fail towards the caller.
  void Load();
  void Play();

  // The music half of the one-second tick.
  void TimerTune_Timer();

 private:
  Bassmod& bassmod_;
  ThrowErrorFn throw_error_;
  std::string MusicFile;
  std::int16_t TuneLength = 0;
  std::int16_t TuneSeconds = 0;
};

}  // namespace sound
