#include "engine/LayoutEngine.h"

#include "diag/Diagnostics.h"
#include "engine/FileRawTileStore.h"
#include "engine/GeoTiff.h"
#include "engine/GreyTileStore.h"
#include "engine/HandOffFiles.h"
#include "engine/ImageWriter.h"
#include "engine/MemoryBudget.h"
#include "engine/MemoryRawTileStore.h"
#include "engine/OutputCommit.h"
#include "engine/OutputTiles.h"
#include "engine/RasterWorkers.h"
#include "engine/RawTileFile.h"
#include "engine/RawTileRasterizer.h"
#include "engine/ScanPoses.h"
#include "engine/SessionFolder.h"
#include "engine/ShardPartials.h"
#include "engine/TileImages.h"
#include "engine/TileNormalizer.h"
#include "engine/TileWorkers.h"
#include "engine/TimerStack.h"
#include "layout/ImageFormats.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LayoutLogWriter.h"
#include "platform/DurableFile.h"
#include "platform/ProcessStats.h"
#include "platform/ThreadBudget.h"
#include "scan/ScanSource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLockFile>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>

namespace orthaven {

namespace {

// Points read and not yet drawn at most (32 bytes each in a chunk).
constexpr std::int64_t prefetchPoints = 1 << 20;

// A · B for 4 × 4 A, always summed in the same order, so that a point's view coordinates
// do not depend on the size of the block it arrived in.
cv::Mat multiply(const cv::Mat& A, const cv::Mat& B)
{
    cv::Mat result(4, B.cols, CV_64F);
    for (int r = 0; r < 4; ++r) {
        const double a0 = A.at<double>(r, 0), a1 = A.at<double>(r, 1);
        const double a2 = A.at<double>(r, 2), a3 = A.at<double>(r, 3);
        const double* b0 = B.ptr<double>(0);
        const double* b1 = B.ptr<double>(1);
        const double* b2 = B.ptr<double>(2);
        const double* b3 = B.ptr<double>(3);
        double* out = result.ptr<double>(r);
        for (int j = 0; j < B.cols; ++j)
            out[j] = a0 * b0[j] + a1 * b1[j] + a2 * b2[j] + a3 * b3[j];
    }
    return result;
}

std::string utf8(const QString& s)
{
    return s.toStdString();
}

// True when a folder stands where the file of the layout is to go: its cause is set.
bool blockedOrFailed(const QString& finalPath, QString& cause)
{
    if (!OutputCommit::isBlocked(finalPath))
        return false;
    cause = QStringLiteral("a folder stands in its place");
    return true;
}

// The values of a chunk that a layer draws (one CV_32F row per value), or none when the
// chunk lacks them.
cv::Mat layerValues(const ScanChunk& chunk, LayoutLayer layer)
{
    const int N = chunk.points.cols;
    const cv::Mat& values = layer == LayoutLayer::Intensity ? chunk.intensity : chunk.colour;
    const int rows = layer == LayoutLayer::Intensity ? 1 : 3;
    if (layer == LayoutLayer::Density || values.rows != rows || values.cols != N)
        return {};
    cv::Mat converted;
    values.convertTo(converted, CV_32F);
    return converted;
}

RasterSettings rasterSettingsOf(const RunSettings& s)
{
    RasterSettings settings;
    settings.resolution = s.resolution;
    settings.scannerDomain = s.scannerDomain;
    settings.clipLow = s.clipLow;
    settings.clipHigh = s.clipHigh;
    settings.topView = s.view == Top;
    settings.extentLow = s.extentLow;
    settings.extentHigh = s.extentHigh;
    settings.rawTileSize = RunSettings::rawTileSize;
    settings.tilePixels = s.rawTilePixels();
    return settings;
}

PointChannels channelsOf(LayoutLayer layer)
{
    PointChannels channels;
    channels.intensity = layer == LayoutLayer::Intensity;
    channels.colour = layer == LayoutLayer::Colour;
    return channels;
}

// One run of the engine: the state its stages share.
// What became of a raw tile on its way to a grey tile.
enum class TileOutcome : std::uint8_t
{
    NotDone,
    Dropped,
    Kept,
    Unreadable,
    NoMemory,
    NotKept, // its grey tile could not be kept
};

class Run
{
public:
    Run(const RunSettings& settings, const LayoutJob& job, ScanSource& scans,
        StatusReporter& status, const QString& workFolder,
        const LayoutEngine::BeforeCommit& commitHook)
        : s(settings), layoutJob(job), source(scans), reporter(status), session(workFolder),
          budget(settings.memoryBudgetBytes), rasterSettings(rasterSettingsOf(settings)),
          threadBudget(settings.threads), beforeCommit(commitHook)
    {
        result.scanList = job.scanList;
    }

    void execute(const LayoutEngine::RawTileStoreFactory& storeFactory);
    LayoutResult result;

private:
    void runStages();
    bool computeRawTiles();
    // A shard's run: its lock and staging folder in the partials folder and its share of
    // the scans; then its raw tiles and manifest, put in place as the shard's folder.
    bool openPartials();
    bool writePartials();
    // A merge's run: the raw tiles as the sums of every shard's partials.
    bool sumPartials();
    // A shard's folder could not be written or a merge's partials not used.
    void partialsFailure(ResultCode code, const QString& path, const QString& cause);
    // The scans without the layer's values are left out of the selection; false (and the
    // run failed) when no scan is left.
    bool leaveOutScansWithoutLayer();
    // The layer's grey or colour tiles of the kept tiles, from the layer's raw tiles.
    bool makeLayerTiles(const std::vector<RawTileStore::Index>& kept);
    // The failure of a tile that became no grey tile, as a line and the run's result.
    void reportTileFailure(TileOutcome outcome, int U, int V);
    // Reads scan i chunk by chunk and hands its points to the workers; false when the
    // run ends (a reader's error, a stop, a failure of the workers).
    bool readScan(int i, int readerErrors, RasterWorkers& workers);
    bool normalizeTilesClassic();
    enum class Assembly
    {
        Used,       // at least one grey tile was drawn
        Empty,      // background only
        NoMemory,   // the image could not be had
        Unreadable, // a kept grey tile could not be read back
    };
    // Output tile (a, b) of the grid as its file shows it (mirrored where the view is):
    // m × m grey, the grey tiles drawn unscaled on the background.
    Assembly assembleOutputTile(int a, int b, cv::Mat& tile) const;
    // Hands every output tile (a = i / tilesV, b = i % tilesV) to use on the workers,
    // assembled, with a look at the stop wish and the progress before each; assemblies
    // says what became of each tile (Empty for one that was not begun).
    void
    forEachOutputTile(int count, int tilesV, std::vector<Assembly>& assemblies,
                      const std::function<bool(int i, int a, int b, const cv::Mat& tile)>& use);
    // False (and the run failed) for an assembly that gave no tile.
    bool assembled(Assembly assembly);
    // The output tiles, each encoded and scaled into its square of the thumbnail while it
    // is in memory.
    bool writeImages();
    // The thumbnail's file, unless the front end put an annotated one in its place.
    bool writeThumbnail();
    // The thumbnail's pixels as its file gives them back.
    QImage thumbnailAsWritten();
    // The drawing and the mosaic beside the log.
    bool writeHandOffFiles();
    // A file of the layout written whole into the staging folder, or the run failed.
    bool writeStaged(const QString& finalPath, const QByteArray& bytes, const QString& kind);
    bool writeLogFile();
    bool openOutput();
    bool commitOutput();
    // A file of the layout that could not be written into the output folder.
    void outputFailure(ResultCode code, const QString& path, const QString& cause);
    bool readerFailedSince(int errorsBefore);
    bool leaveForStop() { return reporter.checkpoint(); }
    bool failed() const { return reporter.failed; }

    const RunSettings& s;
    const LayoutJob& layoutJob;
    ScanSource& source;
    StatusReporter& reporter;
    SessionFolder session;
    OutputCommit output; // the layout's files until they are put in place
    MemoryBudget budget;
    std::unique_ptr<RawTileStore> rawTiles;
    std::vector<std::unique_ptr<RawTileStore>> layerTiles; // weights, then value sums
    RasterSettings rasterSettings;
    ThreadBudget threadBudget; // the busy threads of stage 1: reading, parsing, rasterising
    RawSum largestSum = 0;     // the largest raw pixel sum
    float layerLow = 1.0f, layerHigh = 0.0f; // the layer's values drawn, low > high for none
    std::unique_ptr<GreyTileStore> greyTiles;
    OutputGrid grid;  // the output tiles, from stage 3 on
    QImage thumbnail; // RGB32, one square per output tile, made with the tiles
    QByteArray logText;
    QByteArray thumbnailBytes; // the encoded thumbnail, where it was encoded ahead
    const LayoutEngine::BeforeCommit& beforeCommit;
    // Of the scans looked at for the layer's values, how many had none.
    int layerSelected = 0;
    int layerWithout = 0;
    // A shard's share of the selection, its lock and its folder while it is written.
    QBitArray share;
    std::unique_ptr<QLockFile> shardLock;
    QString shardStaging;
};

void Run::execute(const LayoutEngine::RawTileStoreFactory& storeFactory)
{
    if (layoutJob.shard ? !openPartials() : !openOutput())
        return;
    if (!session.createSession()) {
        // Without a session no raw tile would survive between blocks: the run could only
        // end with a misleading "not enough data".
        diag::error("ERROR: could not create a temporary folder in ", utf8(session.tempPath()));
        reporter.reportFailure(TempFileAccess, utf8(session.tempPath()));
        output.discard();
        return;
    }

    const int n = s.rawTilePixels();
    rawTiles = storeFactory ? storeFactory(session.tempPath(), n, budget)
                            : std::make_unique<MemoryRawTileStore>(session.tempPath(), n, budget);
    // The layer's strips are those of the density: the rasteriser visits them together.
    for (int k = 0; k < s.layerStoreCount(); ++k)
        layerTiles.push_back(std::make_unique<MemoryRawTileStore>(
            session.tempPath(), n, budget, QStringLiteral("orvnLayer%1_").arg(k),
            rawTiles->stripRows(), s.layer == LayoutLayer::Intensity && k == 1 ? 16 : 8));
    greyTiles = std::make_unique<GreyTileStore>(session.tempPath(), budget);
    try {
        runStages();
    } catch (const cv::Exception& e) {
        diag::error("ERROR: ", e.what());
        reporter.reportFailure(NotEnoughMemory);
    } catch (const std::bad_alloc&) {
        diag::error("ERROR: out of memory");
        reporter.reportFailure(NotEnoughMemory);
    } catch (const std::exception& e) {
        // Readers catch their own errors at ScanSource's doors; whatever else escapes a
        // stage ends the run here, so the temporary files are still cleaned below.
        diag::error("ERROR: reading the scans failed: ", e.what());
        reporter.reportFailure(ScanSourceError);
    } catch (...) {
        diag::error("ERROR: reading the scans failed");
        reporter.reportFailure(ScanSourceError);
    }
    rawTiles.reset();
    layerTiles.clear();
    greyTiles.reset();
    // A layout that was not committed leaves no trace in the output folder, a shard that
    // was not put in place none in the partials folder.
    output.discard();
    if (!shardStaging.isEmpty())
        QDir(shardStaging).removeRecursively();

    reporter.setStatusText("Clean");
    session.cleanFiles();
    reporter.setStatusText({});
}

void Run::runStages()
{
    if (!(layoutJob.mergeFolders.isEmpty() ? computeRawTiles() : sumPartials()))
        return;
    if (layoutJob.shard) {
        writePartials();
        return;
    }
    if (!normalizeTilesClassic() || !writeImages())
        return;
    // A folder where the thumbnail belongs fails the run before anything else is written.
    QString cause;
    if (blockedOrFailed(s.thumbnailPath(), cause)) {
        outputFailure(OutputFolderAccess, s.thumbnailPath(), cause);
        return;
    }
    if (!writeHandOffFiles() || !writeLogFile())
        return;
    // The last checkpoint. A stop request that comes later is ignored: the layout is put in
    // place and the run is reported finished, not interrupted.
    if (leaveForStop())
        return;
    bool thumbnailTaken = false;
    if (beforeCommit) {
        TimerStack& timers = TimerStack::instance();
        timers.startTimer();
        StagedOutput staged;
        staged.logPath = output.stage(s.logFilePath());
        staged.logText = logText;
        staged.thumbnail = thumbnailAsWritten();
        staged.scanList = result.scanList;
        staged.threads = s.threads;
        staged.stage = [this](const QString& finalPath) { return output.stage(finalPath); };
        const bool drawn = beforeCommit(staged);
        timers.printElapsed("Overview Pictures ...");
        if (!drawn) {
            outputFailure(OutputFolderAccess, staged.failedPath, staged.failure);
            return;
        }
        thumbnailTaken = staged.thumbnailTaken;
    }
    if (!thumbnailTaken && !writeThumbnail())
        return;
    TimerStack::instance().startTimer();
    if (commitOutput())
        TimerStack::instance().printElapsed("Commit ...");
    else
        TimerStack::instance().discard();
}

bool Run::openOutput()
{
    switch (output.begin(s.logFilePath())) {
    case OutputCommit::Opening::Opened:
        return true;
    case OutputCommit::Opening::Locked:
        diag::error("ERROR: another run is writing the layout ", utf8(s.logFilePath()), ": ",
                    utf8(output.failure()));
        reporter.reportFailure(OutputLocked, utf8(output.failedPath()), utf8(output.failure()));
        return false;
    case OutputCommit::Opening::Failed:
        break;
    }
    diag::error("ERROR: cannot write into the output folder ", utf8(s.outputDir), ": ",
                utf8(output.failedPath()), ": ", utf8(output.failure()));
    reporter.reportFailure(OutputFolderAccess, utf8(output.failedPath()), utf8(output.failure()));
    return false;
}

void Run::outputFailure(ResultCode code, const QString& path, const QString& cause)
{
    diag::error("ERROR: could not write ", utf8(path), ": ", utf8(cause));
    diag::error("ERROR: the layout was not put in place; the output folder ", utf8(s.outputDir),
                " is as it was");
    reporter.reportFailure(code, utf8(path), utf8(cause));
}

bool Run::commitOutput()
{
    if (output.commit())
        return true;
    // A log that finds a folder in its place keeps its own code.
    const QString path = output.failedPath();
    outputFailure(path == s.logFilePath() ? LogFileAccess : OutputFolderAccess, path,
                  output.failure());
    return false;
}

bool Run::readerFailedSince(int errorsBefore)
{
    if (source.errorCount() == errorsBefore)
        return false;
    diag::error("ERROR: reading the scans failed: ", source.lastError());
    reporter.reportFailure(ScanSourceError);
    return true;
}

bool Run::computeRawTiles()
{
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();

    QBitArray& scanList = result.scanList;
    source.setReadThreads(s.threads);
    source.setThreadBudget(&threadBudget);
    // The budget ends with the run; the source lives on (a window's next run, the site
    // preview's pass) and must not keep it.
    const auto forgetBudget = qScopeGuard([this] { source.setThreadBudget(nullptr); });
    if (s.layer != LayoutLayer::Density && !leaveOutScansWithoutLayer()) {
        timers.discard();
        return false;
    }
    const int count = source.scanCount();
    const int readerErrors = source.errorCount();
    int selected = 0;
    for (int i = 0; i < count; ++i)
        selected += bitSet(scanList, i) ? 1 : 0;
    reporter.progressTotal = float(selected);
    reporter.progressDone = 0.0f;

    // This thread reads; the workers draw what it read, all within the thread budget.
    std::vector<RawTileStore*> layerStores;
    for (const auto& store : layerTiles)
        layerStores.push_back(store.get());
    const ThreadBudget::Slot reading(&threadBudget);
    RasterWorkers workers(*rawTiles, rasterSettings, &reporter.stopRequested, layerStores,
                          &threadBudget, s.threads, prefetchPoints, count);
    int k = 1;
    for (int i = 0; i < count && !failed(); ++i) {
        if (!bitSet(scanList, i))
            continue;
        if (leaveForStop())
            break;
        reporter.setStatusText("Loading Scan " + std::to_string(k) + " of " +
                               std::to_string(selected));
        reporter.progressDone = reporter.progressDone + 1.0f;
        ++k;
        if (!readScan(i, readerErrors, workers))
            break;
    }
    workers.finish();
    result.tileRange = workers.range();
    largestSum = workers.largestSum();
    layerLow = workers.layerLow();
    layerHigh = workers.layerHigh();
    switch (workers.result()) {
    case RawTileRasterizer::Result::NoImage:
        reporter.reportFailure(NotEnoughMemory);
        break;
    case RawTileRasterizer::Result::TileLost:
        reporter.reportFailure(TempFileAccess);
        break;
    case RawTileRasterizer::Result::Done:
    case RawTileRasterizer::Result::Stopped:
        break; // a stop ends the run at the checkpoint below
    }
    // Counted point by point, told once per scan in the order of the scans.
    for (int i = 0; i < count; ++i)
        if (const std::int64_t outside = workers.outOfBoundPoints(i))
            diag::warning("Scan ", i, ": ", outside,
                          " points fell outside the tile grid and "
                          "were left out");

    timers.printElapsed("Overall time ...");
    diag::debug("Compute Raw Tiles ... done");
    return !failed() && !leaveForStop();
}

bool Run::readScan(int i, int readerErrors, RasterWorkers& workers)
{
    TimerStack& timers = TimerStack::instance();
    timers.startTimer(); // the whole scan
    timers.startTimer(); // opening it
    cv::Mat pose;
    const bool opened = source.openScan(i);
    if (opened)
        source.scanPose(i, pose);
    if (readerFailedSince(readerErrors)) {
        source.closeScan(i);
        timers.discard();
        timers.discard();
        return false;
    }
    const cv::Mat P = opened ? usablePose(pose) : cv::Mat();
    if (P.empty()) {
        // A scan that cannot be read (or placed) is left out and not listed as used.
        if (opened)
            source.closeScan(i);
        timers.discard();
        timers.discard();
        result.scanList.clearBit(i);
        diag::warning("Scan load failed");
        return true;
    }
    timers.printElapsed("Load Scan = ");
    const cv::Mat T = multiply(s.viewMatrix, P);
    const bool fromScanner = source.hasPosition(i);
    const PointChannels channels = channelsOf(s.layer);

    std::int64_t points = 0;
    for (;;) {
        ScanChunk chunk;
        const bool more = source.readPoints(i, chunk, RunSettings::maxColumnsPerChunk, channels);
        cv::Mat& B = chunk.points;
        if (B.cols < 2)
            break;
        if (B.rows != 4 || B.channels() != 1) {
            diag::warning("Scan ", i, " delivered a block of ", B.rows,
                          " rows; the rest of the scan is skipped");
            break;
        }
        if (B.type() != CV_64FC1)
            B.convertTo(B, CV_64F);
        points += B.cols;
        const bool handedOver = workers.draw(B, layerValues(chunk, s.layer), T, fromScanner, i);
        if (!handedOver || !more || failed() || leaveForStop())
            break;
    }
    source.rewindPoints();
    source.closeScan(i);
    if (readerFailedSince(readerErrors)) {
        timers.discard();
        return false;
    }
    diag::debug("Number of Points = ", points);
    timers.printElapsed("Time Scan = ");
    return true;
}

void Run::partialsFailure(ResultCode code, const QString& path, const QString& cause)
{
    diag::error("ERROR: ", utf8(path), ": ", utf8(cause));
    reporter.reportFailure(code, utf8(path), utf8(cause));
}

bool Run::openPartials()
{
    const LayoutShard& shard = *layoutJob.shard;
    const QString name = shardFolderName(shard.index, shard.count);
    const QDir folder(shard.folder);
    if (!QDir().mkpath(shard.folder)) {
        partialsFailure(OutputFolderAccess, shard.folder, QStringLiteral("cannot be created"));
        return false;
    }
    // Two runs of one shard would write one folder.
    shardLock = std::make_unique<QLockFile>(folder.filePath(QLatin1Char('.') + name + ".lock"));
    shardLock->setStaleLockTime(0);
    if (!shardLock->tryLock(0)) {
        const bool held = shardLock->error() == QLockFile::LockFailedError;
        partialsFailure(held ? OutputLocked : OutputFolderAccess, folder.filePath(name),
                        held ? QStringLiteral("another run is writing this shard")
                             : QStringLiteral("its lock file cannot be written"));
        return false;
    }
    const QString staging = folder.filePath(QLatin1Char('.') + name + ".partial");
    QDir(staging).removeRecursively(); // what a killed run of this shard left
    if (!QDir().mkpath(staging)) {
        partialsFailure(OutputFolderAccess, staging, QStringLiteral("cannot be created"));
        return false;
    }
    shardStaging = staging;

    std::vector<std::int64_t> points;
    for (int i = 0; i < source.scanCount(); ++i)
        points.push_back(bitSet(layoutJob.scanList, i) ? source.pointCount(i) : -1);
    const std::vector<int> shardOf = shardShares(points, layoutJob.scanList, shard.count);
    share = QBitArray(source.scanCount());
    for (int i = 0; i < source.scanCount(); ++i)
        share.setBit(i, shardOf[std::size_t(i)] == shard.index - 1);
    result.scanList = share;
    return true;
}

bool Run::writePartials()
{
    const LayoutShard& shard = *layoutJob.shard;
    reporter.setStatusText("Write Partials");
    PartialManifest manifest;
    manifest.program = partialsProgramVersion();
    manifest.index = shard.index;
    manifest.count = shard.count;
    manifest.jobLines = jobLines(layoutJob);
    QString cause;
    if (!inputFileLines(layoutJob.inputFiles, manifest.fileLines, cause)) {
        partialsFailure(ScanSourceError, layoutJob.inputFiles.join(QStringLiteral(", ")), cause);
        return false;
    }
    QStringList names;
    source.scanNames(names);
    for (int i = 0; i < source.scanCount(); ++i) {
        PartialScan scan;
        scan.name = i < names.size() ? names[i] : QString::number(i);
        cv::Mat pose;
        if (source.scanPose(i, pose) && pose.rows == 4 && pose.cols == 4)
            pose.convertTo(scan.pose, CV_64F);
        scan.hasPosition = source.hasPosition(i);
        for (const ScanNote& note : source.notes())
            if (note.scan == i)
                scan.notes << QString::fromStdString(note.text);
        manifest.scans.push_back(scan);
    }
    manifest.selected = layoutJob.scanList;
    manifest.share = share;
    manifest.used = result.scanList;
    manifest.layerSelected = layerSelected;
    manifest.layerWithout = layerWithout;
    manifest.layerLow = layerLow;
    manifest.layerHigh = layerHigh;
    manifest.range = result.tileRange;
    manifest.tilePixels = rawTiles->tilePixels();
    manifest.stripRows = rawTiles->stripRows();

    std::vector<RawTileStore*> stores{rawTiles.get()};
    for (const auto& store : layerTiles)
        stores.push_back(store.get());
    const QDir staging(shardStaging);
    for (std::size_t k = 0; k < stores.size(); ++k) {
        RawTileStore& store = *stores[k];
        const QString prefix =
            k == 0 ? QStringLiteral("orvnTile_") : QStringLiteral("orvnLayer%1_").arg(k - 1);
        for (const auto& [U, V] : store.storedTiles()) {
            for (int strip = 0; strip < store.stripCount(); ++strip) {
                if (leaveForStop())
                    return false;
                const cv::Mat pixels = store.loadStrip(U, V, strip);
                if (pixels.empty()) {
                    diag::error("ERROR: raw tile ", U, " ", V, " could not be read back");
                    reporter.reportFailure(TempFileAccess);
                    return false;
                }
                const QString name =
                    tileFileName(prefix, U, V,
                                 store.stripCount() > 1 ? QStringLiteral("_s%1.tmp").arg(strip)
                                                        : QStringLiteral(".tmp"));
                const QString path = staging.filePath(name);
                QFile written(path);
                if (!storeRawTile(path, pixels) || !written.open(QIODevice::ReadOnly)) {
                    partialsFailure(OutputFolderAccess, path, QStringLiteral("cannot be written"));
                    return false;
                }
                QCryptographicHash hash(QCryptographicHash::Sha256);
                hash.addData(&written);
                manifest.tiles.push_back(
                    {int(k), U, V, strip, written.size(), hash.result().toHex(), name});
            }
        }
    }
    // The manifest last: a shard's folder with one is complete.
    if (!writeFileDurably(staging.filePath(QStringLiteral("manifest")), manifest.text(),
                          QStringLiteral("partial"), false, &cause)) {
        partialsFailure(OutputFolderAccess, staging.filePath(QStringLiteral("manifest")), cause);
        return false;
    }
    if (leaveForStop())
        return false;
    const QDir folder(shard.folder);
    const QString placed = folder.filePath(shardFolderName(shard.index, shard.count));
    QDir(placed).removeRecursively(); // the shard's earlier run
    if (!QDir().rename(shardStaging, placed)) {
        partialsFailure(OutputFolderAccess, placed, QStringLiteral("cannot be put in place"));
        return false;
    }
    shardStaging.clear();
    syncFolder(shard.folder);
    return true;
}

bool Run::sumPartials()
{
    reporter.setStatusText("Merge Partials");
    PartialSet set;
    QString problem;
    if (!set.read(layoutJob.mergeFolders, problem)) {
        partialsFailure(PartialsUnusable, layoutJob.mergeFolders.join(QStringLiteral(", ")),
                        problem);
        return false;
    }
    result.scanList = layoutJob.scanList & set.used;
    for (const PartialManifest& shard : set.shards) {
        layerSelected += shard.layerSelected;
        layerWithout += shard.layerWithout;
    }
    if (s.layer != LayoutLayer::Density && layerSelected > 0 && layerWithout == layerSelected) {
        diag::error(std::string("ERROR: none of the chosen scans holds ") + layerName(s.layer) +
                    " values");
        reporter.reportFailure(NoLayerData);
        return false;
    }
    std::int64_t total = 0;
    for (const PartialManifest& shard : set.shards)
        total += std::int64_t(shard.tiles.size());
    reporter.progressTotal = float(total);
    reporter.progressDone = 0.0f;
    std::vector<RawTileStore*> stores{rawTiles.get()};
    for (const auto& store : layerTiles)
        stores.push_back(store.get());
    for (const PartialManifest& shard : set.shards) {
        const QDir folder(shard.folder);
        const auto unusable = [&](const QString& file, const QString& why) {
            partialsFailure(PartialsUnusable, folder.filePath(file), why);
            return false;
        };
        if (shard.tilePixels != rawTiles->tilePixels() || shard.stripRows != rawTiles->stripRows())
            return unusable({}, QStringLiteral("its raw tiles are of another size"));
        if (shard.layerLow <= shard.layerHigh) {
            layerLow = layerLow <= layerHigh ? std::min(layerLow, shard.layerLow) : shard.layerLow;
            layerHigh = std::max(layerHigh, shard.layerHigh);
        }
        if (!shard.range.isEmpty()) {
            result.tileRange.widen(shard.range.minU, shard.range.minV);
            result.tileRange.widen(shard.range.maxU, shard.range.maxV);
        }
        for (const PartialTile& tile : shard.tiles) {
            if (leaveForStop())
                return false;
            reporter.progressDone = reporter.progressDone + 1.0f;
            if (tile.store < 0 || tile.store >= int(stores.size()))
                return unusable(tile.file, QStringLiteral("belongs to no raw tile store"));
            RawTileStore& store = *stores[std::size_t(tile.store)];
            QFile file(folder.filePath(tile.file));
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) ||
                hash.result().toHex() != tile.sha256)
                return unusable(tile.file, QStringLiteral("is damaged (its checksum differs)"));
            const cv::Mat part = loadRawTile(folder.filePath(tile.file));
            if (tile.strip < 0 || tile.strip >= store.stripCount() ||
                part.cols != store.tilePixels() || part.rows != store.stripHeight(tile.strip) ||
                part.type() != rawCellType(store.cellBytes()))
                return unusable(tile.file, QStringLiteral("is no strip of this layout"));
            cv::Mat sum = store.getStrip(tile.U, tile.V, tile.strip);
            if (sum.empty()) {
                reporter.reportFailure(NotEnoughMemory);
                return false;
            }
            // Whole numbers: the sums of any split of the points are the single run's.
            addRawSums(sum, part, store.cellBytes());
            if (tile.store == 0)
                largestSum = std::max(largestSum, largestRawSum(sum));
            if (!store.releaseStrip(tile.U, tile.V, tile.strip, sum)) {
                reporter.reportFailure(TempFileAccess);
                return false;
            }
        }
    }
    return !failed() && !leaveForStop();
}

bool Run::normalizeTilesClassic()
{
    diag::debug("Normalize Tiles Classic");
    const SumScale scale = rasterSettings.sumScale();
    result.scaleTop = float(scale.weight(largestSum));
    const float L = TileNormalizer::log2Plus1(result.scaleTop);
    result.scaleTop = L;
    const TileRange& tileRange = result.tileRange;
    reporter.progressTotal = float(tileRange.tileCount());
    reporter.setStatusText("Preprocessing Tiles");
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();

    // Only stored tiles have anything to normalise; visiting them in (U, V) order is the
    // order of the whole range without its holes. A raw tile is dropped once its grey
    // tile is made: the grey tiles take a quarter of its memory.
    std::vector<RawTileStore::Index> tiles;
    for (const RawTileStore::Index& tile : rawTiles->storedTiles())
        if (tileRange.contains(tile.first, tile.second))
            tiles.push_back(tile);
    std::vector<TileOutcome> outcomes(tiles.size(), TileOutcome::NotDone);
    forEachTile(int(tiles.size()), s.threads, [&](int i) {
        const auto [U, V] = tiles[std::size_t(i)];
        if (leaveForStop())
            return false;
        reporter.progressDone = float(tileRange.ordinal(U, V));
        TileOutcome& outcome = outcomes[std::size_t(i)];
        const int n = rawTiles->tilePixels();
        cv::Mat grey = allocateImage(8, n, n);
        if (grey.empty()) {
            outcome = TileOutcome::NoMemory;
            return false;
        }
        // Strip by strip, so the tile's sum adds its pixels in row order all the same.
        float sum = 0.0f;
        for (int k = 0; k < rawTiles->stripCount(); ++k) {
            const cv::Mat raw = rawTiles->loadStrip(U, V, k);
            if (raw.empty()) {
                outcome = TileOutcome::Unreadable;
                return false;
            }
            cv::Mat rows =
                grey.rowRange(k * rawTiles->stripRows(), k * rawTiles->stripRows() + raw.rows);
            sum = TileNormalizer::normalizeTile(raw, scale, L, s.reverseIntensity, rows, sum);
        }
        rawTiles->dropTile(U, V);
        outcome = TileOutcome::Dropped;
        // A layer keeps the tiles the density keeps; its own pixels are made below.
        if (sum > s.dataThreshold && s.layer != LayoutLayer::Density)
            outcome = TileOutcome::Kept;
        else if (sum > s.dataThreshold)
            outcome = greyTiles->put(U, V, grey) ? TileOutcome::Kept : TileOutcome::NotKept;
        if (outcome == TileOutcome::Dropped)
            for (const auto& store : layerTiles)
                store->dropTile(U, V);
        return outcome != TileOutcome::NotKept;
    });

    // What went wrong first, in the order of the tiles.
    TileRange kept;
    std::vector<RawTileStore::Index> keptTiles;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto [U, V] = tiles[i];
        switch (outcomes[i]) {
        case TileOutcome::NotDone:
        case TileOutcome::Dropped:
            continue;
        case TileOutcome::Kept:
            kept.widen(U, V);
            keptTiles.push_back(tiles[i]);
            continue;
        case TileOutcome::Unreadable:
        case TileOutcome::NoMemory:
        case TileOutcome::NotKept:
            reportTileFailure(outcomes[i], U, V);
            break;
        }
        timers.discard();
        return false;
    }
    timers.printElapsed("Normalization of all Tiles ...");
    if (leaveForStop())
        return false;

    if (kept.isEmpty()) {
        reporter.reportFailure(NotEnoughData);
        diag::debug("ERROR STATUS: ", NotEnoughData, "  ... not enough data");
        return false;
    }
    result.tileRange = kept;
    return s.layer == LayoutLayer::Density || makeLayerTiles(keptTiles);
}

bool Run::leaveOutScansWithoutLayer()
{
    // A scan says whether it carries the layer's values with its first points.
    const PointChannels channels = channelsOf(s.layer);
    const int count = source.scanCount();
    const int readerErrors = source.errorCount();
    QStringList names;
    source.scanNames(names);
    int selected = 0;
    int without = 0;
    for (int i = 0; i < count && !failed(); ++i) {
        if (!bitSet(result.scanList, i))
            continue;
        if (leaveForStop())
            return false;
        ++selected;
        ScanChunk first;
        if (!source.firstPoints(i, first, channels))
            continue; // reading it below says what is wrong with it
        if (readerFailedSince(readerErrors))
            return false;
        if (first.points.cols < 2 || !layerValues(first, s.layer).empty())
            continue;
        ++without;
        result.scanList.clearBit(i);
        diag::warning("Scan " + utf8(i < names.size() ? names[i] : QString::number(i)) +
                      " holds no " + layerName(s.layer) + " values: skipped for this layer");
    }
    layerSelected = selected;
    layerWithout = without;
    // A shard's share may hold none of them; the merge decides for the whole selection.
    if (!layoutJob.shard && selected > 0 && without == selected) {
        diag::error(std::string("ERROR: none of the chosen scans holds ") + layerName(s.layer) +
                    " values");
        reporter.reportFailure(NoLayerData);
        return false;
    }
    return !failed();
}

void Run::reportTileFailure(TileOutcome outcome, int U, int V)
{
    switch (outcome) {
    case TileOutcome::Unreadable:
        // Its points would be missing from the layout without a word.
        diag::error("ERROR: raw tile ", U, " ", V, " could not be read back");
        reporter.reportFailure(TempFileAccess);
        break;
    case TileOutcome::NoMemory:
        diag::error("ERROR: Image Pointer is NULL");
        reporter.reportFailure(NotEnoughMemory);
        break;
    case TileOutcome::NotKept:
        // Dropping the tile would leave a hole in the layout that looks like missing data.
        diag::error("ERROR: could not keep grey tile ", U, " ", V, " in ",
                    utf8(session.tempPath()));
        reporter.reportFailure(TempFileAccess);
        break;
    default:
        break;
    }
}

bool Run::makeLayerTiles(const std::vector<RawTileStore::Index>& kept)
{
    reporter.setStatusText("Preprocessing Tiles");
    const int count = int(kept.size());
    std::mutex merging;
    // Intensity is stretched over the 1st to 99th percentile of the layout's pixels.
    double low = 0.0, high = 0.0;
    if (s.layer == LayoutLayer::Intensity) {
        TileNormalizer::Histogram histogram(layerLow, layerHigh);
        std::vector<std::uint8_t> counted(std::size_t(count), 0);
        forEachTile(count, s.threads, [&](int i) {
            const auto [U, V] = kept[std::size_t(i)];
            if (leaveForStop())
                return false;
            TileNormalizer::Histogram part(layerLow, layerHigh);
            for (int k = 0; k < layerTiles[0]->stripCount(); ++k) {
                const cv::Mat weight = layerTiles[0]->loadStrip(U, V, k);
                const cv::Mat sum = layerTiles[1]->loadStrip(U, V, k);
                if (weight.empty() || sum.empty())
                    return false;
                part.addTile(weight, sum);
            }
            const std::lock_guard<std::mutex> guard(merging);
            histogram.add(part);
            counted[std::size_t(i)] = 1;
            return true;
        });
        if (leaveForStop())
            return false;
        if (std::find(counted.begin(), counted.end(), 0) != counted.end()) {
            diag::error("ERROR: a raw tile of the layer could not be read back");
            reporter.reportFailure(TempFileAccess);
            return false;
        }
        low = histogram.quantile(0.01, false);
        high = histogram.quantile(0.99, true);
        diag::debug("Intensity from ", low, " to ", high);
    }

    std::vector<TileOutcome> outcomes(std::size_t(count), TileOutcome::NotDone);
    forEachTile(count, s.threads, [&](int i) {
        const auto [U, V] = kept[std::size_t(i)];
        if (leaveForStop())
            return false;
        TileOutcome& outcome = outcomes[std::size_t(i)];
        const RawTileStore& strips = *layerTiles[0];
        const int n = strips.tilePixels();
        cv::Mat image = allocateImage(s.layer == LayoutLayer::Colour ? 24 : 8, n, n);
        if (image.empty()) {
            outcome = TileOutcome::NoMemory;
            return false;
        }
        std::vector<cv::Mat> raw;
        for (int k = 0; k < strips.stripCount(); ++k) {
            raw.clear();
            for (const auto& store : layerTiles) {
                raw.push_back(store->loadStrip(U, V, k));
                if (raw.back().empty()) {
                    outcome = TileOutcome::Unreadable;
                    return false;
                }
            }
            cv::Mat rows =
                image.rowRange(k * strips.stripRows(), k * strips.stripRows() + raw[0].rows);
            if (s.layer == LayoutLayer::Colour)
                TileNormalizer::colourTile(raw[0], raw[1], raw[2], raw[3], s.backgroundGrey(),
                                           rows);
            else
                TileNormalizer::intensityTile(raw[0], raw[1], low, high, s.backgroundGrey(), rows);
        }
        raw.clear();
        for (const auto& store : layerTiles)
            store->dropTile(U, V);
        outcome = greyTiles->put(U, V, image) ? TileOutcome::Kept : TileOutcome::NotKept;
        return outcome == TileOutcome::Kept;
    });
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const auto [U, V] = kept[i];
        switch (outcomes[i]) {
        case TileOutcome::Kept:
            continue;
        case TileOutcome::NotDone:
        case TileOutcome::Dropped:
            break;
        case TileOutcome::Unreadable:
        case TileOutcome::NoMemory:
        case TileOutcome::NotKept:
            reportTileFailure(outcomes[i], U, V);
            break;
        }
        return false;
    }
    return !leaveForStop();
}

Run::Assembly Run::assembleOutputTile(int a, int b, cv::Mat& tile) const
{
    const int k = s.tileSize / RunSettings::rawTileSize;
    const int m = s.outputTilePixels();
    tile = allocateImage(s.layer == LayoutLayer::Colour ? 24 : 8, m, m);
    if (tile.empty())
        return Assembly::NoMemory;
    tile.setTo(cv::Scalar::all(s.backgroundGrey()));
    bool used = false;
    for (int su = 0; su < k; ++su) {
        for (int sv = 0; sv < k; ++sv) {
            const int U = k * (grid.minOU + a) + su;
            const int V = k * (grid.minOV + b) + sv;
            if (!greyTiles->contains(U, V))
                continue;
            const cv::Mat grey = greyTiles->get(U, V);
            if (grey.empty())
                return Assembly::Unreadable;
            used = true;
            // Raw tiles fill the output tile from its lower-left corner, V growing upward.
            const int x = grey.cols * su;
            const int y = m - grey.rows * (sv + 1);
            const cv::Rect into = cv::Rect(x, y, grey.cols, grey.rows) & cv::Rect(0, 0, m, m);
            if (into.area() > 0)
                grey(cv::Rect(into.x - x, into.y - y, into.width, into.height)).copyTo(tile(into));
        }
    }
    if (s.mirrorHorizontal)
        cv::flip(tile, tile, 1);
    return used ? Assembly::Used : Assembly::Empty;
}

bool Run::writeImages()
{
    grid = OutputTiles::outputGrid(result.tileRange, s.tileSize, RunSettings::rawTileSize);
    const std::int64_t nOU = grid.countU();
    const std::int64_t nOV = grid.countV();
    if (nOU > RunSettings::thumbnailSize || nOV > RunSettings::thumbnailSize) {
        // A grid wider than the thumbnail has pixels cannot get a thumbnail; writing
        // thousands of tiles first would only fill the disk.
        diag::error("ERROR: a layout of ", nOU, " x ", nOV, " tiles is too large");
        reporter.reportFailure(NotEnoughMemory);
        return false;
    }
    // The thumbnail holds one square of t × t pixels per output tile.
    const int t = OutputTiles::thumbnailEdge(nOU, nOV, s.resolution, RunSettings::rawTileSize,
                                             RunSettings::thumbnailSize);
    if (t > 0)
        thumbnail = QImage(int(nOU) * t, int(nOV) * t, QImage::Format_RGB32);
    if (thumbnail.isNull()) {
        diag::error("Could not create Thumbnail");
        reporter.reportFailure(NotEnoughMemory);
        return false;
    }
    thumbnail.fill(qRgb(255, 255, 255));
    // Each tile's work draws into its own square of the thumbnail.
    uchar* const thumbnailPixels = thumbnail.bits();
    const qsizetype thumbnailLine = thumbnail.bytesPerLine();

    // From here on the layout's files are written out of sight, into the staging folder.
    reporter.setStatusText("Write Images");
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();
    const int count = int(nOU * nOV);
    reporter.progressTotal = float(count);
    result.tileUsed = cv::Mat::zeros(int(nOU), int(nOV), CV_32SC1);

    // Tiles are written as 8-bit grey images, a colour layer's as 24-bit colour.
    const ImageFormat& format = *imageFormatFor(s.imageType);
    // Tile i is (a, b) = (i / nOV, i % nOV): a from the left, b from the bottom.
    std::vector<QString> staged(static_cast<std::size_t>(count));
    std::vector<QString> stagedWorld(static_cast<std::size_t>(count));
    std::vector<QString> stagedProjection(static_cast<std::size_t>(count));
    // A plan under a coordinate system: a .prj beside each world file, GeoTIFF tiles.
    const bool projection = s.crs && s.worldFiles;
    const bool geoTiff = s.crs && QByteArray(format.writerFormat) == "tiff";
    for (int i = 0; i < count; ++i) {
        const int a = i / int(nOV);
        const int b = i % int(nOV);
        staged[std::size_t(i)] = output.stage(s.outputTilePath(a, b));
        if (s.worldFiles)
            stagedWorld[std::size_t(i)] = output.stage(s.worldFilePath(a, b));
        if (projection)
            stagedProjection[std::size_t(i)] = output.stage(s.projectionFilePath(a, b));
    }
    const ViewInfo& view = *viewInfo(std::uint32_t(s.view));
    const int m = s.outputTilePixels();
    std::vector<Assembly> assemblies;
    std::vector<std::uint8_t> written(std::size_t(count), 0);
    std::vector<std::uint8_t> scaled(std::size_t(count), 0);
    // Per tile: the file that failed and why.
    std::vector<std::pair<QString, QString>> failures{std::size_t(count)};
    forEachOutputTile(count, int(nOV), assemblies, [&](int i, int a, int b, const cv::Mat& tile) {
        // Encoding a large tile takes the longest: one more look before it.
        if (leaveForStop())
            return false;
        auto& [failedPath, cause] = failures[std::size_t(i)];
        // The tile's square of the thumbnail, scaled from the tile as the file shows it.
        QImage small =
            colourImage(tile).scaled(t, t, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (small.isNull())
            return false;
        if (small.format() != QImage::Format_RGB32)
            small = small.convertToFormat(QImage::Format_RGB32);
        const int x = s.mirrorHorizontal ? int(nOU) * t - (a + 1) * t : a * t;
        const int y = (int(nOV) - 1 - b) * t;
        for (int row = 0; row < t; ++row)
            std::memcpy(thumbnailPixels + (y + row) * thumbnailLine + std::size_t(x) * 4,
                        small.constScanLine(row), std::size_t(t) * 4);
        scaled[std::size_t(i)] = 1;
        failedPath = s.outputTilePath(a, b);
        const std::array<double, 6> world = OutputTiles::worldFile(
            view, s.frame, OutputTiles::cornerMatrix(grid, a, b, s.tileSize), s.resolution, m);
        const QImage image = withPrintScale(tileImage(tile), s.dotsPerMetre());
        const QString& path = staged[std::size_t(i)];
        const QString kind = QStringLiteral("tile");
        QByteArray bytes;
        bool saved = !blockedOrFailed(failedPath, cause) &&
                     (geoTiff ? ImageWriter::encodeImage(image, format, bytes, &cause) &&
                                    addGeoTiffTags(bytes, world, *s.crs, &cause) &&
                                    writeFileDurably(path, bytes, kind, false, &cause)
                              : ImageWriter::writeImage(path, image, format, kind, &cause));
        if (saved && s.worldFiles) {
            failedPath = s.worldFilePath(a, b);
            saved = !blockedOrFailed(failedPath, cause) &&
                    writeFileDurably(stagedWorld[std::size_t(i)], OutputTiles::worldFileText(world),
                                     QStringLiteral("world"), true, &cause);
        }
        if (saved && projection) {
            failedPath = s.projectionFilePath(a, b);
            saved = !blockedOrFailed(failedPath, cause) &&
                    writeFileDurably(stagedProjection[std::size_t(i)], s.crs->esriWkt,
                                     QStringLiteral("prj"), false, &cause);
        }
        written[std::size_t(i)] = saved ? 1 : 0;
        return saved;
    });

    // What went wrong first, in the order of the tiles.
    for (int i = 0; i < count; ++i) {
        const int a = i / int(nOV);
        const int b = i % int(nOV);
        if (!assembled(assemblies[std::size_t(i)])) {
            timers.discard();
            return false;
        }
        if (!written[std::size_t(i)]) {
            timers.discard();
            if (leaveForStop())
                return false;
            if (!scaled[std::size_t(i)]) {
                reporter.reportFailure(NotEnoughMemory);
                return false;
            }
            // A tile that is not on disk must not end in a "successful" layout.
            const auto& [failedPath, cause] = failures[std::size_t(i)];
            outputFailure(OutputFolderAccess, failedPath, cause);
            return false;
        }
        result.tileUsed.at<std::int32_t>(a, b) = assemblies[std::size_t(i)] == Assembly::Used;
        result.tileCorners.push_back(OutputTiles::cornerMatrix(grid, a, b, s.tileSize));
    }
    result.tileRange = TileRange{grid.minOU, grid.maxOU, grid.minOV, grid.maxOV};
    timers.printElapsed("Write Images ...");
    return true;
}

void Run::forEachOutputTile(
    int count, int tilesV, std::vector<Assembly>& assemblies,
    const std::function<bool(int i, int a, int b, const cv::Mat& tile)>& use)
{
    assemblies.assign(std::size_t(count), Assembly::Empty);
    std::atomic<int> begun{0};
    forEachTile(count, s.threads, [&](int i) {
        const int a = i / tilesV;
        const int b = i % tilesV;
        if (leaveForStop())
            return false;
        reporter.progressDone = float(++begun);
        cv::Mat tile;
        const Assembly assembly = assembleOutputTile(a, b, tile);
        assemblies[std::size_t(i)] = assembly;
        if (assembly != Assembly::Used && assembly != Assembly::Empty)
            return false;
        return use(i, a, b, tile);
    });
}

bool Run::assembled(Assembly assembly)
{
    switch (assembly) {
    case Assembly::NoMemory:
        reporter.reportFailure(NotEnoughMemory);
        return false;
    case Assembly::Unreadable:
        diag::error("ERROR: a grey tile could not be read back from ", utf8(session.tempPath()));
        reporter.reportFailure(TempFileAccess);
        return false;
    case Assembly::Used:
    case Assembly::Empty:
        break;
    }
    return true;
}

QImage Run::thumbnailAsWritten()
{
    const ImageFormat& format = *imageFormatFor(s.imageType);
    if (format.lossless)
        return thumbnail;
    // A lossy file shows other pixels than were encoded: the pictures drawn on the
    // thumbnail start from those of its file.
    if (!ImageWriter::encodeImage(thumbnail, format, thumbnailBytes))
        return {};
    return QImage::fromData(thumbnailBytes, format.writerFormat)
        .convertToFormat(QImage::Format_RGB32);
}

bool Run::writeThumbnail()
{
    reporter.setStatusText("Write Thumbnail");
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();
    const ImageFormat& format = *imageFormatFor(s.imageType);
    const QString path = output.stage(s.thumbnailPath());
    const QString kind = QStringLiteral("thumbnail");
    QString cause;
    if (thumbnailBytes.isEmpty() ? !ImageWriter::writeImage(path, thumbnail, format, kind, &cause)
                                 : !writeFileDurably(path, thumbnailBytes, kind, false, &cause)) {
        timers.discard();
        outputFailure(OutputFolderAccess, s.thumbnailPath(), cause);
        return false;
    }
    timers.printElapsed("Write Thumbnail ...");
    return true;
}

bool Run::writeStaged(const QString& finalPath, const QByteArray& bytes, const QString& kind)
{
    QString cause;
    if (blockedOrFailed(finalPath, cause) ||
        !writeFileDurably(output.stage(finalPath), bytes, kind, false, &cause)) {
        outputFailure(OutputFolderAccess, finalPath, cause);
        return false;
    }
    return true;
}

bool Run::writeHandOffFiles()
{
    if (!s.drawing && !s.worldFiles)
        return true;
    reporter.setStatusText("Write Log File");
    HandOffLayout layout;
    layout.view = viewInfo(std::uint32_t(s.view));
    layout.frame = s.frame;
    layout.viewMatrix = s.viewMatrix;
    layout.facade = s.facade;
    layout.clipLow = s.clipLow;
    layout.clipHigh = s.clipHigh;
    layout.resolution = s.resolution;
    layout.tileSize = s.tileSize;
    layout.tilePixels = s.outputTilePixels();
    layout.grid = grid;
    layout.baseName = s.baseName;
    layout.imageType = s.imageType;
    layout.colour = s.layer == LayoutLayer::Colour;
    layout.crs = s.crs;
    if (s.drawing) {
        // The scans used, where they stood; a scan without a position is not drawn. Names
        // only label them: without names they are labelled by their numbers.
        QStringList names;
        if (!source.scanNames(names))
            names.clear();
        const int readerErrors = source.errorCount();
        for (int i = 0; i < source.scanCount(); ++i) {
            if (!bitSet(result.scanList, i) || !source.hasPosition(i))
                continue;
            cv::Mat pose;
            source.scanPose(i, pose);
            const cv::Mat P = usablePose(pose);
            if (P.empty())
                continue;
            // A scan is named by its file (without folders) and its place in it.
            const QString name = i < names.size() ? names[i] : QString();
            const qsizetype folderEnd =
                std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
            layout.scans.push_back(
                {name.isEmpty() ? QStringLiteral("_%1").arg(i) : name.mid(folderEnd + 1),
                 P.at<double>(0, 3), P.at<double>(1, 3), P.at<double>(2, 3)});
        }
        if (readerFailedSince(readerErrors))
            return false;
        if (!writeStaged(s.drawingPath(), layoutDrawing(layout), QStringLiteral("dxf")))
            return false;
    }
    return !s.worldFiles || writeStaged(s.mosaicPath(), mosaicVrt(layout), QStringLiteral("vrt"));
}

bool Run::writeLogFile()
{
    reporter.setStatusText("Write Log File");
    const TileRange& tileRange = result.tileRange;
    LayoutLogContent content;
    content.tilesU = int(tileRange.countU());
    content.tilesV = int(tileRange.countV());
    content.view = std::uint32_t(s.view);
    content.resolution = s.resolution;
    content.tileSize = s.tileSize;
    content.scannerDomain = s.scannerDomain;
    content.reverseIntensity = s.reverseIntensity;
    content.clipLow = s.clipLow;
    content.clipHigh = s.clipHigh;
    content.viewMatrix = s.viewMatrix;
    content.azimuth = s.frame.azimuth;
    content.planeDepth = s.planeDepth;
    content.baseName = s.baseName;
    content.imageType = s.imageType;
    content.printScale = s.printScale;
    content.layer = QLatin1String(layerName(s.layer));
    content.crs = s.crs ? s.crs->code : QString();
    content.drawing = s.drawing;
    content.mosaic = s.worldFiles;
    content.print = s.print;
    const int count = source.scanCount();
    const int readerErrors = source.errorCount();
    for (int i = 0; i < count; ++i) {
        cv::Mat pose;
        source.scanPose(i, pose);
        content.scanPoses.push_back(usablePose(pose)); // no usable pose: written as identity
    }
    if (readerFailedSince(readerErrors))
        return false;
    content.tileCorners = result.tileCorners;
    content.tileUsed = result.tileUsed;
    content.usedScans = QBitArray(count);
    for (int i = 0; i < count; ++i)
        content.usedScans.setBit(i, bitSet(result.scanList, i));

    // Without its log a layout cannot be placed or annotated: not a success.
    QString cause;
    if (blockedOrFailed(s.logFilePath(), cause)) {
        diag::error("ERROR: could not write the layout log ", utf8(s.logFilePath()));
        reporter.reportFailure(LogFileAccess, utf8(s.logFilePath()), utf8(cause));
        return false;
    }
    logText = layoutLogText(content);
    if (!writeFileDurably(output.stage(s.logFilePath()), logText, QStringLiteral("log"), true,
                          &cause)) {
        outputFailure(OutputFolderAccess, s.logFilePath(), cause);
        return false;
    }
    return true;
}

} // namespace

std::int64_t LayoutEngine::defaultMemoryBudget()
{
    const std::int64_t physical = physicalMemoryBytes();
    return physical > 0 ? physical / 4 : std::int64_t(1) << 30;
}

LayoutResult LayoutEngine::run(const LayoutJob& job, ScanSource& source, StatusReporter& reporter,
                               const QString& workFolder, const RawTileStoreFactory& storeFactory,
                               const BeforeCommit& beforeCommit)
{
    reporter.clearFailure();
    reporter.interrupted = false;

    const RunSettings settings = RunSettings::fromJob(job);
    LayoutResult result;
    result.scanList = job.scanList;
    if (settings.problemCode != NoError) {
        diag::error("ERROR: invalid layout settings: ", settings.problem);
        reporter.reportFailure(ResultCode(settings.problemCode));
    } else {
        Run run(settings, job, source, reporter, workFolder, beforeCommit);
        run.execute(storeFactory);
        result = std::move(run.result);
    }
    result.interrupted = reporter.interrupted;
    result.failed = reporter.failed;
    result.errorCode = reporter.errorCode;
    reporter.finished = true;
    return result;
}

void LayoutEngine::shareMachine(std::vector<LayoutJob*> jobs)
{
    if (jobs.empty())
        return;
    const int count = int(jobs.size());
    const LayoutJob& first = *jobs.front();
    const int threads =
        first.threads > 0 ? first.threads : std::max(1, QThread::idealThreadCount());
    const std::int64_t memory =
        first.memoryBudgetBytes > 0 ? first.memoryBudgetBytes : defaultMemoryBudget();
    for (LayoutJob* job : jobs) {
        job->threads = std::max(1, threads / count);
        job->memoryBudgetBytes = std::max<std::int64_t>(memory / count, 1);
    }
}

PointChannels LayoutEngine::channelsRead(const std::vector<LayoutJob*>& jobs)
{
    PointChannels channels;
    for (const LayoutJob* job : jobs) {
        channels.intensity = channels.intensity || job->layer == LayoutLayer::Intensity;
        channels.colour = channels.colour || job->layer == LayoutLayer::Colour;
    }
    return channels;
}

std::int64_t LayoutEngine::sharedReadingPoints()
{
    // Two chunks or so: the next one is read while the jobs draw the last.
    return 2 * prefetchPoints;
}

} // namespace orthaven
