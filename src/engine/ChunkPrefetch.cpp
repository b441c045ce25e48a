#include "engine/ChunkPrefetch.h"

#include "scan/ScanSource.h"

namespace orthaven {

ChunkPrefetch::ChunkPrefetch(ScanSource& scanSource, int scanIndex, int columns,
                             const std::atomic<bool>& stopFlag, std::int64_t maxQueuedPoints,
                             PointChannels asked)
    : source(scanSource), scan(scanIndex), maxColumns(columns), stop(stopFlag),
      maxQueued(maxQueuedPoints), channels(asked), thread([this] { read(); })
{
}

ChunkPrefetch::~ChunkPrefetch()
{
    finish();
}

void ChunkPrefetch::read()
{
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock);
            // Room for one more chunk: the queue empty, or under its size.
            changed.wait(guard,
                         [this] { return quit || queue.empty() || queuedPoints < maxQueued; });
            if (quit || stop)
                break;
        }
        Chunk chunk;
        chunk.more = source.readPoints(scan, chunk.points, maxColumns, channels);
        const bool last = !chunk.more || chunk.points.points.cols < 2;
        {
            const std::lock_guard<std::mutex> guard(lock);
            queuedPoints += chunk.points.points.cols;
            queue.push_back(std::move(chunk));
        }
        changed.notify_all();
        if (last)
            break;
    }
    {
        const std::lock_guard<std::mutex> guard(lock);
        ended = true;
    }
    changed.notify_all();
}

bool ChunkPrefetch::next(ScanChunk& chunk, bool& more)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [this] { return !queue.empty() || ended; });
    if (queue.empty())
        return false;
    chunk = std::move(queue.front().points);
    more = queue.front().more;
    queue.pop_front();
    queuedPoints -= chunk.points.cols;
    guard.unlock();
    changed.notify_all();
    return true;
}

void ChunkPrefetch::finish()
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        quit = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

} // namespace orthaven
