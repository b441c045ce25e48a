// LAS files. The PTX scene as LAS in every point format written reads as the PTX points in
// project coordinates, a scan per station, and lays out as the PTX scene read without
// positions. Broken files, and files of other programs (ORTHAVEN_REAL_DATA_DIR/las), list
// the scans they should (none when not readable as LAS) and say why, read every point
// inside its scan's box and none beyond the file, and allocate nothing a header claims.

#include "creator/ClippingDefaults.h"
#include "engine/LayoutCreator.h"
#include "genscan/GenScanJob.h"
#include "genscan/LasWriter.h"
#include "scan/ScanSourceLAS.h"
#include "scan/ScanSourcePTX.h"
#include "scan/e57/Endian.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

// Stations in one file. The offset puts no wall, floor or ceiling on the 10 m raw tile
// grid, where a point moved by the LAS grid would change tiles.
GenScanJob scene(const QString& folder, const QString& format, int pointFormat = -1,
                 int stations = 3, int rows = 40)
{
    return GenScanJob({.outputFolder = folder,
                       .format = format,
                       .stations = stations,
                       .pointsPerColumn = rows,
                       .columns = 2 * rows + 10,
                       .colour = pointFormat >= 0 && LasWriter::hasColour(pointFormat),
                       .oneFile = true,
                       .pointFormat = pointFormat,
                       .seed = 11,
                       .offset = {500000.3, 5400000.7, 100.4}});
}

// The scans of the scene's PTX files, without the missing returns (which LAS leaves out).
std::vector<FakeScan> ptxScene(const QString& folder)
{
    GenScanJob job = scene(folder, QStringLiteral("ptx"));
    EXPECT_TRUE(job.run()) << job.errorText().toStdString();
    ScanSourcePTX reader;
    reader.fetchFiles(job.files());
    std::vector<FakeScan> scans(std::size_t(reader.scanCount()));
    for (int i = 0; i < reader.scanCount(); ++i) {
        reader.scanPose(i, scans[std::size_t(i)].pose);
        for (const cv::Vec3d& p : readWholeScan(reader, i).points)
            if (p != cv::Vec3d(0, 0, 0))
                scans[std::size_t(i)].points.push_back(p);
    }
    return scans;
}

// The grey tiles of a layout, stacked in the order of their names.
cv::Mat layoutTiles(ScanSource& source, const layoutdef& job)
{
    LayoutCreator creator;
    creator.setScanSource(&source);
    EXPECT_TRUE(creator.setup(job));
    creator.layout();
    EXPECT_FALSE(creator.failed) << creator.errorCode;
    cv::Mat tiles;
    const QDir folder = QFileInfo(job.outputFile).dir();
    for (const QString& name : folder.entryList({QStringLiteral("site_*_*.png")})) {
        QImage i = QImage(folder.filePath(name)).convertToFormat(QImage::Format_Grayscale8);
        tiles.push_back(cv::Mat(i.height(), i.width(), CV_8U, i.bits(), i.bytesPerLine()));
    }
    return tiles;
}

template <class T> QByteArray set(QByteArray bytes, int at, T value)
{
    e57::storeLittleEndian(bytes.data() + at, value);
    return bytes;
}

struct Case
{
    const char* name;
    QByteArray bytes; // of a broken file
    int scans;
    std::size_t points; // read from all of them (a file of one point delivers none)
    const char* printed;
};

// Every scan of the file read; each point checked to lie in its scan's box.
std::vector<cv::Vec3d> readAll(const QString& path, const Case& c)
{
    CaptureDiagnostics out;
    ScanSourceLAS reader;
    EXPECT_TRUE(reader.fetchFiles({path}) && reader.scanCount() == c.scans) << reader.scanCount();
    std::vector<cv::Vec3d> points;
    cv::Vec3d box[2];
    for (int i = 0; i < reader.scanCount() && reader.scanBounds(i, box[0], box[1]); ++i) {
        for (const cv::Vec3d& p : readWholeScan(reader, i).points) {
            EXPECT_TRUE(p[0] >= box[0][0] && p[1] >= box[0][1] && p[2] >= box[0][2] &&
                        p[0] <= box[1][0] && p[1] <= box[1][1] && p[2] <= box[1][2]);
            points.push_back(p);
        }
    }
    EXPECT_EQ(points.size(), c.points);
    EXPECT_NE(out.text().find(c.printed), std::string::npos) << out.text();
    EXPECT_EQ(reader.errorCount(), 0);
    return points;
}

} // namespace

TEST(LasReader, EveryPointFormatReadsAsThePtxSceneInProjectCoordinates)
{
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    const std::vector<FakeScan> ptx = ptxScene(dir.filePath(QStringLiteral("ptx")));
    std::vector<ContractScan> expected(ptx.size());
    for (std::size_t s = 0; s < ptx.size(); ++s) {
        expected[s].pose = cv::Mat::eye(4, 4, CV_64F);
        cv::transform(ptx[s].points, expected[s].points, ptx[s].pose.rowRange(0, 3));
    }
    QBitArray lastScan(3);
    lastScan.setBit(2);
    ScanChunk first; // scan 2 of the first format: every format reads alike
    for (int format : {0, 1, 2, 3, 6, 7, 8}) {
        SCOPED_TRACE("point format " + std::to_string(format));
        GenScanJob job = scene(dir.filePath(QString::number(format)), "las", format);
        ASSERT_TRUE(job.run()) << job.errorText().toStdString();
        ScanSourceContract contract;
        contract.createReader = [] { return std::make_unique<ScanSourceLAS>(); };
        contract.inputFiles = job.files();
        contract.scans = expected;
        contract.pointTolerance = LasWriter::gridStep / 2 + 1e-9;
        checkScanSourceContract(contract);

        ScanSourceLAS reader;
        ASSERT_TRUE(reader.fetchFiles(job.files()));
        EXPECT_FALSE(reader.hasPosition(2));
        ASSERT_TRUE(reader.openScan(2));
        ScanChunk chunk;
        EXPECT_FALSE(reader.readPoints(2, chunk, 1000, {.intensity = true, .colour = true}));
        EXPECT_EQ(chunk.colour.empty(), !LasWriter::hasColour(format));
        if (first.points.empty())
            first = chunk;
        EXPECT_EQ(cv::norm(chunk.points, first.points, cv::NORM_INF), 0.0);
        EXPECT_EQ(cv::norm(chunk.intensity, first.intensity, cv::NORM_INF), 0.0);
        double z[2]; // the clipping planes hold the points, not widened by the scan radius
        cv::minMaxIdx(chunk.points.row(2), &z[0], &z[1]);
        const ClipPlanes planes = defaultClipPlanes(reader, lastScan, Top, 30.0);
        EXPECT_TRUE(planes.low == std::floor(z[0]) - 1 && planes.high == std::ceil(z[1]) + 1);
    }
}

TEST(LasReader, LayoutIsThatOfThePtxSceneReadWithoutPositions)
{
    TempAppData appData;
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    // A LAS file has no scanner: no radius, no distance weight. Two of its three scans give
    // the tiles of the PTX scans read so; only the 0.1 mm grid of the LAS coordinates may
    // move a grey value by one.
    std::vector<FakeScan> ptx = ptxScene(dir.filePath(QStringLiteral("ptx")));
    for (FakeScan& scan : ptx)
        scan.positioned = false;
    FakeScanSource withoutPositions(ptx, 50000);
    GenScanJob las = scene(dir.filePath(QStringLiteral("las")), "las");
    ScanSourceLAS reader;
    ASSERT_TRUE(las.run() && reader.fetchFiles(las.files()));
    for (std::uint32_t view : {Top, Front}) {
        SCOPED_TRACE(view);
        layoutdef job;
        job.view = view;
        job.scanList = QBitArray(3, true);
        job.scanList.clearBit(1);
        const ClipPlanes planes = defaultClipPlanes(reader, job.scanList, view, 30.0);
        job.clipLow = planes.low;
        job.clipHigh = planes.high;
        job.imageType = QStringLiteral("png");
        job.resolution = 0.05;
        job.tileSize = 10.0;
        job.scannerDomain = 1.0; // would cut nearly every point of a scan with a position
        cv::Mat tiles[2];
        ScanSource* const sources[2] = {&withoutPositions, &reader};
        for (int k = 0; k < 2; ++k) {
            job.outputFile = dir.filePath(QStringLiteral("%1-%2/site.log").arg(k).arg(view));
            QDir().mkpath(QFileInfo(job.outputFile).path());
            tiles[k] = layoutTiles(*sources[k], job);
        }
        ASSERT_GE(tiles[0].rows, 400) << "two tiles of 200 rows at least";
        ASSERT_EQ(tiles[1].size(), tiles[0].size());
        EXPECT_LE(cv::norm(tiles[0], tiles[1], cv::NORM_INF), 1.0);
    }
}

TEST(LasReader, BrokenFilesListReadAndSayWhatTheyShould)
{
    QTemporaryDir dir;
    QByteArray files[2]; // two stations of a few points: LAS 1.2 of format 1, 1.4 of format 6
    for (int k = 0; k < 2; ++k) {
        GenScanJob job = scene(dir.filePath(QString::number(k)), "las", 1 + 5 * k, 2, 4);
        QFile file(job.run() ? job.files()[0] : QString());
        files[k] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    const QByteArray& good = files[0]; // 28-byte records from byte 227
    const std::size_t records = std::size_t(good.size() - 227) / 28;
    const QByteArray laszip =
        set<std::uint16_t>(QByteArray(54, '\0').replace(2, 14, "laszip encoded"), 18, 22204);
    const QByteArray withLaszip =
        set<std::uint32_t>(set<std::uint32_t>(good, 96, 227 + 54), 100, 1).insert(227, laszip);
    const Case cases[] = {
        {"the first and the last point swapped: the source IDs interleave",
         QByteArray(good)
             .replace(227, 28, good.right(28))
             .replace(good.size() - 28, 28, good.mid(227, 28)),
         2, records, "LAS 1.2, point format 1, 2 scans by point source ID"},
        {"a withheld point", QByteArray(good).replace(227 + 15, 1, "\x80"), 2, records - 1,
         "1 withheld point left out"},
        {"a PTX file", "2\n3\n0 0 0\n", 0, 0, "not a LAS file: it does not start with \"LASF\""},
        {"cut inside the header", good.left(100), 0, 0, "the file ends inside its header"},
        {"version 2.2", QByteArray(good).replace(24, 1, "\x02"), 0, 0,
         "format version 2.2 (1.0 to 1.4 are read)"},
        {"1.4 with a header of 1.2", QByteArray(good).replace(25, 1, "\x04"), 0, 0,
         "a header of 227 bytes, fewer than the 375 of version 1.4"},
        {"points beyond the file", set<std::uint32_t>(good, 96, 1u << 30), 0, 0,
         "the point records start at byte 1073741824, outside"},
        {"point format 11", QByteArray(good).replace(104, 1, "\x0b"), 0, 0,
         "point format 11 (formats 0 to 10 are read)"},
        {"records shorter than their format", set<std::uint16_t>(good, 105, 19), 0, 0,
         "point records of 19 bytes, fewer than the 28 of point format 1"},
        {"scale 0", set<double>(good, 131, 0.0), 0, 0, "the x scale factor 0 is not"},
        {"scale NaN", set<double>(good, 139, std::nan("")), 0, 0,
         "the y scale factor nan is not a finite number other than 0"},
        {"offset infinite", set<double>(good, 171, INFINITY), 0, 0,
         "the z offset inf is not a finite number"},
        {"a huge point count", set<std::uint32_t>(good, 107, 0xFFFFFFFFu), 0, 0,
         "the header promises 4294967295 points of 28 bytes from byte 227, the file holds"},
        {"a huge 64-bit count", set<std::uint64_t>(files[1], 247, 1ull << 62), 0, 0,
         "the header promises 4611686018427387904 points"},
        {"the compressed bit", QByteArray(good).replace(104, 1, "\x81"), 0, 0,
         "is compressed LAS (LAZ); decompress it to LAS first"},
        {"a LASzip record", withLaszip, 0, 0, "is compressed LAS (LAZ)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("bad.las"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        readAll(path, c);
    }
}

TEST(LasReader, RealFilesListAndReadAsTheirDescriptionsSay)
{
    const QString folder = QStringLiteral(ORTHAVEN_REAL_DATA_DIR "/las/pdal/");
    if (!QDir(folder).exists())
        GTEST_SKIP() << "no real LAS data here";
    const Case cases[] = {
        {"1.0_0.las", {}, 1, 0, "LAS 1.0, point format 0, 1 scan"},
        {"1.1_1.las", {}, 1, 0, "LAS 1.1, point format 1, 1 scan"},
        {"1.2_2.las", {}, 1, 0, "LAS 1.2, point format 2, 1 scan"},
        {"1.2_3.las", {}, 1, 0, "LAS 1.2, point format 3, 1 scan"},
        {"100-points.las", {}, 9, 100, "9 scans by point source ID"},
        {"1.2-with-color.las", {}, 9, 1065, "9 scans by point source ID"},
        {"extrabytes.las", {}, 9, 1065, "LAS 1.4, point format 3, 9 scans"},
        {"4_6_crop.las", {}, 1, 23875, "LAS 1.2, point format 3, 1 scan"},
        {"autzen_trim.las", {}, 1, 110000, "LAS 1.2, point format 3, 1 scan"},
        {"test1_4.las", {}, 1, 1000, "LAS 1.4, point format 6, 1 scan"},
        {"1.2-no-points.las", {}, 0, 0, "from byte 229, the file holds 0 of them"},
        {"simple.laz", {}, 0, 0, "simple.laz is compressed LAS (LAZ); decompress it to LAS first"},
    };
    std::map<std::string, std::vector<cv::Vec3d>> points;
    for (const Case& c : cases)
        points[c.name] = readAll(folder + c.name, c);
    EXPECT_EQ(points["extrabytes.las"], points["1.2-with-color.las"]) << "extra bytes passed over";

    // The first point of a file with colour in 8 bits, as stored, and of a 1.4 file whose
    // axes have scale factors of their own.
    CaptureDiagnostics quiet;
    ScanSourceLAS reader;
    reader.fetchFiles({folder + "1.2-with-color.las", folder + "test1_4.las"});
    for (int i : {0, 9}) {
        ASSERT_TRUE(reader.openScan(i));
        ScanChunk chunk;
        reader.readPoints(i, chunk, 1000, {.intensity = true, .colour = true});
        ASSERT_GE(chunk.points.cols, 2);
        EXPECT_EQ(cv::Vec3d(chunk.points(cv::Rect(0, 0, 1, 3))),
                  i == 0 ? cv::Vec3d(637012.24, 849028.31, 431.66)
                         : cv::Vec3d(1694510.3869346841, 1816497.966263977, 5598.3596128149675));
        EXPECT_EQ(chunk.intensity.at<float>(0), i == 0 ? 143.0f : 41.0f);
        EXPECT_EQ(chunk.colour.empty() ? cv::Vec3b() : cv::Vec3b(chunk.colour.col(0)),
                  i == 0 ? cv::Vec3b(68, 77, 88) : cv::Vec3b()); // format 6 has no colour
    }
}
