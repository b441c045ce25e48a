#include "engine/MemoryRawTileStore.h"

#include "engine/RawSums.h"
#include "engine/RawTileFile.h"

#include <iterator>
#include <utility>

namespace orthaven {

MemoryRawTileStore::MemoryRawTileStore(QString spillFolder, int tilePixels, MemoryBudget& memory,
                                       QString prefix, int stripRows, int cellBytes)
    : RawTileStore(tilePixels, stripRows, cellBytes),
      files(std::move(spillFolder), tilePixels, std::move(prefix), stripRows, cellBytes),
      budget(memory)
{
}

MemoryRawTileStore::~MemoryRawTileStore()
{
    for (const auto& [key, entry] : entries)
        if (entry.place != Place::File)
            budget.release(stripBytes(key.strip));
}

std::int64_t MemoryRawTileStore::stripBytes(int strip) const
{
    return std::int64_t(tilePixels()) * stripHeight(strip) * cellBytes();
}

MemoryRawTileStore::Entries::iterator
MemoryRawTileStore::settled(std::unique_lock<std::mutex>& guard, const Key& key)
{
    for (;;) {
        const auto it = entries.find(key);
        if (it == entries.end() || it->second.place != Place::Spilling)
            return it;
        spillDone.wait(guard);
    }
}

bool MemoryRawTileStore::tileIsStored(int U, int V) const
{
    for (auto it = entries.lower_bound({U, V, 0});
         it != entries.end() && it->first.U == U && it->first.V == V; ++it)
        if (it->second.stored)
            return true;
    return false;
}

cv::Mat MemoryRawTileStore::getStrip(int U, int V, int strip)
{
    const Key key{U, V, strip};
    std::unique_lock<std::mutex> guard(lock);
    auto it = settled(guard, key);
    if (it == entries.end()) {
        cv::Mat fresh = emptyStrip(strip);
        if (!fresh.empty()) {
            budget.reserve(stripBytes(strip));
            entries[key].place = Place::HandedOut;
        }
        return fresh;
    }
    Entry& entry = it->second;
    switch (entry.place) {
    case Place::Memory: {
        // Handed out as it is; its memory stays counted until it is spilled or dropped.
        spillOrder.erase(entry.turn);
        entry.place = Place::HandedOut;
        cv::Mat pixels = std::move(entry.pixels);
        entry.pixels = cv::Mat();
        return pixels;
    }
    case Place::File: {
        entry.place = Place::HandedOut;
        budget.reserve(stripBytes(strip));
        guard.unlock();
        // A spill file that cannot be read back fails the visit: starting the strip again
        // from zero would lose its points without a word.
        cv::Mat pixels = files.loadStrip(U, V, strip);
        if (pixels.empty()) {
            guard.lock();
            const auto again = entries.find(key);
            if (again != entries.end() && again->second.place == Place::HandedOut) {
                again->second.place = Place::File;
                budget.release(stripBytes(strip));
            }
        }
        return pixels;
    }
    case Place::HandedOut:
    case Place::Spilling:
        break;
    }
    return {}; // handed out already: a second caller must not get other values
}

bool MemoryRawTileStore::releaseStrip(int U, int V, int strip, const cv::Mat& pixels)
{
    if (pixels.empty() || pixels.type() != rawCellType(cellBytes()) ||
        pixels.cols != tilePixels() || pixels.rows != stripHeight(strip))
        return false;
    const Key key{U, V, strip};
    std::unique_lock<std::mutex> guard(lock);
    auto it = settled(guard, key);
    if (it == entries.end()) {
        it = entries.emplace(key, Entry{}).first;
        budget.reserve(stripBytes(strip));
    } else if (it->second.place == Place::File) {
        budget.reserve(stripBytes(strip));
    } else if (it->second.place == Place::Memory) {
        spillOrder.erase(it->second.turn);
    }
    Entry& entry = it->second;
    entry.pixels = pixels;
    entry.place = Place::Memory;
    entry.stored = true;
    // The strip given back last is spilled last: the next block most likely visits it again.
    entry.turn = spillOrder.insert(spillOrder.end(), key);
    return spillUntilWithinBudget(guard);
}

bool MemoryRawTileStore::spillUntilWithinBudget(std::unique_lock<std::mutex>& guard)
{
    while (budget.exceeded() && !spillOrder.empty()) {
        const Key victim = spillOrder.front();
        spillOrder.pop_front();
        Entry& entry = entries.at(victim);
        entry.place = Place::Spilling;
        const cv::Mat pixels = entry.pixels;
        guard.unlock();
        const bool written = files.releaseStrip(victim.U, victim.V, victim.strip, pixels);
        guard.lock();
        // Still there: nobody touches a strip while it is being spilled.
        Entry& after = entries.at(victim);
        if (!written) {
            after.place = Place::Memory;
            after.turn = spillOrder.insert(spillOrder.begin(), victim);
            spillDone.notify_all();
            return false;
        }
        after.pixels = cv::Mat();
        after.place = Place::File;
        ++spillCount;
        budget.release(stripBytes(victim.strip));
        spillDone.notify_all();
    }
    return true; // within the budget, or nothing left to spill: the strips in use exceed it
}

cv::Mat MemoryRawTileStore::loadStrip(int U, int V, int strip)
{
    std::unique_lock<std::mutex> guard(lock);
    const auto it = entries.find({U, V, strip});
    if (it == entries.end() || !it->second.stored) {
        const bool zeros = tileIsStored(U, V);
        guard.unlock();
        return zeros ? emptyStrip(strip) : cv::Mat();
    }
    switch (it->second.place) {
    case Place::Memory:
    case Place::Spilling:
        return it->second.pixels;
    case Place::File:
        guard.unlock();
        return files.loadStrip(U, V, strip);
    case Place::HandedOut:
        break;
    }
    return {}; // its values are with the rasteriser
}

std::vector<RawTileStore::Index> MemoryRawTileStore::storedTiles() const
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<Index> stored;
    for (const auto& [key, entry] : entries)
        if (entry.stored && (stored.empty() || stored.back() != Index{key.U, key.V}))
            stored.emplace_back(key.U, key.V);
    return stored;
}

void MemoryRawTileStore::dropTile(int U, int V)
{
    {
        std::unique_lock<std::mutex> guard(lock);
        for (int strip = 0; strip < stripCount(); ++strip) {
            const auto it = settled(guard, {U, V, strip});
            if (it == entries.end())
                continue;
            if (it->second.place == Place::Memory)
                spillOrder.erase(it->second.turn);
            if (it->second.place != Place::File)
                budget.release(stripBytes(strip));
            entries.erase(it);
        }
    }
    // Spill files go without the lock (also those of strips read back since).
    files.dropTile(U, V);
}

} // namespace orthaven
