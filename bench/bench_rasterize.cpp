// The rasteriser alone, on one thread: nanoseconds per point for the density layer (and
// the intensity layer beside it) of a scan like the benchmark stations: a scanner 1.5 m
// above a floor of 24 × 24 m and the walls around it, read column by column, drawn in a
// top view at 0.01 m with a 30 m domain into raw tiles held in memory.
//
//   bench_rasterize [--benchmark_repetitions=N ...]   the "ns/point" column is the figure

#include "engine/MemoryBudget.h"
#include "engine/MemoryRawTileStore.h"
#include "engine/RawTileRasterizer.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace orthaven;

namespace {

constexpr int columns = 2000;
constexpr int rowsPerColumn = 500; // a million points

// The points of a station, in the order a scanner reads them: column by column.
cv::Mat stationPoints()
{
    cv::Mat B(4, columns * rowsPerColumn, CV_64F);
    const double pi = std::acos(-1.0);
    int j = 0;
    for (int c = 0; c < columns; ++c) {
        const double azimuth = 2 * pi * c / columns;
        for (int r = 0; r < rowsPerColumn; ++r, ++j) {
            const double elevation = -pi / 2 + 0.05 + (pi * 0.6) * r / rowsPerColumn;
            const double dx = std::cos(elevation) * std::cos(azimuth);
            const double dy = std::cos(elevation) * std::sin(azimuth);
            const double dz = std::sin(elevation);
            // The nearest of the floor 1.5 m below and the walls 12 m away.
            const double toFloor = dz < 0 ? -1.5 / dz : 1e9;
            const double toWall = 12.0 / std::max(std::abs(dx), std::abs(dy));
            const double t = std::min(toFloor, toWall);
            B.at<double>(0, j) = t * dx;
            B.at<double>(1, j) = t * dy;
            B.at<double>(2, j) = t * dz;
            B.at<double>(3, j) = 1.0;
        }
    }
    return B;
}

RasterSettings benchSettings()
{
    RasterSettings s;
    s.resolution = 0.01;
    s.scannerDomain = 30.0;
    s.tilePixels = 1000;
    return s;
}

void rasterize(benchmark::State& state, bool intensity)
{
    static const cv::Mat B = stationPoints();
    cv::Mat values(1, B.cols, CV_32F);
    for (int j = 0; j < B.cols; ++j)
        values.at<float>(0, j) = float(j % 997) / 997.0f;
    QTemporaryDir spill;
    MemoryBudget budget(std::int64_t(8) << 30);
    MemoryRawTileStore store(spill.path() + "/", 1000, budget);
    MemoryRawTileStore weights(spill.path() + "/", 1000, budget, QStringLiteral("w_"));
    MemoryRawTileStore sums(spill.path() + "/", 1000, budget, QStringLiteral("s_"), 0, 16);
    std::vector<RawTileStore*> layer;
    if (intensity)
        layer = {&weights, &sums};
    RawTileRasterizer rasterizer(store, benchSettings(), nullptr, layer);
    // T: the scanner 1.5 m up, somewhere in the project.
    cv::Mat T = cv::Mat::eye(4, 4, CV_64F);
    T.at<double>(0, 3) = 3.0;
    T.at<double>(1, 3) = 4.0;
    T.at<double>(2, 3) = 1.5;
    TileRange range;
    RawSum largest = 0;
    // In chunks of a thousand columns' worth of points at most, as the engine reads.
    const int chunk = 1 << 18;
    for (auto _ : state) {
        for (int first = 0; first < B.cols; first += chunk) {
            const int last = std::min(B.cols, first + chunk);
            const auto result = rasterizer.rasterizeBlock(
                B.colRange(first, last), T, range, largest,
                intensity ? values.colRange(first, last) : cv::Mat(), true);
            if (result != RawTileRasterizer::Result::Done)
                state.SkipWithError("the rasteriser failed");
        }
        benchmark::DoNotOptimize(largest);
    }
    state.counters["ns/point"] =
        benchmark::Counter(double(B.cols) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_RasterizeDensity(benchmark::State& state)
{
    rasterize(state, false);
}

void BM_RasterizeIntensity(benchmark::State& state)
{
    rasterize(state, true);
}

} // namespace

BENCHMARK(BM_RasterizeDensity)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterizeIntensity)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
