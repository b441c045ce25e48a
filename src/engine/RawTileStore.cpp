#include "engine/RawTileStore.h"

#include "engine/RawTileFile.h"

#include <algorithm>

namespace orthaven {

RawTileStore::RawTileStore(int tilePixels, int stripRows, int cellBytes)
    : n(std::max(tilePixels, 1)), cell(cellBytes == 16 ? 16 : 8),
      rowsPerStrip(
          int(std::clamp<std::int64_t>(stripRows > 0 ? stripRows : maxStripPixels / n, 1, n))),
      strips((n + rowsPerStrip - 1) / rowsPerStrip)
{
}

RawTileStore::~RawTileStore() = default;

int RawTileStore::stripHeight(int strip) const
{
    return std::min(rowsPerStrip, n - strip * rowsPerStrip);
}

void RawTileStore::dropTile(int, int) {}

cv::Mat RawTileStore::emptyStrip(int strip) const
{
    return allocateImage(8 * cell, n, stripHeight(strip));
}

cv::Mat RawTileStore::loadTile(int U, int V)
{
    if (strips == 1)
        return loadStrip(U, V, 0);
    cv::Mat tile = allocateImage(8 * cell, n, n);
    for (int s = 0; s < strips && !tile.empty(); ++s) {
        const cv::Mat strip = loadStrip(U, V, s);
        if (strip.empty())
            return {};
        strip.copyTo(tile.rowRange(s * rowsPerStrip, s * rowsPerStrip + strip.rows));
    }
    return tile;
}

} // namespace orthaven
