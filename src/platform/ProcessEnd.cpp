#include "platform/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

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

} // namespace orthaven
