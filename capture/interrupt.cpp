#include "capture/interrupt.hpp"

#include <csignal>

namespace zenora {

namespace {

// The tool's one piece of process-wide state: written by the handler only.
volatile std::sig_atomic_t arrived = 0;

extern "C" void OnInterrupt(int signal) { arrived = signal; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal() { return arrived; }

}  // namespace zenora
