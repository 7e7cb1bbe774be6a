#pragma once

namespace zenora {

// SIGINT, SIGTERM and SIGHUP (a closed terminal) end a capture between two
// of its steps, so that every file already written stays whole and nothing
// unfinished is left. SIGPIPE is ignored: a closed pipe on stdout or stderr
// only drops what is written there. Installs the handlers; SDL must have been
// told to leave these signals alone before anything starts it.
void CatchInterrupts();

// The signal that arrived, or 0.
int InterruptSignal();

// "SIGINT", "SIGTERM" or "SIGHUP".
const char* InterruptName(int signal);

}  // namespace zenora
