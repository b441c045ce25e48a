#include "creator/LayoutTask.h"

#include "creator/OverviewSheet.h"
#include "diag/Diagnostics.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"

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
        diag::debug("Task ERROR: ", (creator.failed ? 1 : 0), " Code: ", creator.errorCode);
        result = creator.failed;
        // What the engine did decides, not whether a stop was asked for: a request that
        // came after its last checkpoint found the layout completed.
        if (!creator.interrupted && !creator.failed)
            drawOverviewPictures();
        noteOutcome();
        break;
    case FetchAndCompute:
        diag::debug("Run Fetch/Layout Task ");
        result = fetch();
        config = defaultConfig();
        readConfig(configFilePath(), config);
        // A line of its own: the channel carries whole lines, and a line left open would
        // take in whatever another thread reports next.
        diag::debug("Start Layout computation ...");
        // The computation runs even when the files could not be opened: the engine then
        // finds no scan and reports it.
        compute();
        result = creator.failed;
        if (!creator.interrupted && !creator.failed)
            drawOverviewPictures();
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
    creator.setup(job);
    // setup clears the engine's stop flag; a request made before it is handed on here.
    if (stopWanted)
        creator.requestStop();
    creator.layout();
}

void LayoutTask::noteOutcome()
{
    if (creator.interrupted || creator.failed)
        return;
    damaged = orthaven::damagedScans(*reader, job.scanList, creator.scanList);
    tiles = int(creator.tileCorners.size());
}

void LayoutTask::drawOverviewPictures()
{
    OverviewInputs inputs;
    inputs.view = job.view;
    inputs.scanList = job.scanList;
    inputs.usedFlags = creator.scanList;
    inputs.invertColor = job.invertColor;
    inputs.config = config;
    reader->scanNames(inputs.scanNames);        // none when it fails: markers are labelled by index
    const ViewInfo& view = *viewInfo(job.view); // the engine ran: the view is one
    // The engine names the log after the output file's base name (site.final.log gives
    // site.log): read the file it really wrote.
    const QString logPath = creator.logFilePath();
    // The layout itself is complete whatever happens here; a picture that cannot be
    // written is a warning for the front end. The older layout's sheet was removed when
    // the new layout was put in place, so none is left standing beside it.
    const QString thumbnail = creator.thumbnailPath();
    const LayoutFrame frame = layoutFrame(job);
    const QString horizontal = frameAxisName(view.horizontalAxis, frame);
    const QString vertical = frameAxisName(view.verticalAxis, frame);
    if (!drawScanPositionSheet(logPath, horizontal, vertical, inputs))
        missingPictures.append(scanPositionSheetPath(thumbnail));
    if (!annotateThumbnail(logPath, horizontal, vertical, inputs))
        missingPictures.append(thumbnail);
    for (const QString& path : std::as_const(missingPictures))
        diag::warning("WARNING: overview picture not written: " + path.toStdString());
}

} // namespace orthaven
