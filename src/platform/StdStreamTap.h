#pragma once
// Routes what the process writes to standard output and standard error through a
// callback while it is active, so the diagnostic console can show it. The original
// outputs keep receiving everything as well. Stopping (or destroying) the tap restores
// both outputs exactly as they were.

#include <functional>
#include <memory>
#include <string>

namespace orthaven {

class StdStreamTap
{
public:
    // Called from a reader thread with each piece of text as it arrives.
    using Sink = std::function<void(const std::string& text)>;

    StdStreamTap();
    ~StdStreamTap();
    StdStreamTap(const StdStreamTap&) = delete;
    StdStreamTap& operator=(const StdStreamTap&) = delete;

    bool start(Sink sink);
    void stop();
    bool isActive() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orthaven
