#include "ticker/info_texts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/text.hpp"

namespace ticker {
namespace {

// Splits "a, b, c" into its names.
std::vector<std::string> Names(std::string_view list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(", ", start);
    names.emplace_back(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return names;
    start = comma + 2;
  }
}

std::string_view Strip(std::string_view text, std::string_view head, std::string_view tail) {
  EXPECT_TRUE(text.starts_with(head)) << text;
  EXPECT_TRUE(text.ends_with(tail)) << text;
  if (text.size() < head.size() + tail.size()) return {};
  return text.substr(head.size(), text.size() - head.size() - tail.size());
}

TEST(InfoTexts, FixedRowsAndBlankPauses) {
  for (const std::size_t row : {0u, 3u, 7u, 13u}) EXPECT_EQ(kInfoTexts[row], "") << "row " << row;
  EXPECT_EQ(kInfoTexts[1], "Back from the old skool c64 scene...");
  EXPECT_EQ(kInfoTexts[2], "...Zenora makes a comeback at PC/2004!");
  EXPECT_EQ(kInfoTexts[4], "Big respects must fly to :");
  EXPECT_EQ(kInfoTexts[8], "Greetz :");
  EXPECT_EQ(kInfoTexts[12], "...and good ol' c64 skene d00dz!");
}

TEST(InfoTexts, NameRowsHaveTheirForms) {
  EXPECT_EQ(Names(Strip(kInfoTexts[5], "", "...")).size(), 3u);
  EXPECT_EQ(Names(Strip(kInfoTexts[6], "...", ".")).size(), 3u);
  EXPECT_EQ(Names(Strip(kInfoTexts[9], "", "...")).size(), 5u);
  EXPECT_EQ(Names(Strip(kInfoTexts[10], "...", "...")).size(), 5u);
  for (const std::size_t row : {5u, 6u, 9u, 10u}) {
    for (const std::string& name : Names(kInfoTexts[row])) {
      EXPECT_NE(name.find_first_not_of(". "), std::string::npos) << "row " << row;
    }
  }
  EXPECT_FALSE(Strip(kInfoTexts[11], "...", "...").empty());
  EXPECT_FALSE(kInfoTexts[14].empty());
  EXPECT_GT(Strip(kInfoTexts[15], "GFX and Code : ", "").size(), 0u);
  EXPECT_GT(Strip(kInfoTexts[16], "Music : ", "").size(), 0u);
}

TEST(InfoTexts, EveryRowFitsTheLabelInItsFont) {
  for (std::size_t row = 0; row < kInfoRows; ++row) {
    const std::string_view text = kInfoTexts[row];
    EXPECT_LE(text.size(), kMaxInfoLength) << "row " << row;
    EXPECT_LE(tk::TextWidth(text), 289) << "row " << row;
    for (const char c : text) EXPECT_TRUE(c >= 32 && c <= 126) << "row " << row;
  }
}

TEST(InfoTexts, BlankPausesHoldShort) {
  for (std::int16_t row = 0; row < static_cast<std::int16_t>(kInfoRows); ++row) {
    const bool pause = row == 3 || row == 7 || row == 13;
    EXPECT_EQ(HoldInterval(row), pause ? 250 : 1000) << "row " << row;
  }
  EXPECT_EQ(kFadeInRamp.front(), kFadeOutRamp.back());
  EXPECT_EQ(kFadeInRamp.back(), 0u);
}

}  // namespace
}  // namespace ticker
