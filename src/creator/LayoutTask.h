#pragma once
// The worker thread behind the Layout Creator: it lists the scans of the chosen input
// files and computes layouts with one engine, reusing the reader between the two.

#include "creator/ScanDamage.h"
#include "engine/LayoutCreator.h"
#include "layout/LayoutJob.h"
#include "scan/ScanSource.h"
#include "settings/ConfigSettings.h"

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace orthaven {

enum TaskMode : int
{
    FetchScans = 1,      // open the input files and learn their scans
    ComputeLayout = 2,   // compute the layout of the job and draw the overview pictures
    FetchAndCompute = 3, // both in one run, from the job record alone
};

class LayoutTask : public QThread
{
    Q_OBJECT
public:
    explicit LayoutTask(QObject* parent = nullptr);
    // A task whose thread still runs is stopped and waited for, so the engine can remove
    // its temporary files before the task goes away.
    ~LayoutTask() override;

    // Replaces the reader by the one for the first input file of the job (chosen by its
    // lower-cased extension). True when a reader exists afterwards.
    bool createReader();

    // The computations read view instead of the task's own reader (not owned; null: the
    // own one again): one of the views of a shared reading (engine/SharedScans.h).
    void readFrom(ScanSource* view) { sharedView = view; }
    // The source the computations read.
    ScanSource* scans() const { return sharedView ? sharedView : reader.get(); }

    // Starts run() for the mode and job set before. A stop request made for an earlier run
    // does not reach this one. (It hides QThread::start so that every start forgets it.)
    void start(Priority priority = InheritPriority);

    // Asks the running computation to end early: the engine leaves at its next checkpoint
    // and marks the run interrupted. One request is enough, also one made before the engine
    // has set up the run. A request that comes after the engine's last checkpoint changes
    // nothing: the layout is completed and its overview pictures are drawn. A listing is
    // not stopped. Call it from the thread that starts the task.
    void requestStop();

    // requestStop(), then waits for the thread.
    void stopAndWait();

    // The overview pictures of the last computation that could not be written (paths);
    // empty when both were. Read it after the thread has ended.
    const QStringList& missingOverviewPictures() const { return missingPictures; }

    // After a computation that was not interrupted: the checked scans whose data was
    // damaged, truncated or skipped, or that could not be read and were left out, and how
    // many tiles were written (0 when it failed). Read them after the thread has ended.
    const std::vector<DamagedScan>& damagedScans() const { return damaged; }
    int tilesWritten() const { return tiles; }
    // True after a computation that failed because not one of its checked scans could be
    // read: damagedScans() then says why of each.
    bool noScanRead() const;
    // After a FetchAndCompute run: whether the input files could be listed and gave a scan.
    bool listed() const { return fetched; }
    // Fits the job's scan flags to the scans its files hold: a job read from a job file
    // names the scans it uses, or none for all of them. FetchAndCompute does it after its
    // listing.
    void fitScanList(int scanCount);

    // Written by the GUI thread only while the thread is not running (except the engine's
    // status record, see StatusReporter).
    ConfigSettings config;
    int mode = FetchScans;
    std::unique_ptr<ScanSource> reader;
    LayoutCreator creator;
    layoutdef job;
    bool result = false;

protected:
    void run() override;

private:
    bool fetch();
    void compute();
    // Draws the sheet and annotates the thumbnail of the staged layout; false (staged says
    // which and why) when one of them could not be written.
    bool drawOverviewPictures(StagedOutput& staged);

    void noteOutcome();

    ScanSource* sharedView = nullptr;
    std::atomic<bool> stopWanted{false};
    bool fetched = false;
    QStringList missingPictures;
    std::vector<DamagedScan> damaged;
    int tiles = 0;
};

} // namespace orthaven
