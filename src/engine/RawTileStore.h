#pragma once
// Where the raw tiles of a layout run live between the visits of the rasteriser. The
// engine reaches them only through this interface, so where a tile is kept (in memory, in
// a file) never changes what a layout writes.

#include <opencv2/core.hpp>

#include <utility>
#include <vector>

namespace orthaven {

class RawTileStore
{
public:
    using Index = std::pair<int, int>; // (U, V)

    virtual ~RawTileStore();

    // The tile's values so far (CV_32FC1, n × n), zeros for a tile never stored; no image
    // (empty) when memory runs out. The caller owns the image until it releases it.
    virtual cv::Mat getTile(int U, int V) = 0;
    // Keeps the tile's values for the next visit. False when they could not be kept.
    virtual bool releaseTile(int U, int V, const cv::Mat& tile) = 0;
    // The stored values of a tile, for reading only; empty when it was never stored.
    virtual cv::Mat loadTile(int U, int V) = 0;
    // Every stored tile, ordered by U, then by V.
    virtual std::vector<Index> storedTiles() const = 0;
    // Forgets a tile that is no longer needed (its memory or file is freed).
    virtual void dropTile(int U, int V);
};

} // namespace orthaven
