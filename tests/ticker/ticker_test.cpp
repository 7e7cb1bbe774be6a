#include "ticker/ticker.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/clock.hpp"

namespace ticker {
namespace {

enum class Which { Text, FadeIn, FadeOut };

// What the label and the timers look like after one handler ran.
struct Tick {
  std::int64_t at;
  Which timer;
  tk::OleColor colour;
  std::string caption;
  int enabled;  // how many of the three timers run
  int text_interval;
  std::int16_t info_index;
};

// The ticker's controls on a virtual clock, armed the way the form's start-up
// arms them, with every handler call recorded.
class Rig {
 public:
  Rig() {
    lblInfos.SetForeColor(16777215);
    lblInfos.SetBackColor(0);
    queue.Add(TimerText);
    queue.Add(TimerFadeIn);
    queue.Add(TimerFadeOut);
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

  // Steps the clock from due time to due time up to end.
  void RunUntil(std::int64_t end) {
    for (auto due = queue.NextDue(); due && *due <= end; due = queue.NextDue()) {
      clock.AdvanceTo(*due);
      queue.FireDue();
    }
    clock.AdvanceTo(end);
  }

  // Time at which the caption first became text, looking from index from on.
  std::int64_t CaptionTime(const std::string& text, std::size_t from = 0) const {
    for (std::size_t i = std::max<std::size_t>(from, 1); i < ticks.size(); ++i) {
      if (ticks[i].caption == text && ticks[i - 1].caption != text) return ticks[i].at;
    }
    return -1;
  }

  tk::VirtualClock clock;
  tk::TimerQueue queue{clock};
  tk::Label lblInfos{"lblInfos"};
  tk::Timer TimerText{"TimerText"};
  tk::Timer TimerFadeIn{"TimerFadeIn"};
  tk::Timer TimerFadeOut{"TimerFadeOut"};
  Ticker ticker{lblInfos, TimerText, TimerFadeIn, TimerFadeOut};
  std::vector<Tick> ticks;

 private:
  template <typename F>
  void Run(Which which, F handler) {
    handler();
    const int enabled = int{TimerText.Enabled()} + int{TimerFadeIn.Enabled()} + int{TimerFadeOut.Enabled()};
    ticks.push_back({clock.NowMs(), which, lblInfos.ForeColor(), lblInfos.Caption(), enabled, TimerText.Interval(),
                     ticker.InfoIndex()});
  }
};

// Two passes through the table and a little more.
constexpr std::int64_t kTwoPasses = 2 * 84970 + 6000;

TEST(Ticker, FirstTextComesUpAfterTheFirstHoldAndFade) {
  Rig rig;
  EXPECT_TRUE(rig.ticker.InfoTexts()[1].empty());
  rig.RunUntil(5000);
  EXPECT_EQ(rig.lblInfos.Caption(), "");
  EXPECT_EQ(rig.ticker.HoldTicks(), 5);
  EXPECT_TRUE(rig.TimerFadeIn.Enabled());
  EXPECT_TRUE(rig.ticker.InfoTexts()[1].empty());

  rig.RunUntil(5329);
  EXPECT_EQ(rig.lblInfos.Caption(), "");
  EXPECT_EQ(rig.lblInfos.ForeColor(), 4210752u);
  rig.RunUntil(5330);
  EXPECT_EQ(rig.lblInfos.Caption(), kInfoTexts[1]);
  EXPECT_EQ(rig.lblInfos.ForeColor(), 0u);
  EXPECT_EQ(rig.ticker.InfoIndex(), 1);
  for (std::size_t row = 0; row < kInfoRows; ++row) EXPECT_EQ(rig.ticker.InfoTexts()[row], kInfoTexts[row]);

  rig.RunUntil(5660);
  EXPECT_EQ(rig.lblInfos.ForeColor(), 16777215u);
  EXPECT_TRUE(rig.TimerText.Enabled());
  EXPECT_EQ(rig.ticker.HoldTicks(), 0);
  EXPECT_EQ(rig.ticker.FadeTicks(), 0);
}

TEST(Ticker, OneTimerRunsAtATimeAndTextChangesOnlyInBlack) {
  Rig rig;
  rig.RunUntil(kTwoPasses);
  ASSERT_GT(rig.ticks.size(), 400u);
  std::string shown;
  for (const Tick& t : rig.ticks) {
    EXPECT_EQ(t.enabled, 1) << "at " << t.at;
    if (t.caption != shown) {
      EXPECT_EQ(t.colour, 0u) << "caption changed at " << t.at;
      EXPECT_EQ(t.timer, Which::FadeIn) << "caption changed at " << t.at;
      shown = t.caption;
    }
  }
}

TEST(Ticker, EachRampSetsItsSixColoursOnSixTicks) {
  Rig rig;
  rig.RunUntil(kTwoPasses);
  int ramps = 0;
  for (std::size_t i = 0; i < rig.ticks.size();) {
    const Which timer = rig.ticks[i].timer;
    if (timer == Which::Text) {
      ++i;
      continue;
    }
    const auto& ramp = timer == Which::FadeIn ? kFadeInRamp : kFadeOutRamp;
    ASSERT_LE(i + 6, rig.ticks.size());
    for (std::size_t stage = 0; stage < 6; ++stage) {
      const Tick& t = rig.ticks[i + stage];
      EXPECT_EQ(t.timer, timer) << "at " << t.at;
      EXPECT_EQ(t.colour, ramp[stage]) << "at " << t.at;
      if (stage > 0) {
        EXPECT_EQ(t.at - rig.ticks[i + stage - 1].at, 55) << "at " << t.at;
      }
    }
    // Down is always followed by up, and up by a hold.
    if (i + 6 < rig.ticks.size()) {
      EXPECT_EQ(rig.ticks[i + 6].timer, timer == Which::FadeIn ? Which::FadeOut : Which::Text);
      EXPECT_EQ(rig.ticks[i + 6].at - rig.ticks[i + 5].at, timer == Which::FadeIn ? 55 : rig.ticks[i + 5].text_interval);
    }
    i += 6;
    ++ramps;
  }
  EXPECT_GT(ramps, 4 * 17);
}

TEST(Ticker, BlankPausesHoldFiveShortTicksAndRowZeroFiveLongOnes) {
  Rig rig;
  rig.RunUntil(kTwoPasses);
  // The hold ticks that follow each switch, with the row switched to.
  struct Hold {
    std::int16_t row;
    std::vector<std::int64_t> at;
  };
  std::vector<Hold> holds;
  for (const Tick& t : rig.ticks) {
    if (t.timer == Which::FadeIn && t.colour == 0) holds.push_back({t.info_index, {}});
    if (t.timer == Which::Text && !holds.empty()) holds.back().at.push_back(t.at);
  }
  holds.pop_back();  // the end of the run may cut the last one short
  ASSERT_GE(holds.size(), 2u * kInfoRows);
  for (const Hold& h : holds) {
    ASSERT_EQ(h.at.size(), 5u) << "row " << h.row;
    const bool pause = h.row == 3 || h.row == 7 || h.row == 13;
    for (std::size_t k = 1; k < 5; ++k) EXPECT_EQ(h.at[k] - h.at[k - 1], pause ? 250 : 1000) << "row " << h.row;
  }
  // Row 0 is blank too, but held like a text.
  EXPECT_EQ(std::count_if(holds.begin(), holds.end(), [](const Hold& h) { return h.row == 0; }), 2);
}

TEST(Ticker, TheTableRepeatsAfterRowZeroAboutEvery85Seconds) {
  Rig rig;
  std::vector<std::int16_t> order;
  std::vector<int> intervals;
  rig.TimerFadeIn.OnTimer = [&] {
    const std::int16_t before = rig.ticker.InfoIndex();
    rig.ticker.TimerFadeIn_Timer();
    if (rig.ticker.InfoIndex() != before) {
      order.push_back(rig.ticker.InfoIndex());
      intervals.push_back(rig.TimerText.Interval());
      EXPECT_EQ(rig.lblInfos.Caption(), kInfoTexts[static_cast<std::size_t>(rig.ticker.InfoIndex())]);
    }
  };
  rig.RunUntil(5330);
  ASSERT_EQ(order, std::vector<std::int16_t>{1});
  rig.RunUntil(5330 + 84969);
  ASSERT_EQ(order.size(), 17u);
  rig.RunUntil(5330 + 84970);
  ASSERT_EQ(order.size(), 18u);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::int16_t row = static_cast<std::int16_t>((i + 1) % 17);
    EXPECT_EQ(order[i], row);
    EXPECT_EQ(intervals[i], HoldInterval(row)) << "row " << row;
  }
}

TEST(Ticker, ResetStartsTheCycleFromTheTop) {
  Rig rig;
  rig.RunUntil(20000);
  ASSERT_GT(rig.ticker.InfoIndex(), 1);
  rig.ticker.Reset();
  EXPECT_EQ(rig.ticker.InfoIndex(), 0);
  EXPECT_EQ(rig.ticker.HoldTicks(), 0);
}

}  // namespace
}  // namespace ticker
