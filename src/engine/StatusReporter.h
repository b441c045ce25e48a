#pragma once
// The engine's status record and result codes: the only part of a running layout that
// another thread (the dock's timer, a command-line runner) reads or writes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace orthaven {

// Value of errorCode when failed is set. The values are fixed: the dock maps them to its
// messages and an interrupted run is reported as such whatever the code.
enum ResultCode : std::int32_t
{
    NoError = 0,         // set at the start of every run
    NotEnoughMemory = 1, // a tile or thumbnail image could not be had (or would be absurdly large)
    TempFileAccess = 2,  // a temporary file or an output image could not be written or read back
    // 3 is not used
    NotEnoughData = 4,   // no tile holds enough data after normalisation
    LogFileAccess = 5,   // the layout log could not be written: the run has no usable result
    InvalidSettings = 6, // the job's settings cannot give a layout (resolution, tile size, …)
    ScanSourceError = 7, // the scan source failed with an error of its own (a vendor library's)
    NoLayerData = 8,     // none of the chosen scans holds the values the job's layer shows
    // A file of the layout could not be written into the output folder or put in place
    // there (a full disk, a folder in the way): the output folder is as it was.
    OutputFolderAccess = 9,
    OutputLocked = 10, // another run is writing a layout of the same name into that folder
    // The partial raw tiles of a merge are incomplete, damaged or not of one layout.
    PartialsUnusable = 11,
};

// A consistent copy of the record, for whoever polls it.
struct StatusSnapshot
{
    bool stopRequested = false;
    bool interrupted = false;
    bool finished = false;
    bool failed = false;
    std::int32_t errorCode = NoError;
    std::string statusText;
    float progressDone = 0.0f;
    float progressTotal = 0.0f;
    std::string failurePath;  // see StatusReporter::failurePath
    std::string failureCause; // see StatusReporter::failureCause
};

class StatusReporter
{
public:
    StatusReporter() = default;
    StatusReporter(const StatusReporter&) = delete;
    StatusReporter& operator=(const StatusReporter&) = delete;

    // Written by the front end (from any thread) to ask for an early end; cleared by setup.
    std::atomic<bool> stopRequested{false};
    // Set by the engine alone, when it leaves a run early because of stopRequested; cleared
    // by setup and at the start of a run. It is what a front end reports as "interrupted":
    // a stop request that comes after the run's last checkpoint leaves it clear, and the
    // run finishes with its whole layout written.
    std::atomic<bool> interrupted{false};
    // Set as the last step of a run; cleared by setup.
    std::atomic<bool> finished{false};
    std::atomic<bool> failed{false};
    std::atomic<std::int32_t> errorCode{NoError};
    std::atomic<float> progressDone{0.0f};
    std::atomic<float> progressTotal{0.0f};

    // The running stage's name. The engine replaces it while another thread may copy it,
    // so it is only handed over under a short lock.
    std::string statusText() const;
    void setStatusText(std::string text);

    void requestStop() { stopRequested = true; }
    StatusSnapshot snapshot() const;

    // The engine's side. What every failing stage does: failed, the code, an empty text
    // and progress 0 / 1; where the engine knows them, the file or folder that failed and
    // the system's words for the cause ("No space left on device").
    void reportFailure(ResultCode code, std::string path = {}, std::string cause = {});
    // failed, errorCode and the failure's path and cause cleared, as a run starts.
    void clearFailure();
    // The file or folder of the last failure, and its cause; empty when not known.
    std::string failurePath() const;
    std::string failureCause() const;
    // A stop checkpoint of the engine, from any of its threads: true when a stop was
    // requested, and the run is then marked interrupted and must end without putting its
    // layout in place. Calls the checkpoint observer, one call at a time.
    bool checkpoint();

    // Called at every checkpoint, just after the check: a stop requested from it is seen
    // by the next checkpoint. Tests use it to stop a run at a chosen moment and to count
    // the checkpoints of each stage (statusText() names the stage). Set it only while no
    // run is going on.
    void setCheckpointObserver(std::function<void()> observer);

private:
    mutable std::mutex textLock;
    std::string currentText;
    std::string failedPath;  // under textLock
    std::string failedCause; // under textLock
    std::mutex observerLock;
    std::function<void()> checkpointObserver;
};

} // namespace orthaven
