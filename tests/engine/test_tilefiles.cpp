#include "engine/FileRawTileStore.h"
#include "engine/ImageWriter.h"
#include "engine/RawSums.h"
#include "engine/RawTileFile.h"
#include "engine/SessionFolder.h"
#include "platform/AppPaths.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"
#include "support/TiffTags.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

using namespace orthaven;
using orthaven::test::CaptureDiagnostics;
using orthaven::test::readFile;
using orthaven::test::TempAppData;
using orthaven::test::tiffCompression;
using orthaven::test::writeFile;

namespace {

QByteArray int32Bytes(std::int32_t v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<qint32>(v, b.data());
    return b;
}

QByteArray int64Bytes(std::int64_t v)
{
    QByteArray b(8, '\0');
    qToLittleEndian<qint64>(v, b.data());
    return b;
}

bool sameImage(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && a.isContinuous() && b.isContinuous() &&
           std::memcmp(a.data, b.data, a.total() * a.elemSize()) == 0;
}

int pixelsSet(const cv::Mat& t)
{
    const cv::Mat halves = t.reshape(1, 1);
    int count = 0;
    for (int k = 0; k < halves.cols; k += t.channels())
        count += cv::countNonZero(halves.colRange(k, k + t.channels())) > 0 ? 1 : 0;
    return count;
}

// cellBytes 8: sums of one 64-bit integer; 16: of two, the high one negative.
cv::Mat sampleTile(int w, int h, int cellBytes = 8)
{
    cv::Mat tile = allocateImage(8 * cellBytes, w, h);
    // Sparse content: full runs, runs with one value and empty runs side by side.
    for (int r = 0; r < h; r += 3)
        for (int c = (r % 7); c < w; c += 11) {
            if (cellBytes == 16)
                wideSums(tile, r)[c] = -(WideSum(r + 1) << 70) - c;
            else
                rawSums(tile, r)[c] = (RawSum(r + 1) << 40) + c;
        }
    return tile;
}

} // namespace

TEST(RawTileFile, AllZeroTileIsHeaderAndOneMarkerPerTenPixels)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("zero.tmp");
    ASSERT_TRUE(storeRawTile(path, allocateImage(64, 1000, 1000)));
    const QByteArray bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 12 + 400000);
    EXPECT_EQ(bytes.left(12), int32Bytes(1000) + int32Bytes(1000) + int32Bytes(8));
    EXPECT_EQ(bytes.mid(12), int32Bytes(10).repeated(100000));
}

TEST(RawTileFile, RunHoldingOneValueIsStoredInFull)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("one.tmp");
    cv::Mat tile = allocateImage(64, 10, 2); // 20 pixels: two runs
    rawSums(tile, 1)[3] = -5;
    ASSERT_TRUE(storeRawTile(path, tile));
    QByteArray expected =
        int32Bytes(10) + int32Bytes(2) + int32Bytes(8) + int32Bytes(10) + int32Bytes(-10);
    for (int k = 0; k < 10; ++k)
        expected += int64Bytes(k == 3 ? -5 : 0);
    EXPECT_EQ(readFile(path), expected);

    // A 128-bit sum: its low eight bytes, then its high eight.
    cv::Mat wide = allocateImage(128, 1, 1);
    wideSums(wide, 0)[0] = (WideSum(3) << 64) + 7;
    ASSERT_TRUE(storeRawTile(path, wide));
    EXPECT_EQ(readFile(path), int32Bytes(1) + int32Bytes(1) + int32Bytes(16) + int32Bytes(-10) +
                                  int64Bytes(7) + int64Bytes(3));
}

TEST(RawTileFile, RoundTripKeepsEveryValueAndEveryByte)
{
    QTemporaryDir dir;
    for (const int cell : {8, 16}) {
        const cv::Mat tile = sampleTile(100, 100, cell);
        ASSERT_TRUE(storeRawTile(dir.filePath("a.tmp"), tile));
        const cv::Mat read = loadRawTile(dir.filePath("a.tmp"));
        ASSERT_TRUE(sameImage(read, tile));
        ASSERT_TRUE(storeRawTile(dir.filePath("b.tmp"), read));
        EXPECT_EQ(readFile(dir.filePath("a.tmp")), readFile(dir.filePath("b.tmp")));
    }
}

TEST(RawTileFile, PixelCountNotMultipleOfTenKeepsTheLastValues)
{
    // 333 × 333 = 110889 pixels: 11088 runs of ten and a last block of nine values.
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.tmp");
    cv::Mat tile = allocateImage(64, 333, 333);
    tile.setTo(cv::Scalar::all(3));
    rawSums(tile, 332)[332] = 5;
    ASSERT_TRUE(storeRawTile(path, tile));
    EXPECT_EQ(QFileInfo(path).size(), 12 + 84 * 11088 + 4 + 8 * 9);
    const cv::Mat read = loadRawTile(path);
    ASSERT_EQ(read.size(), cv::Size(333, 333));
    EXPECT_TRUE(sameImage(read, tile));

    // An empty last block is its marker alone.
    ASSERT_TRUE(storeRawTile(path, allocateImage(64, 333, 333)));
    EXPECT_EQ(QFileInfo(path).size(), 12 + 4 * 11089);
    EXPECT_EQ(pixelsSet(loadRawTile(path)), 0);
    writeFile(path, readFile(path).chopped(4));
    CaptureDiagnostics quiet;
    EXPECT_TRUE(loadRawTile(path).empty()) << "a file without its last block is cut off";
}

TEST(RawTileFile, BrokenFilesGiveNoImage)
{
    QTemporaryDir dir;
    const QByteArray tenByTen = int32Bytes(10) + int32Bytes(10) + int32Bytes(8);
    const QByteArray fullRun = int32Bytes(-10) + int64Bytes(1).repeated(10);
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"header cut", int32Bytes(10)},
        {"header only", tenByTen},
        {"one run short", tenByTen + int32Bytes(10).repeated(9)},
        {"full run cut", tenByTen + int32Bytes(10).repeated(9) + fullRun.left(20)},
        {"trailing bytes", tenByTen + int32Bytes(10).repeated(10) + QByteArray("x")},
        {"bad marker", tenByTen + int32Bytes(7) + int32Bytes(10).repeated(9)},
        {"zero width", int32Bytes(0) + int32Bytes(10) + int32Bytes(8)},
        {"negative height", int32Bytes(10) + int32Bytes(-10) + int32Bytes(8)},
        {"values of four bytes", int32Bytes(10) + int32Bytes(10) + int32Bytes(4)},
        {"absurd size, tiny file",
         int32Bytes(1 << 30) + int32Bytes(1 << 30) + int32Bytes(8) + int32Bytes(10)},
        {"byte count beyond 64 bits",
         int32Bytes(0x7fffffff) + int32Bytes(0x7fffffff) + int32Bytes(16) + int32Bytes(10)},
        {"large size, file too short",
         int32Bytes(20000) + int32Bytes(20000) + int32Bytes(8) + int32Bytes(10).repeated(1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(dir.filePath(QString::fromLatin1(c.name) + ".tmp"), c.bytes);
        CaptureDiagnostics capture;
        EXPECT_TRUE(loadRawTile(path).empty());
        ASSERT_EQ(capture.lines().size(), 1);
        EXPECT_TRUE(capture.lines()[0].startsWith("Corrupt raw tile file "));
    }
    CaptureDiagnostics capture;
    EXPECT_TRUE(loadRawTile(dir.filePath("missing.tmp")).empty());
    EXPECT_TRUE(capture.lines().isEmpty()); // a tile without a file is normal
}

TEST(RawTileFile, UnwritableFileIsReported)
{
    QTemporaryDir dir;
    const QString notAFolder = writeFile(dir.filePath("plain"), "x");
    EXPECT_FALSE(storeRawTile(notAFolder + "/t.tmp", sampleTile(10, 10)));
    EXPECT_FALSE(storeRawTile(dir.filePath("grey.tmp"), cv::Mat(10, 10, CV_8UC1)));
}

TEST(SessionFolder, LivesFromCreateToClean)
{
    TempAppData appData;
    SessionFolder session(tempFolder());
    const QString base = appData.path() + "/Brandmoor/Orthaven/tmp/";
    EXPECT_EQ(session.tempPath(), base);

    ASSERT_TRUE(session.createSession());
    EXPECT_TRUE(QRegularExpression("^[0-9]{9}$").match(session.sessionName()).hasMatch())
        << session.sessionName().toStdString();
    EXPECT_EQ(session.tempPath(), base + session.sessionName() + "/");
    EXPECT_TRUE(QFileInfo(session.tempPath()).isDir());

    const QString sessionPath = session.tempPath();
    FileRawTileStore tiles(sessionPath, 10);
    EXPECT_EQ(tiles.stripPath(-3, 12, 0), sessionPath + "orvnTile_-3_12.tmp");
    ASSERT_TRUE(tiles.releaseStrip(-3, 12, 0, sampleTile(10, 10)));
    writeFile(sessionPath + "orvnTile_-3_12.png", "png");
    writeFile(base + "download.zip", "kept"); // not in the session

    CaptureDiagnostics capture;
    session.cleanFiles();
    EXPECT_EQ(capture.lines(), QStringList({"Clean Files", "TMP Path = " + sessionPath,
                                            "Clean all temporary files ... done"}));
    EXPECT_FALSE(QFileInfo::exists(sessionPath));
    EXPECT_TRUE(QFileInfo::exists(base + "download.zip"));
    EXPECT_FALSE(session.hasSession());
    EXPECT_EQ(session.tempPath(), base);
}

TEST(SessionFolder, SessionsStartedTogetherNeverShareAFolder)
{
    TempAppData appData;
    SessionFolder first(tempFolder());
    SessionFolder second(tempFolder());
    ASSERT_TRUE(first.createSession());
    ASSERT_TRUE(second.createSession());
    EXPECT_NE(first.sessionName(), second.sessionName());
    CaptureDiagnostics quiet;
    first.cleanFiles();
    second.cleanFiles();
}

TEST(SessionFolder, CannotBeCreatedBelowAFile)
{
    TempAppData appData;
    writeFile(appData.path() + "/Brandmoor", "a file where the folder belongs");
    SessionFolder session(tempFolder());
    EXPECT_FALSE(session.createSession());
    EXPECT_FALSE(session.hasSession());
}

TEST(FileRawTileStore, GetStripReadsTheTileFileOrStartsFromZero)
{
    QTemporaryDir dir;
    FileRawTileStore store(dir.path() + "/", 20);

    const cv::Mat fresh = store.getStrip(4, -1, 0);
    ASSERT_EQ(fresh.size(), cv::Size(20, 20));
    EXPECT_EQ(fresh.type(), rawCellType(8));
    EXPECT_EQ(pixelsSet(fresh), 0);
    EXPECT_TRUE(store.loadTile(4, -1).empty()) << "never stored";

    const cv::Mat tile = sampleTile(20, 20);
    ASSERT_TRUE(store.releaseStrip(4, -1, 0, tile));
    EXPECT_TRUE(sameImage(store.getStrip(4, -1, 0), tile));
    EXPECT_TRUE(sameImage(store.loadTile(4, -1), tile));

    // A file of another size is no tile of this run.
    FileRawTileStore smaller(dir.path() + "/", 10);
    ASSERT_TRUE(smaller.releaseStrip(7, 7, 0, sampleTile(20, 20)));
    EXPECT_EQ(pixelsSet(smaller.getStrip(7, 7, 0)), 0);
    // So is one of other cells.
    FileRawTileStore wide(dir.path() + "/", 20, QStringLiteral("orvnTile_"), 0, 16);
    EXPECT_EQ(pixelsSet(wide.getStrip(4, -1, 0)), 0);

    // A broken file starts the tile from zero.
    CaptureDiagnostics quiet;
    ASSERT_TRUE(store.releaseStrip(5, 5, 0, tile));
    writeFile(store.stripPath(5, 5, 0), int32Bytes(20) + int32Bytes(20));
    EXPECT_EQ(pixelsSet(store.getStrip(5, 5, 0)), 0);

    store.dropTile(4, -1);
    EXPECT_FALSE(QFileInfo::exists(store.stripPath(4, -1, 0)));
    EXPECT_EQ(store.storedTiles(), (std::vector<RawTileStore::Index>{{5, 5}}));
}

TEST(ImageAllocation, GivesZeroedImagesOrNoImage)
{
    const cv::Mat grey = allocateImage(8, 7, 3);
    EXPECT_EQ(grey.type(), CV_8UC1);
    EXPECT_EQ(grey.size(), cv::Size(7, 3));
    EXPECT_EQ(cv::countNonZero(grey), 0);
    const cv::Mat raw = allocateImage(128, 5, 4);
    EXPECT_EQ(raw.elemSize(), 16u);
    EXPECT_EQ(pixelsSet(raw), 0);

    CaptureDiagnostics capture;
    EXPECT_TRUE(allocateImage(64, 1 << 20, 1 << 20).empty());
    EXPECT_EQ(capture.lines(), QStringList{"Can not allocate 8796093022208 Bytes"});
}

TEST(ImageWriters, PngJpegAndTiffPluginsArePresent)
{
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    for (const char* format : {"png", "jpg", "jpeg", "tif", "tiff"})
        EXPECT_TRUE(formats.contains(format)) << format;
    const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    for (const char* format : {"png", "jpg", "tif"})
        EXPECT_TRUE(readable.contains(format)) << format;
}

TEST(ImageWriters, OnlyLowerCaseTifUsesTheCompressingTiffWriter)
{
    QTemporaryDir dir;
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(200, 100, 50));
    {
        CaptureDiagnostics capture;
        ASSERT_TRUE(ImageWriter::saveQImage(dir.filePath("a.tif"), image));
        ASSERT_TRUE(ImageWriter::saveQImage(dir.filePath("b.TIF"), image));
        EXPECT_TRUE(capture.lines().isEmpty());
    }
    EXPECT_EQ(tiffCompression(readFile(dir.filePath("a.tif"))), 5); // LZW
    EXPECT_EQ(tiffCompression(readFile(dir.filePath("b.TIF"))), 1); // none: chosen by suffix
    for (const char* name : {"a.tif", "b.TIF"}) {
        const QImage back(dir.filePath(name));
        ASSERT_FALSE(back.isNull()) << name;
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image) << name;
    }
}

TEST(ImageWriters, PngIsExactAndJpegKeepsTheSize)
{
    QTemporaryDir dir;
    QImage image(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            image.setPixel(x, y, qRgb(x * 8, y * 12, 77));
    ASSERT_TRUE(ImageWriter::saveQImage(dir.filePath("t.png"), image));
    EXPECT_EQ(QImage(dir.filePath("t.png")).convertToFormat(QImage::Format_RGB32), image);
    ASSERT_TRUE(ImageWriter::saveQImage(dir.filePath("t.jpg"), image));
    EXPECT_EQ(QImage(dir.filePath("t.jpg")).size(), QSize(30, 20));
    EXPECT_TRUE(readFile(dir.filePath("t.jpg")).startsWith("\xFF\xD8"));
}

TEST(ImageWriters, UnwritablePathsAreFailures)
{
    QTemporaryDir dir;
    const QString notAFolder = writeFile(dir.filePath("plain"), "x");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    CaptureDiagnostics capture;
    EXPECT_FALSE(ImageWriter::saveQImage(notAFolder + "/t.png", image));
    EXPECT_FALSE(ImageWriter::saveQImage(notAFolder + "/t.tif", image));
    EXPECT_FALSE(ImageWriter::saveQImage(dir.filePath("t.unknownformat"), image));
    EXPECT_FALSE(ImageWriter::saveQImage(dir.filePath("null.png"), QImage()));
    EXPECT_EQ(capture.lines(), QStringList{"failed to write TIFF"});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("t.unknownformat")));
}

TEST(ImageWriters, GreyTilesAreWrittenAsGreyInEveryFormat)
{
    QTemporaryDir dir;
    QImage grey(5, 3, QImage::Format_Grayscale8);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            grey.scanLine(r)[c] = uchar(r * 100 + c * 10);
    for (const ImageFormat& format : imageFormats()) {
        SCOPED_TRACE(format.suffix);
        const QString path = dir.filePath(QStringLiteral("g.") + QLatin1String(format.suffix));
        ASSERT_TRUE(ImageWriter::writeImage(path, grey, format));
        QImageReader reader(path);
        EXPECT_EQ(reader.imageFormat(), QImage::Format_Grayscale8);
        const QImage back = reader.read();
        ASSERT_EQ(back.size(), grey.size());
        if (QByteArray(format.writerFormat) != "jpeg") {
            EXPECT_EQ(back.convertToFormat(QImage::Format_Grayscale8), grey) << "lossless";
        }
    }
    EXPECT_EQ(tiffCompression(readFile(dir.filePath("g.tif"))), 5);
}
