#pragma once
// Reads the chunks of one open scan on a thread of its own, ahead of the one who uses them
// (the site preview's pass), and hands them over in the order they were read. The scan
// source is used by that thread alone until finish() has returned.

#include "scan/ScanSource.h"

#include <opencv2/core.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace orthaven {

class ChunkPrefetch
{
public:
    // Starts reading scan (opened already) in chunks of at most maxColumns columns (the
    // caller's hint) with the channels asked for, holding at most about maxQueuedPoints points read
    // ahead (always at least one chunk). Reading ends at the scan's end, when stop is set, or at
    // finish().
    ChunkPrefetch(ScanSource& source, int scan, int maxColumns, const std::atomic<bool>& stop,
                  std::int64_t maxQueuedPoints, PointChannels channels = {});
    ~ChunkPrefetch(); // finish()
    ChunkPrefetch(const ChunkPrefetch&) = delete;
    ChunkPrefetch& operator=(const ChunkPrefetch&) = delete;

    // The next chunk and what readPoints answered with it; false when reading has ended
    // and every chunk was handed out.
    bool next(ScanChunk& chunk, bool& more);
    // Ends the reading after the read under way and waits for the thread.
    void finish();

private:
    struct Chunk
    {
        ScanChunk points;
        bool more = false;
    };
    void read();

    ScanSource& source;
    const int scan;
    const int maxColumns;
    const std::atomic<bool>& stop;
    const std::int64_t maxQueued;
    const PointChannels channels;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Chunk> queue;
    std::int64_t queuedPoints = 0;
    bool ended = false; // the thread reads no more
    bool quit = false;  // finish() was asked for
    std::thread thread;
};

} // namespace orthaven
