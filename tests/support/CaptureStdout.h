#pragma once
// Collects what the code under test prints to std::cout while the object lives.

#include <QStringList>

#include <sstream>
#include <string>

namespace orthaven::test {

class CaptureStdout
{
public:
    CaptureStdout();
    ~CaptureStdout();
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

    std::string text() const { return buffer.str(); }
    QStringList lines() const;

private:
    std::ostringstream buffer;
    std::streambuf* previous;
};

} // namespace orthaven::test
