#pragma once
// Runs a list of layout jobs one after another, each from its record alone (the task's
// FetchAndCompute), and tells how each ended. The list is its input as a whole, so that a
// run that reads scans shared by several jobs once can take the runner's place.

#include "creator/LayoutTask.h"
#include "layout/LayoutJob.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

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

    // Starts the jobs in their order; false when it already runs. The jobs are copies: what
    // the list does meanwhile does not change them.
    bool start(const QList<LayoutJob>& jobs);
    // Stops the running job at its next checkpoint; no further job starts.
    void requestStop();
    // requestStop(), then waits for the running job; the runner has then finished.
    void stopAndWait();
    bool isRunning() const { return current >= 0; }

    int currentJob() const { return current; } // -1 while it does not run
    const QList<BatchOutcome>& outcomes() const { return results; }
    // The running job's engine status (stage, progress).
    StatusSnapshot status() const { return task.creator.snapshot(); }

    // The short text of an outcome for a list cell, translated in the context
    // "orthaven::BatchLayout".
    static QString outcomeText(const BatchOutcome& outcome);

signals:
    void jobStarted(int index);
    void jobFinished(int index);
    void finished(); // every job ended, or the batch was stopped

private:
    void startNext();
    void jobEnded();
    void finishJob(BatchOutcome outcome);

    LayoutTask task;
    QList<LayoutJob> jobs;
    QList<BatchOutcome> results;
    QStringList createdFolders; // made for the running job's output
    int current = -1;
    bool stopWanted = false;
};

} // namespace orthaven
