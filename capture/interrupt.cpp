#include "interrupt.hpp"

#include <csignal>
#include <initializer_list>

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
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
}

int InterruptSignal() { return arrived; }

const char* InterruptName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
  }
}

}  // namespace zenora
