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

bool FileRawTileStore::isStored(int U, int V) const
{
    const std::lock_guard<std::mutex> guard(lock);
    return stored.count({U, V}) != 0;
}

cv::Mat FileRawTileStore::getTile(int U, int V)
{
    if (isStored(U, V)) {
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
    const std::lock_guard<std::mutex> guard(lock);
    stored.insert({U, V});
    return true;
}

cv::Mat FileRawTileStore::loadTile(int U, int V)
{
    if (!isStored(U, V))
        return {};
    return loadRawTile(tilePath(U, V));
}

std::vector<RawTileStore::Index> FileRawTileStore::storedTiles() const
{
    const std::lock_guard<std::mutex> guard(lock);
    return {stored.begin(), stored.end()};
}

void FileRawTileStore::dropTile(int U, int V)
{
    bool had = false;
    {
        const std::lock_guard<std::mutex> guard(lock);
        had = stored.erase({U, V}) != 0;
    }
    if (had)
        QFile::remove(tilePath(U, V));
}

} // namespace orthaven
