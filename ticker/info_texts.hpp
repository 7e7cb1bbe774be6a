#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "colour.hpp"

namespace ticker {

inline constexpr std::size_t kInfoRows = 17;

// The info line's messages in showing order. The label is 289 pixels of 6-pixel
// glyphs wide, so no row may pass 48 characters.
inline constexpr std::array<std::string_view, kInfoRows> kInfoTexts{
    "",
    "Back from the old skool c64 scene...",
    "...Zenora makes a comeback at PC/2004!",
    "",
    "Big respects must fly to :",
    "Quorvane, Pixelmoth, Tarnwick...",
    "...Glimmerdyne, Voxhalla, Brinefold.",
    "",
    "Greetz :",
    "Zyphor, Mukkle, Trelkin, Dabbo, Vantiq...",
    "...Ruffka, Ilvex, Pomodor, Skeevo, Joruu...",
    "...and all other regulars of #bytecellar...",
    "...and good ol' c64 skene d00dz!",
    "",
    "Thanks to the whole Zenora crew for this one!",
    "GFX and Code : Kavlo",
    "Music : Lumbrix",
};

inline constexpr std::size_t kMaxInfoLength = 48;
static_assert(std::all_of(kInfoTexts.begin(), kInfoTexts.end(),
                          [](std::string_view row) { return row.size() <= kMaxInfoLength; }),
              "an info text is wider than the label");

// The row after the last is the first again.
inline constexpr auto kLastInfoRow = static_cast<std::int16_t>(kInfoRows - 1);

// A ramp runs stages 1 to kFadeStages on as many ticks; the last stage hands over.
inline constexpr std::int16_t kFadeStages = 6;

// Text colours of the fade stages: white down to black, black up to white.
inline constexpr std::array<tk::OleColor, kFadeStages> kFadeInRamp{16777215, 14737632, 12632256, 8421504, 4210752, 0};
inline constexpr std::array<tk::OleColor, kFadeStages> kFadeOutRamp{0, 4210752, 8421504, 12632256, 14737632, 16777215};

// The ticker timers' intervals, in ms: a fade step, a hold tick.
inline constexpr int kFadeInterval = 55;
inline constexpr int kLongHold = 1000;
inline constexpr int kShortHold = 250;

// The hold tick of a row: the blank pauses between the blocks of text are short.
constexpr int HoldInterval(std::int16_t infoIndex) {
  return infoIndex == 3 || infoIndex == 7 || infoIndex == 13 ? kShortHold : kLongHold;
}

}  // namespace ticker
