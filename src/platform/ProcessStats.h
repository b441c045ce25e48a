#pragma once
// What the command-line runner reports about the console it writes to and about its own
// process: whether standard error is a terminal, its width, and the peak memory use; and
// the size of the machine, which the layout engine plans its memory and threads by.

#include <cstdint>

namespace orthaven {

// True when standard error goes to an interactive terminal (a progress bar may then
// redraw its line); false for files, pipes and consoles that are redirected.
bool standardErrorIsTerminal();

// Columns of the terminal on standard error; 80 when it cannot be told.
int terminalColumns();

// The largest resident memory the process has used so far, in bytes; 0 when the system
// does not tell.
std::int64_t peakResidentBytes();

// The machine's physical memory in bytes; 0 when the system does not tell.
std::int64_t physicalMemoryBytes();

} // namespace orthaven
