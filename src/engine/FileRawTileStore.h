#pragma once
// The raw tile store that keeps every tile in its own file of a folder (the run's session
// folder: "orvnTile_<U>_<V>.tmp"), so only the tile being worked on is in memory. It is
// also the form in which the memory store spills tiles. Safe to call from several threads
// for different tiles.

#include "engine/RawTileStore.h"

#include <QString>

#include <mutex>
#include <set>

namespace orthaven {

class FileRawTileStore : public RawTileStore
{
public:
    // folder: ends with "/"; tilePixels: the edge n of every raw tile.
    FileRawTileStore(QString folder, int tilePixels, QString prefix = QStringLiteral("orvnTile_"));

    cv::Mat getTile(int U, int V) override;
    bool releaseTile(int U, int V, const cv::Mat& tile) override;
    cv::Mat loadTile(int U, int V) override;
    std::vector<Index> storedTiles() const override;
    void dropTile(int U, int V) override;

    // The file of tile (U, V).
    QString tilePath(int U, int V) const;

private:
    bool isStored(int U, int V) const;

    QString folder;
    int n;
    QString prefix;
    mutable std::mutex lock; // guards stored
    std::set<Index> stored;
};

} // namespace orthaven
