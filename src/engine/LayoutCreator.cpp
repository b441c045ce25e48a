#include "engine/LayoutCreator.h"

#include "diag/Diagnostics.h"
#include "engine/FileRawTileStore.h"
#include "engine/OutputTiles.h"
#include "engine/RawTileRasterizer.h"
#include "engine/TileNormalizer.h"
#include "engine/TimerStack.h"
#include "layoutlog/LayoutLogWriter.h"
#include "scan/ScanSource.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <cmath>
#include <iostream>
#include <new>

namespace orthaven {

namespace {

const QString rawTilePrefix = QStringLiteral("orvnTile_");

bool bitSet(const QBitArray& bits, int i)
{
    return i >= 0 && i < bits.size() && bits.testBit(i);
}

bool isFinite(const cv::Mat& m)
{
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c)
            if (!std::isfinite(m.at<double>(r, c)))
                return false;
    return true;
}

// A pose as the engine can use it: 4 × 4 doubles with finite values, or no matrix.
cv::Mat usablePose(const cv::Mat& pose)
{
    if (pose.rows != 4 || pose.cols != 4 || pose.channels() != 1)
        return {};
    cv::Mat P;
    pose.convertTo(P, CV_64F);
    return isFinite(P) ? P : cv::Mat();
}

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

} // namespace

LayoutCreator::LayoutCreator() : viewMatrix(cv::Mat::eye(4, 4, CV_64F)) {}

LayoutCreator::~LayoutCreator() = default;

void LayoutCreator::setRawTileStoreFactory(RawTileStoreFactory factory)
{
    storeFactory = std::move(factory);
}

void LayoutCreator::setCheckpointObserver(std::function<void()> observer)
{
    checkpointObserver = std::move(observer);
}

bool LayoutCreator::leaveForStop()
{
    const bool leave = stopRequested;
    if (leave)
        interrupted = true;
    if (checkpointObserver)
        checkpointObserver();
    return leave;
}

cv::Mat LayoutCreator::viewMatrixFor(std::uint32_t view)
{
    cv::Mat M = cv::Mat::eye(4, 4, CV_64F);
    const auto rows = [&M](std::initializer_list<double> values) {
        auto it = values.begin();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                M.at<double>(r, c) = *it++;
    };
    switch (view) {
    case Left:
    case Right:
        rows({0, -1, 0, 0, 0, 1, 1, 0, 0});
        break;
    case Back:
    case Front:
        rows({1, 0, 0, 0, 0, 1, 0, 1, 0});
        break;
    default:
        break; // Top: the identity
    }
    return M;
}

bool LayoutCreator::setup(const layoutdef& job)
{
    maxAccumulated = 0.0f;
    stopRequested = false;
    interrupted = false;
    finished = false;
    scannerDomain = job.scannerDomain;
    resolution = job.resolution;
    const bool tileSizeFits = std::isfinite(job.tileSize) && std::abs(job.tileSize) < 1.0e6;
    tileSize = tileSizeFits ? static_cast<std::int32_t>(job.tileSize) : 0; // toward zero
    dataThreshold = static_cast<float>(2.0 / resolution);
    reverseIntensity = !job.invertColor;
    mirrorHorizontal = job.view == Back || job.view == Right;
    viewMatrix = viewMatrixFor(job.view);
    view = static_cast<std::int32_t>(job.view);
    clipLow = job.clipLow;
    clipHigh = job.clipHigh;
    scanList = job.scanList;
    tileRange = TileRange();
    const QFileInfo output(job.outputFile);
    outputDir = output.absolutePath();
    baseName = output.baseName();
    imageType = job.imageType;
    tileCorners.clear();
    tileUsed.release();

    // What no layout can be made of. Checked here, reported by layout().
    settingsCode = InvalidSettings;
    settingsProblem.clear();
    const auto refuse = [this](const std::string& why) {
        settingsProblem = why;
        return false;
    };
    if (job.view > Front)
        return refuse("unknown view " + std::to_string(job.view));
    if (!std::isfinite(resolution) || resolution <= 0.0 || resolution > rawTileSize)
        return refuse("the resolution must be above 0 m and at most 10 m per pixel");
    if (!std::isfinite(scannerDomain) || scannerDomain <= 0.0)
        return refuse("the scanner domain must be above 0 m");
    if (!tileSizeFits || tileSize < rawTileSize || tileSize % rawTileSize != 0)
        return refuse("the tile size must be a whole multiple of 10 m");
    if (!std::isfinite(clipLow) || !std::isfinite(clipHigh))
        return refuse("the clipping planes must be numbers");
    if (job.outputFile.isEmpty())
        return refuse("no output file");
    if (!QImageWriter::supportedImageFormats().contains(imageType.toLower().toLatin1()))
        return refuse("image type \"" + utf8(imageType) + "\" cannot be written");
    const double outputEdge = std::floor(double(tileSize) / resolution);
    if (outputEdge > maxImageEdge) {
        settingsCode = NotEnoughMemory;
        return refuse("tile images of " + std::to_string(std::int64_t(outputEdge)) +
                      " pixels a side exceed the limit of " + std::to_string(maxImageEdge));
    }
    settingsCode = NoError;
    return true;
}

int LayoutCreator::rawTilePixels() const
{
    return static_cast<int>(double(rawTileSize) / resolution);
}

int LayoutCreator::outputTilePixels() const
{
    return static_cast<int>(double(tileSize) / resolution);
}

QString LayoutCreator::logFilePath() const
{
    return outputDir + QLatin1Char('/') + baseName + QStringLiteral(".log");
}

QString LayoutCreator::thumbnailPath() const
{
    return outputDir + QLatin1Char('/') + baseName + QStringLiteral("_overview.") + imageType;
}

QString LayoutCreator::outputTilePath(int a, int b) const
{
    return OutputTiles::tilePath(outputDir, baseName, a, b, imageType);
}

QString LayoutCreator::sessionPath(const QString& name) const
{
    return imageCache.tempPath() + name;
}

void LayoutCreator::layout()
{
    failed = false;
    errorCode = NoError;
    interrupted = false;

    if (settingsCode == NoError && !scanSource) {
        settingsCode = InvalidSettings;
        settingsProblem = "no scan source";
    }
    if (settingsCode != NoError) {
        std::cout << "ERROR: invalid layout settings: " << settingsProblem << std::endl;
        reportFailure(settingsCode);
        finished = true;
        return;
    }

    if (!imageCache.createSession()) {
        // Without a session no raw tile would survive between blocks: the run could only
        // end with a misleading "not enough data".
        std::cout << "ERROR: could not create a temporary folder in " << utf8(imageCache.tempPath())
                  << std::endl;
        reportFailure(TempFileAccess);
        finished = true;
        return;
    }

    rawTiles = storeFactory ? storeFactory(imageCache, rawTilePixels())
                            : std::make_unique<FileRawTileStore>(imageCache, rawTilePixels());
    try {
        runStages();
    } catch (const cv::Exception& e) {
        std::cout << "ERROR: " << e.what() << std::endl;
        reportFailure(NotEnoughMemory);
    } catch (const std::bad_alloc&) {
        std::cout << "ERROR: out of memory" << std::endl;
        reportFailure(NotEnoughMemory);
    } catch (const std::exception& e) {
        // Readers catch their own errors at ScanSource's doors; whatever else escapes a
        // stage ends the run here, so the temporary files are still cleaned below.
        std::cout << "ERROR: reading the scans failed: " << e.what() << std::endl;
        reportFailure(ScanSourceError);
    } catch (...) {
        std::cout << "ERROR: reading the scans failed" << std::endl;
        reportFailure(ScanSourceError);
    }
    rasterizer.reset();
    rawTiles.reset();
    // A layout that was not committed leaves no trace in the output folder.
    output.discard();

    setStatusText("Clean");
    imageCache.cleanFiles();
    setStatusText({});
    finished = true;
}

void LayoutCreator::runStages()
{
    if (!computeRawTiles() || !normalizeTilesClassic() || !writeImages())
        return;
    if (!writeThumbnail()) {
        std::cout << "Layoutcreator::layout unsucessful" << std::endl;
        return;
    }
    if (!writeLogFile())
        return;
    // The last checkpoint. A stop request that comes later is ignored: the layout is put in
    // place and the run is reported finished, not interrupted.
    if (leaveForStop())
        return;
    commitOutput();
}

bool LayoutCreator::commitOutput()
{
    if (output.commit())
        return true;
    const QString path = output.failedPath();
    if (path == logFilePath()) {
        std::cout << "ERROR: could not write the layout log " << utf8(path) << std::endl;
        reportFailure(LogFileAccess);
    } else {
        std::cout << "File = " << utf8(path) << std::endl;
        reportFailure(TempFileAccess);
    }
    diag::error("ERROR: the layout could not be put in place; the output folder is as it was");
    return false;
}

bool LayoutCreator::readerFailedSince(int errorsBefore)
{
    if (scanSource->errorCount() == errorsBefore)
        return false;
    std::cout << "ERROR: reading the scans failed: " << scanSource->lastError() << std::endl;
    reportFailure(ScanSourceError);
    return true;
}

bool LayoutCreator::computeRawTiles()
{
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();

    RasterSettings settings;
    settings.resolution = resolution;
    settings.scannerDomain = scannerDomain;
    settings.clipLow = clipLow;
    settings.clipHigh = clipHigh;
    settings.topView = view == Top;
    settings.rawTileSize = rawTileSize;
    settings.tilePixels = rawTilePixels();
    rasterizer = std::make_unique<RawTileRasterizer>(*rawTiles, settings, &stopRequested);

    const int count = scanSource->scanCount();
    const int readerErrors = scanSource->errorCount();
    int selected = 0;
    for (int i = 0; i < count; ++i)
        selected += bitSet(scanList, i) ? 1 : 0;
    progressTotal = float(selected);
    progressDone = 0.0f;
    int k = 1;

    for (int i = 0; i < count && !failed; ++i) {
        if (!bitSet(scanList, i))
            continue;
        if (leaveForStop())
            break;
        setStatusText("Loading Scan " + std::to_string(k) + " of " + std::to_string(selected));
        progressDone = progressDone + 1.0f;
        timers.startTimer(); // the whole scan
        timers.startTimer(); // opening it
        cv::Mat pose;
        const bool opened = scanSource->openScan(i);
        if (opened)
            scanSource->scanPose(i, pose);
        if (readerFailedSince(readerErrors)) {
            scanSource->closeScan(i);
            timers.discard();
            timers.discard();
            break;
        }
        const cv::Mat P = opened ? usablePose(pose) : cv::Mat();
        if (P.empty()) {
            // A scan that cannot be read (or placed) is left out and not listed as used.
            if (opened)
                scanSource->closeScan(i);
            timers.discard();
            timers.discard();
            ++k;
            scanList.clearBit(i);
            std::cout << "Scan load failed" << std::endl;
            continue;
        }
        timers.printElapsed("Load Scan = ");
        const cv::Mat T = multiply(viewMatrix, P);

        std::int64_t points = 0;
        cv::Mat B;
        bool more = scanSource->readPoints(i, B, maxColumnsPerChunk);
        while (B.cols >= 2) {
            if (B.rows != 4 || B.channels() != 1) {
                std::cout << "ERROR: scan " << i << " delivered a block of " << B.rows
                          << " rows; the rest of the scan is skipped" << std::endl;
                break;
            }
            if (B.type() != CV_64FC1)
                B.convertTo(B, CV_64F);
            points += B.cols;
            rasterizeBlock(B, multiply(T, B), T);
            if (!more || failed || leaveForStop())
                break;
            B = cv::Mat();
            more = scanSource->readPoints(i, B, maxColumnsPerChunk);
        }
        scanSource->rewindPoints();
        scanSource->closeScan(i);
        if (readerFailedSince(readerErrors)) {
            timers.discard();
            break;
        }
        ++k;
        std::cout << "Number of Points = " << points << std::endl;
        timers.printElapsed("Time Scan = ");
    }

    const std::int64_t outOfBound = rasterizer->outOfBoundPoints();
    if (outOfBound > RawTileRasterizer::outOfBoundLinesLimit)
        std::cout << "ERROR: OUT OF BOUND for " << outOfBound << " points in all" << std::endl;
    timers.printElapsed("Overall time ...");
    std::cout << "Compute Raw Tiles ... done" << std::endl;
    return !failed && !leaveForStop();
}

void LayoutCreator::rasterizeBlock(const cv::Mat& B, const cv::Mat& viewBlock, const cv::Mat& T)
{
    switch (rasterizer->rasterizeBlock(B, viewBlock, T, tileRange, maxAccumulated)) {
    case RawTileRasterizer::Result::Done:
        break;
    case RawTileRasterizer::Result::NoImage:
        reportFailure(NotEnoughMemory);
        break;
    case RawTileRasterizer::Result::TileLost:
        reportFailure(TempFileAccess);
        break;
    case RawTileRasterizer::Result::Stopped:
        break; // the checkpoint after the block ends the run
    }
}

bool LayoutCreator::normalizeTilesClassic()
{
    std::cout << "Normalize Tiles Classic" << std::endl;
    const float L = TileNormalizer::log2Plus1(maxAccumulated);
    maxAccumulated = L;
    progressTotal = float(tileRange.tileCount());
    setStatusText("Preprocessing Tiles");
    TimerStack& timers = TimerStack::instance();
    timers.startTimer();

    TileRange kept;
    // Only stored tiles have anything to normalise; visiting them in (U, V) order is the
    // order of the whole range without its holes.
    for (const auto& [U, V] : rawTiles->storedTiles()) {
        if (!tileRange.contains(U, V))
            continue;
        if (leaveForStop())
            break;
        progressDone = float(tileRange.ordinal(U, V));
        cv::Mat raw = rawTiles->loadTile(U, V);
        if (!raw.empty()) {
            cv::Mat grey = ImageCache::allocateImage(8, raw.cols, raw.rows);
            if (grey.empty()) {
                std::cout << "ERROR: Image Pointer is NULL" << std::endl;
                timers.discard();
                reportFailure(NotEnoughMemory);
                return false;
            }
            const float sum = TileNormalizer::normalizeTile(raw, L, reverseIntensity, grey);
            if (sum > dataThreshold) {
                const QString path =
                    sessionPath(rawTilePrefix + QString::number(U) + QLatin1Char('_') +
                                QString::number(V) + QStringLiteral(".png"));
                if (!ImageCache::saveIplImage(path, grey)) {
                    // Dropping the tile would leave a hole in the layout that looks like
                    // missing data.
                    std::cout << "ERROR: could not write " << utf8(path) << std::endl;
                    timers.discard();
                    reportFailure(TempFileAccess);
                    return false;
                }
                kept.widen(U, V);
            }
        }
    }
    timers.printElapsed("Normalization of all Tiles ...");
    if (leaveForStop())
        return false;

    if (kept.isEmpty()) {
        reportFailure(NotEnoughData);
        std::cout << "ERROR STATUS: " << NotEnoughData << "  ... not enought data" << std::endl;
        return false;
    }
    tileRange = kept;
    return true;
}

bool LayoutCreator::writeImages()
{
    const int k = tileSize / rawTileSize;
    const OutputGrid grid = OutputTiles::outputGrid(tileRange, tileSize, rawTileSize);
    const std::int64_t nOU = grid.countU();
    const std::int64_t nOV = grid.countV();
    if (nOU > thumbnailSize || nOV > thumbnailSize) {
        // A grid wider than the thumbnail has pixels cannot get a thumbnail; writing
        // thousands of tiles first would only fill the disk.
        std::cout << "ERROR: a layout of " << nOU << " x " << nOV << " tiles is too large"
                  << std::endl;
        reportFailure(NotEnoughMemory);
        return false;
    }
    // From here on the layout's files are written out of sight, into the staging folder.
    if (!output.begin(logFilePath(), imageCache.sessionName())) {
        diag::error("ERROR: cannot write into the output folder " + utf8(outputDir));
        reportFailure(TempFileAccess);
        return false;
    }
    setStatusText("Write Images");
    progressTotal = float(nOU * nOV);
    tileUsed = cv::Mat::zeros(int(nOU), int(nOV), CV_32SC1);

    const int m = outputTilePixels();
    const QRgb background = reverseIntensity ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    OutputTiles::allowImageReads(std::int64_t(rawTilePixels()) * rawTilePixels() * 4);
    int ordinal = 0;
    for (int a = 0; a < nOU; ++a) {
        for (int b = 0; b < nOV; ++b) {
            if (leaveForStop())
                return false;
            progressDone = float(++ordinal);
            QImage tile(m, m, QImage::Format_RGB32);
            if (tile.isNull()) {
                reportFailure(NotEnoughMemory);
                return false;
            }
            tile.fill(background);
            for (int su = 0; su < k; ++su) {
                for (int sv = 0; sv < k; ++sv) {
                    const int U = k * (grid.minOU + a) + su;
                    const int V = k * (grid.minOV + b) + sv;
                    const QString path =
                        sessionPath(rawTilePrefix + QString::number(U) + QLatin1Char('_') +
                                    QString::number(V) + QStringLiteral(".png"));
                    QImage raw;
                    if (!QFileInfo::exists(path) || !raw.load(path))
                        continue;
                    tileUsed.at<std::int32_t>(a, b) = 1;
                    OutputTiles::drawOpaque(tile, raw, raw.width() * su,
                                            m - raw.height() * (sv + 1));
                }
            }
            // Encoding a large tile takes the longest: one more look before it.
            if (leaveForStop())
                return false;
            const QString out = output.stage(outputTilePath(a, b));
            if (OutputCommit::isBlocked(outputTilePath(a, b)) ||
                !ImageCache::saveQImage(out,
                                        mirrorHorizontal ? tile.mirrored(true, false) : tile)) {
                // A tile that is not on disk must not end in a "successful" layout.
                std::cout << "File = " << utf8(outputTilePath(a, b)) << std::endl;
                std::cout << "ERROR: could not write the output tile" << std::endl;
                reportFailure(TempFileAccess);
                return false;
            }
            tileCorners.push_back(OutputTiles::cornerMatrix(grid, a, b, tileSize));
        }
    }
    tileRange = TileRange{grid.minOU, grid.maxOU, grid.minOV, grid.maxOV};
    return true;
}

bool LayoutCreator::writeThumbnail()
{
    std::cout << "Thumbnail generation" << std::endl;
    const std::int64_t nOU = tileRange.countU();
    const std::int64_t nOV = tileRange.countV();
    const int t = OutputTiles::thumbnailEdge(nOU, nOV, resolution, rawTileSize, thumbnailSize);
    setStatusText("Write Thumbnail");
    progressTotal = float(nOU * nOV);

    QImage thumbnail;
    if (t > 0)
        thumbnail = QImage(int(nOU) * t, int(nOV) * t, QImage::Format_RGB32);
    if (thumbnail.isNull()) {
        std::cout << "Could not create Thumbnail" << std::endl;
        reportFailure(NotEnoughMemory);
        return false;
    }
    thumbnail.fill(qRgb(255, 255, 255));

    TimerStack& timers = TimerStack::instance();
    timers.startTimer();
    const std::int64_t m = outputTilePixels();
    OutputTiles::allowImageReads(m * m * 4);
    int ordinal = 0;
    for (int a = 0; a < nOU; ++a) {
        for (int b = 0; b < nOV; ++b) {
            if (leaveForStop()) {
                timers.discard();
                return false;
            }
            progressDone = float(++ordinal);
            const QString path = output.stage(outputTilePath(a, b));
            QImage tile;
            if (!tile.load(path)) {
                std::cout << "File = " << utf8(path) << std::endl;
                timers.discard();
                reportFailure(TempFileAccess);
                return false;
            }
            const QImage small = tile.scaled(t, t, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (small.isNull()) {
                timers.discard();
                reportFailure(NotEnoughMemory);
                return false;
            }
            const int x = mirrorHorizontal ? int(nOU) * t - (a + 1) * t : a * t;
            const int y = (int(nOV) - 1 - b) * t;
            OutputTiles::drawOpaque(thumbnail, small, x, y);
        }
    }
    timers.printElapsed("Build Thumbnail ...");
    if (leaveForStop())
        return false;
    if (OutputCommit::isBlocked(thumbnailPath()) ||
        !ImageCache::saveQImage(output.stage(thumbnailPath()), thumbnail)) {
        std::cout << "File = " << utf8(thumbnailPath()) << std::endl;
        std::cout << "ERROR: could not write the thumbnail" << std::endl;
        reportFailure(TempFileAccess);
        return false;
    }
    return true;
}

bool LayoutCreator::writeLogFile()
{
    setStatusText("Write Log File");
    LayoutLogContent content;
    content.tilesU = int(tileRange.countU());
    content.tilesV = int(tileRange.countV());
    content.view = std::uint32_t(view);
    content.resolution = resolution;
    content.tileSize = tileSize;
    content.scannerDomain = scannerDomain;
    content.reverseIntensity = reverseIntensity;
    content.clipLow = clipLow;
    content.clipHigh = clipHigh;
    content.viewMatrix = viewMatrix;
    content.baseName = baseName;
    content.imageType = imageType;
    const int count = scanSource->scanCount();
    const int readerErrors = scanSource->errorCount();
    for (int i = 0; i < count; ++i) {
        cv::Mat pose;
        scanSource->scanPose(i, pose);
        content.scanPoses.push_back(usablePose(pose)); // no usable pose: written as identity
    }
    if (readerFailedSince(readerErrors))
        return false;
    content.tileCorners = tileCorners;
    content.tileUsed = tileUsed;
    content.usedScans = QBitArray(count);
    for (int i = 0; i < count; ++i)
        content.usedScans.setBit(i, bitSet(scanList, i));

    if (OutputCommit::isBlocked(logFilePath()) ||
        !writeLayoutLog(output.stage(logFilePath()), content)) {
        // Without its log a layout cannot be placed or annotated: not a success.
        std::cout << "ERROR: could not write the layout log " << utf8(logFilePath()) << std::endl;
        reportFailure(LogFileAccess);
        return false;
    }
    return true;
}

bool LayoutCreator::computeScanExtent(const ScanSource& source, const QBitArray& scanList,
                                      cv::Mat& minOut, cv::Mat& maxOut, double margin,
                                      const cv::Mat& M)
{
    minOut = cv::Mat(3, 1, CV_64F, cv::Scalar(2147483647.0));
    maxOut = cv::Mat(3, 1, CV_64F, cv::Scalar(-2147483648.0));
    if (M.rows != 3 || M.cols != 3 || M.channels() != 1)
        return false;
    cv::Mat full = cv::Mat::eye(4, 4, CV_64F);
    M.convertTo(full(cv::Rect(0, 0, 3, 3)), CV_64F);
    cv::Mat A;
    if (cv::invert(full, A, cv::DECOMP_LU) == 0.0)
        return false;
    const int count = source.scanCount();
    for (int i = 0; i < count; ++i) {
        if (!bitSet(scanList, i))
            continue;
        cv::Mat pose;
        source.scanPose(i, pose);
        const cv::Mat P = usablePose(pose);
        if (P.empty())
            continue;
        const cv::Mat AP = A * P;
        for (int axis = 0; axis < 3; ++axis) {
            const double p = AP.at<double>(axis, 3);
            minOut.at<double>(axis) = std::min(minOut.at<double>(axis), p - margin);
            maxOut.at<double>(axis) = std::max(maxOut.at<double>(axis), p + margin);
        }
    }
    return true;
}

} // namespace orthaven
