#include "creator/BatchRunner.h"

#include "creator/OutputFolder.h"
#include "creator/ResultMessages.h"
#include "diag/Diagnostics.h"
#include "layout/LayoutLimits.h"
#include "scan/ScanSourceFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace orthaven {

BatchRunner::BatchRunner(QObject* parent) : QObject(parent) {}

BatchRunner::~BatchRunner()
{
    // No signal goes out from here: the receivers may be half gone.
    stopWanted = true;
    sharing.reset(); // stops and waits for its tasks, then ends the reading
    for (Member& member : group)
        member.task->stopAndWait();
    // A later member's folders may lie in an earlier one's.
    for (auto member = group.rbegin(); member != group.rend(); ++member)
        removeCreatedFolders(member->createdFolders);
}

bool BatchRunner::start(const QList<LayoutJob>& list)
{
    if (isRunning() || list.isEmpty())
        return false;
    jobs = list;
    results = QList<BatchOutcome>(jobs.size());
    stopWanted = false;
    running = true;
    startNext();
    return true;
}

void BatchRunner::requestStop()
{
    stopWanted = true;
    for (Member& member : group)
        member.task->requestStop();
}

void BatchRunner::stopAndWait()
{
    requestStop();
    // The ends of the threads are still queued: the running jobs end here, not later.
    while (phase != Idle) {
        if (sharing) {
            // A task that has ended leaves the reading, or the others could wait for it.
            while (!sharing->wait(100)) {
            }
        }
        for (Member& member : group)
            member.task->wait();
        taskEnded();
    }
}

int BatchRunner::currentJob() const
{
    const Member* member = shownMember();
    return member ? member->index : -1;
}

StatusSnapshot BatchRunner::status() const
{
    const Member* member = shownMember();
    return member ? member->task->creator.snapshot() : StatusSnapshot{};
}

const BatchRunner::Member* BatchRunner::shownMember() const
{
    const Member* shown = nullptr;
    for (const Member& member : group) {
        if (results[member.index].kind != BatchOutcome::Running)
            continue;
        if (member.task->isRunning())
            return &member;
        if (!shown)
            shown = &member;
    }
    return shown;
}

void BatchRunner::startNext()
{
    const auto waiting = [](const BatchOutcome& outcome) {
        return outcome.kind == BatchOutcome::Waiting;
    };
    while (std::any_of(results.cbegin(), results.cend(), waiting)) {
        if (stopWanted) {
            for (BatchOutcome& outcome : results) {
                if (waiting(outcome))
                    outcome.kind = BatchOutcome::NotRun;
            }
            break;
        }
        group = nextGroup();
        if (group.empty())
            continue;
        startGroup();
        if (phase != Idle)
            return;
    }
    running = false;
    emit finished();
}

std::vector<BatchRunner::Member> BatchRunner::nextGroup()
{
    std::vector<Member> members;
    qsizetype first = -1;
    for (qsizetype k = 0; k < jobs.size(); ++k) {
        if (results[k].kind != BatchOutcome::Waiting)
            continue;
        if (first < 0)
            first = k;
        else if (jobs[k].inputFiles != jobs[first].inputFiles)
            continue;
        const LayoutJob& job = jobs[k];
        // What cannot work is said before any scan is read, as the Layout Creator does.
        BatchOutcome refused;
        refused.kind = BatchOutcome::Failed;
        const GeometryProblem problem =
            layoutGeometryProblem(job.resolution, job.scannerDomain, job.tileSize);
        const OutputFolder output = problem.field == GeometryProblem::None
                                        ? prepareOutputFolder(job.outputFile)
                                        : OutputFolder{};
        if (problem.field != GeometryProblem::None) {
            refused.message = problem.message;
        } else if (output.outcome != OutputFolder::Ready) {
            refused.message = outputFolderMessage(output);
        } else {
            Member member;
            member.index = int(k);
            member.task = std::make_unique<LayoutTask>();
            member.task->job = job;
            member.createdFolders = output.created;
            // The thread's end is taken on this object's thread, where the next job starts.
            connect(member.task.get(), &QThread::finished, this, &BatchRunner::taskEnded,
                    Qt::QueuedConnection);
            members.push_back(std::move(member));
            continue;
        }
        emit jobStarted(int(k));
        finishJob(int(k), refused);
    }
    return members;
}

void BatchRunner::startGroup()
{
    LayoutTask& lister = *group.front().task;
    if (!lister.createReader()) {
        BatchOutcome refused;
        refused.kind = BatchOutcome::Failed;
        refused.message = QCoreApplication::translate("orthaven::BatchLayout", "No reader for %1")
                              .arg(QDir::toNativeSeparators(lister.job.inputFiles.value(0)));
        endGroup(std::vector<BatchOutcome>(group.size(), refused));
        return;
    }
    QStringList numbers;
    for (const Member& member : group) {
        results[member.index].kind = BatchOutcome::Running;
        numbers << QString::number(member.index + 1);
        emit jobStarted(member.index);
    }
    if (group.size() == 1) {
        phase = Alone;
        lister.mode = FetchAndCompute;
    } else {
        diag::debug("Batch jobs ", numbers.join(QStringLiteral(", ")).toStdString(),
                    ": one reading of their scans");
        phase = Listing;
        lister.mode = FetchScans;
    }
    lister.start();
}

void BatchRunner::startSharing()
{
    LayoutTask& lister = *group.front().task;
    const int count = lister.reader->scanCount();
    std::vector<LayoutTask*> tasks;
    for (Member& member : group) {
        member.task->fitScanList(count);
        tasks.push_back(member.task.get());
    }
    sharing = std::make_unique<SharedLayoutTasks>(*lister.reader, tasks);
    phase = Sharing;
    sharing->start();
}

void BatchRunner::taskEnded()
{
    if (phase == Idle)
        return;
    // A thread whose end was signalled only finishes: waiting for it is brief.
    for (Member& member : group) {
        if (!member.task->isRunning())
            member.task->wait();
    }
    LayoutTask& first = *group.front().task;
    std::vector<BatchOutcome> outcomes;
    switch (phase) {
    case Alone:
        if (first.isRunning())
            return;
        outcomes.push_back(outcomeOf(first, first.listed()));
        break;
    case Listing:
        if (first.isRunning())
            return;
        if (stopWanted) {
            BatchOutcome stopped;
            stopped.kind = BatchOutcome::Stopped;
            outcomes.assign(group.size(), stopped);
        } else if (!first.result || first.reader->scanCount() < 1) {
            for (const Member& member : group)
                outcomes.push_back(outcomeOf(*member.task, false));
        } else {
            startSharing();
            return;
        }
        break;
    case Sharing:
        // A task that has ended leaves the reading here.
        if (!sharing->wait(0))
            return;
        sharing.reset();
        for (const Member& member : group)
            outcomes.push_back(outcomeOf(*member.task, true));
        break;
    case Idle:
        return;
    }
    endGroup(outcomes);
    startNext();
}

void BatchRunner::endGroup(const std::vector<BatchOutcome>& outcomes)
{
    std::vector<Member> ended;
    ended.swap(group);
    phase = Idle;
    // Nothing was written by a failed or stopped job: no trace. A later member's folders may
    // lie in an earlier one's.
    for (std::size_t k = ended.size(); k-- > 0;) {
        const BatchOutcome::Kind kind = outcomes[k].kind;
        if (kind == BatchOutcome::Failed || kind == BatchOutcome::Stopped)
            removeCreatedFolders(ended[k].createdFolders);
    }
    for (std::size_t k = 0; k < ended.size(); ++k) {
        if (results[ended[k].index].kind == BatchOutcome::Waiting)
            emit jobStarted(ended[k].index);
        finishJob(ended[k].index, outcomes[k]);
    }
}

BatchOutcome BatchRunner::outcomeOf(const LayoutTask& task, bool listed)
{
    const LayoutCreator& engine = task.creator;
    BatchOutcome outcome;
    if (engine.interrupted) {
        outcome.kind = BatchOutcome::Stopped;
    } else if (!listed) {
        outcome.kind = BatchOutcome::Failed;
        outcome.message =
            QCoreApplication::translate("orthaven::BatchLayout",
                                        "The scan files could not be read:\n%1")
                .arg(QDir::toNativeSeparators(task.job.inputFiles.join(QLatin1Char('\n'))));
    } else if (engine.failed) {
        outcome.kind = BatchOutcome::Failed;
        outcome.message =
            task.noScanRead()
                ? noScansReadMessage(task.damagedScans())
                : layoutFailureMessage(engine.errorCode, task.job.resolution, task.job.tileSize,
                                       QString::fromStdString(engine.failurePath()),
                                       QString::fromStdString(engine.failureCause()));
    } else {
        outcome.tiles = task.tilesWritten();
        const QString folder = QFileInfo(engine.logFilePath()).absolutePath();
        if (task.damagedScans().empty()) {
            outcome.kind = BatchOutcome::Written;
        } else {
            outcome.kind = BatchOutcome::Incomplete;
            outcome.message = damagedScansMessage(task.damagedScans(), folder, outcome.tiles);
        }
        if (!task.missingOverviewPictures().isEmpty())
            outcome.message += (outcome.message.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                               overviewPicturesWarning(task.missingOverviewPictures());
    }
    return outcome;
}

void BatchRunner::finishJob(int index, BatchOutcome outcome)
{
    results[index] = std::move(outcome);
    emit jobFinished(index);
}

QString BatchRunner::outcomeText(const BatchOutcome& outcome)
{
    switch (outcome.kind) {
    case BatchOutcome::Waiting:
        return QCoreApplication::translate("orthaven::BatchLayout", "Waiting");
    case BatchOutcome::Running:
        return QCoreApplication::translate("orthaven::BatchLayout", "Running");
    case BatchOutcome::Written:
        return QCoreApplication::translate("orthaven::BatchLayout", "Tiles written: %1")
            .arg(outcome.tiles);
    case BatchOutcome::Incomplete:
        return QCoreApplication::translate("orthaven::BatchLayout",
                                           "Tiles written: %1, not every scan whole")
            .arg(outcome.tiles);
    case BatchOutcome::Failed:
        return QCoreApplication::translate("orthaven::BatchLayout", "Failed: %1")
            .arg(outcome.message.section(QLatin1Char('\n'), 0, 0));
    case BatchOutcome::Stopped:
        return QCoreApplication::translate("orthaven::BatchLayout", "Stopped");
    case BatchOutcome::NotRun:
        return QCoreApplication::translate("orthaven::BatchLayout", "Not run");
    }
    return {};
}

} // namespace orthaven
