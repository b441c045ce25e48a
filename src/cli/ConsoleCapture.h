#pragma once
// Collects what the engine, the readers and the task print on std::cout, from any thread,
// while the object lives; the runner decides when and whether to show those lines, so
// that standard output carries only the runner's own results.

#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

namespace orthaven {

class ConsoleCapture : public std::streambuf
{
public:
    ConsoleCapture();           // diverts std::cout into this buffer
    ~ConsoleCapture() override; // gives std::cout its buffer back (unfinished text is kept)
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // The buffer std::cout had before: where the runner writes its own output.
    std::streambuf* originalBuffer() const { return previous; }
    // The complete lines printed since the last call, without their line ends.
    std::vector<std::string> takeLines();
    // Everything still held at the end, the last unfinished line included.
    std::vector<std::string> takeAll();

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    std::mutex lock;
    std::string pending;
    std::vector<std::string> lines;
    std::streambuf* previous;
};

} // namespace orthaven
