#include "creator/LayoutTask.h"

#include "creator/OverviewSheet.h"
#include "creator/PrintPdf.h"
#include "diag/Diagnostics.h"
#include "engine/OutputCommit.h"
#include "layoutlog/LayoutFiles.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"

#include <QFileInfo>

#include <iostream>

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
    if (!reader) {
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
        // A job read from a job file names the scans it uses, or none for all of them; its
        // flags cover the scans the files hold now.
        if (job.scanList.isEmpty())
            job.scanList = QBitArray(reader->scanCount(), true);
        else
            job.scanList.resize(reader->scanCount());
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

// A vendor library's error while the files are opened is a failed listing (the reader
// prints it), not the end of the program.
bool LayoutTask::fetch()
{
    return reader->fetchFiles(job.inputFiles);
}

void LayoutTask::compute()
{
    missingPictures.clear();
    damaged.clear();
    tiles = 0;
    creator.setScanSource(reader.get());
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
    damaged = orthaven::damagedScans(*reader, job.scanList, creator.scanList);
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
    reader->scanNames(inputs.scanNames);        // none when it fails: markers are labelled by index
    const ViewInfo& view = *viewInfo(job.view); // the engine ran: the view is one
    inputs.noPosition = QBitArray(reader->scanCount());
    for (int i = 0; i < reader->scanCount(); ++i)
        inputs.noPosition.setBit(i, !reader->hasPosition(i));
    const LayoutFrame frame = layoutFrame(job);
    const QString horizontal = frameAxisName(view.horizontalAxis, frame);
    const QString vertical = frameAxisName(view.verticalAxis, frame);
    // Both are drawn from the staged log and thumbnail, beside them. A picture that is not
    // drawn (or finds a folder in its place) is a warning for the front end: the layout is
    // complete without it, and an older sheet of the same name goes with the older layout.
    // One that the disk cannot take fails the run.
    const QString thumbnail = creator.thumbnailPath();
    const QString sheet = scanPositionSheetPath(thumbnail);
    const auto draw = [&](const QString& finalPath, auto picture) {
        QString failure;
        if (!OutputCommit::isBlocked(finalPath) &&
            picture(staged.logPath, horizontal, vertical, inputs, &failure)) {
            staged.stage(finalPath);
            return true;
        }
        if (failure.isEmpty()) {
            missingPictures.append(finalPath);
            diag::warning("WARNING: overview picture not written: " + finalPath.toStdString());
            return true;
        }
        staged.failedPath = finalPath;
        staged.failure = failure;
        return false;
    };
    if (!draw(sheet, drawScanPositionSheet) || !draw(thumbnail, annotateThumbnail))
        return false;
    if (!job.pdfPaper || job.printScale <= 0)
        return true;
    // The print is written beside the staged log and reads the staged tiles there.
    const QString base = QFileInfo(creator.logFilePath()).completeBaseName();
    const QString stagedFolder = QFileInfo(staged.logPath).absolutePath() + QLatin1Char('/');
    const Paper paper = *job.pdfPaper;
    const int scale = job.printScale;
    const auto print = [&](const QString& logPath, const QString&, const QString&,
                           const OverviewInputs& pictureInputs, QString* failure) {
        return drawPrint(
            logPath, stagedFolder + printFileName(base), paper, scale, pictureInputs,
            [&](const QString& tile) { return stagedFolder + tile; }, failure);
    };
    return draw(QFileInfo(creator.logFilePath()).absolutePath() + QLatin1Char('/') +
                    printFileName(base),
                print);
}

} // namespace orthaven
