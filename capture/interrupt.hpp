#pragma once

namespace zenora {

// SIGINT and SIGTERM end a capture between two of its steps, so that every
// file already written stays whole. Installs the handlers; SDL must have
// been told to leave these signals alone before anything starts it.
void CatchInterrupts();

// The signal that arrived, or 0.
int InterruptSignal();

}  // namespace zenora
