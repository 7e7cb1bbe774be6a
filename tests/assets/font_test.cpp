// The label font: every printable character has a glyph of its own, glyphs
// keep off the cell's last column so neighbours never touch, and letters and
// digits share a baseline.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <map>
#include <string_view>

#include "toolkit/font6x8.hpp"

namespace {

using Bitmap = std::array<std::uint8_t, tk::kGlyphHeight>;

Bitmap Glyph(char c) {
  Bitmap rows{};
  for (int r = 0; r < tk::kGlyphHeight; ++r) rows[static_cast<std::size_t>(r)] = tk::GlyphRow(c, r);
  return rows;
}

TEST(Font, PrintableGlyphsAreDistinctKeepOffTheLastColumnAndShareABaseline) {
  EXPECT_EQ(Glyph(' '), Bitmap{});
  std::map<Bitmap, char> seen;
  for (char c = '!'; c <= '~'; ++c) {
    const Bitmap g = Glyph(c);
    EXPECT_NE(g, Bitmap{}) << "'" << c << "' is blank";
    const auto [it, fresh] = seen.emplace(g, c);
    // Zero and capital O share their shape, as on the old terminals.
    if (!fresh && !(it->second == '0' && c == 'O')) ADD_FAILURE() << "'" << c << "' draws as '" << it->second << "'";
    for (const std::uint8_t row : g) EXPECT_EQ(row & 0x01, 0) << "'" << c << "' would touch the next character";
    if (std::isalnum(static_cast<unsigned char>(c))) {
      const bool descends = std::string_view("gjpqy").find(c) != std::string_view::npos;
      EXPECT_EQ(g[7] != 0, descends) << "'" << c << "' row 7";
      EXPECT_TRUE(descends || g[6] != 0) << "'" << c << "' does not reach the baseline";
    }
  }
}

TEST(Font, CharactersOutsideAsciiShowAsQuestionMarkAndStrayRowsAreBlank) {
  for (const int code : {0, 9, 31, 127, 128, 0xE9, 0xFF}) EXPECT_EQ(Glyph(static_cast<char>(code)), Glyph('?')) << code;
  for (const int row : {-1, tk::kGlyphHeight, 1000}) EXPECT_EQ(tk::GlyphRow('A', row), 0) << row;
}

}  // namespace
