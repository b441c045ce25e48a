#include "creator/LayoutTask.h"

#include "creator/OverviewSheet.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"

#include <iostream>

namespace orthaven {

AxisLabels axisLabelsFor(std::uint32_t view)
{
    switch (view) {
    case Left:
    case Right:
        return {QStringLiteral("Y"), QStringLiteral("Z")};
    case Front:
    case Back:
        return {QStringLiteral("X"), QStringLiteral("Z")};
    default:
        return {QStringLiteral("X"), QStringLiteral("Y")};
    }
}

LayoutTask::LayoutTask(QObject* parent) : QThread(parent) {}

LayoutTask::~LayoutTask()
{
    stopAndWait();
}

void LayoutTask::stopAndWait()
{
    // The engine's setup clears the stop flag, so a request made just before it would be
    // lost: keep asking until the thread has ended.
    while (isRunning()) {
        creator.requestStop();
        wait(50);
    }
}

bool LayoutTask::createReader()
{
    reader.reset();
    if (job.inputFiles.isEmpty())
        return false;
    const QString first = job.inputFiles.first();
    const ScanFormat* format = scanFormatFor(first);
    if (format && format->createLine)
        std::cout << format->createLine << std::endl;
    reader = createScanSource(first);
    return reader != nullptr;
}

void LayoutTask::run()
{
    result = true;
    if (!reader) {
        std::cout << "No Scanner Object" << std::endl;
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
        std::cout << "Task ERROR: " << (creator.failed ? 1 : 0) << " Code: " << creator.errorCode
                  << std::endl;
        result = creator.failed;
        if (!creator.stopRequested && !creator.failed)
            drawOverviewPictures();
        break;
    case FetchAndCompute:
        std::cout << "Run Fetch/Layout Task " << std::endl;
        result = fetch();
        config = defaultConfig();
        readConfig(configFilePath(), config);
        std::cout << "Start Layout computation ..." << std::flush;
        // The computation runs even when the files could not be opened: the engine then
        // finds no scan and reports it.
        compute();
        result = creator.failed;
        if (!creator.stopRequested && !creator.failed)
            drawOverviewPictures();
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
    creator.setScanSource(reader.get());
    creator.setup(job);
    creator.layout();
}

void LayoutTask::drawOverviewPictures()
{
    OverviewInputs inputs;
    inputs.view = job.view;
    inputs.scanList = job.scanList;
    inputs.usedFlags = creator.scanList;
    inputs.invertColor = job.invertColor;
    inputs.config = config;
    reader->scanNames(inputs.scanNames); // none when it fails: markers are labelled by index
    const AxisLabels labels = axisLabelsFor(job.view);
    // The engine names the log after the output file's base name (site.final.log gives
    // site.log): read the file it really wrote.
    const QString logPath = creator.logFilePath();
    drawScanPositionSheet(logPath, labels.horizontal, labels.vertical, inputs);
    annotateThumbnail(logPath, labels.horizontal, labels.vertical, inputs);
}

} // namespace orthaven
