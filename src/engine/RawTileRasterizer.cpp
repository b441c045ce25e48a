#include "engine/RawTileRasterizer.h"

#include "diag/Diagnostics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orthaven {

namespace {

// std::floor for |x| < 2^63 without a call into the maths library (the baseline x86-64
// instruction set has no rounding instruction): the same value for every such x.
inline double floorOf(double x)
{
    const auto whole = double(std::int64_t(x));
    return whole > x ? whole - 1.0 : whole;
}

} // namespace

// The block being drawn, as the per-point loops read it.
struct RawTileRasterizer::Block
{
    const double* x;
    const double* y;
    const double* z;
    const double* w;
    double T[3][4]; // the rows of T that give u, v and depth
    bool fromScanner;
    int valueCount; // layer values per point; 0 when the block carries none
    bool wideValues;
    std::vector<const float*> values;
};

SumScale RasterSettings::sumScale() const
{
    return SumScale::forLargestWeight(topView ? scannerDomain * scannerDomain
                                              : std::sqrt(scannerDomain));
}

bool StripLocks::tryLock(int U, int V, int strip)
{
    const std::lock_guard<std::mutex> lock(guard);
    return held.insert({U, V, strip}).second;
}

void StripLocks::lock(int U, int V, int strip)
{
    std::unique_lock<std::mutex> lock(guard);
    released.wait(lock, [&] { return held.insert({U, V, strip}).second; });
}

void StripLocks::unlock(int U, int V, int strip)
{
    {
        const std::lock_guard<std::mutex> lock(guard);
        held.erase({U, V, strip});
    }
    released.notify_all();
}

RawTileRasterizer::RawTileRasterizer(RawTileStore& tileStore, const RasterSettings& settings,
                                     const std::atomic<bool>* stopFlag,
                                     std::vector<RawTileStore*> layerStores, StripLocks* shared)
    : store(tileStore), s(settings), scale(settings.sumScale()), stop(stopFlag), locks(shared),
      layer(std::move(layerStores))
{
}

RawTileRasterizer::Result RawTileRasterizer::rasterizeBlock(const cv::Mat& B, const cv::Mat& T,
                                                            TileRange& range,
                                                            RawSum& maxAccumulated,
                                                            const cv::Mat& layerValues,
                                                            bool fromScanner)
{
    const int N = B.cols;
    Block block{B.ptr<double>(0),
                B.ptr<double>(1),
                B.ptr<double>(2),
                B.ptr<double>(3),
                {},
                fromScanner,
                0,
                false,
                {}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            block.T[r][c] = T.at<double>(r, c);
    // The layer's values of the block, when it has them all.
    const int valueCount = int(layer.size()) - 1;
    if (valueCount > 0 && layerValues.type() == CV_32FC1 && layerValues.rows == valueCount &&
        layerValues.cols == N) {
        block.valueCount = valueCount;
        // An intensity's sums are 128 bits wide, a colour channel's 64.
        block.wideValues = layer[1]->cellBytes() == 16;
        for (int k = 0; k < valueCount; ++k)
            block.values.push_back(layerValues.ptr<float>(k));
    }
    for (int first = 0; first < N; first += pointsPerPass) {
        place(block, first, std::min(N, first + pointsPerPass), range);
        const Result result = draw(block, maxAccumulated);
        if (result != Result::Done)
            return result;
    }
    return Result::Done;
}

void RawTileRasterizer::place(const Block& b, int first, int last, TileRange& range)
{
    const std::size_t most = std::size_t(last - first);
    tileOf.resize(most);
    rowOf.resize(most);
    columnOf.resize(most);
    pointOf.resize(most);
    four.resize(most);
    units.resize(4 * most);
    tiles.clear();

    const double domain2 = s.scannerDomain * s.scannerDomain;
    const double nearest2 = 2.0 * s.resolution * s.resolution;
    const double scannerU = b.T[0][3];
    const double scannerV = b.T[1][3];
    const int n = s.tilePixels;
    const double lastPixel = n - 1;
    // The tile of the point before, and where its pixels start.
    std::int32_t lastU = 0, lastV = 0;
    int slot = -1;
    double originU = 0.0, originV = 0.0;
    int m = 0;
    for (int j = first; j < last; ++j) {
        // The view coordinates, summed in the same order for every block size.
        const double x = b.x[j], y = b.y[j], z = b.z[j], w = b.w[j];
        const double u = b.T[0][0] * x + b.T[0][1] * y + b.T[0][2] * z + b.T[0][3] * w;
        const double v = b.T[1][0] * x + b.T[1][1] * y + b.T[1][2] * z + b.T[1][3] * w;
        const double d = b.T[2][0] * x + b.T[2][1] * y + b.T[2][2] * z + b.T[2][3] * w;
        // Points outside the domain, nearer than √2 pixels to their scanner (a missing
        // measurement at the origin among them), without a usable position or beyond the
        // extent make no tile; a scan without a scanner has no domain. Tested without
        // branches: most points pass.
        // A coordinate within its bounds is a number; NaN fails every comparison.
        const double r2 = x * x + y * y + z * z;
        const double au = std::abs(u), av = std::abs(v), ad = std::abs(d);
        const bool inDomain = (!b.fromScanner) | ((r2 <= domain2) & (r2 >= nearest2));
        const bool placeable = (au <= maxViewCoordinate) & (av <= maxViewCoordinate) &
                               (ad <= std::numeric_limits<double>::max()) & (u >= s.extentLow) &
                               (u <= s.extentHigh);
        if (!(inDomain & placeable))
            continue;
        const auto U = static_cast<std::int32_t>(floorOf(u / s.rawTileSize));
        const auto V = static_cast<std::int32_t>(floorOf(v / s.rawTileSize));
        // Consecutive points of a scan mostly share their tile.
        if (slot < 0 || U != lastU || V != lastV) {
            const auto known = std::find(tiles.begin(), tiles.end(), std::make_pair(U, V));
            slot = int(known - tiles.begin());
            if (known == tiles.end()) {
                tiles.emplace_back(U, V);
                range.widen(U, V);
            }
            lastU = U;
            lastV = V;
            originU = double(std::int64_t(s.rawTileSize) * U) / s.resolution;
            originV = double(std::int64_t(s.rawTileSize) * V) / s.resolution;
        }
        if ((d > s.clipHigh) | (d < s.clipLow))
            continue;
        // Where the point lands: pixel column c and row r counted upward, and its fractions.
        const double px = u / s.resolution - originU;
        const double py = v / s.resolution - originV;
        const double cf = floorOf(px);
        const double rf = floorOf(py);
        const double fx = px - cf;
        const double fy = py - rf;
        if (!((cf >= 0) & (cf <= lastPixel) & (rf >= 0) & (rf <= lastPixel))) {
            // Only rounding at the tile's upper or right edge (or a resolution that does
            // not divide the tile) gets here; such a point is not drawn.
            ++outOfBound;
            continue;
        }
        const int c = int(cf);
        const int r = int(rf);
        const double du = u - scannerU;
        const double dv = v - scannerV;
        const double q2 = du * du + dv * dv;
        const double weight = !b.fromScanner ? 1.0 : s.topView ? q2 : std::sqrt(std::sqrt(q2));
        const bool shared = (r < n - 1) & (c < n - 1);
        RawSum* const u4 = units.data() + 4 * m;
        if (shared) {
            u4[0] = scale.units((1 - fx) * (1 - fy) * weight);
            u4[1] = scale.units((1 - fx) * fy * weight);
            u4[2] = scale.units(fx * fy * weight);
            u4[3] = scale.units(fx * (1 - fy) * weight);
        } else {
            u4[0] = scale.units(weight);
            u4[1] = u4[2] = u4[3] = 0;
        }
        tileOf[std::size_t(m)] = slot;
        rowOf[std::size_t(m)] = n - 1 - r; // image row
        columnOf[std::size_t(m)] = c;
        four[std::size_t(m)] = shared;
        pointOf[std::size_t(m)] = j;
        ++m;
    }
    tileOf.resize(std::size_t(m));

    // The layer's value range, of the points drawn with all their values.
    if (b.valueCount > 0) {
        for (int k = 0; k < m; ++k) {
            const int j = pointOf[std::size_t(k)];
            bool all = true;
            for (int v = 0; v < b.valueCount; ++v)
                all = all && std::isfinite(b.values[std::size_t(v)][j]);
            if (!all)
                continue;
            const float value = b.values[0][j];
            const bool none = lowest > highest;
            lowest = none ? value : std::min(lowest, value);
            highest = none ? value : std::max(highest, value);
        }
    }

    // The placed points grouped by tile, each group in point order; mostly a pass has
    // one tile and its points are all in order already.
    tileMembers.resize(std::size_t(m));
    if (tiles.size() == 1) {
        tileStart = {0, m};
        for (int k = 0; k < m; ++k)
            tileMembers[std::size_t(k)] = k;
        return;
    }
    tileStart.assign(tiles.size() + 1, 0);
    for (const int t : tileOf)
        ++tileStart[std::size_t(t) + 1];
    for (std::size_t t = 0; t < tiles.size(); ++t)
        tileStart[t + 1] += tileStart[t];
    stripStart.assign(tileStart.begin(), tileStart.end() - 1); // fill positions
    for (int k = 0; k < m; ++k)
        tileMembers[std::size_t(stripStart[std::size_t(tileOf[std::size_t(k)])]++)] = k;
}

RawTileRasterizer::Result RawTileRasterizer::draw(const Block& b, RawSum& maxAccumulated)
{
    // A tile another rasteriser is drawing into is put off until the others are done,
    // then waited for.
    std::vector<int> later;
    const bool oneStrip = store.stripCount() == 1;
    for (int t = 0; t < int(tiles.size()); ++t) {
        if (tileStart[std::size_t(t)] == tileStart[std::size_t(t) + 1])
            continue;
        const auto [U, V] = tiles[std::size_t(t)];
        if (locks && oneStrip && !locks->tryLock(U, V, 0)) {
            later.push_back(t);
            continue;
        }
        const Result result = drawTile(b, t, true, maxAccumulated);
        if (result != Result::Done)
            return result;
    }
    for (const int t : later) {
        const Result result = drawTile(b, t, false, maxAccumulated);
        if (result != Result::Done)
            return result;
    }
    return Result::Done;
}

RawTileRasterizer::Result RawTileRasterizer::drawTile(const Block& b, int t, bool locked,
                                                      RawSum& maxAccumulated)
{
    const auto [U, V] = tiles[std::size_t(t)];
    const int* members = tileMembers.data() + tileStart[std::size_t(t)];
    const int count = tileStart[std::size_t(t) + 1] - tileStart[std::size_t(t)];
    const int strips = store.stripCount();
    if (strips == 1)
        return visitStrip(b, U, V, 0, members, count, locked, maxAccumulated);

    // A point whose pixels straddle two strips adds to each the shares that fall in it.
    const int rowsPerStrip = store.stripRows();
    stripStart.assign(std::size_t(strips) + 1, 0);
    for (int k = 0; k < count; ++k) {
        const int m = members[k];
        const int R = rowOf[std::size_t(m)];
        const int bottom = R / rowsPerStrip;
        const int top = (four[std::size_t(m)] ? R - 1 : R) / rowsPerStrip;
        ++stripStart[std::size_t(bottom) + 1];
        if (top != bottom)
            ++stripStart[std::size_t(top) + 1];
    }
    for (int k = 0; k < strips; ++k)
        stripStart[std::size_t(k) + 1] += stripStart[std::size_t(k)];
    stripMembers.resize(std::size_t(stripStart[std::size_t(strips)]));
    std::vector<int> fill(stripStart.begin(), stripStart.end() - 1);
    for (int k = 0; k < count; ++k) {
        const int m = members[k];
        const int R = rowOf[std::size_t(m)];
        const int bottom = R / rowsPerStrip;
        const int top = (four[std::size_t(m)] ? R - 1 : R) / rowsPerStrip;
        stripMembers[std::size_t(fill[std::size_t(bottom)]++)] = m;
        if (top != bottom)
            stripMembers[std::size_t(fill[std::size_t(top)]++)] = m;
    }
    for (int k = 0; k < strips; ++k) {
        const int from = stripStart[std::size_t(k)];
        const int to = stripStart[std::size_t(k) + 1];
        if (from == to)
            continue;
        const Result result =
            visitStrip(b, U, V, k, stripMembers.data() + from, to - from, false, maxAccumulated);
        if (result != Result::Done)
            return result;
    }
    return Result::Done;
}

RawTileRasterizer::Result RawTileRasterizer::visitStrip(const Block& b, int U, int V, int k,
                                                        const int* points, int count, bool locked,
                                                        RawSum& maxAccumulated)
{
    if (locks && !locked)
        locks->lock(U, V, k);
    const Result result = [&] {
        if (stop && *stop)
            return Result::Stopped;
        cv::Mat strip = store.getStrip(U, V, k);
        if (strip.empty()) {
            diag::error("Get Image ", U, " ", V);
            diag::error("ERROR: Image Pointer is NULL");
            return Result::NoImage;
        }
        layerStrips.clear();
        if (b.valueCount > 0) {
            for (RawTileStore* layerStore : layer) {
                layerStrips.push_back(layerStore->getStrip(U, V, k));
                if (layerStrips.back().empty()) {
                    diag::error("ERROR: Image Pointer is NULL");
                    return Result::NoImage;
                }
            }
        }
        splat(b, points, count, strip, k * store.stripRows(), maxAccumulated);
        for (std::size_t v = 0; v < layerStrips.size(); ++v) {
            if (!layer[v]->releaseStrip(U, V, k, layerStrips[v])) {
                diag::error("ERROR: raw tile ", U, " ", V, " could not be stored");
                return Result::TileLost;
            }
        }
        if (!store.releaseStrip(U, V, k, strip)) {
            diag::error("ERROR: raw tile ", U, " ", V, " could not be stored");
            return Result::TileLost;
        }
        return Result::Done;
    }();
    if (locks)
        locks->unlock(U, V, k);
    return result;
}

void RawTileRasterizer::splat(const Block& b, const int* points, int count, cv::Mat& strip,
                              int firstRow, RawSum& maxAccumulated)
{
    const int rows = strip.rows;
    RawSum largest = maxAccumulated;
    const auto add = [&largest](RawSum& pixel, RawSum share) {
        pixel += share;
        largest = std::max(largest, pixel);
    };
    // The four pixels of a point: lower left, upper left, upper right, lower right.
    for (int k = 0; k < count; ++k) {
        const std::size_t m = std::size_t(points[k]);
        const int R = rowOf[m] - firstRow;
        const int c = columnOf[m];
        const RawSum* u4 = units.data() + 4 * m;
        if (R >= 0 && R < rows) {
            RawSum* lower = rawSums(strip, R) + c;
            add(lower[0], u4[0]);
            if (four[m])
                add(lower[1], u4[3]);
        }
        if (four[m] && R >= 1 && R - 1 < rows) {
            RawSum* upper = rawSums(strip, R - 1) + c;
            add(upper[0], u4[1]);
            add(upper[1], u4[2]);
        }
    }
    maxAccumulated = largest;
    if (layerStrips.empty())
        return;

    // The layer: the weights of the points with all their values, and the shares times
    // each value.
    for (int k = 0; k < count; ++k) {
        const std::size_t m = std::size_t(points[k]);
        const int j = pointOf[m];
        bool all = true;
        for (int v = 0; v < b.valueCount; ++v)
            all = all && std::isfinite(b.values[std::size_t(v)][j]);
        if (!all)
            continue;
        // Each value in the units of its sums, once for the point's pixels.
        std::int64_t value[3] = {0, 0, 0};
        for (int v = 0; v < b.valueCount && v < 3; ++v)
            value[v] = b.wideValues ? SumScale::valueUnits(b.values[std::size_t(v)][j])
                                    : std::lround(b.values[std::size_t(v)][j]);
        const int R = rowOf[m] - firstRow;
        const int c = columnOf[m];
        const RawSum* u4 = units.data() + 4 * m;
        const int pixels = four[m] ? 4 : 1;
        const int rowOfPixel[4] = {R, R - 1, R - 1, R};
        const int columnOfPixel[4] = {c, c, c + 1, c + 1};
        for (int p = 0; p < pixels; ++p) {
            const int row = rowOfPixel[p];
            if (row < 0 || row >= rows)
                continue;
            const int column = columnOfPixel[p];
            rawSums(layerStrips[0], row)[column] += u4[p];
            for (int v = 0; v < b.valueCount && v < 3; ++v) {
                cv::Mat& sums = layerStrips[std::size_t(v) + 1];
                if (b.wideValues)
                    wideSums(sums, row)[column] += WideSum(u4[p]) * value[v];
                else
                    rawSums(sums, row)[column] += u4[p] * value[v];
            }
        }
    }
}

} // namespace orthaven
