#pragma once
// Ctrl+C and termination requests for the command-line runner: the handler only records
// the signal; the runner's polling loop turns it into a stop request.

namespace orthaven {

// Catches SIGINT and SIGTERM (and Ctrl+Break on Windows). A second signal ends the
// process at once, for a user who does not want to wait for the cleaning.
void installInterruptHandler();

// The number of the first signal caught since installation, or 0.
int receivedInterrupt();

} // namespace orthaven
