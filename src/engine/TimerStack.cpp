#include "engine/TimerStack.h"

#include "diag/Diagnostics.h"

#include <chrono>
#include <locale>
#include <sstream>

namespace orthaven {

namespace {

std::int64_t nowMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TimerStack& TimerStack::instance()
{
    thread_local TimerStack stack;
    return stack;
}

void TimerStack::startTimer()
{
    starts.push_back(nowMilliseconds());
}

void TimerStack::printElapsed(const std::string& text)
{
    std::int64_t elapsed = 0;
    if (!starts.empty()) {
        elapsed = nowMilliseconds() - starts.back();
        starts.pop_back();
    }
    diag::debug(elapsedLine(text, elapsed));
}

void TimerStack::discard()
{
    if (!starts.empty())
        starts.pop_back();
}

std::string TimerStack::elapsedLine(const std::string& text, std::int64_t milliseconds)
{
    // Seconds as a float in default stream notation, never with a local decimal comma.
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << text << "............... Time " << static_cast<float>(milliseconds) / 1000.0f << " sec";
    return line.str();
}

} // namespace orthaven
