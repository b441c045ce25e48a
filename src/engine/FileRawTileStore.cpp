#include "engine/FileRawTileStore.h"

#include "engine/RawTileFile.h"

#include <QFile>

#include <utility>

namespace orthaven {

FileRawTileStore::FileRawTileStore(QString tileFolder, int tilePixels, QString tilePrefix,
                                   int stripRows, int cellBytes)
    : RawTileStore(tilePixels, stripRows, cellBytes), folder(std::move(tileFolder)),
      prefix(std::move(tilePrefix))
{
}

QString FileRawTileStore::stripPath(int U, int V, int strip) const
{
    const QString suffix =
        stripCount() == 1 ? QStringLiteral(".tmp") : QStringLiteral("_s%1.tmp").arg(strip);
    return folder + tileFileName(prefix, U, V, suffix);
}

bool FileRawTileStore::isStored(const Key& key) const
{
    const std::lock_guard<std::mutex> guard(lock);
    return stored.count(key) != 0;
}

bool FileRawTileStore::tileIsStored(int U, int V) const
{
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = stored.lower_bound({U, V, 0});
    return it != stored.end() && std::get<0>(*it) == U && std::get<1>(*it) == V;
}

cv::Mat FileRawTileStore::readStrip(int U, int V, int strip) const
{
    cv::Mat kept = loadRawTile(stripPath(U, V, strip));
    if (kept.cols != tilePixels() || kept.rows != stripHeight(strip) ||
        int(kept.elemSize()) != cellBytes())
        return {};
    return kept;
}

cv::Mat FileRawTileStore::getStrip(int U, int V, int strip)
{
    if (isStored({U, V, strip})) {
        cv::Mat kept = readStrip(U, V, strip);
        if (!kept.empty())
            return kept;
    }
    return emptyStrip(strip);
}

bool FileRawTileStore::releaseStrip(int U, int V, int strip, const cv::Mat& pixels)
{
    if (!storeRawTile(stripPath(U, V, strip), pixels))
        return false;
    const std::lock_guard<std::mutex> guard(lock);
    stored.insert({U, V, strip});
    return true;
}

cv::Mat FileRawTileStore::loadStrip(int U, int V, int strip)
{
    if (isStored({U, V, strip}))
        return readStrip(U, V, strip);
    if (tileIsStored(U, V))
        return emptyStrip(strip);
    return {};
}

std::vector<RawTileStore::Index> FileRawTileStore::storedTiles() const
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<Index> tiles;
    for (const Key& key : stored)
        if (tiles.empty() || tiles.back() != Index{std::get<0>(key), std::get<1>(key)})
            tiles.emplace_back(std::get<0>(key), std::get<1>(key));
    return tiles;
}

void FileRawTileStore::dropTile(int U, int V)
{
    std::vector<int> dropped;
    {
        const std::lock_guard<std::mutex> guard(lock);
        auto it = stored.lower_bound({U, V, 0});
        while (it != stored.end() && std::get<0>(*it) == U && std::get<1>(*it) == V) {
            dropped.push_back(std::get<2>(*it));
            it = stored.erase(it);
        }
    }
    for (const int strip : dropped)
        QFile::remove(stripPath(U, V, strip));
}

} // namespace orthaven
