#pragma once
// Collects the diagnostic lines of the engine, the readers and the task, from any thread,
// while the object lives; the runner decides by their severity when and whether to show
// them, so that standard output carries only the runner's own results.

#include "diag/Diagnostics.h"

#include <mutex>
#include <string>
#include <vector>

namespace orthaven {

class ConsoleCapture
{
public:
    struct Line
    {
        diag::Severity severity;
        std::string text; // without its line end
    };

    ConsoleCapture();  // becomes the diagnostic sink
    ~ConsoleCapture(); // gives the channel its previous sink back
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // The lines reported since the last call.
    std::vector<Line> takeLines();

private:
    void receive(diag::Severity severity, std::string_view text);

    std::mutex lock;
    std::vector<Line> lines;
    diag::Sink previous;
};

} // namespace orthaven
