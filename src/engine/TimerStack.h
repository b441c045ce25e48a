#pragma once
// The stack of start times behind the engine's console timing lines
// ("<text>............... Time <seconds> sec").

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven {

class TimerStack
{
public:
    // The stack of the calling thread. A layout runs on one thread, so this is the
    // program-wide stack for it; two engines on two threads never mix their times.
    static TimerStack& instance();

    // Pushes the current time (milliseconds of a monotonic clock).
    void startTimer();
    // Prints text, "............... Time ", the seconds since the top start time and " sec",
    // then pops it. An empty stack prints 0 seconds.
    void printElapsed(const std::string& text);
    // Pops the top start time without printing (a timed step that was abandoned).
    void discard();
    std::size_t depth() const { return starts.size(); }

    // The line printElapsed prints for the given milliseconds, in the classic notation.
    static std::string elapsedLine(const std::string& text, std::int64_t milliseconds);

private:
    std::vector<std::int64_t> starts;
};

} // namespace orthaven
