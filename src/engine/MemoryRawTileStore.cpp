#include "engine/MemoryRawTileStore.h"

#include "engine/RawTileFile.h"

#include <utility>

namespace orthaven {

MemoryRawTileStore::MemoryRawTileStore(QString spillFolder, int tilePixels, MemoryBudget& memory,
                                       QString prefix)
    : files(std::move(spillFolder), tilePixels, std::move(prefix)), n(tilePixels), budget(memory)
{
}

MemoryRawTileStore::~MemoryRawTileStore()
{
    for (const auto& [index, entry] : tiles)
        if (!entry.tile.empty())
            budget.release(tileBytes());
}

std::int64_t MemoryRawTileStore::tileBytes() const
{
    return std::int64_t(n) * n * std::int64_t(sizeof(float));
}

cv::Mat MemoryRawTileStore::getTile(int U, int V)
{
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = tiles.find({U, V});
    if (it == tiles.end())
        return allocateImage(32, n, n);
    Entry& entry = it->second;
    if (!entry.tile.empty()) {
        // Handed out as it is; its memory stays reserved until it comes back.
        cv::Mat tile = std::move(entry.tile);
        entry.tile = cv::Mat();
        return tile;
    }
    if (entry.spilled) {
        cv::Mat tile = files.getTile(U, V);
        if (!tile.empty())
            budget.reserve(tileBytes());
        return tile;
    }
    return allocateImage(32, n, n);
}

bool MemoryRawTileStore::releaseTile(int U, int V, const cv::Mat& tile)
{
    if (tile.empty() || tile.type() != CV_32FC1 || tile.rows != n || tile.cols != n)
        return false;
    const std::lock_guard<std::mutex> guard(lock);
    Entry& entry = tiles[{U, V}];
    if (entry.tile.empty())
        budget.reserve(tileBytes());
    entry.tile = tile;
    entry.use = ++clock;
    entry.spilled = false;
    return spillUntilWithinBudget({U, V});
}

bool MemoryRawTileStore::spillUntilWithinBudget(const Index& last)
{
    // The tile given back last goes last: the next block most likely visits it again.
    while (budget.exceeded()) {
        auto victim = tiles.end();
        for (auto it = tiles.begin(); it != tiles.end(); ++it) {
            if (it->second.tile.empty())
                continue;
            if (victim == tiles.end() || (victim->first == last && it->first != last) ||
                (it->first != last && it->second.use < victim->second.use))
                victim = it;
        }
        if (victim == tiles.end())
            return true; // nothing left to spill: the tiles in use exceed the budget alone
        Entry& entry = victim->second;
        if (!files.releaseTile(victim->first.first, victim->first.second, entry.tile))
            return false;
        ++spillCount;
        entry.tile = cv::Mat();
        entry.spilled = true;
        budget.release(tileBytes());
    }
    return true;
}

cv::Mat MemoryRawTileStore::loadTile(int U, int V)
{
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = tiles.find({U, V});
    if (it == tiles.end())
        return {};
    if (!it->second.tile.empty())
        return it->second.tile;
    return it->second.spilled ? files.loadTile(U, V) : cv::Mat();
}

std::vector<RawTileStore::Index> MemoryRawTileStore::storedTiles() const
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<Index> stored;
    stored.reserve(tiles.size());
    for (const auto& [index, entry] : tiles)
        if (!entry.tile.empty() || entry.spilled)
            stored.push_back(index);
    return stored;
}

void MemoryRawTileStore::dropTile(int U, int V)
{
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = tiles.find({U, V});
    if (it == tiles.end())
        return;
    if (!it->second.tile.empty())
        budget.release(tileBytes());
    if (it->second.spilled)
        files.dropTile(U, V);
    tiles.erase(it);
}

} // namespace orthaven
