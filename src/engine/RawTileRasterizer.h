#pragma once
// Splats the points of one block into the 10 m raw tiles of the view plane: a
// distance-dependent weight per point, shared bilinearly over the four nearest pixels.
// A layer beside the density (intensity, colour) gets the same shares: its first store
// sums the shares of the points that carry the layer's values, each further store the
// shares times each value, so value / weight is the pixel's weighted mean. Every sum is a
// whole number of units (engine/RawSums.h), so the order of the points never matters:
// several rasterisers may draw blocks of the same stores at once, each visiting a strip
// only while it holds the strip's lock (StripLocks).

#include "engine/RawSums.h"
#include "engine/RawTileStore.h"
#include "engine/TileRange.h"

#include <opencv2/core.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

namespace orthaven {

struct RasterSettings
{
    double resolution = 0.01;       // metres per pixel
    double scannerDomain = 0.0;     // points farther from their scanner are dropped
    double clipLow = -2147483648.0; // depth range kept, planes included
    double clipHigh = 2147483647.0;
    // The u range drawn (a facade's segment); points beyond it are left out before their
    // tile is looked at, so they make no tiles.
    double extentLow = -std::numeric_limits<double>::infinity();
    double extentHigh = std::numeric_limits<double>::infinity();
    bool topView = true;   // weight = squared distance; else its square root's root
    int rawTileSize = 10;  // metres
    int tilePixels = 1000; // n = integer part of rawTileSize / resolution

    // The unit of the sums, from the largest weight a point of these settings can have.
    SumScale sumScale() const;
};

// The strips being drawn into: one rasteriser at a time visits a strip (of the density
// and, with it, of the layer).
class StripLocks
{
public:
    bool tryLock(int U, int V, int strip);
    void lock(int U, int V, int strip);
    void unlock(int U, int V, int strip);

private:
    std::mutex guard;
    std::condition_variable released;
    std::set<std::tuple<int, int, int>> held;
};

class RawTileRasterizer
{
public:
    enum class Result
    {
        Done,
        NoImage,  // a tile image could not be had: the block was abandoned
        TileLost, // a tile could not be stored back: its points of this block are lost
        Stopped,  // a stop was requested: the block was abandoned between two tiles
    };

    // Points farther than this from the view origin are not placed (their tile index
    // would not fit the 32-bit tile numbers).
    static constexpr double maxViewCoordinate = 1.0e9;
    // Points a worker takes at once from a chunk.
    static constexpr int pointsPerPass = 1 << 16;
    // Points placed and drawn at once: their working arrays stay in the nearest caches.
    static constexpr int pointsPerPlacement = 4096;

    // stop, when given, is looked at before every tile a block visits, so a block that
    // spreads over many tiles does not hold up a stop request.
    // layerStores: none, or the layer's weight store followed by one store per value.
    // locks: shared by the rasterisers that draw into the same stores at once.
    RawTileRasterizer(RawTileStore& store, const RasterSettings& settings,
                      const std::atomic<bool>* stop = nullptr,
                      std::vector<RawTileStore*> layerStores = {}, StripLocks* locks = nullptr);

    // B: the block as read (4 × N, scanner frame); T: view matrix · pose (4 × 4), which
    // takes B to view coordinates (u v depth 1) and whose translation column is the
    // scanner in view coordinates.
    // Widens range by every tile a point in the domain falls in and raises maxAccumulated
    // to the largest pixel sum written.
    // layerValues: one CV_32F row per value store, one column per point; a point with a
    // value that is not finite, or every point when it is empty, adds nothing to the layer.
    // fromScanner false: the block's scan has no position (T's translation is no scanner),
    // so no scanner domain cuts its points and every point weighs 1.
    Result rasterizeBlock(const cv::Mat& B, const cv::Mat& T, TileRange& range,
                          RawSum& maxAccumulated, const cv::Mat& layerValues = cv::Mat(),
                          bool fromScanner = true);

    // The widest instructions that place the points, where the processor has them: all
    // give the same bits. The default is the widest.
    enum class Instructions
    {
        Widest,   // AVX-512
        Avx2,     // at most AVX2
        Baseline, // those every processor of the family has
    };
    static void useInstructions(Instructions widest);

    // The smallest and largest layer value of a point drawn into the layer (of the first
    // value row); low > high while there was none.
    float layerLow() const { return lowest; }
    float layerHigh() const { return highest; }

    // Points whose pixel fell outside their tile (they are not drawn), counted without a
    // line each: the engine reports them once per scan.
    std::int64_t outOfBoundPoints() const { return outOfBound; }

private:
    // The block as the per-point loops read it.
    struct Block;
    // Places the points [first, last) of the block: their tiles, pixels and share units,
    // grouped by tile.
    void place(const Block& block, int first, int last, TileRange& range);
    // Draws the placed points, tile by tile; a tile another rasteriser holds comes last.
    Result draw(const Block& block, RawSum& maxAccumulated);
    // locked: the caller holds the lock of the tile's one strip.
    Result drawTile(const Block& block, int tile, bool locked, RawSum& maxAccumulated);
    Result visitStrip(const Block& block, int U, int V, int strip, const int* points, int count,
                      bool locked, RawSum& maxAccumulated);
    // Adds the shares of the points into the strip (and the layer's strips) whose first
    // image row is firstRow; pixels outside it are left to the strip that holds them.
    void splat(const Block& block, const int* points, int count, cv::Mat& strip, int firstRow,
               RawSum& maxAccumulated);

    RawTileStore& store;
    RasterSettings s;
    SumScale scale;
    const std::atomic<bool>* stop;
    StripLocks* locks;
    std::int64_t outOfBound = 0;
    std::vector<RawTileStore*> layer;
    float lowest = 1.0f;
    float highest = 0.0f;

    // Working arrays of one pass, kept between blocks to avoid allocations per block. Per
    // point of the pass (index i, the block's point first + i): its tile (U, V), its
    // lower-left pixel (image row R, column c), what became of it (Placement bits) and its
    // share units (lower left, upper left, upper right, lower right); the points drawn, as
    // indices i grouped by tile.
    int passFirst = 0;
    std::vector<std::int32_t> tileU, tileV, rowOf, columnOf, units0, units1, units2, units3;
    std::vector<std::int32_t> placement;
    std::vector<int> drawn, tileOf;
    std::vector<std::pair<std::int32_t, std::int32_t>> tiles;
    std::vector<int> tileStart, tileMembers, stripStart, stripMembers;
    std::vector<cv::Mat> layerStrips;
};

} // namespace orthaven
