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
  if (fade_ticks_ >= kFadeStages) {
    fade_ticks_ = 0;
  } else {
    Increment(fade_ticks_);
    fade_in_stage_ = fade_ticks_;
  }
  StepFadeIn();
}

void Ticker::TimerFadeOut_Timer() {
  if (fade_ticks_ >= kFadeStages) {
    fade_ticks_ = 0;
  } else {
    Increment(fade_ticks_);
    fade_out_stage_ = fade_ticks_;
  }
  StepFadeOut();
}

void Ticker::StepFadeIn() {
  if (fade_in_stage_ >= 1 && fade_in_stage_ < kFadeStages) {
    lbl_infos_.SetForeColor(kFadeInRamp[static_cast<std::size_t>(fade_in_stage_ - 1)]);
  } else if (fade_in_stage_ == kFadeStages) {
    // The text is switched while it is black, so the change never shows.
    lbl_infos_.SetForeColor(kFadeInRamp.back());
    NextInfoText();
    lbl_infos_.SetCaption(info_texts_[static_cast<std::size_t>(info_index_)]);
    timer_text_.SetInterval(HoldInterval(info_index_));
    fade_ticks_ = 0;
    timer_fade_in_.SetEnabled(false);
    timer_fade_out_.SetEnabled(true);
  }
}

void Ticker::StepFadeOut() {
  if (fade_out_stage_ >= 1 && fade_out_stage_ < kFadeStages) {
    lbl_infos_.SetForeColor(kFadeOutRamp[static_cast<std::size_t>(fade_out_stage_ - 1)]);
  } else if (fade_out_stage_ == kFadeStages) {
    lbl_infos_.SetForeColor(kFadeOutRamp.back());
    hold_ticks_ = 0;
    fade_ticks_ = 0;
    timer_fade_out_.SetEnabled(false);
    timer_text_.SetEnabled(true);
  }
}

void Ticker::NextInfoText() {
  for (std::size_t row = 0; row < kInfoRows; ++row) info_texts_[row] = kInfoTexts[row];
  info_index_ = info_index_ >= kLastInfoRow ? std::int16_t{0} : static_cast<std::int16_t>(info_index_ + 1);
}

}  // namespace ticker
