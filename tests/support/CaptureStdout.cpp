#include "support/CaptureStdout.h"

#include <iostream>

namespace orthaven::test {

CaptureStdout::CaptureStdout() : previous(std::cout.rdbuf(buffer.rdbuf())) {}

CaptureStdout::~CaptureStdout() { std::cout.rdbuf(previous); }

QStringList CaptureStdout::lines() const
{
    QStringList result = QString::fromStdString(buffer.str()).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

} // namespace orthaven::test
