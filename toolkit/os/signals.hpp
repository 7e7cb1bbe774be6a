#pragma once

// What the requests to end a program from outside its window do, by stage:
// on POSIX SIGINT and SIGTERM, on Windows the console's events (Ctrl-C,
// Ctrl-Break, its close). Wherever the message loop does not run they must end
// the program at once, as if uncaught (a POSIX shell sees 130 and 143), and
// no process of ours may outlive it; while it runs they ask it to end (status
// 0), as they do in any windowed program. A signal the program was started
// with ignored stays ignored. All of this state is the process's, kept by the
// OS's own file; the holders below nest, each putting back what was there.
namespace tk {

// Held by main from its first line: until Running(), the requests end the
// program whatever any thread is blocked in (a display or a sound server that
// never answers). On POSIX the handler is in place before any library starts,
// so SDL, which takes only signals left at their default, leaves them to us.
// Running(), called as the loop starts, makes them a request to end that the
// backend reads as a quit (QuitAsked). No thread of ours: a second thread in
// the process before the display is opened makes Xlib read its tables a
// locked character at a time.
class SignalPolicy {
 public:
  SignalPolicy() noexcept;
  ~SignalPolicy();
  SignalPolicy(const SignalPolicy&) = delete;
  SignalPolicy& operator=(const SignalPolicy&) = delete;

  void Running() noexcept;

  // Whether a request has asked the running program to end.
  static bool QuitAsked() noexcept;
};

// Held while a modal message box is up. Nobody reads a quit while the box
// runs its own loop: meanwhile the requests end the program at once. On
// Linux SDL draws the box from a process of its own (a forked child on X11,
// zenity on Wayland), which would stay on screen after the program died: it
// is made to die with the program however it ends.
class ModalBoxGuard {
 public:
  ModalBoxGuard() noexcept;
  ~ModalBoxGuard();
  ModalBoxGuard(const ModalBoxGuard&) = delete;
  ModalBoxGuard& operator=(const ModalBoxGuard&) = delete;
};

}  // namespace tk
