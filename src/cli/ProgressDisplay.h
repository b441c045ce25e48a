#pragma once
// Shows a running layout's stage and progress on standard error: one redrawn bar line on
// a terminal, plain lines (one per change) when the output goes to a file or a pipe.

#include <ostream>
#include <string>

namespace orthaven {

class ProgressDisplay
{
public:
    ProgressDisplay(std::ostream& out, bool terminal, int columns = 80);

    // The engine's status as polled: stage text, progressDone, progressTotal. The percent
    // is done / total × 100, truncated; outside 0 … 100 (nothing to count yet) the
    // previous percent stays, as in the Layout Creator.
    void update(const std::string& text, float done, float total);
    // A line of its own (a diagnostic), printed so that the bar is not torn by it.
    void message(const std::string& line);
    // Ends the bar line, so what follows starts on a fresh line.
    void finish();

    // done / total × 100 truncated, or -1 when it is not within 0 … 100.
    static int percent(float done, float total);
    // "[######--------------]  30% Loading Scan 1 of 3", cut to columns - 1 characters.
    static std::string barLine(const std::string& text, int percent, int columns);

private:
    void clearBar();

    std::ostream& out;
    bool terminal;
    int columns;
    std::string lastText;
    int lastPercent = 0;
    bool shown = false;    // something was printed for the current state
    bool barDrawn = false; // the terminal's current line holds the bar
};

} // namespace orthaven
