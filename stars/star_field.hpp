#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "controls.hpp"

namespace stars {

// One star of the strip: its speed in twips per tick, its colour (white when
// fast, grey when slow) and its starting place in the strip, in twips.
struct StarSpec {
  std::int16_t speed;
  bool white;
  float left;
  float top;
};

inline constexpr std::array<StarSpec, 43> kStars{{
    {1, false, 180, 315},  {2, false, 0, 90},     {3, false, 240, 240},   {4, false, 555, 45},   {5, false, 150, 525},
    {1, false, 765, 315},  {2, false, 675, 90},   {3, false, 1005, 495},  {4, false, 1290, 255}, {5, false, 4230, 45},
    {1, false, 1740, 360}, {2, false, 1890, 45},  {3, false, 1350, 75},   {6, false, 1995, 495}, {7, false, 4035, 405},
    {8, false, 2295, 105}, {9, false, 2700, 525}, {10, false, 2760, 75},  {6, false, 3180, 420}, {7, false, 3105, 120},
    {8, false, 2415, 390}, {9, false, 3600, 450}, {10, false, 4515, 465}, {6, false, 3570, 15},  {7, false, 4470, 45},
    {11, true, 420, 195},  {12, true, 450, 345},  {13, true, 1455, 180},  {14, true, 1950, 0},   {15, true, 2820, 270},
    {11, true, 3360, 60},  {12, true, 825, 120},  {13, true, 0, 180},     {16, true, 2730, 15},  {17, true, 3885, 210},
    {18, true, 3960, 30},  {19, true, 2130, 480}, {20, true, 2550, 180},  {21, true, 1590, 45},  {22, true, 3675, 480},
    {21, true, 3570, 90},  {16, true, 1200, 420}, {18, true, 4395, 345},
}};

// A star at this Left or less re-enters at the window's width less this.
inline constexpr float kWrapMargin = 10;

using StarBoxes = std::array<tk::PictureBox, kStars.size()>;

// The star controls, named star(0) .. star(42).
StarBoxes MakeStarBoxes();

// Puts each star at its starting place, one pixel in size.
void PlaceStars(std::span<tk::PictureBox> star);

// One tick of the scroller: every star moves left by its speed, then every
// star at or past the left margin goes back to the right end of the window
// (the overshoot is dropped). star[i] is the control of kStars[i]; only Left
// changes. Fewer than 43 controls is a subscript error, raised before any move.
void StarStep(std::span<tk::PictureBox> star, const tk::Form& form);

// Every star's Left, in index order.
std::array<float, kStars.size()> Lefts(std::span<const tk::PictureBox, kStars.size()> star);

}  // namespace stars
