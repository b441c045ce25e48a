#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

constexpr int barCells = 24;

} // namespace

ProgressDisplay::ProgressDisplay(std::ostream& stream, bool isTerminal, int width)
    : out(stream), terminal(isTerminal), columns(std::max(width, 20))
{
}

int ProgressDisplay::percent(float done, float total)
{
    if (!(total > 0.0f))
        return -1;
    const double value = std::trunc(double(done) / double(total) * 100.0);
    if (!(value >= 0.0 && value <= 100.0))
        return -1;
    return int(value);
}

std::string ProgressDisplay::barLine(const std::string& text, int percent, int columns)
{
    const int p = std::clamp(percent, 0, 100);
    const int filled = p * barCells / 100;
    std::string line = "[" + std::string(std::size_t(filled), '#') +
                       std::string(std::size_t(barCells - filled), '-') + "] ";
    const std::string number = std::to_string(p);
    line += std::string(3 - number.size(), ' ') + number + "% " + text;
    const std::size_t width = std::size_t(std::max(columns - 1, 1));
    if (line.size() > width)
        line.resize(width);
    return line;
}

void ProgressDisplay::update(const std::string& text, float done, float total)
{
    const int p = percent(done, total);
    const int shownPercent = p >= 0 ? p : lastPercent;
    // Between stages the engine shows no text for a moment; there is nothing to tell then.
    if (text.empty())
        return;
    if (shown && text == lastText && shownPercent == lastPercent)
        return;
    lastText = text;
    lastPercent = shownPercent;
    shown = true;
    if (terminal) {
        const std::string line = barLine(text, shownPercent, columns);
        // Blanks after the text wipe what a longer previous line left.
        out << '\r' << line
            << std::string(std::size_t(std::max(0, columns - 1 - int(line.size()))), ' ') << '\r'
            << line << std::flush;
        barDrawn = true;
    } else {
        out << shownPercent << "% " << text << std::endl;
    }
}

void ProgressDisplay::message(const std::string& line)
{
    clearBar();
    out << line << std::endl;
    if (terminal && shown) {
        out << barLine(lastText, lastPercent, columns) << std::flush;
        barDrawn = true;
    }
}

void ProgressDisplay::finish()
{
    if (barDrawn)
        out << std::endl;
    barDrawn = false;
    shown = false;
    lastText.clear();
    lastPercent = 0;
}

void ProgressDisplay::clearBar()
{
    if (!barDrawn)
        return;
    out << '\r' << std::string(std::size_t(columns - 1), ' ') << '\r';
    barDrawn = false;
}

} // namespace orthaven
