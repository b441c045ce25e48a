#pragma once
// The one count of busy threads a run may use, shared by everything that works for it at
// once: the thread that reads the scans, the reader's own parsers and the rasterisers.
// Work takes a slot before it starts and gives it back when it is done; a thread that
// waits for other work (a parsed block, room in a queue) gives its slot back while it
// waits, so `threads` N means at most N threads busy at any moment.

#include <condition_variable>
#include <mutex>

namespace orthaven {

class ThreadBudget
{
public:
    explicit ThreadBudget(int threads) : free(threads > 1 ? threads : 1) {}

    void acquire()
    {
        std::unique_lock<std::mutex> lock(guard);
        changed.wait(lock, [this] { return free > 0; });
        --free;
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(guard);
            ++free;
        }
        changed.notify_one();
    }

    // For a scope: enter on the budget at its start, leave at its end; nothing without a
    // budget.
    template <void (ThreadBudget::*enter)(), void (ThreadBudget::*leave)()> class Scope
    {
    public:
        explicit Scope(ThreadBudget* budget) : owner(budget)
        {
            if (owner)
                (owner->*enter)();
        }
        ~Scope()
        {
            if (owner)
                (owner->*leave)();
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ThreadBudget* owner;
    };
    // A slot held for a scope.
    using Slot = Scope<&ThreadBudget::acquire, &ThreadBudget::release>;
    // The caller's slot given back for a scope in which it only waits.
    using Idle = Scope<&ThreadBudget::release, &ThreadBudget::acquire>;

private:
    std::mutex guard;
    std::condition_variable changed;
    int free;
};

} // namespace orthaven
