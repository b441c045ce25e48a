#include "engine/RawTileRasterizer.h"

#include "diag/Diagnostics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace orthaven {

namespace {

// What became of a point of a pass (bits).
enum Placement : std::int32_t
{
    Tiled = 1,      // in the domain and placeable: its tile is part of the layout
    Drawn = 2,      // tiled, between the clipping planes and inside its tile's image
    OutOfBound = 4, // tiled and between the planes, but its pixel fell outside the image
    FourPixels = 8, // its shares go to four pixels, not only the lower-left one
};

// std::floor for |x| < 2^63 without a call into the maths library (the baseline x86-64
// instruction set has no rounding instruction): the same value for every such x.
struct FloorByConversion
{
    static double floor(double x)
    {
        const auto whole = double(std::int64_t(x));
        return whole > x ? whole - 1.0 : whole;
    }
};
struct FloorByInstruction
{
    static double floor(double x) { return std::floor(x); }
};

// Asks for the cache line at p.
#if defined(__SSE__) || defined(_M_X64)
#define ORTHAVEN_PREFETCH(p) _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0)
#elif defined(__GNUC__)
#define ORTHAVEN_PREFETCH(p) __builtin_prefetch(p)
#else
#define ORTHAVEN_PREFETCH(p) static_cast<void>(p)
#endif

// What the placement of a pass reads and writes.
struct PlaceInput
{
    const double* x;
    const double* y;
    const double* z;
    const double* w;
    double T[3][4];
    double domain2, nearest2, tileMetres, resolution, clipLow, clipHigh, extentLow, extentHigh;
    double lastPixel, factor;
};
struct PlaceOutput
{
    std::int32_t* U;
    std::int32_t* V;
    std::int32_t* row;
    std::int32_t* column;
    std::int32_t* units[4];
    std::int32_t* placement;
};

enum class Weighting
{
    One,          // a scan without a scanner position
    Squared,      // the top view: the squared distance to the scanner in the view plane
    RootOfLength, // the other views: the square root of that distance
};

// Places count points: for each its tile, pixel, placement and share units, with no
// branch and nothing carried from one point to the next, so the compiler vectorises it.
// Every point gets defined values: one that makes no tile is placed at the view origin.
template <Weighting weighting, class Floor>
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void
placePoints(const PlaceInput& in, int count, const double* __restrict x, const double* __restrict y,
            const double* __restrict z, const double* __restrict w, std::int32_t* __restrict tileU,
            std::int32_t* __restrict tileV, std::int32_t* __restrict rowOf,
            std::int32_t* __restrict columnOf, std::int32_t* __restrict u0,
            std::int32_t* __restrict u1, std::int32_t* __restrict u2, std::int32_t* __restrict u3,
            std::int32_t* __restrict placement)
{
    // Everything the loop reads besides the points in registers: the outputs could
    // otherwise alias it.
    const double t00 = in.T[0][0], t01 = in.T[0][1], t02 = in.T[0][2], t03 = in.T[0][3];
    const double t10 = in.T[1][0], t11 = in.T[1][1], t12 = in.T[1][2], t13 = in.T[1][3];
    const double t20 = in.T[2][0], t21 = in.T[2][1], t22 = in.T[2][2], t23 = in.T[2][3];
    const double domain2 = in.domain2, nearest2 = in.nearest2, tileMetres = in.tileMetres;
    const double resolution = in.resolution, clipLow = in.clipLow, clipHigh = in.clipHigh;
    const double extentLow = in.extentLow, extentHigh = in.extentHigh;
    const double lastPixel = in.lastPixel, factor = in.factor;
    const double viewLimit = RawTileRasterizer::maxViewCoordinate;
    const double largest = std::numeric_limits<double>::max();
    for (int i = 0; i < count; ++i) {
        // The view coordinates, summed in the same order for every block size.
        const double u = t00 * x[i] + t01 * y[i] + t02 * z[i] + t03 * w[i];
        const double v = t10 * x[i] + t11 * y[i] + t12 * z[i] + t13 * w[i];
        const double d = t20 * x[i] + t21 * y[i] + t22 * z[i] + t23 * w[i];
        // Points outside the domain, nearer than √2 pixels to their scanner (a missing
        // measurement at the origin among them), without a usable position or beyond the
        // extent make no tile; a scan without a scanner has no domain. A coordinate within
        // its bounds is a number; NaN fails every comparison.
        const double r2 = x[i] * x[i] + y[i] * y[i] + z[i] * z[i];
        // (Tests as 0 or 1, joined with & so that each is made.)
        const int inDomain =
            weighting == Weighting::One ? 1 : int(r2 <= domain2) & int(r2 >= nearest2);
        const int placeable = int(std::abs(u) <= viewLimit) & int(std::abs(v) <= viewLimit) &
                              int(std::abs(d) <= largest) & int(u >= extentLow) &
                              int(u <= extentHigh);
        const int tiled = inDomain & placeable;
        const double pu = tiled ? u : 0.0;
        const double pv = tiled ? v : 0.0;
        const double tu = Floor::floor(pu / tileMetres);
        const double tv = Floor::floor(pv / tileMetres);
        // Where the point lands in its tile: pixel column c and row r counted upward, and
        // its fractions. The tile's first pixel is its corner in whole pixels of the view.
        const double px = pu / resolution - tileMetres * tu / resolution;
        const double py = pv / resolution - tileMetres * tv / resolution;
        const double cf = Floor::floor(px);
        const double rf = Floor::floor(py);
        const double fx = px - cf;
        const double fy = py - rf;
        // Only rounding at the tile's upper or right edge (or a resolution that does not
        // divide the tile) puts a pixel outside its image; such a point is not drawn.
        const int inside =
            int(cf >= 0) & int(cf <= lastPixel) & int(rf >= 0) & int(rf <= lastPixel);
        const int between = int(d <= clipHigh) & int(d >= clipLow);
        const double c = inside ? cf : 0.0;
        const double r = inside ? rf : 0.0;
        const double du = pu - t03;
        const double dv = pv - t13;
        const double q2 = du * du + dv * dv;
        const double weight = weighting == Weighting::One       ? 1.0
                              : weighting == Weighting::Squared ? q2
                                                                : std::sqrt(std::sqrt(q2));
        const int four = int(r < lastPixel) & int(c < lastPixel);
        u0[i] = std::int32_t(
            SumScale::unitsOf((four ? (1 - fx) * (1 - fy) * weight : weight) * factor));
        u1[i] = std::int32_t(SumScale::unitsOf((four ? (1 - fx) * fy * weight : 0.0) * factor));
        u2[i] = std::int32_t(SumScale::unitsOf((four ? fx * fy * weight : 0.0) * factor));
        u3[i] = std::int32_t(SumScale::unitsOf((four ? fx * (1 - fy) * weight : 0.0) * factor));
        tileU[i] = std::int32_t(tu);
        tileV[i] = std::int32_t(tv);
        rowOf[i] = std::int32_t(lastPixel - r); // image row
        columnOf[i] = std::int32_t(c);
        placement[i] = tiled * Tiled + (tiled & between & inside) * Drawn +
                       (tiled & between & (1 - inside)) * OutOfBound + four * FourPixels;
    }
}

template <class Floor>
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void
placeWeighted(const PlaceInput& in, const PlaceOutput& out, int count, Weighting weighting)
{
    // The arrays as parameters of their own, so the compiler knows that none overlaps.
#define ORTHAVEN_PLACE_ARGUMENTS                                                                   \
    in, count, in.x, in.y, in.z, in.w, out.U, out.V, out.row, out.column, out.units[0],            \
        out.units[1], out.units[2], out.units[3], out.placement
    switch (weighting) {
    case Weighting::One:
        return placePoints<Weighting::One, Floor>(ORTHAVEN_PLACE_ARGUMENTS);
    case Weighting::Squared:
        return placePoints<Weighting::Squared, Floor>(ORTHAVEN_PLACE_ARGUMENTS);
    case Weighting::RootOfLength:
        return placePoints<Weighting::RootOfLength, Floor>(ORTHAVEN_PLACE_ARGUMENTS);
    }
#undef ORTHAVEN_PLACE_ARGUMENTS
}

// The placement for the instruction set at hand: with AVX2 the loop runs four points at
// once and rounds down in one instruction, with AVX-512 eight. All give the same bits (no
// operation is fused).
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define ORTHAVEN_PLACE_AVX2 1
__attribute__((target("avx2"))) void placeAvx2(const PlaceInput& in, const PlaceOutput& out,
                                               int count, Weighting weighting)
{
    placeWeighted<FloorByInstruction>(in, out, count, weighting);
}
#if defined(__clang__)
#define ORTHAVEN_AVX512 "avx512f,avx512dq,avx512vl"
#else
#define ORTHAVEN_AVX512 "avx512f,avx512dq,avx512vl,prefer-vector-width=512"
#endif
__attribute__((target(ORTHAVEN_AVX512))) void
placeAvx512(const PlaceInput& in, const PlaceOutput& out, int count, Weighting weighting)
{
    placeWeighted<FloorByInstruction>(in, out, count, weighting);
}
#endif

std::atomic<RawTileRasterizer::Instructions> placementInstructions{
    RawTileRasterizer::Instructions::Widest};

void place(const PlaceInput& in, const PlaceOutput& out, int count, Weighting weighting)
{
#ifdef ORTHAVEN_PLACE_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 = __builtin_cpu_supports("avx512f") &&
                               __builtin_cpu_supports("avx512dq") &&
                               __builtin_cpu_supports("avx512vl");
    const auto allowed = placementInstructions.load(std::memory_order_relaxed);
    if (avx512 && allowed == RawTileRasterizer::Instructions::Widest)
        return placeAvx512(in, out, count, weighting);
    if (avx2 && allowed != RawTileRasterizer::Instructions::Baseline)
        return placeAvx2(in, out, count, weighting);
#endif
    placeWeighted<FloorByConversion>(in, out, count, weighting);
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

void RawTileRasterizer::useInstructions(Instructions widest)
{
    placementInstructions = widest;
}

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
    for (int first = 0; first < N; first += pointsPerPlacement) {
        place(block, first, std::min(N, first + pointsPerPlacement), range);
        const Result result = draw(block, maxAccumulated);
        if (result != Result::Done)
            return result;
    }
    return Result::Done;
}

void RawTileRasterizer::place(const Block& b, int first, int last, TileRange& range)
{
    const int count = last - first;
    const auto most = std::size_t(count);
    for (auto* column : {&tileU, &tileV, &rowOf, &columnOf, &units0, &units1, &units2, &units3})
        column->resize(most);
    placement.resize(most);
    passFirst = first;

    PlaceInput in{b.x + first,
                  b.y + first,
                  b.z + first,
                  b.w + first,
                  {},
                  s.scannerDomain * s.scannerDomain,
                  2.0 * s.resolution * s.resolution,
                  double(s.rawTileSize),
                  s.resolution,
                  s.clipLow,
                  s.clipHigh,
                  s.extentLow,
                  s.extentHigh,
                  double(s.tilePixels - 1),
                  scale.factor};
    std::copy(&b.T[0][0], &b.T[0][0] + 12, &in.T[0][0]);
    const PlaceOutput out{tileU.data(),
                          tileV.data(),
                          rowOf.data(),
                          columnOf.data(),
                          {units0.data(), units1.data(), units2.data(), units3.data()},
                          placement.data()};
    orthaven::place(in, out, count,
                    !b.fromScanner ? Weighting::One
                    : s.topView    ? Weighting::Squared
                                   : Weighting::RootOfLength);

    // The tiles of the pass, in the order their first point comes; consecutive points of a
    // scan mostly share their tile.
    tiles.clear();
    drawn.resize(most);
    tileOf.resize(most);
    std::int32_t lastU = 0, lastV = 0;
    int slot = -1;
    int m = 0;
    for (int i = 0; i < count; ++i) {
        const std::int32_t what = placement[std::size_t(i)];
        outOfBound += (what & OutOfBound) != 0;
        if (!(what & Tiled))
            continue;
        const std::int32_t U = tileU[std::size_t(i)];
        const std::int32_t V = tileV[std::size_t(i)];
        if ((U != lastU) | (V != lastV) | (slot < 0)) {
            const auto known = std::find(tiles.begin(), tiles.end(), std::make_pair(U, V));
            slot = int(known - tiles.begin());
            if (known == tiles.end()) {
                tiles.emplace_back(U, V);
                range.widen(U, V);
            }
            lastU = U;
            lastV = V;
        }
        // Written for every tiled point, kept for the drawn ones.
        drawn[std::size_t(m)] = i;
        tileOf[std::size_t(m)] = slot;
        m += (what & Drawn) != 0;
    }
    drawn.resize(std::size_t(m));
    tileOf.resize(std::size_t(m));

    // The layer's value range, of the points drawn with all their values.
    if (b.valueCount > 0) {
        for (const int i : drawn) {
            const int j = first + i;
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

    // The drawn points grouped by tile, each group in point order; mostly a pass has one
    // tile and its points are all in order already.
    if (tiles.size() <= 1) {
        tileStart = {0, m};
        tileMembers.swap(drawn);
        return;
    }
    tileMembers.resize(std::size_t(m));
    tileStart.assign(tiles.size() + 1, 0);
    for (const int t : tileOf)
        ++tileStart[std::size_t(t) + 1];
    for (std::size_t t = 0; t < tiles.size(); ++t)
        tileStart[t + 1] += tileStart[t];
    stripStart.assign(tileStart.begin(), tileStart.end() - 1); // fill positions
    for (int k = 0; k < m; ++k)
        tileMembers[std::size_t(stripStart[std::size_t(tileOf[std::size_t(k)])]++)] =
            drawn[std::size_t(k)];
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
        const int top = (placement[std::size_t(m)] & FourPixels ? R - 1 : R) / rowsPerStrip;
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
        const int top = (placement[std::size_t(m)] & FourPixels ? R - 1 : R) / rowsPerStrip;
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
    // The pixels of the points a few places ahead are fetched while these are added: the
    // points of a scan far from its scanner land pixels apart. (Written out in the loop: a
    // function that only fetches counts as free of effects, and its calls are dropped.)
    constexpr int ahead = 8;
    // The four pixels of a point: lower left, upper left, upper right, lower right.
    for (int k = 0; k < count; ++k) {
        if (k + ahead < count) {
            const auto a = std::size_t(points[k + ahead]);
            const int R = std::clamp(rowOf[a] - firstRow, 0, rows - 1);
            ORTHAVEN_PREFETCH(rawSums(strip, R) + columnOf[a]);
            ORTHAVEN_PREFETCH(rawSums(strip, R > 0 ? R - 1 : 0) + columnOf[a]);
        }
        const auto i = std::size_t(points[k]);
        const int R = rowOf[i] - firstRow;
        const int c = columnOf[i];
        const bool four = (placement[i] & FourPixels) != 0;
        if (R >= 0 && R < rows) {
            RawSum* lower = rawSums(strip, R) + c;
            add(lower[0], units0[i]);
            if (four)
                add(lower[1], units3[i]);
        }
        if (four && R >= 1 && R - 1 < rows) {
            RawSum* upper = rawSums(strip, R - 1) + c;
            add(upper[0], units1[i]);
            add(upper[1], units2[i]);
        }
    }
    maxAccumulated = largest;
    if (layerStrips.empty())
        return;

    // The layer: the weights of the points with all their values, and the shares times
    // each value.
    for (int k = 0; k < count; ++k) {
        const auto i = std::size_t(points[k]);
        const int j = passFirst + int(i);
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
        const int R = rowOf[i] - firstRow;
        const int c = columnOf[i];
        const RawSum u4[4] = {units0[i], units1[i], units2[i], units3[i]};
        const int pixels = placement[i] & FourPixels ? 4 : 1;
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
