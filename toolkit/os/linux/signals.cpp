// The ending signals on Linux: SIGINT and SIGTERM.
#include "signals.hpp"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
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

// What each holder found, to be put back when it goes: holders nest (the
// policy, a box inside it), and live on the one thread that shows boxes.
struct Taken {
  std::array<struct sigaction, kEnding.size()> saved{};
  std::array<bool, kEnding.size()> taken{};
};
constexpr std::size_t kMaxHolders = 4;
std::array<Taken, kMaxHolders> holders;
std::size_t held = 0;

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

// A new holder: the signals not ignored end the program at once.
void TakeEnding() noexcept {
  if (held == kMaxHolders) return;
  Taken& holder = holders[held++];
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    holder.taken[i] = !Ignored(kEnding[i]);
    if (holder.taken[i]) Install(kEnding[i], &EndAsUncaught, SA_RESETHAND | SA_NODEFER, &holder.saved[i]);
  }
}

void GiveBack() noexcept {
  if (held == 0) return;
  const Taken& holder = holders[--held];
  for (std::size_t i = kEnding.size(); i-- > 0;) {
    if (holder.taken[i]) sigaction(kEnding[i], &holder.saved[i], nullptr);
  }
}

// Runs in every child forked while a box is up: such a child is the box.
extern "C" void DieWithOwner() {
  if (!box_up.load()) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The owner may have died before the line above took effect.
  if (getppid() != box_owner.load()) _exit(1);
}

}  // namespace

SignalPolicy::SignalPolicy() noexcept { TakeEnding(); }

SignalPolicy::~SignalPolicy() { GiveBack(); }

void SignalPolicy::Running() noexcept {
  if (held == 0) return;
  // SA_RESTART: a request to end interrupts nothing but the loop's own wait.
  const Taken& holder = holders[held - 1];
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    if (holder.taken[i]) Install(kEnding[i], &AskToQuit, SA_RESTART, nullptr);
  }
}

bool SignalPolicy::QuitAsked() noexcept { return quit_asked != 0; }

ModalBoxGuard::ModalBoxGuard() noexcept {
  static const bool fork_hook = pthread_atfork(nullptr, nullptr, &DieWithOwner) == 0;
  static_cast<void>(fork_hook);
  TakeEnding();
  box_owner.store(getpid());
  box_up.store(true);
}

ModalBoxGuard::~ModalBoxGuard() {
  box_up.store(false);
  GiveBack();
}

}  // namespace tk
