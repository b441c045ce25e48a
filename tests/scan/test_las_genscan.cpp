// Generated LAS files: the scene of the PTX files, written in every point format the
// generator writes, reads back as the PTX scans' points in project coordinates (on the
// file's 0.1 mm grid), one scan per station by point source ID, every format alike, without
// a scanner position and boxed by its points; and its layout is the layout of the PTX
// scene read without positions.

#include "creator/ClippingDefaults.h"
#include "engine/LayoutCreator.h"
#include "engine/LayoutRun.h"
#include "genscan/GenScanJob.h"
#include "genscan/LasWriter.h"
#include "scan/ScanSourceLAS.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

GenScanOptions sceneOptions(const QString& folder, const QString& format)
{
    GenScanOptions options;
    options.outputFolder = folder;
    options.format = format;
    options.stations = 3;
    options.pointsPerColumn = 40;
    options.columns = 90;
    // No wall, floor or ceiling on the 10 m raw tile grid, where a point moved by the LAS
    // grid would change tiles.
    options.offset = {500000.3, 5400000.7, 100.4};
    options.seed = 11;
    return options;
}

// The scans of the scene's PTX files: their poses, and their points without the missing
// returns (which a LAS file leaves out).
std::vector<FakeScan> ptxScene(const QString& folder)
{
    GenScanJob job(sceneOptions(folder, QStringLiteral("ptx")));
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

std::map<QString, QImage> layoutTiles(ScanSource& source, const layoutdef& job)
{
    LayoutCreator creator;
    creator.setScanSource(&source);
    EXPECT_TRUE(creator.setup(job));
    creator.layout();
    EXPECT_FALSE(creator.failed) << creator.errorCode;
    std::map<QString, QImage> tiles;
    const QDir folder = QFileInfo(job.outputFile).dir();
    for (const QString& name : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        if (!name.contains(QLatin1String("_overview")))
            tiles[name] = QImage(folder.filePath(name)).convertToFormat(QImage::Format_Grayscale8);
    return tiles;
}

} // namespace

TEST(LasGenScan, EveryPointFormatReadsAsThePtxSceneInProjectCoordinates)
{
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    const std::vector<FakeScan> ptx = ptxScene(dir.filePath(QStringLiteral("ptx")));
    ASSERT_EQ(ptx.size(), 3u);
    std::vector<ContractScan> expected(3);
    for (std::size_t s = 0; s < 3; ++s) {
        expected[s].pose = cv::Mat::eye(4, 4, CV_64F);
        for (const cv::Vec3d& p : ptx[s].points) {
            const cv::Mat w = ptx[s].pose * (cv::Mat_<double>(4, 1) << p[0], p[1], p[2], 1.0);
            expected[s].points.emplace_back(w.at<double>(0), w.at<double>(1), w.at<double>(2));
        }
    }

    std::vector<cv::Vec3d> firstPoints; // of the first format: every format reads alike
    cv::Mat firstIntensity;
    for (int format : {0, 1, 2, 3, 6, 7, 8}) {
        SCOPED_TRACE("point format " + std::to_string(format));
        GenScanOptions options = sceneOptions(dir.filePath(QString::number(format)), "las");
        options.pointFormat = format;
        options.colour = LasWriter::hasColour(format);
        options.oneFile = true;
        GenScanJob job(options);
        ASSERT_TRUE(job.run()) << job.errorText().toStdString();
        ScanSourceContract contract;
        contract.createReader = [] { return std::make_unique<ScanSourceLAS>(); };
        contract.inputFiles = job.files();
        contract.scans = expected;
        contract.pointTolerance = LasWriter::gridStep / 2 + 1e-9;
        checkScanSourceContract(contract);

        ScanSourceLAS reader;
        ASSERT_TRUE(reader.fetchFiles(job.files()));
        QStringList names;
        reader.scanNames(names);
        EXPECT_EQ(names[2], job.files()[0] + " (source 2)");
        EXPECT_FALSE(reader.hasPosition(2));
        cv::Vec3d low;
        cv::Vec3d high;
        ASSERT_TRUE(reader.scanBounds(2, low, high));
        ASSERT_TRUE(reader.openScan(2));
        ScanChunk chunk;
        EXPECT_FALSE(reader.readPoints(2, chunk, 1000, {.intensity = true, .colour = true}));
        std::vector<cv::Vec3d> points;
        appendChunk(chunk.points, points);
        cv::Mat lowest;
        cv::Mat highest;
        cv::reduce(chunk.points.rowRange(0, 3), lowest, 1, cv::REDUCE_MIN);
        cv::reduce(chunk.points.rowRange(0, 3), highest, 1, cv::REDUCE_MAX);
        EXPECT_EQ(low, cv::Vec3d(lowest)) << "the box of the points, exactly";
        EXPECT_EQ(high, cv::Vec3d(highest));
        EXPECT_EQ(chunk.colour.empty(), !options.colour);
        if (firstPoints.empty()) {
            firstPoints = points;
            firstIntensity = chunk.intensity;
        }
        EXPECT_EQ(points, firstPoints);
        EXPECT_EQ(cv::norm(chunk.intensity, firstIntensity, cv::NORM_INF), 0.0);
        if (format == 8) {
            // The generator's intensity (0 … 1) in 16 bits, its colour back in 8 bits.
            std::vector<ScanPoint> column;
            std::vector<ScanPoint> hits;
            for (int c = 0; c < options.columns; ++c) {
                job.scanner().scanColumn(job.scene(), job.stations()[2], 2, c, column);
                for (const ScanPoint& p : column)
                    if (p.hit)
                        hits.push_back(p);
            }
            ASSERT_EQ(hits.size(), points.size());
            for (int k = 0; k < chunk.points.cols; ++k) {
                const ScanPoint& p = hits[std::size_t(k)];
                ASSERT_EQ(chunk.intensity.at<float>(k),
                          float(std::round(double(p.intensity) * 65535.0)))
                    << k;
                ASSERT_EQ(cv::Vec3b(chunk.colour.at<std::uint8_t>(0, k),
                                    chunk.colour.at<std::uint8_t>(1, k),
                                    chunk.colour.at<std::uint8_t>(2, k)),
                          cv::Vec3b(p.red, p.green, p.blue))
                    << k;
            }
            // Scans 0 and 2 chosen: the clipping planes hold the box of their points, not
            // widened by the scan radius.
            double z[2] = {1e300, -1e300};
            for (const cv::Vec3d& q : points + readWholeScan(reader, 0).points)
                z[0] = std::min(z[0], q[2]), z[1] = std::max(z[1], q[2]);
            QBitArray chosen(3, true);
            chosen.clearBit(1);
            const ClipPlanes planes = defaultClipPlanes(reader, chosen, Top, 30.0);
            EXPECT_EQ(planes.low, std::floor(z[0]) - 1);
            EXPECT_EQ(planes.high, std::ceil(z[1]) + 1);
        }
    }
}

TEST(LasGenScan, LayoutIsThatOfThePtxSceneReadWithoutPositions)
{
    TempAppData appData;
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    // A LAS file has no scanner: no radius, no distance weight. The PTX scans read so, with
    // the LAS file's two of three scans, give the same tiles; only the 0.1 mm grid of the
    // LAS coordinates may move a grey value by one.
    std::vector<FakeScan> ptx = ptxScene(dir.filePath(QStringLiteral("ptx")));
    for (FakeScan& scan : ptx)
        scan.positioned = false;
    FakeScanSource withoutPositions(ptx, 50000);
    GenScanOptions options = sceneOptions(dir.filePath(QStringLiteral("las")), "las");
    options.oneFile = true;
    GenScanJob las(options);
    ASSERT_TRUE(las.run()) << las.errorText().toStdString();
    ScanSourceLAS reader;
    ASSERT_TRUE(reader.fetchFiles(las.files()));

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
        job.scannerDomain = 1.0; // would cut nearly everything of a scan with a position
        job.tileSize = 10.0;
        job.outputFile = dir.filePath(QStringLiteral("ptx-%1/site.log").arg(view));
        QDir().mkpath(QFileInfo(job.outputFile).path());
        const std::map<QString, QImage> expected = layoutTiles(withoutPositions, job);
        job.outputFile = dir.filePath(QStringLiteral("las-%1/site.log").arg(view));
        QDir().mkpath(QFileInfo(job.outputFile).path());
        const std::map<QString, QImage> tiles = layoutTiles(reader, job);
        ASSERT_GE(expected.size(), 2u);
        ASSERT_EQ(tiles.size(), expected.size());
        for (const auto& [name, image] : expected) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(tiles.count(name), 1u);
            const QImage& other = tiles.at(name);
            ASSERT_EQ(other.size(), image.size());
            int largest = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    largest = std::max(
                        largest, std::abs(image.constScanLine(y)[x] - other.constScanLine(y)[x]));
            EXPECT_LE(largest, 1);
        }
    }
}
