#include "stars/star_field.hpp"

#include "toolkit/errors.hpp"

namespace stars {

void StarStep(std::span<tk::PictureBox* const> star, const tk::Form& form) {
  if (star.size() < kStars.size()) throw tk::RuntimeError::SubscriptOutOfRange();
  // All moves come before all wraps, so a star that wraps is not moved again
  // until the next tick.
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    star[i]->SetLeft(star[i]->Left() - static_cast<float>(kStars[i].speed));
  }
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    if (star[i]->Left() <= kWrapMargin) star[i]->SetLeft(form.Width() - kWrapMargin);
  }
}

}  // namespace stars
