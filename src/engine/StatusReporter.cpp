#include "engine/StatusReporter.h"

#include <utility>

namespace orthaven {

std::string StatusReporter::statusText() const
{
    const std::lock_guard<std::mutex> guard(textLock);
    return currentText;
}

void StatusReporter::setStatusText(std::string newText)
{
    const std::lock_guard<std::mutex> guard(textLock);
    currentText.swap(newText);
    // the old text is freed outside the lock, when newText goes out of scope
}

StatusSnapshot StatusReporter::snapshot() const
{
    StatusSnapshot s;
    s.stopRequested = stopRequested;
    s.interrupted = interrupted;
    s.finished = finished;
    s.failed = failed;
    s.errorCode = errorCode;
    s.statusText = statusText();
    s.progressDone = progressDone;
    s.progressTotal = progressTotal;
    const std::lock_guard<std::mutex> guard(textLock);
    s.failurePath = failedPath;
    s.failureCause = failedCause;
    return s;
}

void StatusReporter::reportFailure(ResultCode code, std::string path, std::string cause)
{
    {
        const std::lock_guard<std::mutex> guard(textLock);
        failedPath.swap(path);
        failedCause.swap(cause);
    }
    failed = true;
    errorCode = code;
    setStatusText({});
    progressDone = 0.0f;
    progressTotal = 1.0f;
}

void StatusReporter::clearFailure()
{
    failed = false;
    errorCode = NoError;
    const std::lock_guard<std::mutex> guard(textLock);
    failedPath.clear();
    failedCause.clear();
}

std::string StatusReporter::failurePath() const
{
    const std::lock_guard<std::mutex> guard(textLock);
    return failedPath;
}

std::string StatusReporter::failureCause() const
{
    const std::lock_guard<std::mutex> guard(textLock);
    return failedCause;
}

bool StatusReporter::checkpoint()
{
    const bool leave = stopRequested;
    if (leave)
        interrupted = true;
    if (checkpointObserver) {
        const std::lock_guard<std::mutex> guard(observerLock);
        checkpointObserver();
    }
    return leave;
}

void StatusReporter::setCheckpointObserver(std::function<void()> observer)
{
    checkpointObserver = std::move(observer);
}

} // namespace orthaven
