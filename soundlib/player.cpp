#include "player.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace bassmod {

ModulePtr Player::replace(ModulePtr next) {
  const std::scoped_lock lock(mutex_);
  playing_ = false;
  return std::exchange(module_, std::move(next));
}

bool Player::has_music() const {
  const std::scoped_lock lock(mutex_);
  return module_ != nullptr;
}

bool Player::play() {
  const std::scoped_lock lock(mutex_);
  if (!module_) {
    return false;
  }
  openmpt_module_set_position_seconds(module_.get(), 0.0);
  playing_ = true;
  return true;
}

bool Player::stop() {
  const std::scoped_lock lock(mutex_);
  playing_ = false;
  return module_ != nullptr;
}

bool Player::active() const {
  const std::scoped_lock lock(mutex_);
  return module_ && playing_;
}

bool Player::length(bool seconds, std::uint32_t& result) const {
  const std::scoped_lock lock(mutex_);
  if (!module_) {
    return false;
  }
  if (seconds) {
    result = static_cast<std::uint32_t>(std::lround(openmpt_module_get_duration_seconds(module_.get())));
  } else {
    result = static_cast<std::uint32_t>(std::max(0, openmpt_module_get_num_orders(module_.get())));
  }
  return true;
}

void Player::render(std::int16_t* out, std::size_t frames, std::int32_t rate) noexcept {
  std::size_t done = 0;
  {
    const std::scoped_lock lock(mutex_);
    while (playing_ && done < frames) {
      const std::size_t got =
          openmpt_module_read_interleaved_stereo(module_.get(), rate, frames - done, out + 2 * done);
      if (got == 0) {  // end of the song (or of its fade-out)
        playing_ = false;
      }
      done += got;
    }
  }
  std::fill(out + 2 * done, out + 2 * frames, std::int16_t{0});
}

}  // namespace bassmod
