#include "engine/RawTileRasterizer.h"

#include "diag/Diagnostics.h"

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

inline void addShare(RawSum& pixel, RawSum units, RawSum& maxAccumulated)
{
    pixel += units;
    maxAccumulated = std::max(maxAccumulated, pixel);
}

std::uint64_t tileKey(std::int32_t U, std::int32_t V)
{
    return (std::uint64_t(std::uint32_t(U)) << 32) | std::uint32_t(V);
}

} // namespace

SumScale RasterSettings::sumScale() const
{
    return SumScale::forLargestWeight(topView ? scannerDomain * scannerDomain
                                              : std::sqrt(scannerDomain));
}

RawTileRasterizer::RawTileRasterizer(RawTileStore& tileStore, const RasterSettings& settings,
                                     const std::atomic<bool>* stopFlag,
                                     std::vector<RawTileStore*> layerStores)
    : store(tileStore), s(settings), scale(settings.sumScale()), stop(stopFlag),
      layer(std::move(layerStores))
{
}

RawTileRasterizer::Result RawTileRasterizer::rasterizeBlock(const cv::Mat& B, const cv::Mat& view,
                                                            const cv::Mat& T, TileRange& range,
                                                            RawSum& maxAccumulated,
                                                            const cv::Mat& layerValues,
                                                            bool fromScanner)
{
    const int N = B.cols;
    const double* bx = B.ptr<double>(0);
    const double* by = B.ptr<double>(1);
    const double* bz = B.ptr<double>(2);
    const double* pu = view.ptr<double>(0);
    const double* pv = view.ptr<double>(1);
    const double* pd = view.ptr<double>(2);
    const double scannerU = T.at<double>(0, 3);
    const double scannerV = T.at<double>(1, 3);
    const double domain2 = s.scannerDomain * s.scannerDomain;
    const double nearest2 = 2.0 * s.resolution * s.resolution;
    const int n = s.tilePixels;
    // The layer's values of the block, when it has them all.
    const int valueCount = int(layer.size()) - 1;
    const bool hasLayer = valueCount > 0 && layerValues.type() == CV_32FC1 &&
                          layerValues.rows == valueCount && layerValues.cols == N;
    // An intensity's sums are 128 bits wide, a colour channel's 64.
    const bool wideValues = hasLayer && layer[1]->cellBytes() == 16;
    values.assign(std::size_t(std::max(valueCount, 0)), nullptr);
    if (hasLayer)
        for (int k = 0; k < valueCount; ++k)
            values[std::size_t(k)] = layerValues.ptr<float>(k);

    // Step 1: tile index and domain test. Points outside the domain, nearer than √2 pixels
    // to their scanner (a missing measurement at the origin among them), without a usable
    // position or beyond the extent are done before they start; a scan without a scanner
    // has no domain. Groups of points by tile, in the order of each tile's first point, each
    // group in increasing point order.
    tileU.resize(N);
    tileV.resize(N);
    groupOf.assign(N, -1);
    groupTile.clear();
    groupIndex.clear();
    for (int j = 0; j < N; ++j) {
        const double r2 = bx[j] * bx[j] + by[j] * by[j] + bz[j] * bz[j];
        const bool inDomain = !fromScanner || (r2 <= domain2 && r2 >= nearest2);
        const bool placeable = std::isfinite(pu[j]) && std::isfinite(pv[j]) &&
                               std::isfinite(pd[j]) && std::abs(pu[j]) <= maxViewCoordinate &&
                               std::abs(pv[j]) <= maxViewCoordinate && pu[j] >= s.extentLow &&
                               pu[j] <= s.extentHigh;
        if (!inDomain || !placeable)
            continue;
        tileU[j] = static_cast<std::int32_t>(std::floor(pu[j] / s.rawTileSize));
        tileV[j] = static_cast<std::int32_t>(std::floor(pv[j] / s.rawTileSize));
        const auto [it, isNew] =
            groupIndex.try_emplace(tileKey(tileU[j], tileV[j]), int(groupTile.size()));
        if (isNew)
            groupTile.emplace_back(tileU[j], tileV[j]);
        groupOf[j] = it->second;
    }
    const int groups = int(groupTile.size());
    groupStart.assign(groups + 1, 0);
    for (int j = 0; j < N; ++j)
        if (groupOf[j] >= 0)
            ++groupStart[groupOf[j] + 1];
    for (int g = 0; g < groups; ++g)
        groupStart[g + 1] += groupStart[g];
    members.resize(groupStart[groups]);
    {
        std::vector<int> fill(groupStart.begin(), groupStart.end() - 1);
        for (int j = 0; j < N; ++j)
            if (groupOf[j] >= 0)
                members[fill[groupOf[j]]++] = j;
    }

    // Step 2: one visit per tile, and in it one visit per strip of the tile that its points
    // reach. A point whose pixels straddle two strips adds to each the shares that fall in
    // it, so every pixel still gets the shares of its points in increasing point order.
    // Whether point j carries all of the layer's values.
    const auto valued = [&](int j) {
        bool all = hasLayer;
        for (int k = 0; all && k < valueCount; ++k)
            all = std::isfinite(values[std::size_t(k)][j]);
        return all;
    };
    const int rowsPerStrip = store.stripRows();
    const int strips = store.stripCount();
    for (int g = 0; g < groups; ++g) {
        if (stop && *stop)
            return Result::Stopped;
        const auto [U0, V0] = groupTile[g];
        range.widen(U0, V0);
        const double originU = double(std::int64_t(s.rawTileSize) * U0) / s.resolution;
        const double originV = double(std::int64_t(s.rawTileSize) * V0) / s.resolution;
        // Where point j lands: pixel column c and row r counted upward, and its fractions.
        const auto locate = [&](int j, double& cf, double& rf, double& fx, double& fy) {
            const double px = pu[j] / s.resolution - originU;
            const double py = pv[j] / s.resolution - originV;
            cf = std::floor(px);
            rf = std::floor(py);
            fx = px - cf;
            fy = py - rf;
            return cf >= 0 && cf <= n - 1 && rf >= 0 && rf <= n - 1;
        };

        // Pass 1: the points drawn and the strips they reach, each strip's in point order.
        stripStart.assign(std::size_t(strips) + 1, 0);
        reach.clear();
        for (int m = groupStart[g]; m < groupStart[g + 1]; ++m) {
            const int j = members[m];
            const double d = pd[j];
            if (d > s.clipHigh || d < s.clipLow)
                continue;
            double cf, rf, fx, fy;
            if (!locate(j, cf, rf, fx, fy)) {
                // Only rounding at the tile's upper or right edge (or a resolution that
                // does not divide the tile) gets here; such a point is not drawn.
                ++outOfBound;
                continue;
            }
            const int c = int(cf);
            const int r = int(rf);
            const int R = n - 1 - r; // image row
            const int bottom = R / rowsPerStrip;
            const int top = (r < n - 1 && c < n - 1 ? R - 1 : R) / rowsPerStrip;
            reach.push_back({j, top, bottom});
            ++stripStart[std::size_t(top) + 1];
            if (bottom != top)
                ++stripStart[std::size_t(bottom) + 1];
            if (!valued(j))
                continue;
            const float first = values[0][j];
            if (lowest > highest) {
                lowest = first;
                highest = first;
            } else {
                lowest = std::min(lowest, first);
                highest = std::max(highest, first);
            }
        }
        for (int k = 0; k < strips; ++k)
            stripStart[std::size_t(k) + 1] += stripStart[std::size_t(k)];
        stripMembers.resize(std::size_t(stripStart[std::size_t(strips)]));
        {
            std::vector<int> fill(stripStart.begin(), stripStart.end() - 1);
            for (const Reach& p : reach) {
                stripMembers[std::size_t(fill[std::size_t(p.top)]++)] = p.point;
                if (p.bottom != p.top)
                    stripMembers[std::size_t(fill[std::size_t(p.bottom)]++)] = p.point;
            }
        }

        // Pass 2: one visit per strip reached.
        for (int k = 0; k < strips; ++k) {
            if (stripStart[std::size_t(k)] == stripStart[std::size_t(k) + 1])
                continue;
            if (stop && *stop)
                return Result::Stopped;
            cv::Mat strip = store.getStrip(U0, V0, k);
            if (strip.empty()) {
                diag::error("Get Image ", U0, " ", V0);
                diag::error("ERROR: Image Pointer is NULL");
                return Result::NoImage;
            }
            layerTiles.clear();
            if (hasLayer) {
                for (RawTileStore* layerStore : layer) {
                    layerTiles.push_back(layerStore->getStrip(U0, V0, k));
                    if (layerTiles.back().empty()) {
                        diag::error("ERROR: Image Pointer is NULL");
                        return Result::NoImage;
                    }
                }
            }
            const int firstRow = k * rowsPerStrip;
            for (int q = stripStart[std::size_t(k)]; q < stripStart[std::size_t(k) + 1]; ++q) {
                const int j = stripMembers[std::size_t(q)];
                double cf, rf, fx, fy;
                locate(j, cf, rf, fx, fy);
                const int c = int(cf);
                const int r = int(rf);
                const int R = n - 1 - r;
                const double du = pu[j] - scannerU;
                const double dv = pv[j] - scannerV;
                const double q2 = du * du + dv * dv;
                const double w = !fromScanner ? 1.0 : s.topView ? q2 : std::sqrt(std::sqrt(q2));
                // The pixels a point shares its weight with, and the shares.
                int pixels = 1;
                int rowOf[4] = {R, R - 1, R - 1, R};
                int columnOf[4] = {c, c, c + 1, c + 1};
                double share[4] = {w, 0, 0, 0};
                if (r < n - 1 && c < n - 1) {
                    pixels = 4;
                    share[0] = (1 - fx) * (1 - fy) * w;
                    share[1] = (1 - fx) * fy * w;
                    share[2] = fx * fy * w;
                    share[3] = fx * (1 - fy) * w;
                }
                RawSum units[4];
                for (int p = 0; p < pixels; ++p) {
                    units[p] = scale.units(share[p]);
                    rowOf[p] -= firstRow;
                    if (rowOf[p] >= 0 && rowOf[p] < strip.rows)
                        addShare(rawSums(strip, rowOf[p])[columnOf[p]], units[p], maxAccumulated);
                }
                if (!valued(j))
                    continue;
                for (int p = 0; p < pixels; ++p) {
                    if (rowOf[p] < 0 || rowOf[p] >= strip.rows)
                        continue;
                    rawSums(layerTiles[0], rowOf[p])[columnOf[p]] += units[p];
                    for (int v = 0; v < valueCount; ++v) {
                        const float value = values[std::size_t(v)][j];
                        cv::Mat& sums = layerTiles[std::size_t(v) + 1];
                        if (wideValues)
                            wideSums(sums, rowOf[p])[columnOf[p]] +=
                                WideSum(units[p]) * SumScale::valueUnits(value);
                        else
                            rawSums(sums, rowOf[p])[columnOf[p]] += units[p] * std::lround(value);
                    }
                }
            }
            for (std::size_t v = 0; v < layerTiles.size(); ++v) {
                if (!layer[v]->releaseStrip(U0, V0, k, layerTiles[v])) {
                    diag::error("ERROR: raw tile ", U0, " ", V0, " could not be stored");
                    return Result::TileLost;
                }
            }
            if (!store.releaseStrip(U0, V0, k, strip)) {
                diag::error("ERROR: raw tile ", U0, " ", V0, " could not be stored");
                return Result::TileLost;
            }
        }
    }
    return Result::Done;
}

} // namespace orthaven
