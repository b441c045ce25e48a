#include "preview/SitePreview.h"

#include "diag/Diagnostics.h"
#include "engine/ChunkPrefetch.h"
#include "engine/OutputTiles.h"
#include "engine/ScanPoses.h"
#include "engine/StatusReporter.h"
#include "layout/LayoutLimits.h"
#include "layout/Views.h"
#include "scan/ScanSource.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orthaven {

namespace {

// Points read ahead of the counting at most, as the engine reads ahead of its rasteriser.
constexpr std::int64_t prefetchPoints = 1 << 20;
// Columns asked for per sampled read; the reader caps a read at its point limit.
constexpr int sampledColumnsPerRead = 64;
// Closer to its scanner than this a point is a missing return stored as the origin.
constexpr double missingReturn = 0.01;

// Counts the points of one scan into the preview.
class ScanCounter
{
public:
    ScanCounter(SitePreview& into, const cv::Mat& pose, bool scannerKnown, double domain)
        : preview(into), P(pose), fromScanner(scannerKnown), domain2(domain * domain),
          scannerZ(pose.at<double>(2, 3))
    {
    }

    // chunk: 4 × N, the scanner's own coordinates.
    void add(const cv::Mat& chunk)
    {
        if (chunk.rows != 4 || chunk.cols < 1)
            return;
        cv::Mat B = chunk;
        if (B.type() != CV_64FC1)
            chunk.convertTo(B, CV_64F);
        const double* xs = B.ptr<double>(0);
        const double* ys = B.ptr<double>(1);
        const double* zs = B.ptr<double>(2);
        const double* p0 = P.ptr<double>(0);
        const double* p1 = P.ptr<double>(1);
        const double* p2 = P.ptr<double>(2);
        for (int j = 0; j < B.cols; ++j) {
            const double x = xs[j], y = ys[j], z = zs[j];
            if (fromScanner) {
                // The layout's rule: only points within the scan radius of their scanner.
                const double r2 = x * x + y * y + z * z;
                if (r2 > domain2 || r2 < 2.0 * missingReturn * missingReturn)
                    continue;
            }
            const double X = p0[0] * x + p0[1] * y + p0[2] * z + p0[3];
            const double Y = p1[0] * x + p1[1] * y + p1[2] * z + p1[3];
            const double Z = p2[0] * x + p2[1] * y + p2[2] * z + p2[3];
            if (!std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z))
                continue;
            preview.heights.add(Z, fromScanner ? (Z < scannerZ ? -1 : 1) : 0);
            preview.plan.add(X, Y);
            preview.sample.add(X, Y, Z);
            ++preview.points;
            ++inScan;
        }
    }

    std::int64_t inScan = 0;

private:
    SitePreview& preview;
    cv::Mat P;
    bool fromScanner;
    double domain2;
    double scannerZ;
};

// The depth the job's planes are given in: a facade's are distances from its line.
double planeOffset(const LayoutJob& job)
{
    return job.facade ? job.facade->depth() : 0.0;
}

} // namespace

int autoColumnStride(std::int64_t rows, std::int64_t columns)
{
    if (rows <= 0 || columns <= 0)
        return 1;
    const std::int64_t stride = rows * columns / PreviewOptions::sampledPointsPerScan;
    return int(std::clamp<std::int64_t>(stride, 1, columns));
}

std::shared_ptr<SitePreview> makeSitePreview(ScanSource& source, const PreviewOptions& options,
                                             StatusReporter& status)
{
    status.finished = false;
    status.interrupted = false;
    status.clearFailure();
    auto preview = std::make_shared<SitePreview>(options.sampleLimit);
    preview->used = options.scans;
    const int count = source.scanCount();
    int selected = 0;
    for (int i = 0; i < count; ++i)
        selected += bitSet(options.scans, i) ? 1 : 0;
    status.progressTotal = float(selected);
    status.progressDone = 0.0f;
    source.setReadThreads(options.threads);
    QStringList names;
    source.scanNames(names);
    const int errorsBefore = source.errorCount();
    const auto readerFailed = [&] {
        if (source.errorCount() == errorsBefore)
            return false;
        diag::error("ERROR: reading the scans failed: ", source.lastError());
        status.reportFailure(ScanSourceError);
        return true;
    };

    int k = 0;
    bool stopped = false;
    for (int i = 0; i < count && !status.failed; ++i) {
        if (!bitSet(options.scans, i))
            continue;
        if ((stopped = status.checkpoint()))
            break;
        ++k;
        status.setStatusText("Loading Scan " + std::to_string(k) + " of " +
                             std::to_string(selected));
        const float begun = float(k - 1);
        status.progressDone = begun;
        cv::Mat pose;
        const bool opened = source.openScan(i);
        if (opened)
            source.scanPose(i, pose);
        if (readerFailed())
            break;
        const cv::Mat P = opened ? usablePose(pose) : cv::Mat();
        if (P.empty()) {
            if (opened)
                source.closeScan(i);
            preview->used.clearBit(i);
            diag::warning("Scan load failed");
            continue;
        }
        const bool fromScanner = source.hasPosition(i);
        if (fromScanner)
            preview->positions.push_back({i, i < names.size() ? names[i] : QString(),
                                          P.at<double>(0, 3), P.at<double>(1, 3),
                                          P.at<double>(2, 3)});
        ScanCounter counter(*preview, P, fromScanner, options.scannerDomain);
        int rows = 0;
        int columns = 0;
        source.scanDimensions(i, rows, columns);
        const double expected = double(rows) * double(columns);
        const auto showProgress = [&](int stride) {
            if (expected > 0)
                status.progressDone =
                    begun + float(std::min(1.0, double(counter.inScan) * stride / expected));
        };

        GridScanSource* grid = source.grid();
        const int stride =
            options.columnStride > 0 ? options.columnStride : autoColumnStride(rows, columns);
        if (grid && stride > 1) {
            preview->columnStride = std::max(preview->columnStride, stride);
            cv::Mat chunk;
            bool more = true;
            while (more && !(stopped = status.checkpoint())) {
                more = grid->readColumnSample(i, chunk, stride, sampledColumnsPerRead);
                counter.add(chunk);
                showProgress(stride);
            }
        } else {
            // Whole scans, read ahead on a thread of their own while the points are counted.
            std::unique_ptr<ChunkPrefetch> ahead;
            if (options.threads > 1)
                ahead = std::make_unique<ChunkPrefetch>(source, i, 1000, status.stopRequested,
                                                        prefetchPoints);
            ScanChunk chunk;
            bool more = true;
            while (more && !(stopped = status.checkpoint())) {
                chunk = ScanChunk();
                if (ahead) {
                    if (!ahead->next(chunk, more))
                        break;
                } else {
                    more = source.readPoints(i, chunk, 1000, {});
                }
                if (chunk.points.cols < 2)
                    break;
                counter.add(chunk.points);
                showProgress(1);
            }
        }
        source.rewindPoints();
        source.closeScan(i);
        if (readerFailed() || stopped)
            break;
    }
    if (stopped) {
        status.finished = true;
        return nullptr;
    }
    if (status.failed) {
        status.finished = true;
        return nullptr;
    }
    status.progressDone = float(selected);
    preview->heights.trim();
    preview->levels = findLevels(preview->heights);
    status.setStatusText({});
    status.finished = true;
    return preview;
}

JobSlab::JobSlab(const LayoutJob& job)
    : offset(planeOffset(job)), low(job.clipLow - offset), high(job.clipHigh - offset),
      uLow(job.facade ? job.facade->extentLow() : -HUGE_VAL),
      uHigh(job.facade ? job.facade->extentHigh() : HUGE_VAL)
{
    const cv::Mat M = viewMatrixFor(job.view, layoutFrame(job));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c)
            rows[r][c] = M.at<double>(r, c);
    }
}

double JobSlab::u(double x, double y, double z) const
{
    return rows[0][0] * x + rows[0][1] * y + rows[0][2] * z + rows[0][3];
}

double JobSlab::v(double x, double y, double z) const
{
    return rows[1][0] * x + rows[1][1] * y + rows[1][2] * z + rows[1][3];
}

double JobSlab::depth(double x, double y, double z) const
{
    return rows[2][0] * x + rows[2][1] * y + rows[2][2] * z + rows[2][3] - offset;
}

bool JobSlab::keeps(double x, double y, double z) const
{
    const double d = depth(x, y, z);
    if (d < low || d > high)
        return false;
    const double along = u(x, y, z);
    return along >= uLow && along <= uHigh;
}

HeightProfile depthProfile(const SitePreview& preview, const LayoutJob& job)
{
    if (job.view == Top && !job.facade)
        return preview.heights;
    const JobSlab slab(job);
    HeightProfile profile;
    const PointSample& s = preview.sample;
    for (std::size_t k = 0; k < s.size(); ++k)
        profile.add(slab.depth(s.x(k), s.y(k), s.z(k)));
    profile.trim();
    return profile;
}

PlanOverlay planOverlay(const SitePreview& preview, const LayoutJob& job)
{
    PlanOverlay overlay;
    overlay.facade = job.facade;
    const JobSlab slab(job);
    const bool top = job.view == Top && !job.facade;
    const double offset = planeOffset(job);
    const double low = job.clipLow - offset;
    const double high = job.clipHigh - offset;
    const int tileSize = int(job.tileSize);
    const double raw = limits::rawTileSize;

    // The raw tiles the sample's points between the planes fall into, as the layout's.
    TileRange range;
    double uMin = HUGE_VAL;
    double uMax = -HUGE_VAL;
    const PointSample& s = preview.sample;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const double x = s.x(k), y = s.y(k), z = s.z(k);
        const double u = slab.u(x, y, z);
        uMin = std::min(uMin, u);
        uMax = std::max(uMax, u);
        if (!slab.keeps(x, y, z))
            continue;
        range.widen(std::int32_t(std::floor(u / raw)),
                    std::int32_t(std::floor(slab.v(x, y, z) / raw)));
    }

    // A frame point (u, w) on the plan, where w is v for a top view and the depth for an
    // elevation: the project point whose view coordinates they are. u and w depend on x and
    // y alone.
    const LayoutFrame frame = layoutFrame(job);
    const cv::Mat M = viewMatrixFor(job.view, frame);
    const int wRow = top ? 1 : 2;
    const double u0 = M.at<double>(0, 0), u1 = M.at<double>(0, 1);
    const double w0 = M.at<double>(wRow, 0), w1 = M.at<double>(wRow, 1);
    const double det = u0 * w1 - u1 * w0;
    const auto onPlan = [&](double u, double w) {
        w += top ? 0.0 : offset;
        return PlanePoint{(u * w1 - w * u1) / det, (u0 * w - w0 * u) / det};
    };
    const auto segment = [&](double ua, double wa, double ub, double wb) {
        return PlanSegment{onPlan(ua, wa), onPlan(ub, wb)};
    };

    if (!range.isEmpty() && tileSize > 0) {
        const OutputGrid grid = OutputTiles::outputGrid(range, tileSize, limits::rawTileSize);
        overlay.tiles = grid.countU() * grid.countV();
        const double left = double(grid.minOU) * tileSize;
        const double right = double(grid.maxOU + 1) * tileSize;
        const double bottom = double(grid.minOV) * tileSize;
        const double top_ = double(grid.maxOV + 1) * tileSize;
        for (std::int64_t ou = grid.minOU; ou <= std::int64_t(grid.maxOU) + 1; ++ou) {
            const double u = double(ou) * tileSize;
            overlay.tileEdges.push_back(top ? segment(u, bottom, u, top_)
                                            : segment(u, low, u, high));
        }
        for (std::int64_t ov = grid.minOV; top && ov <= std::int64_t(grid.maxOV) + 1; ++ov) {
            const double v = double(ov) * tileSize;
            overlay.tileEdges.push_back(segment(left, v, right, v));
        }
    }
    if (!top) {
        // The planes across the site, or along the facade's segment.
        if (job.facade) {
            uMin = job.facade->extentLow();
            uMax = job.facade->extentHigh();
        }
        if (uMin <= uMax) {
            overlay.planes.push_back(segment(uMin, low, uMax, low));
            overlay.planes.push_back(segment(uMin, high, uMax, high));
        }
    }
    return overlay;
}

} // namespace orthaven
