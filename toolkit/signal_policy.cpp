#include "toolkit/signal_policy.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tk {

namespace {

constexpr std::array kEnding{SIGINT, SIGTERM};
// Room for poll() and a read: the default would take 8 MB of address space
// from a program run under a memory limit.
constexpr std::size_t kWatcherStack = std::size_t{64} << 10;

// The program's only signal and fork-handler state, all of it here.
std::atomic<bool> box_up{false};
std::atomic<pid_t> box_owner{0};
std::atomic<bool> unblock_in_child{false};

bool Ignored(int signal_number) {
  struct sigaction now {};
  return sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler == SIG_IGN;
}

// Installed one-shot (SA_RESETHAND) and not blocked in itself (SA_NODEFER):
// raising the signal again ends the process as the default action would.
extern "C" void EndAsUncaught(int signal_number) { raise(signal_number); }

void InstallEnding(int signal_number, struct sigaction* saved) {
  struct sigaction end {};
  end.sa_handler = &EndAsUncaught;
  end.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&end.sa_mask);
  sigaction(signal_number, &end, saved);
}

// Ends the process by the signal, from a thread that has it blocked.
[[noreturn]] void EndBy(int signal_number) {
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(signal_number, &by_default, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal_number);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(signal_number);
  _exit(128 + signal_number);  // not reached
}

// Runs in every child forked by the program.
extern "C" void InChild() {
  // Whatever it runs (a box, a sound server started for us) takes signals as
  // any program does.
  if (unblock_in_child.load()) {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int s : kEnding) sigaddset(&ending, s);
    pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
  }
  // A child forked while a box is up is the box.
  if (box_up.load()) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The owner may have died before the line above took effect.
    if (getppid() != box_owner.load()) _exit(1);
  }
}

void HookFork() {
  static const bool hooked = pthread_atfork(nullptr, nullptr, &InChild) == 0;
  static_cast<void>(hooked);
}

}  // namespace

SignalPolicy::SignalPolicy() noexcept {
  HookFork();
  sigemptyset(&taken_);
  for (const int s : kEnding) {
    if (!Ignored(s)) sigaddset(&taken_, s);
  }
  pthread_sigmask(SIG_BLOCK, &taken_, &saved_mask_);
  signals_.Reset(signalfd(-1, &taken_, SFD_CLOEXEC));
  stop_.Reset(eventfd(0, EFD_CLOEXEC));
  pthread_attr_t attributes;
  if (signals_ && stop_ && pthread_attr_init(&attributes) == 0) {
    pthread_attr_setstacksize(&attributes, kWatcherStack);
    watching_ = pthread_create(&watcher_, &attributes, &SignalPolicy::Watch, this) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (watching_) {
    unblock_in_child.store(true);
    return;
  }
  pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
  for (const int s : kEnding) {
    if (sigismember(&taken_, s) == 1) InstallEnding(s, nullptr);
  }
}

SignalPolicy::~SignalPolicy() { Running(); }

void SignalPolicy::Running() noexcept {
  if (!watching_) return;
  const std::uint64_t one = 1;
  static_cast<void>(write(stop_.Get(), &one, sizeof one));
  pthread_join(watcher_, nullptr);
  watching_ = false;
  pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
}

void* SignalPolicy::Watch(void* self) {
  const auto& policy = *static_cast<const SignalPolicy*>(self);
  std::array<pollfd, 2> ready{pollfd{policy.signals_.Get(), POLLIN, 0}, pollfd{policy.stop_.Get(), POLLIN, 0}};
  for (;;) {
    if (poll(ready.data(), ready.size(), -1) < 0) continue;
    signalfd_siginfo taken{};
    if ((ready[0].revents & POLLIN) != 0 && read(ready[0].fd, &taken, sizeof taken) == sizeof taken) {
      EndBy(static_cast<int>(taken.ssi_signo));
    }
    if (ready[1].revents != 0) return nullptr;
  }
}

ModalBoxGuard::ModalBoxGuard() {
  HookFork();
  box_owner.store(getpid());
  box_up.store(true);
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    swapped_[i] = !Ignored(kEnding[i]);
    if (swapped_[i]) InstallEnding(kEnding[i], &saved_[i]);
  }
}

ModalBoxGuard::~ModalBoxGuard() {
  for (std::size_t i = kEnding.size(); i-- > 0;) {
    if (swapped_[i]) sigaction(kEnding[i], &saved_[i], nullptr);
  }
  box_up.store(false);
}

}  // namespace tk
