#include "FuzzSupport.h"

#include "diag/Diagnostics.h"
#include "scan/ScanSource.h"
#include "scan/e57/Crc32c.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <iostream>
#include <streambuf>

namespace orthaven::fuzz {

namespace {

// Swallows what is written to it.
class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void dropMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg) {
        std::cerr << text.toLocal8Bit().constData() << std::endl;
        std::abort();
    }
}

volatile unsigned char sink = 0;

} // namespace

void quiet()
{
    static NullBuffer nothing;
    std::cout.rdbuf(&nothing);
    diag::setSink([](diag::Severity, std::string_view) {});
    qInstallMessageHandler(dropMessage);
}

QString workFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/orthaven-fuzz-XXXXXX"));
    if (!folder.isValid()) {
        std::cerr << "cannot create a work folder below " << QDir::tempPath().toStdString()
                  << std::endl;
        std::abort();
    }
    return folder.path();
}

void copyFixtures(const QString& name)
{
    const QDir from(QStringLiteral(ORTHAVEN_FUZZ_DIR "/") + name);
    if (!from.exists()) {
        std::cerr << "no fixture folder " << from.path().toStdString() << std::endl;
        std::abort();
    }
    QDirIterator it(from.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = workFolder() + QLatin1Char('/') + from.relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(source, target)) {
            std::cerr << "cannot copy " << source.toStdString() << std::endl;
            std::abort();
        }
    }
}

QString writeInput(const std::uint8_t* data, std::size_t size, const QString& fileName)
{
    const QString path = workFolder() + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::cerr << "cannot write " << path.toStdString() << std::endl;
        std::abort();
    }
    return path;
}

void sealE57Pages(std::vector<std::uint8_t>& bytes)
{
    constexpr std::size_t pageSizeAt = 40;
    constexpr std::size_t checksumSize = 4;
    if (bytes.size() < pageSizeAt + 8)
        return;
    std::uint64_t pageSize = 0;
    for (int k = 7; k >= 0; --k)
        pageSize = pageSize << 8 | bytes[pageSizeAt + std::size_t(k)];
    if (pageSize <= checksumSize || pageSize > bytes.size())
        return;
    for (std::size_t page = 0; page + pageSize <= bytes.size(); page += pageSize) {
        std::uint8_t* start = bytes.data() + page;
        const std::uint32_t crc = e57::crc32c(start, pageSize - checksumSize);
        std::uint8_t* end = start + pageSize - checksumSize;
        for (std::size_t k = 0; k < checksumSize; ++k)
            end[k] = std::uint8_t(crc >> (8 * (checksumSize - 1 - k)));
    }
}

void touch(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    unsigned char sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum = static_cast<unsigned char>(sum + bytes[i]);
    sink = static_cast<unsigned char>(sink + sum);
}

namespace {

// Reads every element of a matrix, row by row (a view need not be continuous).
void touchMatrix(const cv::Mat& m)
{
    for (int r = 0; r < m.rows; ++r)
        touch(m.ptr(r), std::size_t(m.cols) * m.elemSize());
}

} // namespace

void readEveryScan(ScanSource& source)
{
    QStringList names;
    source.scanNames(names);
    const int count = source.scanCount();
    for (int i = 0; i < count; ++i) {
        int rows = 0;
        int columns = 0;
        source.scanDimensions(i, rows, columns);
        if (!source.openScan(i))
            continue;
        cv::Mat pose;
        source.scanPose(i, pose);
        touchMatrix(pose);
        // As the engine reads: coordinates, until a chunk of fewer than two columns or the
        // last one.
        for (bool more = true; more;) {
            cv::Mat chunk;
            more = source.readPoints(i, chunk, 1000);
            touchMatrix(chunk);
            more = more && chunk.cols >= 2;
        }
        // Once more from the start with every channel the file may hold.
        source.rewindPoints();
        for (bool more = true; more;) {
            ScanChunk chunk;
            more = source.readPoints(i, chunk, 1000, PointChannels{true, true});
            touchMatrix(chunk.points);
            touchMatrix(chunk.intensity);
            touchMatrix(chunk.colour);
            more = more && chunk.points.cols >= 2;
        }
        source.rewindPoints();
        source.closeScan(i);
    }
}

} // namespace orthaven::fuzz
