#include "cli/LayoutRunner.h"

#include "Version.h"
#include "cli/ConsoleCapture.h"
#include "cli/JobLine.h"
#include "cli/ProgressDisplay.h"
#include "creator/ClippingDefaults.h"
#include "creator/LayoutTask.h"
#include "creator/OutputFolder.h"
#include "creator/ResultMessages.h"
#include "creator/ScanDamage.h"
#include "creator/SharedLayoutTasks.h"
#include "engine/SessionFolders.h"
#include "engine/ShardPartials.h"
#include "layout/ImageFormats.h"
#include "layout/LayoutLimits.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "platform/DurableFile.h"
#include "platform/InterruptHandler.h"
#include "platform/ProcessStats.h"
#include "platform/RegularFile.h"
#include "preview/PlanPicture.h"
#include "preview/SitePreview.h"
#include "scan/ScanSourceFactory.h"
#include "settings/ConfigSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QThread>

#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>

namespace orthaven {

namespace {

constexpr unsigned long pollMilliseconds = 200; // as often as the Layout Creator looks

std::string text(const QString& s)
{
    return s.toStdString();
}

std::string nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

// A coordinate to the millimetre, in the C notation whatever the locale.
std::string millimetres(double value)
{
    if (!std::isfinite(value))
        return "?";
    if (std::abs(value) < 0.0005)
        value = 0.0; // no "-0.000"
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 3);
    return std::string(buffer, result.ptr);
}

// Lines of the engine and the readers that a user should see even without --verbose:
// errors, and what leaves the result short of what was asked (scans left out, damaged
// lines skipped).
bool isNotable(const ConsoleCapture::Line& line)
{
    return line.severity == diag::Severity::Warning || line.severity == diag::Severity::Error;
}

} // namespace

LayoutRunner::LayoutRunner(const CommandLine& jobOptions, std::ostream& outStream,
                           std::ostream& errStream, bool errToTerminal, int terminalWidth,
                           ConsoleCapture* lineCapture)
    : options(jobOptions), out(outStream), err(errStream), errIsTerminal(errToTerminal),
      columns(terminalWidth), interrupt(&receivedInterrupt), capture(lineCapture)
{
}

LayoutRunner::~LayoutRunner()
{
    if (abandoned) {
        // The listing thread is still reading and cannot be stopped; the process ends
        // at once (mustExitAtOnce), so the task is left to it rather than waited for.
        static_cast<void>(task.release());
    }
}

int LayoutRunner::run()
{
    if (options.help) {
        out << text(usageText()) << std::flush;
        return Success;
    }
    if (options.version) {
        out << "orthaven-layout " << version::text << " (revision " << version::revision << ")"
            << std::endl;
        return Success;
    }
    begin();
    return end(options.merge ? runMerge() : runJob());
}

void LayoutRunner::begin()
{
    // From here on the diagnostic lines are collected; the runner's own results go to the
    // stream it was given.
    std::streambuf* outBuffer = out.rdbuf();
    if (!capture) {
        ownCapture = std::make_unique<ConsoleCapture>();
        capture = ownCapture.get();
    }
    results = std::make_unique<std::ostream>(outBuffer);
    progress = std::make_unique<ProgressDisplay>(err, errIsTerminal, columns);
}

int LayoutRunner::end(int code)
{
    if (code != Success) {
        for (const QString& folder : std::as_const(createdFolders))
            QDir().rmdir(folder); // only when empty
    }
    showEngineLines();
    progress->finish();
    results->flush();
    err.flush();
    if (abandoned) {
        // The listing thread may still print: its buffer must outlive it, and the process
        // is about to end.
        static_cast<void>(ownCapture.release());
        return code;
    }
    task.reset(); // waits for nothing: every run has ended here
    ownCapture.reset();
    capture = nullptr;
    return code;
}

int LayoutRunner::badArguments(const QString& message)
{
    progress->finish();
    err << "orthaven-layout: " << text(message) << std::endl;
    err << "Try orthaven-layout --help." << std::endl;
    return BadArguments;
}

int LayoutRunner::interrupted(int signal)
{
    progress->finish();
    err << text(layoutResultMessage(true, false, 0)) << std::endl;
    return 128 + signal;
}

void LayoutRunner::showEngineLines()
{
    if (!capture)
        return;
    for (ConsoleCapture::Line& line : capture->takeLines()) {
        if (options.verbose || isNotable(line))
            progress->message(line.text);
    }
}

bool LayoutRunner::checkOutputFile(QString& error, bool prepare)
{
    const QString given =
        options.outputFile.isEmpty() ? defaultLogName(options.view) : options.outputFile;
    const QFileInfo info(given);
    outputFile = info.absoluteFilePath();
    if (info.isDir()) {
        error = QStringLiteral("--out names a folder: %1").arg(QDir::toNativeSeparators(given));
        return false;
    }
    // The engine names every file after the part of the name before its first dot.
    if (info.baseName().isEmpty()) {
        error = QStringLiteral("the output file needs a name before its first dot: %1")
                    .arg(QDir::toNativeSeparators(given));
        return false;
    }
    if (!prepare)
        return true; // a shard only names the layout it is a part of
    // Folders made here are removed again when the run writes nothing into them.
    const OutputFolder folder = prepareOutputFolder(outputFile);
    createdFolders = folder.created;
    switch (folder.outcome) {
    case OutputFolder::CannotCreate:
        error = QStringLiteral("cannot create the output folder %1")
                    .arg(QDir::toNativeSeparators(folder.folder));
        return false;
    case OutputFolder::NotWritable:
        error = QStringLiteral("cannot write to the output folder %1")
                    .arg(QDir::toNativeSeparators(folder.folder));
        return false;
    case OutputFolder::Ready:
        break;
    }
    return true;
}

int LayoutRunner::runJob()
{
    layoutdef job;
    const int prepared = prepare(job);
    return prepared == Success && !previewed && !options.list ? compute(job) : prepared;
}

int LayoutRunner::prepare(layoutdef& job)
{
    startTime = std::chrono::steady_clock::now();

    // The input files: all present, all of one format with a reader.
    QStringList inputs;
    for (const QString& file : std::as_const(options.inputFiles)) {
        const QFileInfo info(file);
        if (info.isDir())
            return badArguments(
                QStringLiteral("%1 is a folder; give the scan files in it (e.g. %2)")
                    .arg(QDir::toNativeSeparators(file),
                         QDir::toNativeSeparators(QDir(file).filePath(QStringLiteral("*.ptx")))));
        if (!info.exists())
            return badArguments(
                QStringLiteral("no such scan file: %1").arg(QDir::toNativeSeparators(file)));
        if (const QString problem = regularFileProblem(file); !problem.isEmpty() || !info.isFile())
            return badArguments(
                QStringLiteral("cannot read %1: %2")
                    .arg(QDir::toNativeSeparators(file),
                         problem.isEmpty() ? QStringLiteral("it is not a regular file") : problem));
        inputs.append(QDir::toNativeSeparators(info.absoluteFilePath()));
    }
    const ScanFormat* format = scanFormatFor(inputs.first());
    if (!format)
        return badArguments(QStringLiteral("no reader for %1 (files this program reads: %2)")
                                .arg(QDir::toNativeSeparators(options.inputFiles.first()),
                                     supportedScanExtensions().join(QStringLiteral(", "))));
    for (const QString& file : std::as_const(inputs)) {
        if (scanFormatFor(file) != format)
            return badArguments(
                QStringLiteral("all scan files must be of one format: %1 and %2")
                    .arg(QFileInfo(inputs.first()).fileName(), QFileInfo(file).fileName()));
        if (const char* why = scanPathRefusal(file))
            return badArguments(QString::fromLatin1(why));
    }
    // A look at the site makes no layout and needs no output folder.
    const bool preview = options.levels || !options.previewFile.isEmpty();
    QString problem;
    if (!options.list && !preview && !checkOutputFile(problem, !options.shard))
        return badArguments(problem);

    // The per-user folders and the configuration file, so the user's preferences apply.
    // The temporary folder is not emptied: a window or another run may be computing in
    // it. Only session folders of runs that no longer exist go (a run killed outright).
    ensureAppFolders(false);
    removeAbandonedSessions(tempFolder());
    ConfigSettings config = defaultConfig();
    readConfig(configFilePath(), config);
    // Settings no layout can be made with are refused before any scan is read; a value of
    // orthaven.cfg is named with its line there.
    const GeometryProblem geometry =
        layoutGeometryProblem(options.resolution.value_or(config.resolution),
                              options.scannerDomain.value_or(config.scannerDomain),
                              options.tileSize.value_or(config.tileSize));
    if (!options.list && geometry.field != GeometryProblem::None) {
        const bool fromFile =
            (geometry.field == GeometryProblem::Resolution && !options.resolution) ||
            (geometry.field == GeometryProblem::ScanRadius && !options.scannerDomain) ||
            (geometry.field == GeometryProblem::TileSize && !options.tileSize);
        return badArguments(fromFile ? configProblemMessage(geometry, configFilePath())
                                     : geometry.message);
    }

    const int listed = listedElsewhere ? useListing() : listScans();
    if (listed != Success)
        return listed;
    if (options.list) {
        if (printList())
            return Success;
        err << "orthaven-layout: could not list the scans of "
            << nativePath(options.inputFiles.join(QStringLiteral(", "))) << std::endl;
        return Failed;
    }

    // Which scans, and the clipping planes between which their points are used.
    const int count = task->scans()->scanCount();
    QBitArray selection(count, options.scans.empty());
    for (int index : options.scans) {
        if (index >= count)
            return badArguments(
                QStringLiteral("there is no scan %1: the files hold scans 0 to %2 (see --list)")
                    .arg(index)
                    .arg(count - 1));
        selection.setBit(index);
    }
    job = layoutdef();
    job.inputFiles = inputs;
    job.scanList = selection;
    job.outputFile = QDir::toNativeSeparators(outputFile);
    applyJobOptions(options, config, job);
    if (!options.facade) {
        const ClipPlanes planes = defaultClipPlanes(*task->scans(), selection, options.view,
                                                    job.scannerDomain, layoutFrame(job));
        job.clipLow = options.clipLow.value_or(planes.low);
        job.clipHigh = options.clipHigh.value_or(planes.high);
    }
    if (!(job.clipLow < job.clipHigh))
        return badArguments(QStringLiteral("the lower clipping plane (%1 m) must be below the "
                                           "upper one (%2 m)")
                                .arg(job.clipLow)
                                .arg(job.clipHigh));
    if (options.verbose)
        progress->message("Clipping planes: " + millimetres(job.clipLow) + " " +
                          millimetres(job.clipHigh));
    if (preview) {
        previewed = true;
        return runPreview(job, startTime);
    }
    if (options.shard)
        job.shard = LayoutShard{options.shard->first, options.shard->second,
                                QFileInfo(options.partialsFolder).absoluteFilePath()};
    return Success;
}

int LayoutRunner::useListing()
{
    task = std::make_unique<LayoutTask>();
    task->job.inputFiles = listedElsewhere->job.inputFiles;
    task->readFrom(listedElsewhere->scans());
    return Success;
}

int LayoutRunner::runMerge()
{
    startTime = std::chrono::steady_clock::now();
    PartialSet partials;
    QString problem;
    QStringList folders;
    for (const QString& folder : std::as_const(options.inputFiles))
        folders << QFileInfo(folder).absoluteFilePath();
    if (!partials.read(folders, problem)) {
        err << "orthaven-layout: cannot merge: " << text(problem) << std::endl;
        return Failed;
    }
    // The shards' layout, into the log they name unless --out says otherwise.
    if (options.outputFile.isEmpty())
        options.outputFile = partials.job.outputFile;
    options.view = partials.job.view;
    if (!checkOutputFile(problem))
        return badArguments(problem);
    ensureAppFolders(false);
    removeAbandonedSessions(tempFolder());
    ConfigSettings config = defaultConfig();
    readConfig(configFilePath(), config);

    layoutdef job = partials.job;
    job.outputFile = QDir::toNativeSeparators(outputFile);
    job.mergeFolders = folders;
    applyConfig(job, config);
    task = std::make_unique<LayoutTask>();
    task->reader = partials.listedScans();
    return compute(job);
}

void LayoutRunner::applyConfig(layoutdef& job, const ConfigSettings& config) const
{
    job.grid = config.grid;
    job.gridColor = config.gridColor;
    job.textColor = config.textColor;
    job.scanPosColor1 = config.scanPosColor1;
    job.scanPosColor2 = config.scanPosColor2;
    job.coordSystemSize = config.coordSystemSize;
    job.threads = options.threads.value_or(0);
    job.memoryBudgetBytes = options.memoryMegabytes.value_or(0) * 1024 * 1024;
}

int LayoutRunner::compute(const layoutdef& job)
{
    // The computation, polled like the Layout Creator polls it.
    task->job = job;
    task->mode = ComputeLayout;
    task->start();
    int signal = 0;
    while (!task->wait(pollMilliseconds)) {
        if (!signal) {
            signal = interrupt();
            // One request reaches the run, also before the engine has set it up; after
            // the engine's last checkpoint it changes nothing and the layout is completed.
            if (signal)
                task->requestStop();
        }
        const StatusSnapshot status = task->creator.snapshot();
        showEngineLines();
        progress->update(status.statusText, status.progressDone, status.progressTotal);
    }
    return report(job, signal);
}

std::vector<int> LayoutRunner::runShared(const std::vector<LayoutRunner*>& runners,
                                         const std::function<void(int k)>& beforeReport)
{
    std::vector<int> codes(runners.size(), Failed);
    std::vector<layoutdef> jobs(runners.size());
    std::vector<std::size_t> members; // the runners whose job can run
    LayoutRunner* lister = nullptr;   // the first whose listing succeeded
    for (std::size_t k = 0; k < runners.size(); ++k) {
        LayoutRunner& runner = *runners[k];
        runner.begin();
        runner.listedElsewhere = lister ? lister->task.get() : nullptr;
        codes[k] = runner.prepare(jobs[k]);
        if (codes[k] == Success && !runner.previewed && !runner.options.list) {
            members.push_back(k);
            if (!lister)
                lister = &runner;
        }
        if (runner.abandoned) {
            codes.resize(k + 1);
            return codes; // interrupted while listing: the process ends at once
        }
    }
    int signal = 0;
    if (members.size() == 1) {
        beforeReport(int(members[0]));
        codes[members[0]] = runners[members[0]]->compute(jobs[members[0]]);
    } else if (members.size() > 1) {
        std::vector<LayoutTask*> tasks;
        for (std::size_t k : members) {
            runners[k]->task->job = jobs[k];
            tasks.push_back(runners[k]->task.get());
        }
        {
            SharedLayoutTasks shared(*lister->task->reader, tasks);
            shared.start();
            while (!shared.wait(pollMilliseconds)) {
                if (!signal) {
                    signal = lister->interrupt();
                    for (LayoutTask* task : tasks)
                        if (signal)
                            task->requestStop();
                }
                // The job still running first is shown.
                for (LayoutTask* task : tasks) {
                    if (task->isFinished())
                        continue;
                    const StatusSnapshot status = task->creator.snapshot();
                    lister->showEngineLines();
                    lister->progress->update(status.statusText, status.progressDone,
                                             status.progressTotal);
                    break;
                }
            }
            lister->showEngineLines();
            lister->progress->finish();
        }
        for (std::size_t k : members) {
            beforeReport(int(k));
            codes[k] = runners[k]->report(jobs[k], signal);
        }
    }
    // The listing's reader goes last: the others' tasks read its scans' names.
    for (std::size_t k = runners.size(); k-- > 0;)
        codes[k] = runners[k]->end(codes[k]);
    return codes;
}

int LayoutRunner::report(const layoutdef& job, int signal)
{
    showEngineLines();
    progress->finish();

    // What the engine did decides: a Ctrl+C that came too late to stop it is no
    // interruption, and the run is reported as the success it is.
    const StatusSnapshot status = task->creator.snapshot();
    if (status.interrupted)
        return interrupted(signal ? signal : SIGINT);
    if (status.failed) {
        QString message = task->noScanRead()
                              ? noScansReadMessage(task->damagedScans())
                              : layoutFailureMessage(status.errorCode, job.resolution, job.tileSize,
                                                     QString::fromStdString(status.failurePath),
                                                     QString::fromStdString(status.failureCause));
        if (message.isEmpty())
            message = QStringLiteral("Computation failed (error code %1)!").arg(status.errorCode);
        err << text(message) << std::endl;
        return status.errorCode == OutputLocked ? Locked : Failed;
    }

    const LayoutCreator& creator = task->creator;
    if (job.shard) {
        // What the reader noted goes into the partials: the merge reports it for the layout.
        *results << "Shard " << job.shard->index << " of " << job.shard->count << " written to "
                 << nativePath(QDir(job.shard->folder)
                                   .filePath(shardFolderName(job.shard->index, job.shard->count)))
                 << std::endl;
        return Success;
    }
    *results << "Layout written to " << nativePath(creator.logFilePath()) << std::endl;
    const std::size_t tiles = creator.tileCorners.size();
    *results << "  " << tiles << (tiles == 1 ? " tile of " : " tiles of ") << creator.tileSize
             << " m, thumbnail " << text(QFileInfo(creator.thumbnailPath()).fileName())
             << std::endl;
    // The layout is there (exit code 0), but the user learns what it lacks.
    if (!task->damagedScans().empty()) {
        err << "Warning: the layout is complete, but not every checked scan is in it whole:"
            << std::endl;
        for (const QString& line : damagedScanLines(task->damagedScans()))
            err << "  " << text(line) << std::endl;
    }
    if (!task->missingOverviewPictures().isEmpty())
        err << text(overviewPicturesWarning(task->missingOverviewPictures())) << std::endl;
    showCost(startTime);
    return Success;
}

void LayoutRunner::showCost(std::chrono::steady_clock::time_point started)
{
    if (!options.verbose)
        return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof(buffer), seconds, std::chars_format::fixed, 2);
    err << "Wall time: " << std::string(buffer, end.ptr) << " s" << std::endl;
    const std::int64_t peak = peakResidentBytes();
    if (peak > 0)
        err << "Peak memory: " << (peak + (1 << 19)) / (1 << 20) << " MB" << std::endl;
}

int LayoutRunner::runPreview(const layoutdef& job, std::chrono::steady_clock::time_point started)
{
    // The pass on a thread of its own, polled like a layout.
    PreviewOptions settings;
    settings.scans = job.scanList;
    settings.scannerDomain = job.scannerDomain;
    settings.threads = job.threads > 0 ? job.threads : QThread::idealThreadCount();
    StatusReporter status;
    std::shared_ptr<SitePreview> preview;
    ScanSource& reader = *task->reader;
    const std::unique_ptr<QThread> pass(
        QThread::create([&] { preview = makeSitePreview(reader, settings, status); }));
    pass->start();
    int signal = 0;
    while (!pass->wait(pollMilliseconds)) {
        if (!signal && (signal = interrupt()))
            status.requestStop();
        const StatusSnapshot now = status.snapshot();
        showEngineLines();
        progress->update(now.statusText, now.progressDone, now.progressTotal);
    }
    showEngineLines();
    progress->finish();
    if (status.interrupted)
        return interrupted(signal ? signal : SIGINT);
    if (!preview) {
        err << "orthaven-layout: could not read the scans of "
            << nativePath(options.inputFiles.join(QStringLiteral(", "))) << std::endl;
        return Failed;
    }
    const std::vector<DamagedScan> damaged = damagedScans(reader, job.scanList, preview->used);
    if (!damaged.empty()) {
        err << "Warning: not every checked scan is in the preview whole:" << std::endl;
        for (const QString& line : damagedScanLines(damaged))
            err << "  " << text(line) << std::endl;
    }
    if (options.levels) {
        const auto share = [](double s) {
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof(buffer), 100.0 * s,
                                           std::chars_format::fixed, 1);
            return std::string(buffer, end.ptr);
        };
        for (const Level& level : preview->levels)
            *results << "Level " << millimetres(level.height) << " " << share(level.share) << "\n";
        // An elevation's planes cut along its depth axis: the surfaces there, too.
        if (job.view != Top || job.facade) {
            for (const Level& surface : findLevels(depthProfile(*preview, job)))
                *results << "Depth " << millimetres(surface.height) << " " << share(surface.share)
                         << "\n";
        }
        results->flush();
    }
    if (!options.previewFile.isEmpty()) {
        const QString path = QFileInfo(options.previewFile).absoluteFilePath();
        const ImageFormat* format = imageFormatFor(QFileInfo(path).suffix());
        const QImage picture = planPicture(*preview, job);
        DurableFile file(path, QStringLiteral("preview"));
        QImageWriter writer(&file, format->writerFormat);
        if (!file.open(QIODevice::WriteOnly) || !writer.write(picture) || !file.finish()) {
            const QString why = !file.failure().isEmpty() ? file.failure() : writer.errorString();
            err << "orthaven-layout: could not write " << nativePath(path) << ": " << text(why)
                << std::endl;
            return Failed;
        }
        *results << "Preview written to " << nativePath(path) << std::endl;
    }
    showCost(started);
    return Success;
}

int LayoutRunner::listScans()
{
    task = std::make_unique<LayoutTask>();
    task->job.threads = options.threads.value_or(0);
    for (const QString& file : std::as_const(options.inputFiles))
        task->job.inputFiles.append(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
    if (!task->createReader())
        return badArguments(QStringLiteral("no reader for %1").arg(options.inputFiles.first()));
    task->mode = FetchScans;
    showEngineLines();
    progress->message("Reading the scan files ...");
    task->start();
    while (!task->wait(pollMilliseconds / 2)) {
        showEngineLines();
        if (const int signal = interrupt()) {
            // A reader cannot be stopped while it lists, and nothing needs cleaning yet.
            abandoned = true;
            return interrupted(signal);
        }
    }
    showEngineLines();
    if (!task->result || task->reader->scanCount() < 1) {
        // The reader's warnings and errors have been shown; its chatter only with --verbose.
        for (const QString& file : std::as_const(options.inputFiles)) {
            if (QFileInfo(file).size() == 0)
                err << "orthaven-layout: " << nativePath(file) << " is empty" << std::endl;
        }
        err << "orthaven-layout: could not read any scan from "
            << nativePath(options.inputFiles.join(QStringLiteral(", "))) << std::endl;
        return Failed;
    }
    // The layout goes on without a file that gave no scan, but the user hears of it.
    for (const QString& file : task->reader->filesWithoutScans())
        err << "Warning: no scan was found in " << nativePath(file) << "; it is left out"
            << std::endl;
    return Success;
}

bool LayoutRunner::printList()
{
    // Everything is asked for first: a list with a gap would read as a complete one.
    const ScanSource& reader = *task->reader;
    const int errorsBefore = reader.errorCount();
    QStringList names;
    reader.scanNames(names);
    std::vector<std::string> positions;
    for (int i = 0; i < reader.scanCount() && reader.errorCount() == errorsBefore; ++i) {
        cv::Mat pose;
        reader.scanPose(i, pose);
        std::string position = "? ? ?";
        if (!reader.hasPosition(i))
            position = "- - -"; // no scanner stood anywhere (LAS)
        else if (pose.rows == 4 && pose.cols == 4 && pose.type() == CV_64FC1)
            position = millimetres(pose.at<double>(0, 3)) + " " +
                       millimetres(pose.at<double>(1, 3)) + " " +
                       millimetres(pose.at<double>(2, 3));
        positions.push_back(position);
    }
    if (reader.errorCount() != errorsBefore)
        return false;
    for (int i = 0; i < int(positions.size()); ++i) {
        *results << i << '\t' << (i < names.size() ? text(names[i]) : std::string()) << '\t'
                 << positions[std::size_t(i)] << '\n';
    }
    results->flush();
    return true;
}

} // namespace orthaven
