#pragma once

#include <pthread.h>

#include <array>
#include <csignal>

#include "toolkit/unique_fd.hpp"

namespace tk {

// What SIGINT and SIGTERM do in a program on SDL. SDL turns them into a quit
// event, which only the running message loop reads: wherever the loop does not
// run, they must end the program at once instead, as if uncaught (the shell
// sees 130 and 143), and no process of ours may outlive it. A signal the
// program was started with ignored stays ignored.
//
// SignalPolicy, held by main from its first line: until Running(), whatever
// any thread is blocked in (a display or a sound server that never answers,
// a box), the two signals end the program. They are blocked in every thread
// (threads started later inherit that) and read by a thread of the policy's
// own, so no library's handler sees them: SDL's, which it installs as it
// starts, only sets a flag. Children forked meanwhile start with them
// unblocked. Running(), called by the thread that runs the loop, hands them
// back to it and so to SDL's quit; so does the destructor. Should the policy
// find no memory for its thread, they end the program until Running() and
// afterwards too.
class SignalPolicy {
 public:
  SignalPolicy() noexcept;
  ~SignalPolicy();
  SignalPolicy(const SignalPolicy&) = delete;
  SignalPolicy& operator=(const SignalPolicy&) = delete;

  void Running() noexcept;

 private:
  static void* Watch(void* self);

  sigset_t taken_{};
  sigset_t saved_mask_{};
  UniqueFd signals_;
  UniqueFd stop_;
  pthread_t watcher_{};
  bool watching_ = false;
};

// Held while a modal message box is up. SDL draws the box from a process of
// its own (a forked child on X11, zenity on Wayland), which would stay on
// screen after the program died, and nobody reads SDL's quit while the box
// runs its own loop. Meanwhile SIGINT and SIGTERM end the program at once,
// and the box's process is made to die with the program however it ends.
class ModalBoxGuard {
 public:
  ModalBoxGuard();
  ~ModalBoxGuard();
  ModalBoxGuard(const ModalBoxGuard&) = delete;
  ModalBoxGuard& operator=(const ModalBoxGuard&) = delete;

 private:
  std::array<struct sigaction, 2> saved_{};  // SIGINT's and SIGTERM's handlers before
  std::array<bool, 2> swapped_{};
};

}  // namespace tk
