#pragma once
// A raw tile store that keeps every tile in memory, to show that the engine's output does
// not depend on which store holds its raw tiles.

#include "engine/RawTileStore.h"

#include <map>

namespace orthaven::test {

class MemoryRawTileStore : public RawTileStore
{
public:
    explicit MemoryRawTileStore(int tilePixels) : n(tilePixels) {}

    cv::Mat getTile(int U, int V) override
    {
        const auto it = tiles.find({U, V});
        return it != tiles.end() ? it->second.clone() : cv::Mat(n, n, CV_32FC1, cv::Scalar(0));
    }
    bool releaseTile(int U, int V, const cv::Mat& tile) override
    {
        tiles[{U, V}] = tile.clone();
        return true;
    }
    cv::Mat loadTile(int U, int V) override
    {
        const auto it = tiles.find({U, V});
        return it != tiles.end() ? it->second.clone() : cv::Mat();
    }
    std::vector<Index> storedTiles() const override
    {
        std::vector<Index> result;
        for (const auto& entry : tiles)
            result.push_back(entry.first);
        return result;
    }

private:
    int n;
    std::map<Index, cv::Mat> tiles;
};

} // namespace orthaven::test
