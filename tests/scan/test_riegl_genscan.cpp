// Riegl projects written by orthaven-genscan: the same points and poses as the PTX files
// of the same scene, to the last bit, and so the same layout, pixel for pixel.

#include "engine/LayoutCreator.h"
#include "genscan/GenScanJob.h"
#include "genscan/RieglWriter.h"
#include "layout/LayoutJob.h"
#include "scan/ScanSourcePTX.h"
#include "scan/ScanSourceRiegl.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

GenScanOptions sceneOptions(const QString& folder, const QString& format, Vec3 offset)
{
    GenScanOptions options;
    options.outputFolder = folder;
    options.format = format;
    options.oneFile = true;
    options.stations = 3;
    options.pointsPerColumn = 120;
    options.columns = 400; // 48,000 points: two chunks of the Riegl reader
    options.offset = offset;
    options.seed = 11;
    return options;
}

// Every scan of a source, read the engine's way, with its pose.
std::vector<ContractScan> readAll(ScanSource& reader)
{
    std::vector<ContractScan> scans;
    for (int i = 0; i < reader.scanCount(); ++i) {
        ContractScan scan;
        scan.points = readWholeScan(reader, i).points;
        reader.rewindPoints();
        reader.closeScan(i);
        reader.scanPose(i, scan.pose);
        scans.push_back(scan);
    }
    return scans;
}

// Every file a layout run wrote, by name.
std::map<QString, QByteArray> layoutFiles(ScanSource& reader, const QString& folder)
{
    TempAppData appData;
    layoutdef job;
    job.inputFiles = {QStringLiteral("scans")};
    job.view = Top;
    job.scanList = QBitArray(reader.scanCount(), true);
    job.clipLow = -100.0;
    job.clipHigh = 100.0;
    job.outputFile = QDir(folder).filePath(QStringLiteral("site.log"));
    job.imageType = QStringLiteral("png");
    job.resolution = 0.05;
    job.scannerDomain = 30.0;
    job.tileSize = 10.0;
    job.dxf = false; // the drawing labels the scans by their files, which differ by format
    LayoutCreator creator;
    creator.setScanSource(&reader);
    EXPECT_TRUE(creator.setup(job));
    creator.layout();
    EXPECT_FALSE(creator.failed);
    EXPECT_FALSE(creator.interrupted);
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        files[name] = readFile(QDir(folder).filePath(name));
    return files;
}

} // namespace

TEST(RieglGenScan, ProjectDeliversThePointsAndPosesOfThePtxFiles)
{
    for (const Vec3 offset : {Vec3{0, 0, 0}, Vec3{500000.0, 5400000.0, 100.0}}) {
        SCOPED_TRACE(offset.x);
        QTemporaryDir dir;
        GenScanJob ptx(sceneOptions(dir.filePath("ptx"), "ptx", offset));
        GenScanJob rsp(sceneOptions(dir.filePath("rsp"), "rsp", offset));
        ASSERT_TRUE(ptx.run()) << ptx.errorText().toStdString();
        ASSERT_TRUE(rsp.run()) << rsp.errorText().toStdString();
        ASSERT_EQ(rsp.files(), QStringList({dir.filePath("rsp/scan.rsp")}));

        CaptureDiagnostics quiet;
        ScanSourcePTX ptxReader;
        ASSERT_TRUE(ptxReader.fetchFiles(ptx.files()));
        const std::vector<ContractScan> expected = readAll(ptxReader);
        ASSERT_EQ(expected.size(), 3u);

        // The contract, with the PTX reader's points and poses as what must come out.
        ScanSourceContract contract;
        contract.label = "generated Riegl project";
        contract.createReader = [] { return std::make_unique<ScanSourceRiegl>(); };
        contract.inputFiles = rsp.files();
        contract.scans = expected;
        contract.maxPointsPerChunk = ScanSourceRiegl::chunkPoints;
        checkScanSourceContract(contract);

        ScanSourceRiegl reader;
        ASSERT_TRUE(reader.fetchFiles(rsp.files()));
        QStringList names;
        reader.scanNames(names);
        EXPECT_EQ(names, QStringList({"scan_001.p3s", "scan_002.p3s", "scan_003.p3s"}));
        EXPECT_TRUE(QFile::exists(dir.filePath("rsp/SCANS/ScanPos002/SINGLESCANS/scan_002.p3s")));

        // A georeferenced project carries its offset in the POP, as RiSCAN's do.
        const QByteArray project = readFile(rsp.files().first());
        EXPECT_EQ(project.contains("<matrix rows=\"4\" cols=\"4\"> 1 0 0 500000   0 1 0 5400000   "
                                   "0 0 1 0   0 0 0 1   </matrix>"),
                  offset.x != 0);
    }
}

TEST(RieglGenScan, LayoutEqualsThatOfThePtxFilesPixelForPixel)
{
    QTemporaryDir dir;
    const Vec3 offset{500000.0, 5400000.0, 0.0};
    GenScanJob ptx(sceneOptions(dir.filePath("ptx"), "ptx", offset));
    GenScanJob rsp(sceneOptions(dir.filePath("rsp"), "rsp", offset));
    ASSERT_TRUE(ptx.run());
    ASSERT_TRUE(rsp.run());

    CaptureDiagnostics quiet;
    ScanSourcePTX ptxReader;
    ASSERT_TRUE(ptxReader.fetchFiles(ptx.files()));
    ScanSourceRiegl rieglReader;
    ASSERT_TRUE(rieglReader.fetchFiles(rsp.files()));

    QDir().mkpath(dir.filePath("out-ptx"));
    QDir().mkpath(dir.filePath("out-rsp"));
    const auto fromPtx = layoutFiles(ptxReader, dir.filePath("out-ptx"));
    const auto fromRiegl = layoutFiles(rieglReader, dir.filePath("out-rsp"));
    ASSERT_GE(fromPtx.size(), 3u) << "tiles, thumbnail and log";
    EXPECT_TRUE(fromPtx.count("site.log"));
    EXPECT_TRUE(fromPtx.count("site_overview.png"));
    ASSERT_EQ(fromRiegl.size(), fromPtx.size());
    for (const auto& [name, bytes] : fromPtx) {
        ASSERT_TRUE(fromRiegl.count(name)) << name.toStdString();
        EXPECT_TRUE(fromRiegl.at(name) == bytes) << name.toStdString() << " differs";
    }
}

TEST(RieglGenScan, ProjectOffsetMultipliesBackExactly)
{
    const auto pose = [](double x, double y, double z) {
        return std::array<double, 16>{1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1};
    };
    struct Case
    {
        const char* name;
        std::vector<std::array<double, 16>> poses;
        std::array<double, 3> offset;
    };
    const Case cases[] = {
        {"no offset", {pose(3.25, 4.1, 1.5), pose(9.7, 2.2, 1.45)}, {0, 0, 0}},
        {"georeferenced",
         {pose(500003.12345, 5400004.1, 101.5), pose(500011.7, 5399998.2, 101.45)},
         {500000, 5400000, 0}},
        {"grid coordinates in the millions",
         {pose(1999920.503766, 2000023.268344, 2842.185861)},
         {2000000, 2000000, 3000}},
        // 0.1 + 0.2 style sums: 1000 - 999.9 is not exactly 0.1, so this axis stays at 0.
        {"inexact difference", {pose(999.9000000000001, 0, 0), pose(1.1, 0, 0)}, {0, 0, 0}},
        {"nothing to place", {}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::array<double, 3> offset = RieglWriter::projectOffset(c.poses);
        EXPECT_EQ(offset, c.offset);
        for (const auto& p : c.poses) {
            for (int axis = 0; axis < 3; ++axis) {
                const double t = p[std::size_t(4 * axis + 3)];
                const double o = offset[std::size_t(axis)];
                EXPECT_EQ((t - o) + o, t);
            }
        }
    }
}

TEST(RieglGenScan, MatrixNumbersAreWrittenTheRiscanWay)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {1, "1"},
        {-128300, "-128300"},
        {0.99566497679815923, "0.9956649767981592"},
        {4.7632160018149184E-005, "4.7632160018149184E-005"},
        {-5.2554397717696518E-019, "-5.255439771769652E-019"},
        {1e-4, "0.0001"},
        {500000, "500000"},
        {1e17, "1E+017"},
        {1e20, "1E+020"},
        {3143447.4201939853, "3143447.420193985"},
    };
    for (const auto& c : cases) {
        std::string text;
        RieglWriter::appendNumber(text, c.value);
        EXPECT_EQ(text, c.text);
    }
}

TEST(RieglGenScan, FailedWriteLeavesNoStreamWithoutItsProject)
{
    QTemporaryDir dir;
    // The project's own name is taken by a folder, so the project cannot be saved.
    QDir().mkpath(dir.filePath("scan.rsp"));
    GenScanJob job(sceneOptions(dir.path(), "rsp", {}));
    EXPECT_FALSE(job.run());
    EXPECT_FALSE(job.errorText().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("SCANS/ScanPos001/SINGLESCANS/scan_001.p3s")));
    EXPECT_FALSE(QFile::exists(dir.filePath("SCANS/ScanPos003/SINGLESCANS/scan_003.p3s")));
}
