#pragma once

#include <csignal>

namespace tk {

// Held while a modal message box is up. SDL turns SIGINT and SIGTERM into
// quit events, which nobody reads while its box runs its own loop; and it
// draws the box from a process of its own (a forked child on X11, zenity on
// Wayland), which would stay on screen after the program died. Meanwhile:
// SIGINT and SIGTERM end the program at once, as if uncaught, and the box's
// process is made to die with the program however it ends.
class ModalBoxGuard {
 public:
  ModalBoxGuard();
  ~ModalBoxGuard();
  ModalBoxGuard(const ModalBoxGuard&) = delete;
  ModalBoxGuard& operator=(const ModalBoxGuard&) = delete;

 private:
  struct sigaction saved_int_ {};
  struct sigaction saved_term_ {};
};

}  // namespace tk
