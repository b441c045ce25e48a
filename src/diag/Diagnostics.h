#pragma once
// The program's one channel for diagnostic lines: the engine, the readers, the task and
// the docks report a line with a severity; a replaceable sink decides where it goes. The
// default sink prints the text and a line end on standard output, which is what the
// diagnostic console shows, so the bytes users and scripts see do not depend on whether
// a line was reported here or printed directly. Front ends decide what to show a user by
// the severity, never by the words of a line.

#include <functional>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace orthaven::diag {

enum class Severity
{
    Debug,   // progress and timing lines: the console's chatter
    Info,    // what a user may like to know (a scan's point count, a file read twice)
    Warning, // the run goes on, but its result is not what was asked for in full
    Error,   // something failed; the run or the operation ends
};

// Receives one line (without its line end). Called from any thread, one call at a time.
using Sink = std::function<void(Severity, std::string_view)>;

void report(Severity severity, std::string_view text);
inline void debug(std::string_view text)
{
    report(Severity::Debug, text);
}
inline void info(std::string_view text)
{
    report(Severity::Info, text);
}
inline void warning(std::string_view text)
{
    report(Severity::Warning, text);
}
inline void error(std::string_view text)
{
    report(Severity::Error, text);
}

// A line built from several parts, each printed as std::cout prints it (numbers in the C
// notation whatever the locale), so a line keeps the bytes it had as a stream print.
template <typename... Parts> std::string line(const Parts&... parts)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    (text << ... << parts);
    return std::move(text).str();
}

template <typename... Parts>
requires(sizeof...(Parts) > 1) void debug(const Parts&... parts)
{
    report(Severity::Debug, line(parts...));
}
template <typename... Parts>
requires(sizeof...(Parts) > 1) void info(const Parts&... parts)
{
    report(Severity::Info, line(parts...));
}
template <typename... Parts>
requires(sizeof...(Parts) > 1) void warning(const Parts&... parts)
{
    report(Severity::Warning, line(parts...));
}
template <typename... Parts>
requires(sizeof...(Parts) > 1) void error(const Parts&... parts)
{
    report(Severity::Error, line(parts...));
}

// The last lines reported (at most recentLineLimit), oldest first: kept whatever the sink
// does with them, so a console opened late still shows what came before it.
inline constexpr std::size_t recentLineLimit = 2000;
std::vector<std::string> recentLines();

// The sink that prints the line and std::endl on std::cout.
void printToStdout(Severity severity, std::string_view text);

// Installs a sink (an empty one restores printToStdout) and returns the previous one.
Sink setSink(Sink sink);

// Routes the lines to a sink while it lives, then restores the previous sink.
class ScopedSink
{
public:
    explicit ScopedSink(Sink sink) : previous(setSink(std::move(sink))) {}
    ~ScopedSink() { setSink(std::move(previous)); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;

private:
    Sink previous;
};

// Holds the lines reported on the thread that made it, while it lives, instead of passing
// them on: work shared out to several threads reports them afterwards in a fixed order.
class HeldLines
{
public:
    HeldLines();
    // Stops holding; the lines still held are dropped.
    ~HeldLines();
    HeldLines(const HeldLines&) = delete;
    HeldLines& operator=(const HeldLines&) = delete;

    struct Line
    {
        Severity severity;
        std::string text;
    };
    // The lines held so far, oldest first.
    std::size_t count() const { return lines.size(); }
    std::vector<Line> take() { return std::move(lines); }

private:
    friend void report(Severity severity, std::string_view text);
    std::vector<Line> lines;
    HeldLines* outer;
};

} // namespace orthaven::diag
