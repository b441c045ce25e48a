#include "creator/BatchRunner.h"

#include "creator/OutputFolder.h"
#include "creator/ResultMessages.h"
#include "diag/Diagnostics.h"
#include "layout/LayoutLimits.h"
#include "scan/ScanSourceFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orthaven {

BatchRunner::BatchRunner(QObject* parent) : QObject(parent)
{
    // The thread's end is taken on this object's thread, where the next job is started.
    connect(&task, &QThread::finished, this, &BatchRunner::jobEnded, Qt::QueuedConnection);
}

BatchRunner::~BatchRunner()
{
    stopWanted = true;
    task.stopAndWait();
    removeCreatedFolders(createdFolders);
}

bool BatchRunner::start(const QList<LayoutJob>& list)
{
    if (isRunning() || list.isEmpty())
        return false;
    jobs = list;
    results = QList<BatchOutcome>(jobs.size());
    stopWanted = false;
    current = 0;
    startNext();
    return true;
}

void BatchRunner::requestStop()
{
    stopWanted = true;
    task.requestStop();
}

void BatchRunner::stopAndWait()
{
    requestStop();
    task.wait();
    // The end of the thread is still queued: the running job ends here, not later.
    if (isRunning())
        jobEnded();
}

void BatchRunner::startNext()
{
    while (current >= 0 && current < jobs.size()) {
        if (stopWanted) {
            for (int k = current; k < jobs.size(); ++k)
                results[k].kind = BatchOutcome::NotRun;
            break;
        }
        const LayoutJob& job = jobs[current];
        BatchOutcome refused;
        refused.kind = BatchOutcome::Failed;
        // What cannot work is said before any scan is read, as the Layout Creator does.
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
            createdFolders = output.created;
            task.job = job;
            if (task.createReader()) {
                // The status of the job before is no part of this one.
                task.creator.progressDone = 0.0f;
                task.creator.progressTotal = 0.0f;
                task.creator.setStatusText({});
                results[current].kind = BatchOutcome::Running;
                emit jobStarted(current);
                task.mode = FetchAndCompute;
                task.start();
                return;
            }
            removeCreatedFolders(createdFolders);
            createdFolders.clear();
            refused.message =
                QCoreApplication::translate("orthaven::BatchLayout", "No reader for %1")
                    .arg(QDir::toNativeSeparators(job.inputFiles.value(0)));
        }
        emit jobStarted(current);
        finishJob(refused);
    }
    current = -1;
    emit finished();
}

void BatchRunner::jobEnded()
{
    if (current < 0 || task.isRunning() || results[current].kind != BatchOutcome::Running)
        return;
    const LayoutCreator& engine = task.creator;
    BatchOutcome outcome;
    if (engine.interrupted) {
        outcome.kind = BatchOutcome::Stopped;
    } else if (!task.listed()) {
        outcome.kind = BatchOutcome::Failed;
        outcome.message =
            QCoreApplication::translate("orthaven::BatchLayout",
                                        "The scan files could not be read:\n%1")
                .arg(QDir::toNativeSeparators(jobs[current].inputFiles.join(QLatin1Char('\n'))));
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
    if (outcome.kind == BatchOutcome::Failed || outcome.kind == BatchOutcome::Stopped)
        removeCreatedFolders(createdFolders); // nothing was written: no trace
    createdFolders.clear();
    finishJob(outcome);
    startNext();
}

void BatchRunner::finishJob(BatchOutcome outcome)
{
    const int index = current;
    results[index] = std::move(outcome);
    ++current;
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
