#include "engine/FileRawTileStore.h"

#include "engine/RawTileFile.h"

#include <QFile>

#include <utility>

namespace orthaven {

FileRawTileStore::FileRawTileStore(QString tileFolder, int tilePixels, QString tilePrefix)
    : folder(std::move(tileFolder)), n(tilePixels), prefix(std::move(tilePrefix))
{
}

QString FileRawTileStore::tilePath(int U, int V) const
{
    return folder + tileFileName(prefix, U, V, QStringLiteral(".tmp"));
}

cv::Mat FileRawTileStore::getTile(int U, int V)
{
    if (stored.count({U, V})) {
        cv::Mat kept = loadRawTile(tilePath(U, V));
        if (!kept.empty() && kept.cols == n && kept.rows == n)
            return kept;
    }
    return allocateImage(32, n, n);
}

bool FileRawTileStore::releaseTile(int U, int V, const cv::Mat& tile)
{
    if (!storeRawTile(tilePath(U, V), tile, 0.0f))
        return false;
    stored.insert({U, V});
    return true;
}

cv::Mat FileRawTileStore::loadTile(int U, int V)
{
    if (!stored.count({U, V}))
        return {};
    return loadRawTile(tilePath(U, V));
}

std::vector<RawTileStore::Index> FileRawTileStore::storedTiles() const
{
    return {stored.begin(), stored.end()};
}

void FileRawTileStore::dropTile(int U, int V)
{
    if (stored.erase({U, V}))
        QFile::remove(tilePath(U, V));
}

} // namespace orthaven
