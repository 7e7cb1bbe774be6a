#pragma once

#include <array>
#include <csignal>

namespace tk {

// While held, SIGINT and SIGTERM end the program at once, as if uncaught;
// a signal the program was started with ignored stays ignored. What was
// there before is put back when it goes.
class EndingSignals {
 public:
  EndingSignals() noexcept;
  ~EndingSignals();
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;

  // From now on each signal taken asks the running loop to quit instead.
  void AskLoopToQuit() noexcept;

 private:
  std::array<struct sigaction, 2> saved_{};  // SIGINT's and SIGTERM's handlers before
  std::array<bool, 2> taken_{};
};

// What SIGINT and SIGTERM do, by stage. Wherever the message loop does not
// run they must end the program at once, as if uncaught (the shell sees 130
// and 143), and no process of ours may outlive it; while it runs they ask it
// to end (status 0), as they do in any windowed program. A signal the program
// was started with ignored stays ignored.
//
// SignalPolicy, held by main from its first line: until Running(), the two
// signals end the program whatever any thread is blocked in (a display or a
// sound server that never answers). Their handler is in place before any
// library starts, so SDL, which takes only signals left at their default,
// leaves them to us. Running(), called as the loop starts, makes them a
// request to end that the backend reads as a quit (QuitAsked). No thread of
// ours: a second thread in the process before the display is opened makes
// Xlib read its tables a locked character at a time.
class SignalPolicy {
 public:
  void Running() noexcept;

  // Whether a signal has asked the running program to end.
  static bool QuitAsked() noexcept;

 private:
  EndingSignals ending_;
};

// Held while a modal message box is up. SDL draws the box from a process of
// its own (a forked child on X11, zenity on Wayland), which would stay on
// screen after the program died, and nobody reads a quit while the box runs
// its own loop. Meanwhile SIGINT and SIGTERM end the program at once, and the
// box's process is made to die with the program however it ends.
class ModalBoxGuard {
 public:
  ModalBoxGuard();
  ~ModalBoxGuard();
  ModalBoxGuard(const ModalBoxGuard&) = delete;
  ModalBoxGuard& operator=(const ModalBoxGuard&) = delete;

 private:
  EndingSignals ending_;
};

}  // namespace tk
