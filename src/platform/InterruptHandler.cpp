#include "platform/InterruptHandler.h"

#include <atomic>
#include <csignal>

namespace orthaven {

namespace {

// A signal handler may only touch lock-free atomics.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal)
{
    int expected = 0;
    if (!caught.compare_exchange_strong(expected, signal)) {
        // Asked twice: give up cleaning and end the way the signal would have.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    // Some systems reset the handler on delivery; keep catching.
    std::signal(signal, onInterrupt);
}

} // namespace

void installInterruptHandler()
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#ifdef SIGBREAK
    std::signal(SIGBREAK, onInterrupt);
#endif
}

int receivedInterrupt()
{
    return caught.load();
}

} // namespace orthaven
