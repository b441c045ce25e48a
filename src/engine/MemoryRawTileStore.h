#pragma once
// The raw tile store of a layout run: strips stay in memory between the rasteriser's
// visits, and only when the memory budget would be exceeded are the least recently given
// back ones written to raw tile files (the file store is the spill format) and read again
// at their next visit. A strip in memory is handed out and taken back without a copy.
//
// The budget counts each strip once, from the moment its memory is taken (a new strip
// handed out, a spilled one read back) until it is spilled or dropped; a strip that comes
// back from the rasteriser is not counted again. Choosing the strip to spill takes
// constant time (a list in the order strips were given back), and spill files are written
// and read without holding the store's lock, so other threads never queue behind the disk.
// Safe to call from several threads.

#include "engine/FileRawTileStore.h"
#include "engine/MemoryBudget.h"
#include "engine/RawTileStore.h"

#include <QString>

#include <atomic>
#include <compare>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>

namespace orthaven {

class MemoryRawTileStore : public RawTileStore
{
public:
    // spillFolder: ends with "/"; tilePixels: the edge n of every raw tile; prefix: the
    // start of its spill files' names (stores sharing a folder need their own); stripRows
    // and cellBytes as RawTileStore takes them.
    MemoryRawTileStore(QString spillFolder, int tilePixels, MemoryBudget& budget,
                       QString prefix = QStringLiteral("orvnTile_"), int stripRows = 0,
                       int cellBytes = 8);
    ~MemoryRawTileStore() override;

    // No image for a strip that is handed out already, or whose spill file cannot be read.
    cv::Mat getStrip(int U, int V, int strip) override;
    // False when the strip is not of this store's size, or when a strip had to be spilled
    // and its file could not be written.
    bool releaseStrip(int U, int V, int strip, const cv::Mat& pixels) override;
    // A strip in memory is handed out as it is (not copied): do not change it.
    cv::Mat loadStrip(int U, int V, int strip) override;
    std::vector<Index> storedTiles() const override;
    void dropTile(int U, int V) override;

    // Strips written to files so far (a strip written twice counts twice).
    std::int64_t spills() const { return spillCount.load(); }

private:
    struct Key
    {
        int U, V, strip;
        auto operator<=>(const Key&) const = default;
    };
    enum class Place
    {
        Memory,    // pixels held here, counted, in the spill order
        HandedOut, // with the caller, counted
        Spilling,  // pixels held here and being written to the file, counted
        File,      // the file holds the latest values, not counted
    };
    struct Entry
    {
        cv::Mat pixels;
        Place place = Place::HandedOut;
        bool stored = false;           // given back at least once
        std::list<Key>::iterator turn; // its place in spillOrder while in Memory
    };
    using Entries = std::map<Key, Entry>;

    std::int64_t stripBytes(int strip) const;
    // The entry of key once no spill of it is under way; end() when there is none.
    Entries::iterator settled(std::unique_lock<std::mutex>& guard, const Key& key);
    bool tileIsStored(int U, int V) const;
    bool spillUntilWithinBudget(std::unique_lock<std::mutex>& guard);

    FileRawTileStore files;
    MemoryBudget& budget;
    mutable std::mutex lock;
    std::condition_variable spillDone;
    Entries entries;
    std::list<Key> spillOrder; // strips in memory, the least recently given back first
    std::atomic<std::int64_t> spillCount{0};
};

} // namespace orthaven
