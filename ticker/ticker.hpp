#pragma once

#include <array>
#include <cstdint>
#include <string_view>

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
  // Empty until the first text switch.
  const std::array<std::string_view, kInfoRows>& InfoTexts() const { return info_texts_; }

 private:
  void StepFadeIn();
  void StepFadeOut();
  void NextInfoText();

  tk::Label& lbl_infos_;
  tk::Timer& timer_text_;
  tk::Timer& timer_fade_in_;
  tk::Timer& timer_fade_out_;

  std::array<std::string_view, kInfoRows> info_texts_;  // the constant rows: nothing to allocate
  std::int16_t info_index_ = 0;
  std::int16_t hold_ticks_ = 0;
  std::int16_t fade_ticks_ = 0;
  std::int16_t fade_in_stage_ = 0;
  std::int16_t fade_out_stage_ = 0;
};

}  // namespace ticker
