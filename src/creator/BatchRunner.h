#pragma once
// Runs a list of layout jobs from their records alone and tells how each ended. The next
// job not yet run goes together with every later job of the same scan files: one task
// lists the files, and the group's layouts are computed from one reading of the scans
// (SharedLayoutTasks), each with its own stop, staging and outcome. A job alone lists and
// computes in one run of its task (FetchAndCompute). Everything happens on the runner's
// thread through the tasks' queued ends; nothing waits but stopAndWait and the destructor.

#include "creator/LayoutTask.h"
#include "creator/SharedLayoutTasks.h"
#include "layout/LayoutJob.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace orthaven {

struct BatchOutcome
{
    enum Kind
    {
        Waiting, // not started yet
        Running,
        Written,    // the layout was written whole
        Incomplete, // written, but some checked scans were damaged or left out
        Failed,     // nothing was written; message says why
        Stopped,    // stopped by the user; nothing was written
        NotRun,     // the batch was stopped before its turn
    };
    Kind kind = Waiting;
    int tiles = 0;
    QString message; // the whole message of a failure or an incomplete layout
};

class BatchRunner : public QObject
{
    Q_OBJECT
public:
    explicit BatchRunner(QObject* parent = nullptr);
    // A runner that still works is stopped and waited for.
    ~BatchRunner() override;

    // Starts the jobs, group by group in the order of their first job; false when it
    // already runs. The jobs are copies: what the list does meanwhile does not change them.
    bool start(const QList<LayoutJob>& jobs);
    // Stops the running jobs at their next checkpoint (a listing is let end, and its jobs
    // are stopped before they compute); no further job starts.
    void requestStop();
    // requestStop(), then waits for the running jobs; the runner has then finished.
    void stopAndWait();
    bool isRunning() const { return running; }

    // The first job of the running group still at work; -1 while the runner does not run.
    int currentJob() const;
    const QList<BatchOutcome>& outcomes() const { return results; }
    // That job's engine status (stage, progress).
    StatusSnapshot status() const;

    // The short text of an outcome for a list cell, translated in the context
    // "orthaven::BatchLayout".
    static QString outcomeText(const BatchOutcome& outcome);

signals:
    void jobStarted(int index);
    void jobFinished(int index);
    void finished(); // every job ended, or the batch was stopped

private:
    struct Member
    {
        int index = -1; // in the list
        std::unique_ptr<LayoutTask> task;
        QStringList createdFolders; // made for its output
    };
    enum Phase
    {
        Idle,    // between groups, or not running
        Alone,   // one job lists and computes
        Listing, // the first member's task lists the group's files
        Sharing, // the members compute from one reading
    };

    void startNext();
    // Takes the next group: its jobs that pass their checks, their output folders made.
    std::vector<Member> nextGroup();
    void startGroup();
    void startSharing();
    // The queued end of a task's thread; what it ends depends on the phase.
    void taskEnded();
    // Records the members' outcomes and removes what failed or stopped jobs left.
    void endGroup(const std::vector<BatchOutcome>& outcomes);
    void finishJob(int index, BatchOutcome outcome);
    // How a job whose task has ended came out; listed: its files gave scans.
    static BatchOutcome outcomeOf(const LayoutTask& task, bool listed);
    const Member* shownMember() const;

    QList<LayoutJob> jobs;
    QList<BatchOutcome> results;
    std::vector<Member> group; // the running group; the first member lists
    std::unique_ptr<SharedLayoutTasks> sharing;
    Phase phase = Idle;
    bool running = false;
    bool stopWanted = false;
};

} // namespace orthaven
