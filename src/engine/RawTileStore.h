#pragma once
// Where the raw tiles of a layout run live between the visits of the rasteriser. The
// engine reaches them only through this interface, so where a tile is kept (in memory, in
// a file) never changes what a layout writes.
//
// A tile is kept, handed out and given back in strips: bands of whole pixel rows, top row
// first, of at most maxStripPixels pixels each. At the usual resolutions a tile is one
// strip; at 1 mm a 10 m tile of 10,000 × 10,000 sums is 96 strips of 8 MB, so what a
// run holds in memory follows its budget at any resolution. A pixel is a sum of
// engine/RawSums.h: 8 bytes (RawSum), or 16 (WideSum) for an intensity layer's values.

#include <opencv2/core.hpp>

#include <cstdint>
#include <utility>
#include <vector>

namespace orthaven {

class RawTileStore
{
public:
    using Index = std::pair<int, int>; // (U, V)

    static constexpr std::int64_t maxStripPixels = std::int64_t(1) << 20;

    // tilePixels: the edge n of every raw tile; stripRows: the rows of a strip (0: as
    // many as maxStripPixels allows; the engine's tests take fewer); cellBytes: 8 or 16.
    explicit RawTileStore(int tilePixels, int stripRows = 0, int cellBytes = 8);
    virtual ~RawTileStore();

    int tilePixels() const { return n; }
    int cellBytes() const { return cell; }
    // A zeroed strip of this store's pixels; empty when the memory cannot be had.
    cv::Mat emptyStrip(int strip) const;
    // Rows of every strip but the last, which may hold fewer.
    int stripRows() const { return rowsPerStrip; }
    int stripCount() const { return strips; }
    int stripHeight(int strip) const;
    // The strip that holds image row `row` of a tile.
    int stripOf(int row) const { return row / rowsPerStrip; }

    // The strip's values so far (stripHeight × n cells), zeros for a strip never stored;
    // no image (empty) when memory runs out or stored values cannot be had. The caller owns
    // the image until it releases it.
    virtual cv::Mat getStrip(int U, int V, int strip) = 0;
    // Keeps the strip's values for the next visit. False when they could not be kept.
    virtual bool releaseStrip(int U, int V, int strip, const cv::Mat& pixels) = 0;
    // The stored values of a strip, for reading only: zeros for a strip never stored of a
    // stored tile; empty when the tile was never stored or the values cannot be read back.
    virtual cv::Mat loadStrip(int U, int V, int strip) = 0;
    // Every stored tile (one with a stored strip), ordered by U, then by V.
    virtual std::vector<Index> storedTiles() const = 0;
    // Forgets a tile that is no longer needed (its memory or files are freed).
    virtual void dropTile(int U, int V);

    // The whole tile, its strips one below the other; empty as loadStrip is.
    cv::Mat loadTile(int U, int V);

private:
    int n;
    int cell;
    int rowsPerStrip;
    int strips;
};

} // namespace orthaven
