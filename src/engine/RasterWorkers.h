#pragma once
// Stage 1's rasterisers: the blocks of points the reading thread hands over are drawn on
// worker threads at once, each worker with a rasteriser of its own drawing into the shared
// raw tile stores. Sums do not depend on the order of the points, so neither the number of
// workers nor which worker draws which block changes a bit of the raw tiles. Each worker
// holds a slot of the run's thread budget while it draws; with one thread the blocks are
// drawn on the calling thread as they come.

#include "engine/RawTileRasterizer.h"
#include "platform/ThreadBudget.h"

#include <opencv2/core.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace orthaven {

class RasterWorkers
{
public:
    // threads: the run's thread count (1: no worker thread); budget: the slots the workers
    // take (none: they take none); maxQueuedPoints: points handed over and not yet drawn
    // at most (a chunk is taken whatever its size when none are waiting); scans: the
    // number of scans, whose points outside the tile grid are counted apart.
    RasterWorkers(RawTileStore& store, const RasterSettings& settings,
                  const std::atomic<bool>* stop, std::vector<RawTileStore*> layerStores,
                  ThreadBudget* budget, int threads, std::int64_t maxQueuedPoints, int scans);
    ~RasterWorkers(); // finish()
    RasterWorkers(const RasterWorkers&) = delete;
    RasterWorkers& operator=(const RasterWorkers&) = delete;

    // Hands over the points B (4 × N, scanner frame) of scan `scan` with their layer values
    // (or none) and T = view matrix · pose, cut into blocks of
    // RawTileRasterizer::pointsPerPass points. Waits, its budget slot given back, while
    // the queue is full. False once a block failed (the failure is in result()).
    bool draw(const cv::Mat& B, const cv::Mat& values, const cv::Mat& T, bool fromScanner,
              int scan);
    // Waits until every block handed over is drawn (or left for a stop or a failure) and
    // ends the workers.
    void finish();

    // After finish(): the first failure of a block (Done when none; Stopped when a block
    // was left for a stop request), the tiles reached, the largest pixel sum, the layer's
    // value range (low > high without one) and the points of a scan outside the tile grid.
    RawTileRasterizer::Result result() const { return failure; }
    const TileRange& range() const { return reached; }
    RawSum largestSum() const { return largest; }
    float layerLow() const { return low; }
    float layerHigh() const { return high; }
    std::int64_t outOfBoundPoints(int scan) const;

private:
    struct Job
    {
        cv::Mat B, values, T;
        bool fromScanner = true;
        int scan = 0;
    };
    struct Worker
    {
        std::unique_ptr<RawTileRasterizer> rasterizer;
        TileRange range;
        RawSum largest = 0;
        std::vector<std::int64_t> outside; // per scan
    };
    // Draws a job with worker w's rasteriser; false on a failure.
    bool run(Worker& w, const Job& job);
    void work(Worker& w);
    // Adds what the workers found to the totals.
    void gather();

    ThreadBudget* budget;
    const std::int64_t maxQueued;
    StripLocks locks;
    std::vector<Worker> workers;
    std::vector<std::thread> threads;
    std::mutex guard;
    std::condition_variable changed;
    std::deque<Job> queue;
    std::int64_t queuedPoints = 0; // handed over and not drawn yet
    int busy = 0;                  // jobs being drawn
    bool ending = false;
    std::atomic<bool> failed{false};
    RawTileRasterizer::Result failure = RawTileRasterizer::Result::Done;
    bool finished = false;
    TileRange reached;
    RawSum largest = 0;
    float low = 1.0f, high = 0.0f;
    std::vector<std::int64_t> outside;
};

} // namespace orthaven
