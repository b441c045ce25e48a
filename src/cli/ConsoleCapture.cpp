#include "cli/ConsoleCapture.h"

#include <iostream>

namespace orthaven {

namespace {

// Keeps memory bounded should a reader print a line per damaged point of a huge file.
constexpr std::size_t maxHeldLines = 100000;

} // namespace

ConsoleCapture::ConsoleCapture() : previous(std::cout.rdbuf(this)) {}

ConsoleCapture::~ConsoleCapture()
{
    std::cout.rdbuf(previous);
}

ConsoleCapture::int_type ConsoleCapture::overflow(int_type ch)
{
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    xsputn(&c, 1);
    return ch;
}

std::streamsize ConsoleCapture::xsputn(const char* s, std::streamsize n)
{
    const std::lock_guard<std::mutex> guard(lock);
    for (std::streamsize k = 0; k < n; ++k) {
        if (s[k] == '\n') {
            if (!pending.empty() && pending.back() == '\r')
                pending.pop_back();
            if (lines.size() >= maxHeldLines)
                lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(maxHeldLines / 2));
            lines.push_back(std::move(pending));
            pending.clear();
        } else {
            pending += s[k];
        }
    }
    return n;
}

std::vector<std::string> ConsoleCapture::takeLines()
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> taken;
    taken.swap(lines);
    return taken;
}

std::vector<std::string> ConsoleCapture::takeAll()
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> taken;
    taken.swap(lines);
    if (!pending.empty()) {
        taken.push_back(std::move(pending));
        pending.clear();
    }
    return taken;
}

} // namespace orthaven
