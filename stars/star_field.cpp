#include "star_field.hpp"

#include <string>
#include <utility>

#include "errors.hpp"
#include "units.hpp"

namespace stars {

namespace {

template <std::size_t... I>
StarBoxes Boxes(std::index_sequence<I...>) {
  return {tk::PictureBox("star(" + std::to_string(I) + ")")...};
}

}  // namespace

StarBoxes MakeStarBoxes() { return Boxes(std::make_index_sequence<kStars.size()>{}); }

void PlaceStars(std::span<tk::PictureBox> star) {
  for (std::size_t i = 0; i < star.size() && i < kStars.size(); ++i) {
    star[i].SetBounds(kStars[i].left, kStars[i].top, tk::PixelsToTwips(1), tk::PixelsToTwips(1));
  }
}

void StarStep(std::span<tk::PictureBox> star, const tk::Form& form) {
  if (star.size() < kStars.size()) throw tk::RuntimeError::SubscriptOutOfRange();
  // All moves come before all wraps, so a star that wraps is not moved again
  // until the next tick.
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    star[i].SetLeft(star[i].Left() - static_cast<float>(kStars[i].speed));
  }
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    if (star[i].Left() <= kWrapMargin) star[i].SetLeft(form.Width() - kWrapMargin);
  }
}

std::array<float, kStars.size()> Lefts(std::span<const tk::PictureBox, kStars.size()> star) {
  std::array<float, kStars.size()> lefts{};
  for (std::size_t i = 0; i < star.size(); ++i) lefts[i] = star[i].Left();
  return lefts;
}

}  // namespace stars
