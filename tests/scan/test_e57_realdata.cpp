// E57 files written by four other programs (ORTHAVEN_REAL_DATA_DIR/e57): every file lists
// with the scans, names, point counts and poses its description and XML section give,
// reads the points inside each scan's bounds, and lays out without error (or with a clean
// "not enough data" where the scene is a few points). Skipped when the folder is absent.

#include "engine/LayoutCreator.h"
#include "scan/ScanSourceE57.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

struct RealScan
{
    const char* name; // as scanNames gives it after the path
    std::size_t points;
    cv::Vec3d translation;
    cv::Vec3d low; // the scan's cartesianBounds in its XML section
    cv::Vec3d high;
};

struct RealFile
{
    const char* path;
    std::vector<RealScan> scans;
};

const cv::Vec3d thinkboxLow(1, 1.1, 1.2);
const cv::Vec3d thinkboxHigh(10, 10.1, 10.2);

const RealFile realFiles[] = {
    {"libE57Format-test-data/ColourRepresentation.e57",
     {{"000", 153, {0, 0, 0}, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}}}},
    {"libE57Format-test-data/bunnyDouble.e57",
     {{"bunny",
       30571,
       {0, 0, 0},
       {-0.094689, 0.040011, -0.061873},
       {0.061009, 0.187321, 0.058799}}}},
    {"libE57Format-test-data/bunnyInt32.e57",
     {{"bunny",
       30571,
       {0, 0, 0},
       {-0.094689, 0.040011, -0.061873},
       {0.061009, 0.187321, 0.058799}}}},
    {"pdal/A_B.e57",
     {{"B2 - Cloud", 2, {0, 0, 0}, {-42.6423, 1.8726, 0.5101}, {-42.6395, 2.0578, 0.6667}},
      {"A4 - Cloud", 4, {0, 0, 0}, {-44.9522, -1.3493, -0.6077}, {-44.3001, -0.886, 0.3694}}}},
    {"thinkbox-library/twoScans.e57",
     {{"Station 3F", 10, {0, 0, 0}, thinkboxLow, thinkboxHigh},
      {"Second Scan", 10, {0, 0, 0}, thinkboxLow, thinkboxHigh}}},
    {"thinkbox-library/transforms.e57",
     {{"Station 3F", 10, {1, 0.2, 3}, thinkboxLow, thinkboxHigh},
      {"Second Scan", 10, {0, 0, 0}, thinkboxLow, thinkboxHigh}}},
    {"thinkbox-library/loadSingleScan.e57",
     {{"Point Cloud, 000", 10, {0, 0, 0}, thinkboxLow, thinkboxHigh},
      {"Point Cloud, 001", 10, {1, 0.2, 3}, thinkboxLow, thinkboxHigh},
      {"Point Cloud, 002", 10, {2, 0.4, 6}, thinkboxLow, thinkboxHigh},
      {"Point Cloud, 003", 10, {3, 0.6, 9}, thinkboxLow, thinkboxHigh}}},
};

QString realE57Dir()
{
    return QStringLiteral(ORTHAVEN_REAL_DATA_DIR "/e57");
}

bool within(const cv::Vec3d& p, const cv::Vec3d& low, const cv::Vec3d& high)
{
    // The bounds are written with a few digits less than the points.
    for (int c = 0; c < 3; ++c) {
        if (p[c] < low[c] - 1e-4 || p[c] > high[c] + 1e-4)
            return false;
    }
    return true;
}

} // namespace

TEST(E57RealData, EveryFileListsAndReadsAsItsDescriptionSays)
{
    if (!QDir(realE57Dir()).exists())
        GTEST_SKIP() << "no real E57 data here";
    std::map<QString, std::vector<cv::Vec3d>> bunnies;
    for (const RealFile& file : realFiles) {
        SCOPED_TRACE(file.path);
        const QString path = QDir(realE57Dir()).filePath(QString::fromLatin1(file.path));
        ASSERT_TRUE(QFile::exists(path));
        CaptureDiagnostics out;
        ScanSourceE57 reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        ASSERT_EQ(reader.scanCount(), int(file.scans.size()));
        QStringList names;
        reader.scanNames(names);
        ScanSourceContract contract;
        contract.label = file.path;
        contract.createReader = [] { return std::make_unique<ScanSourceE57>(); };
        contract.inputFiles = {path};
        for (int i = 0; i < reader.scanCount(); ++i) {
            const RealScan& expected = file.scans[std::size_t(i)];
            EXPECT_EQ(names[i], path + " (" + expected.name + ")");
            ContractScan scan;
            reader.scanPose(i, scan.pose);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(scan.pose.at<double>(c, 3), expected.translation[c], 1e-12);
            EXPECT_TRUE(cv::norm(scan.pose(cv::Rect(0, 0, 3, 3)), cv::Mat::eye(3, 3, CV_64F),
                                 cv::NORM_INF) == 0.0)
                << "no file here is rotated";
            scan.points = readWholeScan(reader, i).points;
            EXPECT_EQ(scan.points.size(), expected.points);
            for (const cv::Vec3d& p : scan.points)
                ASSERT_TRUE(within(p, expected.low, expected.high)) << p;
            reader.rewindPoints();
            reader.closeScan(i);
            contract.scans.push_back(scan);
        }
        if (QString(file.path).contains(QLatin1String("bunny")))
            bunnies[path] = contract.scans[0].points;
        contract.distinctNames = true;
        checkScanSourceContract(contract);
        for (const QString& line : out.lines())
            EXPECT_TRUE(line.endsWith(QLatin1String(" scan")) ||
                        line.endsWith(QLatin1String(" scans")))
                << line.toStdString();
    }

    // The same bunny as doubles and as 32-bit integers of a micrometre.
    ASSERT_EQ(bunnies.size(), 2u);
    const std::vector<cv::Vec3d>& doubles = bunnies.begin()->second;
    const std::vector<cv::Vec3d>& integers = bunnies.rbegin()->second;
    ASSERT_EQ(doubles.size(), integers.size());
    for (std::size_t k = 0; k < doubles.size(); ++k)
        ASSERT_LE(cv::norm(doubles[k] - integers[k], cv::NORM_INF), 0.5e-6 + 1e-12) << k;

    // Two scans of a real exporter, literally.
    CaptureDiagnostics quiet;
    ScanSourceE57 reader;
    reader.fetchFiles(
        {QDir(realE57Dir()).filePath(QStringLiteral("thinkbox-library/twoScans.e57"))});
    const std::vector<cv::Vec3d> points = readWholeScan(reader, 1).points;
    ASSERT_EQ(points.size(), 10u);
    EXPECT_EQ(points.front(), cv::Vec3d(1, 1.1, 1.2));
    EXPECT_EQ(points.back(), cv::Vec3d(10, 10.1, 10.2));
}

TEST(E57RealData, EveryFileLaysOutOrSaysThereIsNotEnoughData)
{
    if (!QDir(realE57Dir()).exists())
        GTEST_SKIP() << "no real E57 data here";
    for (const RealFile& file : realFiles) {
        SCOPED_TRACE(file.path);
        const QString path = QDir(realE57Dir()).filePath(QString::fromLatin1(file.path));
        TempAppData appData;
        QTemporaryDir out;
        CaptureDiagnostics engineLines;
        ScanSourceE57 reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        layoutdef job;
        job.inputFiles = {path};
        job.view = Top;
        job.scanList = QBitArray(reader.scanCount(), true);
        job.clipLow = -100.0;
        job.clipHigh = 100.0;
        job.outputFile = out.filePath(QStringLiteral("real.log"));
        job.imageType = QStringLiteral("png");
        job.resolution = 0.005;
        job.scannerDomain = 100.0;
        job.tileSize = 10.0;
        LayoutCreator creator;
        creator.setScanSource(&reader);
        ASSERT_TRUE(creator.setup(job));
        creator.layout();
        // These scenes are a bunny and a few points: too little for a tile, mostly.
        if (creator.failed)
            EXPECT_EQ(creator.errorCode, NotEnoughData);
        else
            EXPECT_TRUE(QFile::exists(creator.logFilePath()));
        // The engine got every point of every scan.
        QStringList counts;
        for (const QString& line : engineLines.lines()) {
            if (line.startsWith(QLatin1String("Number of Points = ")))
                counts.append(line.mid(19));
        }
        QStringList expected;
        for (const RealScan& scan : file.scans)
            expected.append(QString::number(scan.points));
        EXPECT_EQ(counts, expected);
    }
}
