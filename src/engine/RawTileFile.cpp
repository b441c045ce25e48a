#include "engine/RawTileFile.h"

#include "diag/Diagnostics.h"
#include "engine/RawSums.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace orthaven {

namespace {

constexpr std::int32_t emptyRun = 10;
constexpr std::int32_t fullRun = -10;
constexpr int runLength = 10;

std::string toText(const QString& s)
{
    return s.toStdString();
}

// Reads a file through a fixed buffer, so a large tile never needs a second copy in memory.
class ChunkReader
{
public:
    explicit ChunkReader(QFile& f) : file(f), buffer(1 << 20) {}

    bool read(char* target, std::size_t count)
    {
        while (count > 0) {
            if (position == filled && !refill())
                return false;
            const std::size_t n = std::min(count, filled - position);
            std::memcpy(target, buffer.data() + position, n);
            position += n;
            target += n;
            count -= n;
        }
        return true;
    }

    bool atEnd() { return position == filled && !refill(); }

private:
    bool refill()
    {
        const qint64 n = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        position = 0;
        filled = n > 0 ? static_cast<std::size_t>(n) : 0;
        return filled > 0;
    }

    QFile& file;
    std::vector<char> buffer;
    std::size_t position = 0;
    std::size_t filled = 0;
};

void putInt32(std::vector<char>& out, std::int32_t value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

// The cell sizes a raw tile has.
bool isCellSize(std::int32_t bytes)
{
    return bytes == 8 || bytes == 16;
}

cv::Mat rejectRawTile(const QString& path, const char* why)
{
    diag::error("Corrupt raw tile file ", toText(path), " (", why, ")");
    return {};
}

} // namespace

QString tileFileName(const QString& prefix, int U, int V, const QString& suffix)
{
    return prefix + QString::number(U) + QLatin1Char('_') + QString::number(V) + suffix;
}

cv::Mat loadRawTile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    char header[12];
    if (size < 12 || file.read(header, 12) != 12)
        return rejectRawTile(path, "truncated header");
    const std::int32_t w = qFromLittleEndian<qint32>(header);
    const std::int32_t h = qFromLittleEndian<qint32>(header + 4);
    const std::int32_t cell = qFromLittleEndian<qint32>(header + 8);
    if (w <= 0 || h <= 0 || !isCellSize(cell))
        return rejectRawTile(path, "bad size");
    const std::int64_t pixels = std::int64_t(w) * h;
    // Divided, not multiplied: the bytes of two sides near 2^31 overflow 64 bits.
    if (pixels > maxImageBytes / cell)
        return rejectRawTile(path, "absurd size");
    // Every block takes 4 bytes, or 4 and its values: a file whose length cannot hold its
    // header's blocks is rejected before anything is allocated.
    const std::int64_t blocks = (pixels + runLength - 1) / runLength;
    if (size < 12 + 4 * blocks || size > 12 + 4 * blocks + cell * pixels)
        return rejectRawTile(path, "length does not match the size in its header");

    cv::Mat image = allocateImage(8 * cell, w, h);
    if (image.empty())
        return {};
    // Integers of 8 bytes, little-endian: a 16-byte value is its low half, then its high.
    const int words = cell / 8;
    std::uint64_t* out = reinterpret_cast<std::uint64_t*>(image.data);
    ChunkReader reader(file);
    char bytes[16 * runLength];
    for (std::int64_t b = 0; b < blocks; ++b, out += runLength * words) {
        const int length = int(std::min<std::int64_t>(runLength, pixels - b * runLength));
        if (!reader.read(bytes, 4))
            return rejectRawTile(path, "truncated");
        const std::int32_t marker = qFromLittleEndian<qint32>(bytes);
        if (marker == emptyRun)
            continue;
        if (marker != fullRun)
            return rejectRawTile(path, "bad block marker");
        if (!reader.read(bytes, std::size_t(cell * length)))
            return rejectRawTile(path, "truncated");
        for (int k = 0; k < length * words; ++k)
            out[k] = qFromLittleEndian<quint64>(bytes + 8 * k);
    }
    if (!reader.atEnd())
        return rejectRawTile(path, "trailing bytes");
    return image;
}

bool storeRawTile(const QString& path, const cv::Mat& image)
{
    const int cell = int(image.elemSize());
    if (image.empty() || image.type() != rawCellType(cell) || !isCellSize(cell))
        return false;
    const cv::Mat source = image.isContinuous() ? image : image.clone();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    std::vector<char> out;
    constexpr std::size_t flushAt = 1 << 20;
    out.reserve(flushAt + 256);
    bool ok = true;
    const auto flush = [&] {
        if (!out.empty() && file.write(out.data(), qint64(out.size())) != qint64(out.size()))
            ok = false;
        out.clear();
    };

    putInt32(out, source.cols);
    putInt32(out, source.rows);
    putInt32(out, cell);
    const int words = cell / 8;
    const std::int64_t pixels = std::int64_t(source.cols) * source.rows;
    const std::int64_t blocks = (pixels + runLength - 1) / runLength;
    const std::uint64_t* values = reinterpret_cast<const std::uint64_t*>(source.data);
    for (std::int64_t b = 0; b < blocks && ok; ++b, values += runLength * words) {
        const int length = int(std::min<std::int64_t>(runLength, pixels - b * runLength));
        bool allEmpty = true;
        for (int k = 0; k < length * words; ++k)
            allEmpty = allEmpty && values[k] == 0;
        if (allEmpty) {
            putInt32(out, emptyRun);
        } else {
            putInt32(out, fullRun);
            for (int k = 0; k < length * words; ++k) {
                char bytes[8];
                qToLittleEndian<quint64>(values[k], bytes);
                out.insert(out.end(), bytes, bytes + 8);
            }
        }
        if (out.size() >= flushAt)
            flush();
    }
    flush();
    ok = ok && file.flush();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

cv::Mat allocateImage(int depth, int w, int h)
{
    const std::int64_t bytes = std::int64_t(depth / 8) * w * h;
    const auto fail = [bytes] {
        diag::error("Can not allocate ", bytes, " Bytes");
        return cv::Mat();
    };
    if ((depth != 8 && depth != 24 && depth != 64 && depth != 128) || w <= 0 || h <= 0 ||
        bytes > maxImageBytes)
        return fail();
    try {
        cv::Mat image(h, w, depth == 8 ? CV_8UC1 : depth == 24 ? CV_8UC3 : rawCellType(depth / 8));
        image.setTo(cv::Scalar::all(0));
        return image;
    } catch (const cv::Exception&) {
        return fail();
    } catch (const std::bad_alloc&) {
        return fail();
    }
}

} // namespace orthaven
