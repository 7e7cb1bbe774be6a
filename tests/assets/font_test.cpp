// The label font: every printable character has a glyph of its own, glyphs
// keep to their cell so neighbours never touch, and letters share a baseline.

#include "toolkit/font6x8.hpp"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

namespace {

using Bitmap = std::array<std::uint8_t, tk::kGlyphHeight>;

Bitmap Glyph(char c) {
  Bitmap rows{};
  for (int r = 0; r < tk::kGlyphHeight; ++r) {
    rows[static_cast<std::size_t>(r)] = tk::GlyphRow(c, r);
  }
  return rows;
}

bool Empty(const Bitmap& rows) {
  for (auto row : rows) {
    if (row != 0) {
      return false;
    }
  }
  return true;
}

std::string Printable() {
  std::string all;
  for (char c = ' '; c <= '~'; ++c) {
    all += c;
  }
  return all;
}

TEST(Font, EveryPrintableCharacterButSpaceHasItsOwnGlyph) {
  EXPECT_TRUE(Empty(Glyph(' ')));
  std::map<Bitmap, char> seen;
  for (char c : Printable().substr(1)) {
    const Bitmap g = Glyph(c);
    EXPECT_FALSE(Empty(g)) << "'" << c << "' is blank";
    const auto [it, fresh] = seen.emplace(g, c);
    // Zero and capital O share their shape, as on the old terminals.
    if (!fresh && !(it->second == '0' && c == 'O')) {
      ADD_FAILURE() << "'" << c << "' draws the same as '" << it->second << "'";
    }
  }
}

TEST(Font, GlyphsStayInTheirCellSoNeighboursNeverTouch) {
  constexpr std::uint8_t kLastColumn = 0x01;
  for (char c : Printable()) {
    for (int r = 0; r < tk::kGlyphHeight; ++r) {
      const auto row = tk::GlyphRow(c, r);
      EXPECT_EQ(row & ~0x3F, 0) << "'" << c << "' row " << r << " is wider than the cell";
      EXPECT_EQ(row & kLastColumn, 0) << "'" << c << "' row " << r << " would touch the next character";
    }
  }
}

TEST(Font, LettersAndDigitsStandOnOneBaselineWithDescendersBelow) {
  const std::string descenders = "gjpqy";
  for (char c : Printable()) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) {
      continue;
    }
    const bool descends = descenders.find(c) != std::string::npos;
    EXPECT_EQ(tk::GlyphRow(c, 7) != 0, descends) << "'" << c << "' row 7";
    if (!descends) {
      EXPECT_NE(tk::GlyphRow(c, 6), 0) << "'" << c << "' does not reach the baseline";
    }
    const bool tall = !(c >= 'a' && c <= 'z') || std::string("bdfhklt").find(c) != std::string::npos;
    EXPECT_EQ(tk::GlyphRow(c, 0) != 0 || tk::GlyphRow(c, 1) != 0, tall || c == 'i' || c == 'j')
        << "'" << c << "' height";
  }
}

TEST(Font, CharactersOutsideAsciiShowAsQuestionMarkAndStrayRowsAreBlank) {
  const Bitmap question = Glyph('?');
  for (int code : {0, 9, 31, 127, 128, 0xE9, 0xFF}) {
    EXPECT_EQ(Glyph(static_cast<char>(code)), question) << "code " << code;
  }
  for (char c : Printable()) {
    EXPECT_EQ(tk::GlyphRow(c, -1), 0);
    EXPECT_EQ(tk::GlyphRow(c, tk::kGlyphHeight), 0);
  }
}

}  // namespace
