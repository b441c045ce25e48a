#include "engine/FileRawTileStore.h"

#include "engine/ImageCache.h"

#include <utility>

namespace orthaven {

FileRawTileStore::FileRawTileStore(ImageCache& imageCache, int tilePixels, QString tilePrefix)
    : cache(imageCache), n(tilePixels), prefix(std::move(tilePrefix))
{
}

cv::Mat FileRawTileStore::getTile(int U, int V)
{
    return cache.getImage(U, V, n, n, prefix);
}

bool FileRawTileStore::releaseTile(int U, int V, const cv::Mat& tile)
{
    if (!cache.releaseImage(prefix, U, V, tile))
        return false;
    stored.insert({U, V});
    return true;
}

cv::Mat FileRawTileStore::loadTile(int U, int V)
{
    if (!stored.count({U, V}))
        return {};
    return ImageCache::loadRawTile(cache.rawTilePath(prefix, U, V));
}

std::vector<RawTileStore::Index> FileRawTileStore::storedTiles() const
{
    return {stored.begin(), stored.end()};
}

} // namespace orthaven
