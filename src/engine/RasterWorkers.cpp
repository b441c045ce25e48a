#include "engine/RasterWorkers.h"

#include <algorithm>
#include <new>

namespace orthaven {

RasterWorkers::RasterWorkers(RawTileStore& store, const RasterSettings& settings,
                             const std::atomic<bool>* stop, std::vector<RawTileStore*> layerStores,
                             ThreadBudget* threadBudget, int threadCount,
                             std::int64_t maxQueuedPoints, int scans)
    : budget(threadBudget), maxQueued(std::max<std::int64_t>(maxQueuedPoints, 1)),
      workers(std::size_t(std::max(threadCount, 1))), outside(std::size_t(std::max(scans, 0)), 0)
{
    const bool shared = workers.size() > 1;
    for (Worker& w : workers) {
        w.rasterizer = std::make_unique<RawTileRasterizer>(store, settings, stop, layerStores,
                                                           shared ? &locks : nullptr);
        w.outside.assign(outside.size(), 0);
    }
    if (shared)
        for (Worker& w : workers)
            threads.emplace_back([this, &w] { work(w); });
}

RasterWorkers::~RasterWorkers()
{
    finish();
}

std::int64_t RasterWorkers::outOfBoundPoints(int scan) const
{
    return scan >= 0 && std::size_t(scan) < outside.size() ? outside[std::size_t(scan)] : 0;
}

bool RasterWorkers::run(Worker& w, const Job& job)
{
    const std::int64_t before = w.rasterizer->outOfBoundPoints();
    RawTileRasterizer::Result result = RawTileRasterizer::Result::NoImage;
    try {
        result = w.rasterizer->rasterizeBlock(job.B, job.T, w.range, w.largest, job.values,
                                              job.fromScanner);
    } catch (const cv::Exception&) {
    } catch (const std::bad_alloc&) {
    }
    if (std::size_t(job.scan) < w.outside.size())
        w.outside[std::size_t(job.scan)] += w.rasterizer->outOfBoundPoints() - before;
    if (result == RawTileRasterizer::Result::Done)
        return true;
    const std::lock_guard<std::mutex> lock(guard);
    // A stop is not a failure; the first failure is kept.
    if (failure == RawTileRasterizer::Result::Done || failure == RawTileRasterizer::Result::Stopped)
        failure = result;
    failed = result != RawTileRasterizer::Result::Stopped;
    return false;
}

void RasterWorkers::work(Worker& w)
{
    std::unique_lock<std::mutex> lock(guard);
    for (;;) {
        changed.wait(lock, [this] { return ending || !queue.empty(); });
        if (queue.empty())
            return;
        const Job job = std::move(queue.front());
        queue.pop_front();
        ++busy;
        lock.unlock();
        if (!failed) {
            const ThreadBudget::Slot slot(budget);
            run(w, job);
        }
        lock.lock();
        --busy;
        queuedPoints -= job.B.cols;
        changed.notify_all();
    }
}

bool RasterWorkers::draw(const cv::Mat& B, const cv::Mat& values, const cv::Mat& T,
                         bool fromScanner, int scan)
{
    const int N = B.cols;
    for (int first = 0; first < N && !failed; first += RawTileRasterizer::pointsPerPass) {
        const int last = std::min(N, first + RawTileRasterizer::pointsPerPass);
        Job job{B.colRange(first, last), values.empty() ? cv::Mat() : values.colRange(first, last),
                T, fromScanner, scan};
        if (threads.empty()) {
            run(workers[0], job);
            continue;
        }
        std::unique_lock<std::mutex> lock(guard);
        if (queuedPoints > 0 && queuedPoints + job.B.cols > maxQueued) {
            const ThreadBudget::Idle idle(budget);
            changed.wait(lock, [&] {
                return failed || queuedPoints == 0 || queuedPoints + job.B.cols <= maxQueued;
            });
        }
        queuedPoints += job.B.cols;
        queue.push_back(std::move(job));
        changed.notify_all();
    }
    return !failed;
}

void RasterWorkers::finish()
{
    if (finished)
        return;
    finished = true;
    if (!threads.empty()) {
        {
            const ThreadBudget::Idle idle(budget);
            std::unique_lock<std::mutex> lock(guard);
            changed.wait(lock, [this] { return queue.empty() && busy == 0; });
            ending = true;
            changed.notify_all();
        }
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    }
    gather();
}

void RasterWorkers::gather()
{
    for (const Worker& w : workers) {
        if (!w.range.isEmpty()) {
            reached.widen(w.range.minU, w.range.minV);
            reached.widen(w.range.maxU, w.range.maxV);
        }
        largest = std::max(largest, w.largest);
        const float wLow = w.rasterizer->layerLow();
        const float wHigh = w.rasterizer->layerHigh();
        if (wLow <= wHigh) {
            const bool none = low > high;
            low = none ? wLow : std::min(low, wLow);
            high = none ? wHigh : std::max(high, wHigh);
        }
        for (std::size_t k = 0; k < outside.size(); ++k)
            outside[k] += w.outside[k];
    }
}

} // namespace orthaven
