#include "engine/GreyTileStore.h"

#include "engine/RawTileFile.h"

#include <QFile>
#include <QtEndian>

namespace orthaven {

GreyTileStore::GreyTileStore(QString spillFolder, MemoryBudget& memory)
    : folder(std::move(spillFolder)), budget(memory)
{
}

GreyTileStore::~GreyTileStore()
{
    for (const auto& [index, tile] : tiles) {
        if (!tile.empty())
            budget.release(std::int64_t(tile.total()));
        else
            QFile::remove(path(index.first, index.second));
    }
}

QString GreyTileStore::path(int U, int V) const
{
    return folder + tileFileName(QStringLiteral("orvnTile_"), U, V, QStringLiteral(".grey"));
}

bool GreyTileStore::put(int U, int V, const cv::Mat& tile)
{
    if (tile.empty() || (tile.type() != CV_8UC1 && tile.type() != CV_8UC3) || !tile.isContinuous())
        return false;
    const std::int64_t bytes = std::int64_t(tile.total() * tile.elemSize());
    budget.reserve(bytes);
    if (!budget.exceeded()) {
        const std::lock_guard<std::mutex> guard(lock);
        tiles[{U, V}] = tile;
        return true;
    }
    budget.release(bytes);
    QFile file(path(U, V));
    char header[8];
    qToLittleEndian<qint32>(tile.cols, header);
    qToLittleEndian<qint32>(tile.rows, header + 4);
    const bool written =
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(header, 8) == 8 &&
        file.write(reinterpret_cast<const char*>(tile.data), bytes) == bytes && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return false;
    const std::lock_guard<std::mutex> guard(lock);
    tiles[{U, V}] = cv::Mat();
    return true;
}

cv::Mat GreyTileStore::get(int U, int V) const
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        const auto it = tiles.find({U, V});
        if (it == tiles.end())
            return {};
        if (!it->second.empty())
            return it->second;
    }
    QFile file(path(U, V));
    char header[8];
    if (!file.open(QIODevice::ReadOnly) || file.read(header, 8) != 8)
        return {};
    const std::int32_t w = qFromLittleEndian<qint32>(header);
    const std::int32_t h = qFromLittleEndian<qint32>(header + 4);
    if (w <= 0 || h <= 0)
        return {};
    // One byte a pixel for grey, three for colour: the file's size tells which.
    const std::int64_t pixels = std::int64_t(w) * h;
    const std::int64_t bytes = file.size() - 8;
    if (bytes != pixels && bytes != 3 * pixels)
        return {};
    cv::Mat tile = allocateImage(bytes == pixels ? 8 : 24, w, h);
    if (tile.empty() || file.read(reinterpret_cast<char*>(tile.data), bytes) != bytes)
        return {};
    return tile;
}

bool GreyTileStore::contains(int U, int V) const
{
    const std::lock_guard<std::mutex> guard(lock);
    return tiles.count({U, V}) != 0;
}

} // namespace orthaven
