#pragma once
// The raw tile store that keeps every tile in its own file of the image cache's session
// folder ("orvnTile_<U>_<V>.tmp"), so only the tile being worked on is in memory.

#include "engine/RawTileStore.h"

#include <QString>

#include <set>

namespace orthaven {

class ImageCache;

class FileRawTileStore : public RawTileStore
{
public:
    // tilePixels: the edge n of every raw tile.
    FileRawTileStore(ImageCache& cache, int tilePixels,
                     QString prefix = QStringLiteral("orvnTile_"));

    cv::Mat getTile(int U, int V) override;
    bool releaseTile(int U, int V, const cv::Mat& tile) override;
    cv::Mat loadTile(int U, int V) override;
    std::vector<Index> storedTiles() const override;

private:
    ImageCache& cache;
    int n;
    QString prefix;
    std::set<Index> stored;
};

} // namespace orthaven
