#pragma once
// Collects what the code under test prints to std::cout while the object lives, from any
// thread (the engine's workers print too).

#include <QStringList>

#include <mutex>
#include <streambuf>
#include <string>

namespace orthaven::test {

class CaptureStdout
{
public:
    CaptureStdout();
    ~CaptureStdout();
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

    std::string text() const;
    QStringList lines() const;

private:
    class Buffer : public std::streambuf
    {
    public:
        std::string text() const;

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;

    private:
        mutable std::mutex lock;
        std::string collected;
    };
    Buffer buffer;
    std::streambuf* previous;
};

} // namespace orthaven::test
