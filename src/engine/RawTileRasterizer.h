#pragma once
// Splats the points of one block into the 10 m raw tiles of the view plane: a
// distance-dependent weight per point, shared bilinearly over the four nearest pixels.
// A layer beside the density (intensity, colour) gets the same shares: its first store
// sums the shares of the points that carry the layer's values, each further store the
// shares times one of the values, so value / weight is the pixel's weighted mean.

#include "engine/RawSums.h"
#include "engine/RawTileStore.h"
#include "engine/TileRange.h"

#include <opencv2/core.hpp>

#include <atomic>
#include <cstdint>
#include <limits>
#include <unordered_map>
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

    // stop, when given, is looked at before every tile a block visits, so a block that
    // spreads over many tiles does not hold up a stop request.
    // layerStores: none, or the layer's weight store followed by one store per value.
    RawTileRasterizer(RawTileStore& store, const RasterSettings& settings,
                      const std::atomic<bool>* stop = nullptr,
                      std::vector<RawTileStore*> layerStores = {});

    // B: the block as read (4 × N, scanner frame); view: T · B (4 × N, u v d 1);
    // T: view matrix · pose, whose translation column is the scanner in view coordinates.
    // Widens range by every tile visited and raises maxAccumulated to the largest pixel
    // sum written.
    // layerValues: one CV_32F row per value store, one column per point; a point with a
    // value that is not finite, or every point when it is empty, adds nothing to the layer.
    // fromScanner false: the block's scan has no position (T's translation is no scanner),
    // so no scanner domain cuts its points and every point weighs 1.
    Result rasterizeBlock(const cv::Mat& B, const cv::Mat& view, const cv::Mat& T, TileRange& range,
                          RawSum& maxAccumulated, const cv::Mat& layerValues = cv::Mat(),
                          bool fromScanner = true);

    // The smallest and largest layer value of a point drawn into the layer (of the first
    // value row); low > high while there was none.
    float layerLow() const { return lowest; }
    float layerHigh() const { return highest; }

    // Points whose pixel fell outside their tile (they are not drawn), counted without a
    // line each: the engine reports them once per scan.
    std::int64_t outOfBoundPoints() const { return outOfBound; }

private:
    RawTileStore& store;
    RasterSettings s;
    SumScale scale;
    const std::atomic<bool>* stop;
    std::int64_t outOfBound = 0;
    std::vector<RawTileStore*> layer;
    float lowest = 1.0f;
    float highest = 0.0f;
    std::vector<cv::Mat> layerTiles;
    std::vector<const float*> values;
    // working data, kept between blocks to avoid allocations per block
    std::vector<std::int32_t> tileU, tileV;
    std::vector<int> groupOf, groupStart, members;
    std::vector<std::pair<std::int32_t, std::int32_t>> groupTile;
    std::unordered_map<std::uint64_t, int> groupIndex;
    struct Reach
    {
        int point;
        int top, bottom; // the strips of its upper and lower pixels
    };
    std::vector<Reach> reach;
    std::vector<int> stripStart, stripMembers;
};

} // namespace orthaven
