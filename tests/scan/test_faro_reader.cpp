// The FARO workspace reader over our library stand-in, with real workspace files: which
// paths count as a workspace, loading and unloading scans, the column cursor shared by all
// scans, chunk limits, poses, names, and library errors turned into failed calls.

#include "FaroTestFiles.h"
#include "PtxTestFiles.h"
#include "scan/ScanSourceFactory.h"
#include "scan/ScanSourceFaro.h"
#include "scan/faro/FaroLibrary.h"
#include "scan/faro/FaroStandInLibrary.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const std::string libraryId = "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}";
const std::string scanObjectId = "{3B6A0DD9-002E-4034-8DE7-479CD1F188A5}";

cv::Mat matrix(int rows, int cols, std::initializer_list<double> values)
{
    cv::Mat m(rows, cols, CV_64F);
    auto it = values.begin();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            m.at<double>(r, c) = *it++;
    return m;
}

::testing::AssertionResult near(const cv::Mat& actual, const cv::Mat& expected, double tolerance)
{
    if (actual.size() != expected.size() || actual.type() != CV_64F)
        return ::testing::AssertionFailure() << "matrix of " << actual.rows << " x " << actual.cols;
    for (int r = 0; r < expected.rows; ++r) {
        for (int c = 0; c < expected.cols; ++c) {
            const double a = actual.at<double>(r, c);
            const double e = expected.at<double>(r, c);
            if (tolerance == 0 ? a != e : !(std::abs(a - e) <= tolerance))
                return ::testing::AssertionFailure()
                       << "(" << r << ", " << c << "): " << a << ", expected " << e;
        }
    }
    return ::testing::AssertionSuccess();
}

// Scan "North": 3 points per column, 8 columns, at the origin, not turned. Scan "South":
// 2 points per column, 10 columns, moved and turned a quarter about z.
struct TwoScans
{
    QTemporaryDir dir;
    FaroTestScan north = faroScan(QStringLiteral("North"), 3, 8, 1.0);
    FaroTestScan south = faroScan(QStringLiteral("South"), 2, 10, 40.0);
    QString path;

    explicit TwoScans(const QStringList& northLines = {}, const QStringList& southLines = {},
                      const QStringList& workspaceLines = {})
    {
        north.extraLines = northLines;
        south.position = {12.5, -3.25, 1.75};
        south.angle = std::numbers::pi / 2;
        south.extraLines = southLines;
        path = writeFaroWorkspace(dir.path(), {north, south}, workspaceLines);
    }

    static cv::Mat southPose()
    {
        return matrix(4, 4, {0, -1, 0, 12.5, 1, 0, 0, -3.25, 0, 0, 1, 1.75, 0, 0, 0, 1});
    }
};

std::vector<cv::Vec3d> slice(const std::vector<cv::Vec3d>& points, std::size_t from,
                             std::size_t count)
{
    return {points.begin() + std::ptrdiff_t(from), points.begin() + std::ptrdiff_t(from + count)};
}

// The stand-in, recording the calls that load, unload and read scans.
class RecordingLibrary : public FaroStandInLibrary
{
public:
    QStringList calls;

    HResult prepareScanLoad(std::int32_t value) override
    {
        calls << QStringLiteral("prepareScanLoad %1").arg(value);
        return FaroStandInLibrary::prepareScanLoad(value);
    }
    HResult loadScan(std::int32_t scan, std::int32_t& status) override
    {
        calls << QStringLiteral("loadScan %1").arg(scan);
        return FaroStandInLibrary::loadScan(scan, status);
    }
    HResult unloadScan(std::int32_t scan, std::int32_t& status) override
    {
        calls << QStringLiteral("unloadScan %1").arg(scan);
        return FaroStandInLibrary::unloadScan(scan, status);
    }
    HResult cartesianColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                            std::int32_t rowCount, double* xyz, std::int32_t* flags,
                            std::int32_t& status) override
    {
        calls << QStringLiteral("cartesianColumn %1 %2 %3 %4")
                     .arg(scan)
                     .arg(firstRow)
                     .arg(column)
                     .arg(rowCount);
        return FaroStandInLibrary::cartesianColumn(scan, firstRow, column, rowCount, xyz, flags,
                                                   status);
    }
};

} // namespace

TEST(FaroReader, LoadsOneWorkspaceWithEveryScanUnloaded)
{
    TwoScans ws;
    ScanSourceFaro reader;
    CaptureDiagnostics out;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    EXPECT_TRUE(out.lines().isEmpty()) << out.text();
    EXPECT_EQ(reader.scanCount(), 2);
    for (int i : {-1, 0, 1, 2})
        EXPECT_FALSE(reader.isScanOpen(i)) << i;
    QStringList names = {QStringLiteral("old")};
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({"North.fls", "South.fls"}));
    EXPECT_EQ(reader.lastLibraryStatus(), 0);
}

TEST(FaroReader, KeepsTheScanSourceContract)
{
    TwoScans ws;
    CaptureDiagnostics quiet;
    ScanSourceContract contract;
    contract.label = "two scans of a FARO workspace";
    contract.createReader = [] { return std::make_unique<ScanSourceFaro>(); };
    contract.inputFiles = {ws.path};
    contract.scans = {{ws.north.points, cv::Mat::eye(4, 4, CV_64F), 3, 8},
                      {ws.south.points, TwoScans::southPose(), 2, 10}};
    contract.poseTolerance = 1e-15; // cos(π/2) is 6e-17, not 0
    contract.singleOpenScan = false;
    contract.dimensionsOpenScan = true;
    checkScanSourceContract(contract);

    contract.label = "the same, three columns per chunk";
    contract.maxColumns = 3;
    checkScanSourceContract(contract);
}

TEST(FaroReader, CountsOnlyAPathThatEndsInLowerCaseFws)
{
    TwoScans ws;
    const QString upper = writeFile(ws.dir.filePath(QStringLiteral("SITE.FWS")), readFile(ws.path));
    const QString second =
        writeFile(ws.dir.filePath(QStringLiteral("other.fws")), readFile(ws.path));
    const QString backup =
        writeFile(ws.dir.filePath(QStringLiteral("site.fws.bak")), readFile(ws.path));
    // A folder whose name holds ".fws" does not hide the workspace inside it.
    const QString nested = ws.dir.filePath(QStringLiteral("old.fws/site.fws"));
    QDir().mkpath(ws.dir.filePath(QStringLiteral("old.fws")));
    for (const FaroTestScan& s : {ws.north, ws.south})
        QFile::copy(faroPointsPath(ws.dir.path(), s),
                    faroPointsPath(ws.dir.filePath(QStringLiteral("old.fws")), s));
    QFile::copy(ws.path, nested);

    const QString onlyFaro = QStringLiteral("Actually we only support Faro Workspace files");
    const QString onlyOne =
        QStringLiteral("ScanSourceFaro::fetchFiles ... only one fws file allowed");
    struct Case
    {
        const char* name;
        QStringList files;
        bool accepted;
        QString line;
    };
    const Case cases[] = {
        {"one workspace", {ws.path}, true, {}},
        {"upper-case ending", {upper}, false, onlyFaro},
        {"two workspaces", {ws.path, second}, false, onlyOne},
        {"the same workspace twice", {ws.path, ws.path}, false, onlyOne},
        {"no path", {}, false, onlyFaro},
        {"a PTX file", {ws.dir.filePath(QStringLiteral("site.ptx"))}, false, onlyFaro},
        {"\".fws\" not at the end", {backup}, false, onlyFaro},
        {"workspace in a folder named *.fws", {nested}, true, {}},
        {"workspace after another file", {backup, ws.path}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanSourceFaro reader;
        CaptureDiagnostics out;
        EXPECT_EQ(reader.fetchFiles(c.files), c.accepted);
        EXPECT_EQ(out.lines(), c.line.isEmpty() ? QStringList() : QStringList({c.line}));
        EXPECT_EQ(reader.scanCount(), c.accepted ? 2 : 0);
    }
}

TEST(FaroReader, ReadsAnEightColumnScanInOneChunkThenThePlaceholder)
{
    TwoScans ws;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat chunk;
    EXPECT_TRUE(reader.readPoints(0, chunk, 1000));
    ASSERT_EQ(chunk.rows, 4);
    ASSERT_EQ(chunk.cols, 24);
    std::vector<cv::Vec3d> points;
    appendChunk(chunk, points);
    EXPECT_EQ(points, ws.north.points);
    EXPECT_EQ(cv::countNonZero(chunk.row(3) == 1.0), 24);

    for (int again = 0; again < 2; ++again) {
        cv::Mat end;
        EXPECT_FALSE(reader.readPoints(0, end, 1000));
        EXPECT_EQ(end.rows, 4);
        EXPECT_EQ(end.cols, 1);
    }
}

TEST(FaroReader, ChunksByColumnsAndByTheMillionPointLimit)
{
    struct Case
    {
        const char* name;
        int rows;
        int columns;
        int maxColumns;
        std::vector<int> chunkColumns;
        std::vector<bool> results;
    };
    const Case cases[] = {
        {"three columns per chunk", 3, 8, 3, {9, 9, 6, 1}, {true, true, true, false}},
        {"one point per column: no lone last point", 1, 5, 4, {3, 2, 1}, {true, true, false}},
        {"400000 points per column: two columns per chunk",
         400000,
         3,
         1000,
         {800000, 400000, 1},
         {true, true, false}},
        {"no columns", 4, 0, 1000, {1}, {false}},
        {"no points per column", 0, 4, 1000, {1}, {false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const FaroTestScan scan = faroScan(QStringLiteral("grid"), c.rows, c.columns, 3.0);
        const QString path = writeFaroWorkspace(dir.path(), {scan});
        ScanSourceFaro reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        const ScanReadout readout = readWholeScan(reader, 0, c.maxColumns, 20);
        ASSERT_TRUE(readout.opened);
        EXPECT_EQ(readout.chunkColumns, c.chunkColumns);
        EXPECT_EQ(readout.results, c.results);
        EXPECT_TRUE(readout.points == scan.points);
    }
}

TEST(FaroReader, ScanDimensionsLoadsTheScan)
{
    TwoScans ws({}, {QStringLiteral("load-status = 7")});
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    int rows = -1;
    int columns = -1;
    ASSERT_TRUE(reader.scanDimensions(0, rows, columns));
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 8);
    EXPECT_TRUE(reader.isScanOpen(0));
    EXPECT_FALSE(reader.isScanOpen(1));

    // A scan the library cannot load has no dimensions.
    EXPECT_FALSE(reader.scanDimensions(1, rows, columns));
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 0);
    EXPECT_FALSE(reader.isScanOpen(1));
    EXPECT_EQ(reader.lastLibraryStatus(), 7);
}

TEST(FaroReader, BuildsThePoseFromPositionAxisAndAngle)
{
    const double pi = std::numbers::pi;
    struct Case
    {
        const char* name;
        cv::Vec3d axis;
        double angle;
        cv::Mat rotation;
        double tolerance;
    };
    const Case cases[] = {
        {"angle 0: identity, whatever the axis",
         {0.3, 0.4, 0.5},
         0.0,
         cv::Mat::eye(3, 3, CV_64F),
         0.0},
        {"quarter turn about z",
         {0, 0, 1},
         pi / 2,
         matrix(3, 3, {0, -1, 0, 1, 0, 0, 0, 0, 1}),
         1e-15},
        {"half turn about x", {1, 0, 0}, pi, matrix(3, 3, {1, 0, 0, 0, -1, 0, 0, 0, -1}), 1e-15},
        {"axis used as delivered, not normalised",
         {0, 0, 2},
         pi / 2,
         matrix(3, 3, {0, -2, 0, 2, 0, 0, 0, 0, 4}),
         1e-15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        FaroTestScan scan = faroScan(QStringLiteral("s"), 2, 2, 0.0);
        scan.position = {500000.125, 5400000.25, 101.5};
        scan.axis = c.axis;
        scan.angle = c.angle;
        ScanSourceFaro reader;
        ASSERT_TRUE(reader.fetchFiles({writeFaroWorkspace(dir.path(), {scan})}));

        cv::Mat pose;
        reader.scanPose(0, pose);
        ASSERT_EQ(pose.size(), cv::Size(4, 4));
        EXPECT_TRUE(near(pose(cv::Rect(0, 0, 3, 3)), c.rotation, c.tolerance));
        EXPECT_TRUE(near(pose.col(3), matrix(4, 1, {500000.125, 5400000.25, 101.5, 1}), 0.0));
        EXPECT_TRUE(near(pose.row(3), matrix(1, 4, {0, 0, 0, 1}), 0.0));

        // The parts go into the caller's matrices, which keep their data.
        cv::Mat rotation(3, 3, CV_64F, cv::Scalar(-7));
        cv::Mat translation(3, 1, CV_64F, cv::Scalar(-7));
        const cv::Mat sharedRotation = rotation;
        reader.scanPoseParts(0, rotation, translation);
        EXPECT_TRUE(near(sharedRotation, c.rotation, c.tolerance));
        EXPECT_TRUE(near(translation, matrix(3, 1, {500000.125, 5400000.25, 101.5}), 0.0));
        EXPECT_FALSE(reader.isScanOpen(0)) << "a pose needs no loaded scan";
    }
}

TEST(FaroReader, OpensOnlyScansOfTheWorkspaceAndKeepsSeveralLoaded)
{
    TwoScans ws;
    ScanSourceFaro reader;
    EXPECT_FALSE(reader.openScan(0)) << "before fetchFiles";
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    for (int i : {-1, 2}) {
        EXPECT_FALSE(reader.openScan(i)) << i;
        EXPECT_FALSE(reader.closeScan(i)) << i;
        EXPECT_FALSE(reader.isScanOpen(i)) << i;
    }
    EXPECT_TRUE(reader.closeScan(1)) << "closing a scan that is not loaded";
    ASSERT_TRUE(reader.openScan(0));
    ASSERT_TRUE(reader.openScan(1));
    EXPECT_TRUE(reader.isScanOpen(0)) << "loading a scan unloads no other";
    EXPECT_TRUE(reader.isScanOpen(1));
    EXPECT_TRUE(reader.closeScan(0));
    EXPECT_FALSE(reader.isScanOpen(0));
    EXPECT_TRUE(reader.isScanOpen(1));
}

TEST(FaroReader, SharesOneColumnCursorThatOnlyARewindResets)
{
    TwoScans ws;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    EXPECT_EQ(readWholeScan(reader, 0).points, ws.north.points); // cursor now at column 8

    // Without a rewind the next scan goes on at column 8.
    EXPECT_EQ(readWholeScan(reader, 1).points, slice(ws.south.points, 16, 4));

    // The engine's rewindPoints after each scan is what starts the next one at column 0.
    reader.rewindPoints();
    EXPECT_EQ(readWholeScan(reader, 1).points, ws.south.points);
    reader.rewindPoints();
    reader.closeScan(1);

    // Neither closing nor opening moves the cursor.
    cv::Mat chunk;
    ASSERT_TRUE(reader.openScan(1));
    ASSERT_TRUE(reader.readPoints(1, chunk, 3));
    reader.closeScan(1);
    EXPECT_EQ(readWholeScan(reader, 1).points, slice(ws.south.points, 6, 14));
}

TEST(FaroReader, DeliversPolarValuesAndTheDepthImage)
{
    TwoScans ws;
    ws.north.points[4] = {0, 0, 0}; // a missing return
    writeFile(faroPointsPath(ws.dir.path(), ws.north), faroPointsFile(3, 8, ws.north.points));
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));

    CaptureDiagnostics out;
    cv::Mat depth;
    ASSERT_TRUE(reader.computeScanDepthImage(0, depth));
    EXPECT_EQ(out.lines(), QStringList({"Compute ScanDepthImage"}));
    ASSERT_EQ(depth.size(), cv::Size(8, 3));
    for (int c = 0; c < 8; ++c) {
        for (int j = 0; j < 3; ++j) {
            const cv::Vec3d& p = ws.north.points[std::size_t(3 * c + j)];
            EXPECT_DOUBLE_EQ(depth.at<double>(j, c), std::sqrt(p.dot(p))) << j << ", " << c;
        }
    }

    // The depth image rewound the cursor: polar reads start at column 0 again.
    cv::Mat polar;
    EXPECT_TRUE(reader.readPolarDataFromScan(0, polar, 2));
    ASSERT_EQ(polar.size(), cv::Size(6, 3));
    for (int k = 0; k < 6; ++k) {
        const cv::Vec3d& p = ws.north.points[std::size_t(k)];
        const double range = std::sqrt(p.dot(p));
        EXPECT_DOUBLE_EQ(polar.at<double>(0, k), range);
        EXPECT_DOUBLE_EQ(polar.at<double>(1, k), range > 0 ? std::acos(p[2] / range) : 0.0);
        EXPECT_DOUBLE_EQ(polar.at<double>(2, k), range > 0 ? std::atan2(p[1], p[0]) : 0.0);
    }
    EXPECT_TRUE(reader.readPolarDataFromScan(0, polar, 100));
    EXPECT_EQ(polar.cols, 18);
    EXPECT_FALSE(reader.readPolarDataFromScan(0, polar, 1));
    EXPECT_EQ(polar.size(), cv::Size(1, 3));
}

TEST(FaroReader, PointListsHoldOnePointPerEntry)
{
    TwoScans ws;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    std::vector<cv::Mat> list;
    std::vector<cv::Vec3d> points;
    std::vector<bool> results;
    for (int call = 0; call < 5; ++call) {
        results.push_back(reader.readPointList(1, list, 4));
        for (const cv::Mat& entry : list) {
            ASSERT_EQ(entry.size(), cv::Size(1, 4));
            EXPECT_EQ(entry.at<double>(3), 1.0);
            points.emplace_back(entry.at<double>(0), entry.at<double>(1), entry.at<double>(2));
        }
        if (!results.back())
            break;
    }
    EXPECT_EQ(results, std::vector<bool>({true, true, false}));
    EXPECT_EQ(points, ws.south.points);

    reader.rewindPoints();
    EXPECT_TRUE(reader.readPolarPointList(1, list, 1));
    ASSERT_EQ(list.size(), std::size_t(2));
    const cv::Vec3d& first = ws.south.points[0];
    EXPECT_EQ(list[0].size(), cv::Size(1, 3));
    EXPECT_DOUBLE_EQ(list[0].at<double>(0), std::sqrt(first.dot(first)));
}

TEST(FaroReader, NamesKeepEveryCharacter)
{
    QTemporaryDir dir;
    const FaroTestScan scan = faroScan(QStringLiteral("Süd-Ost Ω 1"), 2, 2, 0.0);
    ScanSourceFaro reader;
    QStringList names = {QStringLiteral("kept")};
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({"kept"})) << "no workspace: the list stays";
    ASSERT_TRUE(reader.fetchFiles({writeFaroWorkspace(dir.path(), {scan})}));
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({QStringLiteral("Süd-Ost Ω 1.fls")}));
}

TEST(FaroReader, ScanTheLibraryCannotLoadDoesNotOpen)
{
    struct Case
    {
        const char* name;
        std::function<void(const QString& pointsFile)> damage;
        QStringList extraLines;
        int status;
        const char* lineStart; // of the stand-in's line
    };
    const Case cases[] = {
        {"marked to fail", [](const QString&) {}, {"load-status = 5"}, 5, nullptr},
        {"points file missing",
         [](const QString& f) { QFile::remove(f); },
         {},
         1,
         "FARO stand-in: cannot open the points file "},
        {"points file truncated",
         [](const QString& f) { QFile(f).resize(QFile(f).size() - 10); },
         {},
         3,
         "FARO stand-in: the points file "},
        {"points file of another grid",
         [](const QString& f) { writeFile(f, faroPointsFile(4, 6, distinctPoints(24, 0))); },
         {},
         2,
         "FARO stand-in: "},
        {"not a points file",
         [](const QString& f) { writeFile(f, QByteArray(600, 'x')); },
         {},
         2,
         "FARO stand-in: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TwoScans ws(c.extraLines);
        c.damage(faroPointsPath(ws.dir.path(), ws.north));
        ScanSourceFaro reader;
        ASSERT_TRUE(reader.fetchFiles({ws.path}));
        CaptureDiagnostics out;
        EXPECT_FALSE(reader.openScan(0));
        EXPECT_FALSE(reader.isScanOpen(0));
        EXPECT_EQ(reader.lastLibraryStatus(), c.status);
        cv::Mat chunk = cv::Mat::zeros(2, 2, CV_64F);
        EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
        EXPECT_EQ(chunk.size(), cv::Size(1, 4)) << "the placeholder";
        if (c.lineStart) {
            ASSERT_FALSE(out.lines().isEmpty());
            EXPECT_TRUE(out.lines().first().startsWith(QLatin1String(c.lineStart))) << out.text();
        }
        EXPECT_EQ(readWholeScan(reader, 1).points, ws.south.points) << "the other scan loads";
    }
}

TEST(FaroReader, ColumnsTheLibraryCannotDeliverAreNotMadeUp)
{
    TwoScans ws;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    ASSERT_TRUE(reader.openScan(0));
    // The file loses its last three columns while the scan is loaded.
    const QString file = faroPointsPath(ws.dir.path(), ws.north);
    ASSERT_TRUE(QFile(file).resize(FaroStandInLibrary::pointsHeaderSize + 5 * 3 * 24));

    CaptureDiagnostics out;
    cv::Mat chunk;
    EXPECT_TRUE(reader.readPoints(0, chunk, 1000));
    std::vector<cv::Vec3d> points;
    appendChunk(chunk, points);
    EXPECT_EQ(points, slice(ws.north.points, 0, 15));
    EXPECT_TRUE(chunk.isContinuous());
    EXPECT_EQ(out.lines(),
              QStringList({"FARO scan 0 column 5 not delivered (status 4)",
                           "FARO scan 0 column 6 not delivered (status 4)",
                           "FARO scan 0 column 7 not delivered (status 4)",
                           "FARO scan 0: 3 columns were not delivered by the library"}));
    EXPECT_EQ(
        reader.notes(),
        std::vector<ScanNote>({{0, "FARO scan 0: 3 columns were not delivered by the library"}}));

    // In polar reads they keep their place, as NaN.
    reader.rewindPoints();
    cv::Mat polar;
    EXPECT_TRUE(reader.readPolarDataFromScan(0, polar, 8));
    ASSERT_EQ(polar.cols, 24);
    EXPECT_FALSE(std::isnan(polar.at<double>(0, 14)));
    for (int k = 15; k < 24; ++k)
        EXPECT_TRUE(std::isnan(polar.at<double>(0, k))) << k;
}

TEST(FaroReader, LibraryErrorsBecomeFailedCallsWithOneErrorLine)
{
    // Each action makes one call through a door and answers its result.
    struct Action
    {
        const char* door; // the start of its error line, after "ScanSource::"
        std::function<bool(ScanSourceFaro&)> call;
    };
    const Action fetch{"fetchFiles failed", nullptr};
    const Action open{"openScan failed for scan 0",
                      [](ScanSourceFaro& r) { return r.openScan(0); }};
    const Action close{"closeScan failed for scan 0", [](ScanSourceFaro& r) {
                           EXPECT_TRUE(r.openScan(0));
                           return r.closeScan(0);
                       }};
    const Action dimensions{"scanDimensions failed for scan 0", [](ScanSourceFaro& r) {
                                int rows = 0;
                                int columns = 0;
                                return r.scanDimensions(0, rows, columns);
                            }};
    const Action read{"readPoints failed for scan 0", [](ScanSourceFaro& r) {
                          cv::Mat chunk;
                          const bool more = r.readPoints(0, chunk, 1000);
                          EXPECT_EQ(chunk.cols, 1) << "the placeholder";
                          return more;
                      }};
    const Action pose{"scanPose failed for scan 0", [](ScanSourceFaro& r) {
                          cv::Mat p;
                          return r.scanPose(0, p);
                      }};
    const Action names{"scanNames failed", [](ScanSourceFaro& r) {
                           QStringList n = {QStringLiteral("old")};
                           const bool listed = r.scanNames(n);
                           EXPECT_TRUE(n.isEmpty());
                           return listed;
                       }};
    const Action depth{"readPolarDataFromScan failed for scan 0", [](ScanSourceFaro& r) {
                           cv::Mat d;
                           return r.computeScanDepthImage(0, d);
                       }};
    struct Case
    {
        const char* line;
        bool inScan;
        const Action* action;
        HResult hresult;
        std::string interfaceId;
    };
    const Case cases[] = {
        {"fail = open 0x80004005", false, &fetch, HResult(0x80004005), libraryId},
        {"fail = count 0x8000FFFF", false, &fetch, HResult(0x8000FFFF), libraryId},
        {"fail = before-load -2147467259", false, &open, HResult(0x80004005), libraryId},
        {"fail = load 0x80070057", true, &open, HResult(0x80070057), libraryId},
        {"fail = unload 0x80004005", true, &close, HResult(0x80004005), libraryId},
        {"fail = rows 0x80004005", true, &dimensions, HResult(0x80004005), libraryId},
        {"fail = columns 0x80004005", true, &read, HResult(0x80004005), libraryId},
        {"fail = position 0x80004005", true, &pose, HResult(0x80004005), libraryId},
        {"fail = orientation 0x80004005", true, &pose, HResult(0x80004005), libraryId},
        {"fail = object 0x80004002", true, &names, HResult(0x80004002), libraryId},
        {"fail = object null", true, &names, HResult(0x80004003), scanObjectId},
        {"fail = name 0x80004001", true, &names, HResult(0x80004001), scanObjectId},
        {"fail = points 0x8007000E", true, &read, HResult(0x8007000E), libraryId},
        {"fail = polar 0x80004005", true, &depth, HResult(0x80004005), libraryId},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const QStringList line = {QString::fromLatin1(c.line)};
        TwoScans ws(c.inScan ? line : QStringList(), {}, c.inScan ? QStringList() : line);
        ScanSourceFaro reader;
        CaptureDiagnostics out;
        const bool fetched = reader.fetchFiles({ws.path});
        const bool succeeded = c.action == &fetch ? fetched : (fetched && c.action->call(reader));
        EXPECT_FALSE(succeeded);
        const std::string error = FaroComError(c.hresult, c.interfaceId).what();
        EXPECT_EQ(reader.errorCount(), 1);
        EXPECT_EQ(reader.lastError(), error);
        EXPECT_EQ(out.lines().count(QString::fromStdString(std::string("ScanSource::") +
                                                           c.action->door + ": " + error)),
                  1)
            << out.text();
    }
}

TEST(FaroReader, WithoutALibraryListingFailsInsteadOfCrashing)
{
    TwoScans ws;
    CaptureDiagnostics out;
    ScanSourceFaro reader(nullptr);
    EXPECT_EQ(out.lines(), QStringList({"FARO library could not be created"}));

    // Paths are judged before the library is needed.
    EXPECT_FALSE(reader.fetchFiles({ws.dir.filePath(QStringLiteral("SITE.FWS"))}));
    EXPECT_EQ(reader.errorCount(), 0);
    EXPECT_FALSE(reader.fetchFiles({ws.path}));
    EXPECT_EQ(reader.errorCount(), 1);
    EXPECT_EQ(reader.lastError(), "FARO library error 0x80004003 in interface "
                                  "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}");
    // Left in a defined state: no scans, nothing to open, read or place.
    EXPECT_EQ(reader.scanCount(), 0);
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_FALSE(reader.closeScan(0));
    cv::Mat chunk;
    EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
    cv::Mat pose = cv::Mat::eye(2, 2, CV_64F);
    EXPECT_FALSE(reader.scanPose(0, pose));
    EXPECT_EQ(pose.size(), cv::Size(2, 2));
    EXPECT_EQ(reader.errorCount(), 1) << "none of these asks the library";
}

TEST(FaroReader, CallsTheLibraryInItsOrder)
{
    TwoScans ws;
    auto recording = std::make_unique<RecordingLibrary>();
    RecordingLibrary& library = *recording;
    ScanSourceFaro reader(std::move(recording));
    ASSERT_TRUE(reader.fetchFiles({ws.path}));
    ASSERT_TRUE(reader.openScan(1));
    ASSERT_TRUE(reader.openScan(1));
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat chunk;
    ASSERT_TRUE(reader.readPoints(1, chunk, 2));
    reader.closeScan(1);
    reader.closeScan(1);
    EXPECT_EQ(library.calls,
              QStringList({"prepareScanLoad 0", "loadScan 1", "prepareScanLoad 0", "loadScan 0",
                           "cartesianColumn 1 0 0 2", "cartesianColumn 1 0 1 2", "unloadScan 1"}));
    EXPECT_TRUE(reader.isScanOpen(0));
}

TEST(FaroReader, FactoryCreatesItForAnyCaseOfFws)
{
    for (const char* path : {"site.fws", "SITE.FWS"}) {
        const std::unique_ptr<ScanSource> reader = createScanSource(QString::fromLatin1(path));
        EXPECT_NE(dynamic_cast<ScanSourceFaro*>(reader.get()), nullptr) << path;
    }
    EXPECT_EQ(supportedScanExtensions().indexOf(QStringLiteral(".fws")), 1) << "after .ptx";
}
