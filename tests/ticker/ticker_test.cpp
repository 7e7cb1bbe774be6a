#include "ticker/ticker.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/clock.hpp"
#include "toolkit/text.hpp"

namespace ticker {
namespace {

TEST(InfoTexts, PausesAreBlankAndEveryRowFitsTheLabel) {
  for (const std::size_t row : {0u, 3u, 7u, 13u}) EXPECT_EQ(kInfoTexts[row], "") << "row " << row;
  for (const std::string_view text : kInfoTexts) {
    EXPECT_LE(tk::TextWidth(text), 289) << text;
    for (const char c : text) EXPECT_TRUE(c >= 32 && c <= 126) << text;
  }
}

enum class Which { Text, FadeIn, FadeOut };

// The label and the timers after one handler ran.
struct Tick {
  std::int64_t at;
  Which timer;
  tk::OleColor colour;
  std::string caption;
  int enabled;  // how many of the three timers run
  std::int16_t info_index;
};

// The ticker's controls on a virtual clock, armed as the form's start-up arms
// them, with every handler call recorded.
struct Rig {
  Rig() {
    lblInfos.SetForeColor(16777215);
    for (tk::Timer* timer : {&TimerText, &TimerFadeIn, &TimerFadeOut}) queue.Add(*timer);
    TimerText.OnTimer = [this] { Run(Which::Text, [this] { ticker.TimerText_Timer(); }); };
    TimerFadeIn.OnTimer = [this] { Run(Which::FadeIn, [this] { ticker.TimerFadeIn_Timer(); }); };
    TimerFadeOut.OnTimer = [this] { Run(Which::FadeOut, [this] { ticker.TimerFadeOut_Timer(); }); };
    ticker.Reset();
    TimerFadeIn.SetInterval(55);
    TimerFadeIn.SetEnabled(false);
    TimerFadeOut.SetInterval(55);
    TimerFadeOut.SetEnabled(false);
    TimerText.SetInterval(1000);
    TimerText.SetEnabled(true);
  }
  void RunUntil(std::int64_t end) {
    for (auto due = queue.NextDue(); due && *due <= end; due = queue.NextDue()) {
      clock.AdvanceTo(*due);
      queue.FireDue();
    }
  }
  template <typename F>
  void Run(Which which, F handler) {
    handler();
    const int enabled = int{TimerText.Enabled()} + int{TimerFadeIn.Enabled()} + int{TimerFadeOut.Enabled()};
    ticks.push_back({clock.NowMs(), which, lblInfos.ForeColor(), lblInfos.Caption(), enabled, ticker.InfoIndex()});
  }

  tk::VirtualClock clock;
  tk::TimerQueue queue{clock};
  tk::Label lblInfos{"lblInfos"};
  tk::Timer TimerText{"TimerText"};
  tk::Timer TimerFadeIn{"TimerFadeIn"};
  tk::Timer TimerFadeOut{"TimerFadeOut"};
  Ticker ticker{lblInfos, TimerText, TimerFadeIn, TimerFadeOut};
  std::vector<Tick> ticks;
};

// Two passes through the table, tick by tick: holds of five ticks (250 ms for
// the pauses 3, 7 and 13, 1000 ms else, row 0 too), ramps of six 55 ms ticks
// through the greys, the next row put in on the black one, one timer at a time.
TEST(Ticker, TwoPassesFollowTheRing) {
  Rig rig;
  rig.RunUntil(2 * 84970 + 6000);
  const std::array<unsigned, 6> greys{255, 224, 192, 128, 64, 0};
  std::int16_t row = 0;
  std::int64_t prev = 0;
  std::vector<std::int64_t> switches;
  std::size_t i = 0;
  while (i < rig.ticks.size()) {
    const Which timer = rig.ticks[i].timer;
    std::size_t n = 0;
    for (; i < rig.ticks.size() && rig.ticks[i].timer == timer; ++i, ++n) {
      const Tick& t = rig.ticks[i];
      ASSERT_EQ(t.enabled, 1) << t.at;
      const bool pause = row == 3 || row == 7 || row == 13;
      EXPECT_EQ(t.at - prev, timer != Which::Text ? 55 : pause ? 250 : 1000) << t.at;
      prev = t.at;
      if (timer != Which::Text) {
        ASSERT_LT(n, 6u) << t.at;
        EXPECT_EQ(t.colour, 0x010101u * greys[timer == Which::FadeIn ? n : 5 - n]) << t.at;
      }
      if (timer == Which::FadeIn && n == 5) {
        row = static_cast<std::int16_t>((row + 1) % 17);
        switches.push_back(t.at);
      }
      EXPECT_EQ(t.info_index, row) << t.at;
      EXPECT_EQ(t.caption, kInfoTexts[static_cast<std::size_t>(row)]) << t.at;
    }
    if (i < rig.ticks.size()) {
      EXPECT_EQ(n, timer == Which::Text ? 5u : 6u) << prev;
    }
  }
  ASSERT_GE(switches.size(), 35u);
  EXPECT_EQ(switches[0], 5330);           // row 1 after the first hold and step down
  EXPECT_EQ(switches[17], 5330 + 84970);  // and again one pass later
}

}  // namespace
}  // namespace ticker
