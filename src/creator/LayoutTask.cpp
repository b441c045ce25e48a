#include "creator/LayoutTask.h"

#include "creator/OverviewSheet.h"
#include "creator/PrintPdf.h"
#include "diag/Diagnostics.h"
#include "engine/OutputCommit.h"
#include "engine/TileWorkers.h"
#include "engine/TimerStack.h"
#include "layoutlog/LayoutFiles.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"

#include <QFileInfo>

#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

namespace orthaven {

LayoutTask::LayoutTask(QObject* parent) : QThread(parent) {}

LayoutTask::~LayoutTask()
{
    stopAndWait();
}

void LayoutTask::start(Priority priority)
{
    stopWanted = false;
    QThread::start(priority);
}

void LayoutTask::requestStop()
{
    if (!isRunning())
        return;
    // The order matters: compute() hands the wish on to the engine after its setup has
    // cleared the engine's flag, so one of the two stores reaches the run.
    stopWanted = true;
    creator.requestStop();
}

void LayoutTask::stopAndWait()
{
    requestStop();
    wait();
}

bool LayoutTask::createReader()
{
    reader.reset();
    if (job.inputFiles.isEmpty())
        return false;
    const QString first = job.inputFiles.first();
    const ScanFormat* format = scanFormatFor(first);
    if (format && format->createLine)
        diag::debug(format->createLine);
    reader = createScanSource(first);
    return reader != nullptr;
}

void LayoutTask::run()
{
    result = true;
    if (!scans()) {
        diag::error("No Scanner Object");
        result = false;
        return;
    }
    switch (mode) {
    case FetchScans:
        result = fetch();
        break;
    case ComputeLayout:
        config = defaultConfig();
        readConfig(configFilePath(), config);
        compute();
        diag::debug(creator.failed ? "Task failed" : "Task done", ", result code ",
                    creator.errorCode);
        result = creator.failed;
        noteOutcome();
        break;
    case FetchAndCompute:
        diag::debug("Run Fetch/Layout Task ");
        result = fetch();
        fetched = result && reader->scanCount() > 0;
        fitScanList(reader->scanCount());
        config = defaultConfig();
        readConfig(configFilePath(), config);
        // A line of its own: the channel carries whole lines, and a line left open would
        // take in whatever another thread reports next.
        diag::debug("Start Layout computation ...");
        // The computation runs even when the files could not be opened: the engine then
        // finds no scan and reports it.
        compute();
        result = creator.failed;
        noteOutcome();
        break;
    default:
        break;
    }
}

void LayoutTask::fitScanList(int scanCount)
{
    if (job.scanList.isEmpty())
        job.scanList = QBitArray(scanCount, true);
    else
        job.scanList.resize(scanCount);
}

// A vendor library's error while the files are opened is a failed listing (the reader
// prints it), not the end of the program.
bool LayoutTask::fetch()
{
    // A reader may list several files at once, within the job's threads.
    reader->setReadThreads(job.threads > 0 ? job.threads : QThread::idealThreadCount());
    return reader->fetchFiles(job.inputFiles);
}

void LayoutTask::compute()
{
    missingPictures.clear();
    damaged.clear();
    tiles = 0;
    creator.setScanSource(scans());
    // The overview pictures are drawn from the finished layout before it is put in place,
    // and go in with it: a picture the disk cannot take fails the run like a tile.
    creator.setBeforeCommit([this](StagedOutput& staged) { return drawOverviewPictures(staged); });
    creator.setup(job);
    // setup clears the engine's stop flag; a request made before it is handed on here.
    if (stopWanted)
        creator.requestStop();
    creator.layout();
}

void LayoutTask::noteOutcome()
{
    if (creator.interrupted)
        return;
    damaged = orthaven::damagedScans(*scans(), job.scanList, creator.scanList);
    if (!creator.failed)
        tiles = int(creator.tileCorners.size());
}

bool LayoutTask::noScanRead() const
{
    if (!creator.failed || creator.errorCode != NotEnoughData || job.scanList.count(true) == 0)
        return false;
    // The engine clears the flag of every scan it could not read.
    for (qsizetype i = 0; i < job.scanList.size() && i < creator.scanList.size(); ++i) {
        if (job.scanList.testBit(i) && creator.scanList.testBit(i))
            return false;
    }
    return true;
}

bool LayoutTask::drawOverviewPictures(StagedOutput& staged)
{
    OverviewInputs inputs;
    inputs.view = job.view;
    inputs.scanList = job.scanList;
    inputs.usedFlags = staged.scanList;
    inputs.invertColor = job.invertColor;
    // The job's own settings, not today's preferences: a queued job draws what it was
    // queued with.
    inputs.config = config;
    inputs.config.grid = job.grid;
    inputs.config.gridColor = job.gridColor;
    inputs.config.textColor = job.textColor;
    inputs.config.scanPosColor1 = job.scanPosColor1;
    inputs.config.scanPosColor2 = job.scanPosColor2;
    inputs.config.coordSystemSize = job.coordSystemSize;
    const ScanSource& listed = *scans();
    listed.scanNames(inputs.scanNames);         // none when it fails: markers are labelled by index
    const ViewInfo& view = *viewInfo(job.view); // the engine ran: the view is one
    inputs.noPosition = QBitArray(listed.scanCount());
    for (int i = 0; i < listed.scanCount(); ++i)
        inputs.noPosition.setBit(i, !listed.hasPosition(i));
    const LayoutFrame frame = layoutFrame(job);
    const QString horizontal = frameAxisName(view.horizontalAxis, frame);
    const QString vertical = frameAxisName(view.verticalAxis, frame);
    // Both are drawn from the staged log and the thumbnail's pixels, beside them. A picture
    // that is not drawn (or finds a folder in its place) is a warning for the front end:
    // the layout is complete without it, and an older sheet of the same name goes with the
    // older layout. One that the disk cannot take fails the run.
    const QString thumbnail = creator.thumbnailPath();
    const std::optional<OverviewSource> source =
        overviewSource(staged.logPath, staged.logText, staged.thumbnail);
    using Picture = std::function<bool(QString * failure)>;
    struct Drawing
    {
        QString finalPath;
        Picture picture;
        bool onThumbnail; // drawn from the source: nothing without one
        const char* timerText;
    };
    struct Outcome
    {
        bool drawn = false;
        QString failure;
        std::int64_t milliseconds = 0;
    };
    std::vector<Drawing> drawings;
    drawings.push_back({scanPositionSheetPath(thumbnail),
                        [&](QString* failure) {
                            return drawScanPositionSheet(*source, horizontal, vertical, inputs,
                                                         failure);
                        },
                        true, "Scan Position Sheet ..."});
    drawings.push_back({thumbnail,
                        [&](QString* failure) {
                            return annotateThumbnail(*source, horizontal, vertical, inputs,
                                                     failure);
                        },
                        true, "Annotated Thumbnail ..."});
    if (job.pdfPaper && job.printScale > 0) {
        // The print is written beside the staged log and reads the staged tiles there.
        const QString base = QFileInfo(creator.logFilePath()).completeBaseName();
        const QString stagedFolder = QFileInfo(staged.logPath).absolutePath() + QLatin1Char('/');
        const Paper paper = *job.pdfPaper;
        const int scale = job.printScale;
        drawings.push_back(
            {QFileInfo(creator.logFilePath()).absolutePath() + QLatin1Char('/') +
                 printFileName(base),
             [&staged, &inputs, stagedFolder, base, paper, scale](QString* failure) {
                 return drawPrint(
                     staged.logPath, stagedFolder + printFileName(base), paper, scale, inputs,
                     [&](const QString& tile) { return stagedFolder + tile; }, failure);
             },
             false, "Print ..."});
    }
    // Side by side within the run's threads, the print (which reads every tile) first.
    const int count = int(drawings.size());
    std::vector<Outcome> outcomes(drawings.size());
    forEachTile(count, staged.threads, [&](int k) {
        const std::size_t i = std::size_t(count - 1 - k);
        const Drawing& drawing = drawings[i];
        Outcome& outcome = outcomes[i];
        if (OutputCommit::isBlocked(drawing.finalPath) || (drawing.onThumbnail && !source))
            return true;
        const auto start = std::chrono::steady_clock::now();
        outcome.drawn = drawing.picture(&outcome.failure);
        outcome.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        return true;
    });
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        const Drawing& drawing = drawings[i];
        const Outcome& outcome = outcomes[i];
        if (outcome.drawn) {
            diag::debug(TimerStack::elapsedLine(drawing.timerText, outcome.milliseconds));
            staged.stage(drawing.finalPath);
            if (drawing.finalPath == thumbnail)
                staged.thumbnailTaken = true;
            continue;
        }
        if (outcome.failure.isEmpty()) {
            missingPictures.append(drawing.finalPath);
            diag::warning("WARNING: overview picture not written: " +
                          drawing.finalPath.toStdString());
            continue;
        }
        staged.failedPath = drawing.finalPath;
        staged.failure = outcome.failure;
        return false;
    }
    return true;
}

} // namespace orthaven
