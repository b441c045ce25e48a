#include "platform/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace orthaven {

void endProcessNow(int exitCode)
{
    std::cout.flush();
    std::cerr.flush();
    std::clog.flush();
    std::fflush(nullptr);
    // Unlike std::exit, _Exit destroys nothing: static objects stay as they are while
    // other threads may still be using them.
    std::_Exit(exitCode);
}

void killProcessNow()
{
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    std::raise(SIGKILL);
#endif
    std::_Exit(137); // not reached
}

} // namespace orthaven
