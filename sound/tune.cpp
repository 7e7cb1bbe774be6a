#include "tune.hpp"

#include <exception>

namespace sound {

Tune::Tune(Bassmod& bassmod, ThrowErrorFn throw_error) : bassmod_(bassmod), throw_error_(std::move(throw_error)) {}

void Tune::ResetCounters() {
  TuneLength = 270;
  TuneSeconds = 0;
}

void Tune::Load() {
  std::int32_t loaded = 0;
  try {
    loaded = bassmod_.BASSMOD_MusicLoad(0, MusicFile.c_str(), 0, 0, kMusicFlags);
  } catch (const std::exception&) {
    loaded = 0;  // a failed call (missing export, no memory) counts as a refused load
  }
  if (LoWord(loaded) != 0) return;
  try {
    throw_error_("Can't Load Music");
  } catch (const std::exception&) {
    // the box could not be shown: Load still returns quietly
  }
}

void Tune::Play() {
  try {
    if (LoWord(bassmod_.BASSMOD_MusicPlay()) == 0) throw_error_("Can't play music");
  } catch (const std::exception&) {
    // Play never fails towards its caller
  }
}

void Tune::TimerTune_Timer() {
  TuneSeconds = static_cast<std::int16_t>(TuneSeconds + 1);
  if (TuneSeconds < TuneLength) return;
  TuneSeconds = 0;
  bassmod_.BASSMOD_MusicFree();
  Load();
  Play();
}

}  // namespace sound
