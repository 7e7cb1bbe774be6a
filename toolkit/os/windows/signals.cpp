// The requests to end on Windows: the console's Ctrl-C and Ctrl-Break, where
// the program has a console. The window's own close (WM_CLOSE, from the
// taskbar or taskkill) is the window's event, not one of these.
#include "signals.hpp"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>

namespace tk {

namespace {

enum class Meaning { kEnd, kAskToQuit };

// The program's only console-event state, all of it here: the meaning each
// holder gave the events, the newest last (holders nest on one thread).
constexpr std::size_t kMaxHolders = 4;
std::array<Meaning, kMaxHolders> meanings{};
std::size_t held = 0;
std::atomic<Meaning> now{Meaning::kEnd};
std::atomic<bool> quit_asked{false};

// On the thread the system starts for the event. FALSE hands it on to the
// default handler, which ends the process at once.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (now.load() != Meaning::kAskToQuit || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)) return FALSE;
  quit_asked.store(true);
  return TRUE;
}

void Push(Meaning meaning) noexcept {
  static const bool installed = SetConsoleCtrlHandler(&OnConsoleEvent, TRUE) != 0;
  static_cast<void>(installed);
  if (held < kMaxHolders) meanings[held++] = meaning;
  now.store(meaning);
}

void Pop() noexcept {
  if (held > 0) --held;
  now.store(held > 0 ? meanings[held - 1] : Meaning::kEnd);
}

}  // namespace

SignalPolicy::SignalPolicy() noexcept { Push(Meaning::kEnd); }

SignalPolicy::~SignalPolicy() { Pop(); }

void SignalPolicy::Running() noexcept {
  if (held > 0) meanings[held - 1] = Meaning::kAskToQuit;
  now.store(Meaning::kAskToQuit);
}

bool SignalPolicy::QuitAsked() noexcept { return quit_asked.load(); }

// The box is the program's own window here: it goes with the process.
ModalBoxGuard::ModalBoxGuard() noexcept { Push(Meaning::kEnd); }

ModalBoxGuard::~ModalBoxGuard() { Pop(); }

}  // namespace tk
