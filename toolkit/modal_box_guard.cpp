#include "toolkit/modal_box_guard.hpp"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>

namespace tk {

namespace {

// The program's only signal and fork-handler state, all of it here.
std::atomic<bool> box_up{false};
std::atomic<pid_t> box_owner{0};

// Installed one-shot (SA_RESETHAND) and not blocked in itself (SA_NODEFER):
// raising the signal again ends the process as the default action would.
extern "C" void EndAsUncaught(int signal_number) { raise(signal_number); }

// Runs in every child forked while a box is up: such a child is the box.
extern "C" void DieWithOwner() {
  if (!box_up.load()) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The owner may have died before the line above took effect.
  if (getppid() != box_owner.load()) _exit(1);
}

}  // namespace

ModalBoxGuard::ModalBoxGuard() {
  static const bool fork_hook = pthread_atfork(nullptr, nullptr, &DieWithOwner) == 0;
  static_cast<void>(fork_hook);
  box_owner.store(getpid());
  box_up.store(true);
  struct sigaction end {};
  end.sa_handler = &EndAsUncaught;
  end.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&end.sa_mask);
  sigaction(SIGINT, &end, &saved_int_);
  sigaction(SIGTERM, &end, &saved_term_);
}

ModalBoxGuard::~ModalBoxGuard() {
  sigaction(SIGTERM, &saved_term_, nullptr);
  sigaction(SIGINT, &saved_int_, nullptr);
  box_up.store(false);
}

}  // namespace tk
