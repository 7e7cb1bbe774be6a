#pragma once

#include "module_loader.hpp"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace bassmod {

// The one loaded module and whether it plays. render() runs on the audio
// thread; everything else on the caller's. The lock is only ever held for a
// pointer swap or one block of rendering: modules are parsed and destroyed
// outside it, so a load or free never stalls the output.
class Player {
 public:
  Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Installs next (stopped) and hands back the previous module for the caller
  // to destroy outside the lock.
  [[nodiscard]] ModulePtr replace(ModulePtr next);
  [[nodiscard]] bool has_music() const;
  // From the beginning. False when no music is loaded.
  bool play();
  bool stop();
  [[nodiscard]] bool active() const;
  // Orders, or whole seconds of one pass; nothing when no music is loaded.
  [[nodiscard]] bool length(bool seconds, std::uint32_t& result) const;

  // Fills frames of interleaved stereo; silence where there is nothing to play.
  void render(std::int16_t* out, std::size_t frames, std::int32_t rate) noexcept;

 private:
  mutable std::mutex mutex_;
  ModulePtr module_;
  bool playing_ = false;
};

}  // namespace bassmod
