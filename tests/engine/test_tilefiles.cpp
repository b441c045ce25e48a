#include "engine/FileRawTileStore.h"
#include "engine/ImageWriter.h"
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

#include <bit>

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

QByteArray floatBytes(float v)
{
    return int32Bytes(std::bit_cast<std::int32_t>(v));
}

bool sameImage(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() &&
           std::equal(a.begin<float>(), a.end<float>(), b.begin<float>());
}

cv::Mat sampleTile(int w, int h)
{
    cv::Mat tile(h, w, CV_32FC1, cv::Scalar(0));
    // Sparse content: full runs, runs with one value and empty runs side by side.
    for (int r = 0; r < h; r += 3)
        for (int c = (r % 7); c < w; c += 11)
            tile.at<float>(r, c) = 0.25f * float(r + 1) + 1.0e-3f * float(c);
    return tile;
}

} // namespace

TEST(RawTileFile, AllZeroTileIsHeaderAndOneMarkerPerTenPixels)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("zero.tmp");
    ASSERT_TRUE(storeRawTile(path, cv::Mat(1000, 1000, CV_32FC1, cv::Scalar(0)), 0.0f));
    const QByteArray bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 8 + 400000);
    EXPECT_EQ(bytes.left(8), int32Bytes(1000) + int32Bytes(1000));
    EXPECT_EQ(bytes.mid(8), int32Bytes(10).repeated(100000));
}

TEST(RawTileFile, RunHoldingOneValueIsStoredInFull)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("one.tmp");
    cv::Mat tile(2, 10, CV_32FC1, cv::Scalar(0)); // 20 pixels: two runs
    tile.at<float>(1, 3) = 2.5f;
    ASSERT_TRUE(storeRawTile(path, tile, 0.0f));

    QByteArray expected = int32Bytes(10) + int32Bytes(2) + int32Bytes(10) + int32Bytes(-10);
    for (int k = 0; k < 10; ++k)
        expected += floatBytes(k == 3 ? 2.5f : 0.0f);
    EXPECT_EQ(readFile(path), expected);
}

TEST(RawTileFile, RoundTripKeepsEveryValueAndEveryByte)
{
    QTemporaryDir dir;
    const cv::Mat tile = sampleTile(100, 100);
    ASSERT_TRUE(storeRawTile(dir.filePath("a.tmp"), tile, 0.0f));
    const cv::Mat read = loadRawTile(dir.filePath("a.tmp"));
    ASSERT_TRUE(sameImage(read, tile));
    ASSERT_TRUE(storeRawTile(dir.filePath("b.tmp"), read, 0.0f));
    EXPECT_EQ(readFile(dir.filePath("a.tmp")), readFile(dir.filePath("b.tmp")));
}

TEST(RawTileFile, PixelCountNotMultipleOfTenKeepsTheLastValues)
{
    // 333 × 333 = 110889 pixels: 11088 runs of ten and a last block of nine values.
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.tmp");
    cv::Mat tile(333, 333, CV_32FC1, cv::Scalar(1.5));
    tile.at<float>(332, 332) = 2.5f;
    ASSERT_TRUE(storeRawTile(path, tile, 0.0f));
    EXPECT_EQ(QFileInfo(path).size(), 8 + 44 * 11088 + 4 + 4 * 9);
    const cv::Mat read = loadRawTile(path);
    ASSERT_EQ(read.size(), cv::Size(333, 333));
    EXPECT_EQ(cv::norm(read, tile, cv::NORM_INF), 0.0);

    // An empty last block is its marker alone.
    ASSERT_TRUE(storeRawTile(path, cv::Mat(333, 333, CV_32FC1, cv::Scalar(0)), 0.0f));
    EXPECT_EQ(QFileInfo(path).size(), 8 + 4 * 11089);
    EXPECT_EQ(cv::countNonZero(loadRawTile(path)), 0);
    writeFile(path, readFile(path).chopped(4));
    CaptureDiagnostics quiet;
    EXPECT_TRUE(loadRawTile(path).empty()) << "a file without its last block is cut off";
}

TEST(RawTileFile, BrokenFilesGiveNoImage)
{
    QTemporaryDir dir;
    const QByteArray tenByTen = int32Bytes(10) + int32Bytes(10);
    const QByteArray fullRun = int32Bytes(-10) + floatBytes(1.0f).repeated(10);
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
        {"zero width", int32Bytes(0) + int32Bytes(10)},
        {"negative height", int32Bytes(10) + int32Bytes(-10)},
        {"absurd size, tiny file", int32Bytes(1 << 30) + int32Bytes(1 << 30) + int32Bytes(10)},
        {"byte count beyond 64 bits",
         int32Bytes(0x7fffffff) + int32Bytes(0x7fffffff) + int32Bytes(10)},
        {"large size, file too short",
         int32Bytes(20000) + int32Bytes(20000) + int32Bytes(10).repeated(1000)},
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
    EXPECT_FALSE(storeRawTile(notAFolder + "/t.tmp", sampleTile(10, 10), 0.0f));
    EXPECT_FALSE(storeRawTile(dir.filePath("grey.tmp"), cv::Mat(10, 10, CV_8UC1), 0.0f));
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
    EXPECT_EQ(fresh.type(), CV_32FC1);
    EXPECT_EQ(cv::countNonZero(fresh), 0);
    EXPECT_TRUE(store.loadTile(4, -1).empty()) << "never stored";

    const cv::Mat tile = sampleTile(20, 20);
    ASSERT_TRUE(store.releaseStrip(4, -1, 0, tile));
    EXPECT_TRUE(sameImage(store.getStrip(4, -1, 0), tile));
    EXPECT_TRUE(sameImage(store.loadTile(4, -1), tile));

    // A file of another size is no tile of this run.
    FileRawTileStore smaller(dir.path() + "/", 10);
    ASSERT_TRUE(smaller.releaseStrip(7, 7, 0, sampleTile(20, 20)));
    EXPECT_EQ(cv::countNonZero(smaller.getStrip(7, 7, 0)), 0);

    // A broken file starts the tile from zero.
    CaptureDiagnostics quiet;
    ASSERT_TRUE(store.releaseStrip(5, 5, 0, tile));
    writeFile(store.stripPath(5, 5, 0), int32Bytes(20) + int32Bytes(20));
    EXPECT_EQ(cv::countNonZero(store.getStrip(5, 5, 0)), 0);

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
    const cv::Mat raw = allocateImage(32, 5, 4);
    EXPECT_EQ(raw.type(), CV_32FC1);
    EXPECT_EQ(cv::countNonZero(raw), 0);

    CaptureDiagnostics capture;
    EXPECT_TRUE(allocateImage(32, 1 << 20, 1 << 20).empty());
    EXPECT_EQ(capture.lines(), QStringList{"Can not allocate 4398046511104 Bytes"});
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
