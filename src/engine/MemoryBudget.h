#pragma once
// How many bytes of tiles a layout run may hold in memory. The tile stores reserve what
// they keep and spill to files what does not fit; running over the budget is never a
// failure, it only costs file traffic.

#include <atomic>
#include <cstdint>

namespace orthaven {

class MemoryBudget
{
public:
    explicit MemoryBudget(std::int64_t limitBytes) : limit(limitBytes) {}

    void reserve(std::int64_t bytes) { used += bytes; }
    void release(std::int64_t bytes) { used -= bytes; }
    bool exceeded() const { return used.load() > limit; }
    std::int64_t usedBytes() const { return used.load(); }
    std::int64_t limitBytes() const { return limit; }

private:
    const std::int64_t limit;
    std::atomic<std::int64_t> used{0};
};

} // namespace orthaven
