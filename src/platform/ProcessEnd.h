#pragma once
// Ending the program at once, for when it must not wait for anything of its own: what
// was printed is flushed, but no static destructor and no exit handler runs, and no
// thread is waited for (a layout may still be computing in one).

namespace orthaven {

// Flushes standard output and standard error (the C++ streams and the C ones), then
// ends the process with exitCode.
[[noreturn]] void endProcessNow(int exitCode);

// Ends the process as a kill from outside would (SIGKILL, TerminateProcess): nothing is
// flushed, closed or removed. For the tests of what a run killed at a given moment leaves.
[[noreturn]] void killProcessNow();

} // namespace orthaven
