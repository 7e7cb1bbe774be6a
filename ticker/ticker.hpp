#pragma once

#include <array>
#include <cstdint>

#include "colour.hpp"
#include "controls.hpp"
#include "info_texts.hpp"
#include "timer.hpp"

namespace ticker {

// The info line's cycle: hold a row, fade it to black, put in the next row,
// fade back to white. Three timers hand over in a ring, one running at a time;
// the owner routes each timer's tick to its handler here.
class Ticker {
 public:
  Ticker(tk::Label& lblInfos, tk::Timer& TimerText, tk::Timer& TimerFadeIn, tk::Timer& TimerFadeOut);
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;

  // Start of the cycle: the row before the first, nothing held yet.
  void Reset();

  void TimerText_Timer();
  void TimerFadeIn_Timer();
  void TimerFadeOut_Timer();

  std::int16_t InfoIndex() const { return info_index_; }
  std::int16_t HoldTicks() const { return hold_ticks_; }
  std::int16_t FadeTicks() const { return fade_ticks_; }
  std::int16_t FadeInStage() const { return fade_in_stage_; }
  std::int16_t FadeOutStage() const { return fade_out_stage_; }

 private:
  // A ramp's tick: the shared tick count, and its stage from it.
  void CountFade(std::int16_t& stage);
  // One colour step of a ramp: stages 1 to 5 set their colour; the last sets
  // its own, does the ramp's own part (at_end), and hands over from the
  // ramp's timer to the next.
  void StepFade(std::int16_t stage, const std::array<tk::OleColor, kFadeStages>& ramp, tk::Timer& running,
                tk::Timer& next, void (Ticker::*at_end)());
  void StepFadeIn();
  void StepFadeOut();
  // The end of the step down, while the text is black: the next row and its hold.
  void SwitchText();
  // The end of the step up: a new hold.
  void RestartHold() { hold_ticks_ = 0; }
  void NextInfoText();

  tk::Label& lbl_infos_;
  tk::Timer& timer_text_;
  tk::Timer& timer_fade_in_;
  tk::Timer& timer_fade_out_;

  std::int16_t info_index_ = 0;
  std::int16_t hold_ticks_ = 0;
  std::int16_t fade_ticks_ = 0;
  std::int16_t fade_in_stage_ = 0;
  std::int16_t fade_out_stage_ = 0;
};

}  // namespace ticker
