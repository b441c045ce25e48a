#include "cli/ConsoleCapture.h"

namespace orthaven {

namespace {

// Keeps memory bounded should a reader report a line per damaged point of a huge file.
constexpr std::size_t maxHeldLines = 100000;

} // namespace

ConsoleCapture::ConsoleCapture()
    : previous(diag::setSink(
          [this](diag::Severity severity, std::string_view text) { receive(severity, text); }))
{
}

ConsoleCapture::~ConsoleCapture()
{
    diag::setSink(std::move(previous));
}

void ConsoleCapture::receive(diag::Severity severity, std::string_view text)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (lines.size() >= maxHeldLines)
        lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(maxHeldLines / 2));
    lines.push_back({severity, std::string(text)});
}

std::vector<ConsoleCapture::Line> ConsoleCapture::takeLines()
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<Line> taken;
    taken.swap(lines);
    return taken;
}

} // namespace orthaven
