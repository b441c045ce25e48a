#pragma once
// Whether a process of this machine still runs, by its process id: what decides if a
// session folder of the temporary folder belongs to a running copy of the program.

#include <cstdint>

namespace orthaven {

std::int64_t currentProcessId();

// True while the process runs, also when it belongs to another user (it cannot be asked
// but exists) and when it has ended but was not yet reaped. False for an id that no
// process has, and for ids that cannot be a process (0 and below).
bool processIsRunning(std::int64_t pid);

} // namespace orthaven
