#include "ticker.hpp"

#include <limits>

#include "errors.hpp"
#include "info_texts.hpp"

namespace ticker {

namespace {

// Counters are 16-bit with the runtime's overflow check.
void Increment(std::int16_t& counter) {
  if (counter == std::numeric_limits<std::int16_t>::max()) throw tk::RuntimeError::Overflow();
  ++counter;
}

}  // namespace

Ticker::Ticker(tk::Label& lblInfos, tk::Timer& TimerText, tk::Timer& TimerFadeIn, tk::Timer& TimerFadeOut)
    : lbl_infos_(lblInfos), timer_text_(TimerText), timer_fade_in_(TimerFadeIn), timer_fade_out_(TimerFadeOut) {}

void Ticker::Reset() {
  info_index_ = 0;
  hold_ticks_ = 0;
}

void Ticker::TimerText_Timer() {
  // The fifth tick of a hold hands over; every tick counts, that one too.
  if (hold_ticks_ == 4) {
    timer_text_.SetEnabled(false);
    timer_fade_in_.SetEnabled(true);
  }
  Increment(hold_ticks_);
}

void Ticker::TimerFadeIn_Timer() {
  CountFade(fade_in_stage_);
  StepFadeIn();
}

void Ticker::TimerFadeOut_Timer() {
  CountFade(fade_out_stage_);
  StepFadeOut();
}

void Ticker::CountFade(std::int16_t& stage) {
  if (fade_ticks_ >= kFadeStages) {
    fade_ticks_ = 0;
  } else {
    Increment(fade_ticks_);
    stage = fade_ticks_;
  }
}

void Ticker::StepFade(std::int16_t stage, const std::array<tk::OleColor, kFadeStages>& ramp, tk::Timer& running,
                      tk::Timer& next, void (Ticker::*at_end)()) {
  if (stage < 1 || stage > kFadeStages) return;
  lbl_infos_.SetForeColor(ramp[static_cast<std::size_t>(stage - 1)]);
  if (stage < kFadeStages) return;
  (this->*at_end)();
  fade_ticks_ = 0;
  running.SetEnabled(false);
  next.SetEnabled(true);
}

void Ticker::StepFadeIn() {
  StepFade(fade_in_stage_, kFadeInRamp, timer_fade_in_, timer_fade_out_, &Ticker::SwitchText);
}

void Ticker::StepFadeOut() {
  StepFade(fade_out_stage_, kFadeOutRamp, timer_fade_out_, timer_text_, &Ticker::RestartHold);
}

// The text is switched while it is black, so the change never shows.
void Ticker::SwitchText() {
  NextInfoText();
  lbl_infos_.SetCaption(kInfoTexts[static_cast<std::size_t>(info_index_)]);
  timer_text_.SetInterval(HoldInterval(info_index_));
}

// The rows are the constant table: there is nothing to fill in first.
void Ticker::NextInfoText() {
  info_index_ = info_index_ >= kLastInfoRow ? std::int16_t{0} : static_cast<std::int16_t>(info_index_ + 1);
}

}  // namespace ticker
