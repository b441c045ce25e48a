#include "engine/ImageCache.h"

#include "engine/SessionFolders.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QThread>
#include <QTime>
#include <QtEndian>

#include <bit>
#include <cstring>
#include <iostream>
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

void putFloat(std::vector<char>& out, float value)
{
    char bytes[4];
    qToLittleEndian<quint32>(std::bit_cast<quint32>(value), bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

cv::Mat rejectRawTile(const QString& path, const char* why)
{
    std::cout << "Corrupt raw tile file " << toText(path) << " (" << why << ")" << std::endl;
    return {};
}

} // namespace

QString ImageCache::tempPath() const
{
    if (hasSession())
        return sessionFolder;
    return tempFolder() + QLatin1Char('/');
}

bool ImageCache::createSession()
{
    const QString base = tempFolder() + QLatin1Char('/');
    QDir().mkpath(base);
    QDir baseDir(base);
    // Two runs in the same millisecond, or a folder left behind by a run of another day
    // at the same time, must not share raw tiles: wait for a name that is free.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString name = QTime::currentTime().toString(QStringLiteral("hhmmsszzz"));
        if (baseDir.mkdir(name)) {
            if (writeSessionOwner(base + name)) {
                session = name;
                sessionFolder = base + name + QLatin1Char('/');
                return true;
            }
            // Another copy that starts this moment removes an empty folder without an
            // owner: then take another name. A record that cannot be written at all ends
            // the attempt.
            if (!baseDir.exists(name))
                continue;
            baseDir.rmdir(name);
            break;
        }
        if (!baseDir.exists(name))
            break; // the folder cannot be made at all
        QThread::msleep(1);
    }
    session.clear();
    sessionFolder.clear();
    return false;
}

void ImageCache::cleanFiles()
{
    const QString folder = tempPath();
    std::cout << "Clean Files" << std::endl;
    std::cout << "TMP Path = " << toText(folder) << std::endl;
    QDir dir(folder);
    const QStringList files =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    // The owner record goes last: until the folder is empty it is this run's.
    const QString owner = QLatin1String(sessionOwnerFileName);
    for (const QString& name : files)
        if (name != owner || !hasSession())
            dir.remove(name); // a file that cannot be deleted stays
    if (hasSession())
        dir.remove(owner);
    if (hasSession()) {
        QDir(tempFolder()).rmdir(session); // fails quietly when files were left
        session.clear();
        sessionFolder.clear();
    }
    std::cout << "Clean all temporary files ... done" << std::endl;
}

QString ImageCache::rawTilePath(const QString& prefix, int U, int V) const
{
    return tempPath() + prefix + QString::number(U) + QLatin1Char('_') + QString::number(V) +
           QStringLiteral(".tmp");
}

cv::Mat ImageCache::getImage(int U, int V, int w, int h, const QString& prefix)
{
    const QString path = rawTilePath(prefix, U, V);
    if (QFileInfo::exists(path)) {
        cv::Mat stored = loadRawTile(path);
        if (!stored.empty() && stored.cols == w && stored.rows == h)
            return stored;
    }
    return allocateImage(32, w, h);
}

bool ImageCache::releaseImage(const QString& prefix, int U, int V, const cv::Mat& image)
{
    return storeRawTile(rawTilePath(prefix, U, V), image, 0.0f);
}

cv::Mat ImageCache::loadRawTile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    char header[8];
    if (size < 8 || file.read(header, 8) != 8)
        return rejectRawTile(path, "truncated header");
    const std::int32_t w = qFromLittleEndian<qint32>(header);
    const std::int32_t h = qFromLittleEndian<qint32>(header + 4);
    if (w <= 0 || h <= 0)
        return rejectRawTile(path, "bad size");
    const std::int64_t pixels = std::int64_t(w) * h;
    // Divided, not multiplied: four bytes a pixel of two sides near 2^31 overflow 64 bits.
    if (pixels > maxImageBytes / 4)
        return rejectRawTile(path, "absurd size");
    // Every block takes 4 or 44 bytes: a file whose length cannot hold its header's
    // blocks is rejected before anything is allocated.
    const std::int64_t blocks = pixels / runLength;
    if (size < 8 + 4 * blocks || size > 8 + 44 * blocks)
        return rejectRawTile(path, "length does not match the size in its header");

    cv::Mat image = allocateImage(32, w, h);
    if (image.empty())
        return {};
    float* out = image.ptr<float>(0);
    ChunkReader reader(file);
    char bytes[4 * runLength];
    for (std::int64_t b = 0; b < blocks; ++b, out += runLength) {
        if (!reader.read(bytes, 4))
            return rejectRawTile(path, "truncated");
        const std::int32_t marker = qFromLittleEndian<qint32>(bytes);
        if (marker == emptyRun)
            continue;
        if (marker != fullRun)
            return rejectRawTile(path, "bad block marker");
        if (!reader.read(bytes, sizeof bytes))
            return rejectRawTile(path, "truncated");
        for (int k = 0; k < runLength; ++k)
            out[k] = std::bit_cast<float>(qFromLittleEndian<quint32>(bytes + 4 * k));
    }
    if (!reader.atEnd())
        return rejectRawTile(path, "trailing bytes");
    return image;
}

bool ImageCache::storeRawTile(const QString& path, const cv::Mat& image, float emptyValue)
{
    if (image.empty() || image.type() != CV_32FC1)
        return false;
    const cv::Mat source = image.isContinuous() ? image : image.clone();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    std::vector<char> out;
    constexpr std::size_t flushAt = 1 << 20;
    out.reserve(flushAt + 64);
    bool ok = true;
    const auto flush = [&] {
        if (!out.empty() && file.write(out.data(), qint64(out.size())) != qint64(out.size()))
            ok = false;
        out.clear();
    };

    putInt32(out, source.cols);
    putInt32(out, source.rows);
    const std::int64_t blocks = std::int64_t(source.cols) * source.rows / runLength;
    const float* values = source.ptr<float>(0);
    for (std::int64_t b = 0; b < blocks && ok; ++b, values += runLength) {
        bool allEmpty = true;
        for (int k = 0; k < runLength; ++k)
            allEmpty = allEmpty && values[k] == emptyValue;
        if (allEmpty) {
            putInt32(out, emptyRun);
        } else {
            putInt32(out, fullRun);
            for (int k = 0; k < runLength; ++k)
                putFloat(out, values[k]);
        }
        if (out.size() >= flushAt)
            flush();
    }
    flush();
    ok = ok && file.flush();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

cv::Mat ImageCache::allocateImage(int depth, int w, int h)
{
    const std::int64_t bytes = std::int64_t(depth / 8) * w * h;
    const auto fail = [bytes] {
        std::cout << "Can not allocate " << bytes << " Bytes" << std::endl;
        return cv::Mat();
    };
    if ((depth != 8 && depth != 32) || w <= 0 || h <= 0 || bytes > maxImageBytes)
        return fail();
    try {
        cv::Mat image(h, w, depth == 8 ? CV_8UC1 : CV_32FC1);
        image.setTo(cv::Scalar::all(0));
        return image;
    } catch (const cv::Exception&) {
        return fail();
    } catch (const std::bad_alloc&) {
        return fail();
    }
}

QImage ImageCache::toQImage(const cv::Mat& image)
{
    if (image.empty() || (image.type() != CV_8UC1 && image.type() != CV_8UC3))
        return {};
    const bool grey = image.type() == CV_8UC1;
    QImage result(image.cols, image.rows, grey ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    if (result.isNull())
        return {};
    if (grey) {
        QList<QRgb> palette(256);
        for (int i = 0; i < 256; ++i)
            palette[i] = qRgb(i, i, i);
        result.setColorTable(palette);
    }
    const std::size_t rowBytes = std::size_t(image.cols) * image.elemSize();
    for (int r = 0; r < image.rows; ++r)
        std::memcpy(result.scanLine(r), image.ptr(r), rowBytes);
    return result;
}

bool ImageCache::saveIplImage(const QString& path, const cv::Mat& image)
{
    const QImage converted = toQImage(image);
    if (converted.isNull())
        return false;
    if (path.endsWith(QLatin1String(".tif")))
        std::cout << "USE WRITER" << std::endl;
    return saveQImage(path, converted);
}

bool ImageCache::saveQImage(const QString& path, const QImage& image)
{
    if (image.isNull())
        return false;
    const bool tiff = path.endsWith(QLatin1String(".tif"));
    const QByteArray format =
        tiff ? QByteArray("tiff") : QFileInfo(path).suffix().toLower().toLatin1();
    // Written beside the target and renamed over it: a full disk or a missing folder is a
    // reported failure, never a cut-off file that looks like a tile.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (tiff)
            std::cout << "failed to write TIFF" << std::endl;
        return false;
    }
    QImageWriter writer(&file, format);
    if (tiff)
        writer.setCompression(1); // LZW
    if (!writer.write(image)) {
        file.cancelWriting();
        if (tiff)
            std::cout << "failed to write TIFF" << std::endl;
        return false;
    }
    if (!file.commit()) {
        if (tiff)
            std::cout << "failed to write TIFF" << std::endl;
        return false;
    }
    return true;
}

} // namespace orthaven
