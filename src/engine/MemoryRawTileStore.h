#pragma once
// The raw tile store of a layout run: tiles stay in memory between the rasteriser's
// visits, and only when the memory budget would be exceeded are the least recently used
// ones written back to raw tile files (the file store is the spill format) and read again
// at their next visit. A tile in memory is handed out and taken back without a copy.
// Safe to call from several threads.

#include "engine/FileRawTileStore.h"
#include "engine/MemoryBudget.h"
#include "engine/RawTileStore.h"

#include <QString>

#include <cstdint>
#include <map>
#include <mutex>

namespace orthaven {

class MemoryRawTileStore : public RawTileStore
{
public:
    // spillFolder: ends with "/"; tilePixels: the edge n of every raw tile; prefix: the
    // start of its spill files' names (stores sharing a folder need their own).
    MemoryRawTileStore(QString spillFolder, int tilePixels, MemoryBudget& budget,
                       QString prefix = QStringLiteral("orvnTile_"));
    ~MemoryRawTileStore() override;

    cv::Mat getTile(int U, int V) override;
    // False only when a tile had to be spilled and its file could not be written.
    bool releaseTile(int U, int V, const cv::Mat& tile) override;
    // A tile in memory is handed out as it is (not copied): do not change it.
    cv::Mat loadTile(int U, int V) override;
    std::vector<Index> storedTiles() const override;
    void dropTile(int U, int V) override;

    // Tiles written to files so far (a tile written twice counts twice).
    std::int64_t spills() const { return spillCount; }

private:
    struct Entry
    {
        cv::Mat tile;          // empty while spilled or handed out
        std::uint64_t use = 0; // when it was last given back
        bool spilled = false;  // its latest values are in its file
    };
    std::int64_t tileBytes() const;
    bool spillUntilWithinBudget(const Index& keep);

    FileRawTileStore files;
    int n;
    MemoryBudget& budget;
    mutable std::mutex lock;
    std::map<Index, Entry> tiles;
    std::uint64_t clock = 0;
    std::int64_t spillCount = 0;
};

} // namespace orthaven
