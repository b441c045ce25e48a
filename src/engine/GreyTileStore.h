#pragma once
// The grey tiles of a layout run (a raw tile normalised to 8 bits), from normalisation
// until the output tiles and the thumbnail are made of them: in memory within the run's
// budget, beyond it in files of the session folder ("orvnTile_<U>_<V>.grey": int32 width,
// int32 height, then the bytes row by row). A colour layer's tiles have three bytes a
// pixel (red, green, blue). Safe to call from several threads.

#include "engine/MemoryBudget.h"

#include <QString>

#include <opencv2/core.hpp>

#include <map>
#include <mutex>
#include <utility>

namespace orthaven {

class GreyTileStore
{
public:
    GreyTileStore(QString spillFolder, MemoryBudget& budget);
    ~GreyTileStore();

    // Keeps the tile (CV_8UC1, or CV_8UC3 in red, green, blue). False when it had to go to a file
    // that could not be written.
    bool put(int U, int V, const cv::Mat& tile);
    // The tile, not to be changed; empty when there is none.
    cv::Mat get(int U, int V) const;
    bool contains(int U, int V) const;

private:
    QString path(int U, int V) const;

    QString folder;
    MemoryBudget& budget;
    mutable std::mutex lock;
    std::map<std::pair<int, int>, cv::Mat> tiles; // empty Mat: in its file
};

} // namespace orthaven
