#include "toolkit/signal_policy.hpp"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

namespace tk {

namespace {

constexpr std::array kEnding{SIGINT, SIGTERM};

// The program's only signal and fork-handler state, all of it here.
std::atomic<bool> box_up{false};
std::atomic<pid_t> box_owner{0};
volatile std::sig_atomic_t quit_asked = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read in a fork handler");

bool Ignored(int signal_number) {
  struct sigaction now {};
  return sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler == SIG_IGN;
}

// Installed one-shot (SA_RESETHAND) and not blocked in itself (SA_NODEFER):
// raising the signal again ends the process as the default action would.
extern "C" void EndAsUncaught(int signal_number) { raise(signal_number); }

extern "C" void AskToQuit(int /*signal_number*/) { quit_asked = 1; }

void Install(int signal_number, void (*handler)(int), int flags, struct sigaction* saved) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, saved);
}

// Runs in every child forked while a box is up: such a child is the box.
extern "C" void DieWithOwner() {
  if (!box_up.load()) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The owner may have died before the line above took effect.
  if (getppid() != box_owner.load()) _exit(1);
}

}  // namespace

EndingSignals::EndingSignals() noexcept {
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    taken_[i] = !Ignored(kEnding[i]);
    if (taken_[i]) Install(kEnding[i], &EndAsUncaught, SA_RESETHAND | SA_NODEFER, &saved_[i]);
  }
}

EndingSignals::~EndingSignals() {
  for (std::size_t i = kEnding.size(); i-- > 0;) {
    if (taken_[i]) sigaction(kEnding[i], &saved_[i], nullptr);
  }
}

void EndingSignals::AskLoopToQuit() noexcept {
  // SA_RESTART: a request to end interrupts nothing but the loop's own wait.
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    if (taken_[i]) Install(kEnding[i], &AskToQuit, SA_RESTART, nullptr);
  }
}

void SignalPolicy::Running() noexcept { ending_.AskLoopToQuit(); }

bool SignalPolicy::QuitAsked() noexcept { return quit_asked != 0; }

ModalBoxGuard::ModalBoxGuard() {
  static const bool fork_hook = pthread_atfork(nullptr, nullptr, &DieWithOwner) == 0;
  static_cast<void>(fork_hook);
  box_owner.store(getpid());
  box_up.store(true);
}

ModalBoxGuard::~ModalBoxGuard() { box_up.store(false); }

}  // namespace tk
