#include "diag/Diagnostics.h"

#include <deque>
#include <iostream>
#include <mutex>

namespace orthaven::diag {

namespace {

// One lock for the sink and for the calls into it, so lines of several threads never
// interleave and a sink is not replaced while it runs.
std::mutex& sinkLock()
{
    static std::mutex lock;
    return lock;
}

Sink& currentSink()
{
    static Sink sink = printToStdout;
    return sink;
}

std::deque<std::string>& recent()
{
    static std::deque<std::string> lines;
    return lines;
}

} // namespace

std::vector<std::string> recentLines()
{
    const std::lock_guard<std::mutex> guard(sinkLock());
    return {recent().begin(), recent().end()};
}

void printToStdout(Severity, std::string_view text)
{
    std::cout << text << std::endl;
}

namespace {
thread_local HeldLines* heldHere = nullptr;
} // namespace

HeldLines::HeldLines() : outer(heldHere)
{
    heldHere = this;
}

HeldLines::~HeldLines()
{
    heldHere = outer;
}

void report(Severity severity, std::string_view text)
{
    if (heldHere) {
        heldHere->lines.push_back({severity, std::string(text)});
        return;
    }
    const std::lock_guard<std::mutex> guard(sinkLock());
    std::deque<std::string>& lines = recent();
    lines.emplace_back(text);
    if (lines.size() > recentLineLimit)
        lines.pop_front();
    currentSink()(severity, text);
}

Sink setSink(Sink sink)
{
    const std::lock_guard<std::mutex> guard(sinkLock());
    Sink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : Sink(printToStdout);
    return previous;
}

} // namespace orthaven::diag
