#include "support/CaptureStdout.h"

#include <iostream>

namespace orthaven::test {

CaptureStdout::CaptureStdout() : previous(std::cout.rdbuf(&buffer)) {}

CaptureStdout::~CaptureStdout()
{
    std::cout.rdbuf(previous);
}

std::string CaptureStdout::text() const
{
    return buffer.text();
}

QStringList CaptureStdout::lines() const
{
    QStringList result = QString::fromStdString(text()).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

std::string CaptureStdout::Buffer::text() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return collected;
}

CaptureStdout::Buffer::int_type CaptureStdout::Buffer::overflow(int_type ch)
{
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    const std::lock_guard<std::mutex> guard(lock);
    collected.push_back(traits_type::to_char_type(ch));
    return ch;
}

std::streamsize CaptureStdout::Buffer::xsputn(const char* s, std::streamsize n)
{
    const std::lock_guard<std::mutex> guard(lock);
    collected.append(s, std::size_t(n));
    return n;
}

} // namespace orthaven::test
