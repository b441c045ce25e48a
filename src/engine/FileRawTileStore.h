#pragma once
// The raw tile store that keeps every strip of a tile in its own file of a folder (the
// run's session folder: "orvnTile_<U>_<V>.tmp" for a tile of one strip,
// "orvnTile_<U>_<V>_s<k>.tmp" for strip k of a larger one), so only the strip being worked
// on is in memory. It is also the form in which the memory store spills strips. Safe to
// call from several threads for different tiles.

#include "engine/RawTileStore.h"

#include <QString>

#include <mutex>
#include <set>
#include <tuple>

namespace orthaven {

class FileRawTileStore : public RawTileStore
{
public:
    // folder: ends with "/"; tilePixels: the edge n of every raw tile; stripRows and
    // cellBytes as RawTileStore takes them.
    FileRawTileStore(QString folder, int tilePixels, QString prefix = QStringLiteral("orvnTile_"),
                     int stripRows = 0, int cellBytes = 8);

    // A strip whose file cannot be read back starts again from zero.
    cv::Mat getStrip(int U, int V, int strip) override;
    bool releaseStrip(int U, int V, int strip, const cv::Mat& pixels) override;
    cv::Mat loadStrip(int U, int V, int strip) override;
    std::vector<Index> storedTiles() const override;
    void dropTile(int U, int V) override;

    // The file of a strip.
    QString stripPath(int U, int V, int strip) const;

private:
    using Key = std::tuple<int, int, int>; // U, V, strip
    bool isStored(const Key& key) const;
    bool tileIsStored(int U, int V) const;
    // The strip in its file, when the file holds a strip of this store's size.
    cv::Mat readStrip(int U, int V, int strip) const;

    QString folder;
    QString prefix;
    mutable std::mutex lock; // guards stored
    std::set<Key> stored;
};

} // namespace orthaven
