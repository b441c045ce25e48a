#pragma once
// One layout job from the command line: lists the scans of the input files on a
// LayoutTask, works out the clipping planes the Layout Creator would offer, computes the
// layout on the task's thread while showing its progress, and turns the outcome into
// messages and an exit code.

#include "cli/CommandLine.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace orthaven {

class ConsoleCapture;
class LayoutTask;
class ProgressDisplay;

class LayoutRunner
{
public:
    enum ExitCode : int
    {
        Success = 0,
        Failed = 1,       // the scans could not be read or the layout failed
        BadArguments = 2, // the command line cannot give a job
        Locked = 3,       // another run is writing a layout of the same name into the folder
        // An interruption ends with 128 + the signal's number (130 for Ctrl+C).
    };

    // out receives the results (where the layout was written, the scan list); err the
    // progress, the warnings and the messages of failures. The diagnostic lines of the
    // engine and the readers are collected by capture (one of the runner's own while it
    // runs when none is given) and shown on err by their severity and the options.
    LayoutRunner(const CommandLine& options, std::ostream& out, std::ostream& err,
                 bool errIsTerminal, int columns = 80, ConsoleCapture* capture = nullptr);
    ~LayoutRunner();
    LayoutRunner(const LayoutRunner&) = delete;
    LayoutRunner& operator=(const LayoutRunner&) = delete;

    // Tells whether the user asked to stop, by the number of the signal; 0 for no. The
    // default is receivedInterrupt().
    void setInterruptSource(std::function<int()> source) { interrupt = std::move(source); }

    int run();

    // True when run() returned while the listing thread was still reading (an interrupt
    // during the listing, which cannot be stopped and has no temporary files): the
    // process must then end at once, without waiting for it.
    bool mustExitAtOnce() const { return abandoned; }

private:
    int runJob();
    // --levels and --preview: one look at the site instead of the layout of job.
    int runPreview(const LayoutJob& job, std::chrono::steady_clock::time_point started);
    // With --verbose: the wall time since started and the peak memory.
    void showCost(std::chrono::steady_clock::time_point started);
    int listScans();
    int badArguments(const QString& message);
    int interrupted(int signal);
    bool checkOutputFile(QString& error);
    void showEngineLines();
    // False (and nothing printed) when the reader failed on a name or a position.
    bool printList();

    CommandLine options;
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal;
    int columns;
    std::function<int()> interrupt;
    ConsoleCapture* capture;
    std::unique_ptr<ConsoleCapture> ownCapture;
    std::unique_ptr<std::ostream> results; // standard output past the capture
    std::unique_ptr<ProgressDisplay> progress;
    std::unique_ptr<LayoutTask> task;
    QString outputFile;         // absolute path of the log to write
    QStringList createdFolders; // the output folders this run made, innermost first
    bool abandoned = false;
};

} // namespace orthaven
