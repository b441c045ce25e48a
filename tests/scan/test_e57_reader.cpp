// ScanSourceE57 on small hand-made E57 files: the scan source contract, scan names,
// poses, cartesian and spherical coordinates, invalid points, scaled integers of any
// width, records spread over many packets, and chunks at the point limit.

#include "E57TestFiles.h"
#include "scan/ScanSourceE57.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const std::vector<cv::Vec3d> fivePoints = {
    {1.5, -2.25, 0.125}, {0, 0, 0}, {1e5, 2e-7, -3}, {-0.5, 7, 8}, {2, 2, 2}};

// A half turn about z and a georeferenced translation.
cv::Mat halfTurnPose()
{
    return (cv::Mat_<double>(4, 4) << -1, 0, 0, 500000.25, 0, -1, 0, 5400000.5, 0, 0, 1, 99, 0, 0,
            0, 1);
}

E57ScanPlan namedScan()
{
    E57ScanPlan scan;
    scan.name = "north";
    scan.poseXml = e57PoseXml(0, 0, 0, 1, 500000.25, 5400000.5, 99);
    scan.fields = cartesianFields(fivePoints);
    return scan;
}

// Four records, the middle two marked as a direction only (1) and as no return (2).
E57ScanPlan scanWithInvalidPoints()
{
    E57ScanPlan scan;
    scan.fields = cartesianFields({{1, 1, 1}, {9, 9, 9}, {8, 8, 8}, {2, 2, 2}});
    scan.fields[0].single = scan.fields[1].single = scan.fields[2].single = true;
    scan.fields.push_back(E57Field::integer("cartesianInvalidState", 0, 2, {0, 1, 2, 0}));
    return scan;
}

QString writeE57(const QTemporaryDir& dir, const QString& name, const E57FilePlan& plan)
{
    return writeFile(dir.filePath(name), e57File(plan).bytes);
}

std::vector<cv::Vec3d> readAll(const QString& path, int scan = 0)
{
    ScanSourceE57 reader;
    reader.fetchFiles({path});
    return readWholeScan(reader, scan).points;
}

} // namespace

TEST(E57Reader, KeepsTheScanSourceContract)
{
    QTemporaryDir dir;
    E57FilePlan first;
    E57ScanPlan empty;
    empty.name = "empty";
    empty.withPoints = false;
    first.scans = {namedScan(), scanWithInvalidPoints(), empty};
    E57FilePlan second;
    second.scans = {namedScan()};

    ScanSourceContract contract;
    contract.label = "two E57 files";
    contract.createReader = [] { return std::make_unique<ScanSourceE57>(); };
    contract.inputFiles = {writeE57(dir, QStringLiteral("a.e57"), first),
                           writeE57(dir, QStringLiteral("b.E57"), second)};
    contract.scans = {{fivePoints, halfTurnPose()},
                      {{{1, 1, 1}, {2, 2, 2}}, cv::Mat::eye(4, 4, CV_64F)},
                      {{}, cv::Mat::eye(4, 4, CV_64F)},
                      {fivePoints, halfTurnPose()}};
    CaptureDiagnostics quiet;
    checkScanSourceContract(contract);
}

TEST(E57Reader, NamesScansAfterTheirFileAndName)
{
    QTemporaryDir dir;
    E57FilePlan plan;
    plan.scans.resize(5);
    plan.scans[0].name = "north";
    plan.scans[2].name = "Point Cloud";
    plan.scans[3].name = "Point Cloud";
    plan.scans[4].name = "south";
    for (E57ScanPlan& scan : plan.scans)
        scan.fields = cartesianFields(fivePoints);
    const QString path = writeE57(dir, QStringLiteral("site.e57"), plan);
    CaptureDiagnostics quiet;
    ScanSourceE57 reader;
    ASSERT_TRUE(reader.fetchFiles({path}));
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({path + " (north)", path + " (001)", path + " (Point Cloud, 002)",
                                  path + " (Point Cloud, 003)", path + " (south)"}));
}

TEST(E57Reader, SphericalCoordinatesBecomeCartesianOnes)
{
    const double pi = std::numbers::pi;
    E57ScanPlan scan;
    scan.fields = {
        E57Field::floating("sphericalRange", {2, 1, 3, 4, 2}),
        E57Field::floating("sphericalAzimuth", {0, pi / 2, 0, 1, pi}),
        E57Field::floating("sphericalElevation", {0, 0, pi / 2, 1, -pi / 6}),
        E57Field::integer("sphericalInvalidState", 0, 2, {0, 0, 0, 1, 0}),
    };
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    const std::vector<cv::Vec3d> points =
        readAll(writeE57(dir, QStringLiteral("s.e57"), {{scan}, {}}));
    const std::vector<cv::Vec3d> expected = {
        {2, 0, 0}, {0, 1, 0}, {0, 0, 3}, {-2 * std::cos(pi / 6), 0, -1}};
    ASSERT_EQ(points.size(), expected.size()) << "the range-invalid record is left out";
    for (std::size_t k = 0; k < points.size(); ++k)
        EXPECT_LT(cv::norm(points[k] - expected[k]), 1e-12) << k;
}

TEST(E57Reader, ScaledIntegersOfAnyWidthGiveTheirValues)
{
    // 11 bits, 60 bits (wider than one word load) and 64 bits.
    struct Case
    {
        qint64 minimum;
        qint64 maximum;
        double scale;
        double offset;
        std::vector<qint64> raw;
    };
    const qint64 big = qint64(1) << 59;
    const Case cases[] = {
        {-1000, 1000, 0.001, 10.0, {-1000, 0, 1, 999, 1000, -7}},
        {-big, big - 1, 1e-9, -2.5, {-big, big - 1, 0, 123456789012345, -3, 1}},
        {std::numeric_limits<qint64>::min(),
         std::numeric_limits<qint64>::max(),
         0.5,
         0.0,
         {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), -1, 0, 3, 1}},
    };
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximum);
        E57ScanPlan scan;
        for (const char* name : {"cartesianX", "cartesianY", "cartesianZ"}) {
            E57Field f = E57Field::integer(name, c.minimum, c.maximum, c.raw);
            f.type = "ScaledInteger";
            f.scale = c.scale;
            f.offset = c.offset;
            scan.fields.push_back(f);
        }
        std::reverse(scan.fields[1].integers.begin(), scan.fields[1].integers.end());
        const std::vector<cv::Vec3d> points =
            readAll(writeE57(dir, QStringLiteral("i.e57"), {{scan}, {}}));
        ASSERT_EQ(points.size(), c.raw.size());
        for (std::size_t k = 0; k < points.size(); ++k) {
            const qint64 y = c.raw[c.raw.size() - 1 - k];
            EXPECT_EQ(points[k][0], double(c.raw[k]) * c.scale + c.offset) << k;
            EXPECT_EQ(points[k][1], double(y) * c.scale + c.offset) << k;
        }
    }
}

TEST(E57Reader, RecordsSpreadOverManyPacketsReadAsInOne)
{
    // Every bytestream a few bytes per packet, so that floats, doubles and packed
    // integers run on from one packet into the next, with an empty packet before the data
    // and an index packet after it.
    std::vector<cv::Vec3d> points;
    std::vector<qint64> states;
    for (int k = 0; k < 300; ++k) {
        points.emplace_back(k * 0.25, -k, k % 7);
        states.push_back(k % 5 == 0 ? 2 : 0);
    }
    E57ScanPlan whole;
    whole.fields = cartesianFields(points);
    whole.fields[1].single = true;
    whole.fields.push_back(E57Field::integer("cartesianInvalidState", 0, 2, states));
    whole.fields.push_back(E57Field::integer("rowIndex", 0, 299, {}));
    for (int k = 0; k < 300; ++k)
        whole.fields.back().integers.push_back(k);
    E57ScanPlan spread = whole;
    spread.streamBytesPerPacket = 3;
    spread.indexAndEmptyPackets = true;

    // All coordinates single floats: the decoder that takes them in one pass.
    E57ScanPlan singles = spread;
    for (int c = 0; c < 3; ++c)
        singles.fields[std::size_t(c)].single = true;

    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    const std::vector<cv::Vec3d> once = readAll(writeE57(dir, "whole.e57", {{whole}, {}}));
    ASSERT_EQ(once.size(), 240u);
    EXPECT_EQ(readAll(writeE57(dir, "spread.e57", {{spread}, {}})), once);
    EXPECT_EQ(readAll(writeE57(dir, "singles.e57", {{singles}, {}})), once);
    EXPECT_EQ(once[0], cv::Vec3d(0.25, -1, 1)) << "record 0 is no point";
}

TEST(E57Reader, ChunksStayWithinThePointLimitAndLoseNoLonePoint)
{
    // Two chunks' worth of points and one more, then invalid records: the second chunk
    // gives one point back so that the last does not hold a single point (which would end
    // the scan without it).
    const std::size_t valid = 2 * std::size_t(ScanSource::maxChunkPoints) + 1;
    E57ScanPlan scan;
    std::vector<double> x(valid + 3000);
    for (std::size_t k = 0; k < x.size(); ++k)
        x[k] = double(k);
    scan.fields = {
        E57Field::floating("cartesianX", x, true),
        E57Field::floating("cartesianY", std::vector<double>(x.size(), 1.0), true),
        E57Field::floating("cartesianZ", std::vector<double>(x.size(), 2.0), true),
        E57Field::integer("cartesianInvalidState", 0, 2, std::vector<qint64>(x.size(), 0))};
    std::fill(scan.fields[3].integers.begin() + qsizetype(valid), scan.fields[3].integers.end(), 2);
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    ScanSourceE57 reader;
    reader.fetchFiles({writeE57(dir, "big.e57", {{scan}, {}})});
    const auto pointsInOrder = [](const std::vector<cv::Vec3d>& points, std::size_t first) {
        for (std::size_t k = 0; k < points.size(); ++k) {
            if (points[k] != cv::Vec3d(double(first + k), 1, 2))
                return false;
        }
        return true;
    };

    // A chunk the caller holds is never filled again.
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat held;
    EXPECT_TRUE(reader.readPoints(0, held, 1000));
    ASSERT_EQ(held.cols, ScanSource::maxChunkPoints);
    const cv::Mat copy = held.clone();
    const ScanReadout rest = readOpenScan(reader, 0);
    EXPECT_EQ(rest.chunkColumns, (std::vector<int>{ScanSource::maxChunkPoints - 1, 2}));
    EXPECT_TRUE(pointsInOrder(rest.points, std::size_t(ScanSource::maxChunkPoints)));
    EXPECT_EQ(cv::norm(held, copy, cv::NORM_INF), 0.0);

    // Read as the engine reads, into one matrix it lets go of (the last full chunk is then
    // filled again): every point, in order.
    reader.rewindPoints();
    const ScanReadout read = readOpenScan(reader, 0);
    EXPECT_EQ(read.chunkColumns,
              (std::vector<int>{ScanSource::maxChunkPoints, ScanSource::maxChunkPoints - 1, 2}));
    ASSERT_EQ(read.points.size(), valid);
    EXPECT_TRUE(pointsInOrder(read.points, 0));
}
