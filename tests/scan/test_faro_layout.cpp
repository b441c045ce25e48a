// FARO workspaces written by orthaven-genscan, end to end: the same points and poses as the
// PTX file of the same stations, the same layout pixel for pixel, a scan the library cannot
// load skipped by the engine, and a library error leaving the engine as FaroComError.

#include "creator/layoutdef.h"
#include "engine/LayoutCreator.h"
#include "genscan/GenScanJob.h"
#include "scan/ScanSourceFaro.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureStdout.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <numbers>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

// The same stations in both formats; a georeferenced offset, so that translations are
// large and every bit of them counts.
QStringList generate(const QString& folder, const QString& format, int stations = 3)
{
    GenScanOptions options;
    options.outputFolder = folder;
    options.format = format;
    options.stations = stations;
    options.pointsPerColumn = 60;
    options.columns = 120;
    options.oneFile = true;
    options.offset = {500000.0, 5400000.0, 100.0};
    options.seed = 3; // two of its three headings needed a nudge to store exactly
    GenScanJob job(options);
    EXPECT_TRUE(job.run()) << job.errorText().toStdString();
    return job.files();
}

struct LayoutResult
{
    bool succeeded = false;
    QStringList lines;
    QBitArray scansUsed;
    std::map<QString, QByteArray> files;
    std::map<QString, QImage> images;
};

LayoutResult layOut(ScanSource& reader, std::uint32_t view)
{
    TempAppData appData;
    QTemporaryDir out;
    layoutdef job;
    job.inputFiles = {QStringLiteral("scans")};
    job.view = view;
    job.scanList = QBitArray(reader.scanCount(), true);
    job.clipLow = view == Top ? 0.1 : -1e9; // Top: the floor cut away
    job.clipHigh = 1e9;
    job.outputFile = out.filePath(QStringLiteral("site.log"));
    job.imageType = QStringLiteral("png");
    job.resolution = 0.02;
    job.scannerDomain = 30.0;
    job.tileSize = 10.0;

    LayoutCreator creator;
    creator.setScanSource(&reader);
    LayoutResult result;
    EXPECT_TRUE(creator.setup(job));
    {
        CaptureStdout capture;
        creator.layout();
        result.lines = capture.lines();
    }
    result.succeeded = !creator.failed && !creator.stopRequested;
    result.scansUsed = creator.scanList;
    for (const QString& name : QDir(out.path()).entryList(QDir::Files)) {
        result.files[name] = readFile(out.filePath(name));
        if (name.endsWith(QLatin1String(".png")))
            result.images[name] = QImage(out.filePath(name));
    }
    return result;
}

// Reads a generated workspace, edits its text and writes it back.
void editWorkspace(const QString& path, const QByteArray& from, const QByteArray& to)
{
    QByteArray text = readFile(path);
    ASSERT_TRUE(text.contains(from));
    writeFile(path, text.replace(from, to));
}

} // namespace

TEST(FaroGenerated, WorkspaceDeliversThePtxPointsAndPosesBitForBit)
{
    QTemporaryDir ptxDir;
    QTemporaryDir fwsDir;
    const QStringList ptx = generate(ptxDir.path(), QStringLiteral("ptx"));
    const QStringList fws = generate(fwsDir.path(), QStringLiteral("fws"));
    ASSERT_EQ(fws, QStringList({fwsDir.filePath(QStringLiteral("scan.fws"))}));

    CaptureStdout quiet;
    ScanSourcePTX ptxReader;
    ASSERT_TRUE(ptxReader.fetchFiles(ptx));
    ScanSourceContract contract;
    contract.label = "generated workspace against the PTX file of the same stations";
    contract.createReader = [] { return std::make_unique<ScanSourceFaro>(); };
    contract.inputFiles = fws;
    contract.singleOpenScan = false;
    contract.dimensionsOpenScan = true;
    for (int i = 0; i < ptxReader.scanCount(); ++i) {
        cv::Mat pose;
        ptxReader.scanPose(i, pose);
        contract.scans.push_back({readWholeScan(ptxReader, i).points, pose.clone(), 60, 120});
        ptxReader.rewindPoints();
    }
    ASSERT_EQ(contract.scans.size(), std::size_t(3));
    checkScanSourceContract(contract); // points and poses compared with tolerance 0

    // ... and bit for bit, so that not even the sign of a zero differs.
    ScanSourceFaro faroReader;
    ASSERT_TRUE(faroReader.fetchFiles(fws));
    for (int i = 0; i < 3; ++i) {
        cv::Mat pose;
        faroReader.scanPose(i, pose);
        ASSERT_TRUE(pose.isContinuous());
        EXPECT_EQ(std::memcmp(pose.ptr<double>(), contract.scans[std::size_t(i)].pose.ptr<double>(),
                              16 * sizeof(double)),
                  0)
            << "scan " << i;
    }
    QStringList names;
    faroReader.scanNames(names);
    EXPECT_EQ(names, QStringList({"scan_000.fls", "scan_001.fls", "scan_002.fls"}));
}

TEST(FaroGenerated, WorkspaceLaysOutLikeThePtxFilePixelForPixel)
{
    QTemporaryDir ptxDir;
    QTemporaryDir fwsDir;
    const QStringList ptx = generate(ptxDir.path(), QStringLiteral("ptx"));
    const QStringList fws = generate(fwsDir.path(), QStringLiteral("fws"));
    for (const std::uint32_t view : {std::uint32_t(Top), std::uint32_t(Front)}) {
        SCOPED_TRACE(view == Top ? "top view" : "front view");
        CaptureStdout quiet;
        ScanSourcePTX ptxReader;
        ASSERT_TRUE(ptxReader.fetchFiles(ptx));
        ScanSourceFaro faroReader;
        ASSERT_TRUE(faroReader.fetchFiles(fws));
        const LayoutResult fromPtx = layOut(ptxReader, view);
        const LayoutResult fromFws = layOut(faroReader, view);
        ASSERT_TRUE(fromPtx.succeeded) << fromPtx.lines.join(QLatin1Char('\n')).toStdString();
        ASSERT_TRUE(fromFws.succeeded) << fromFws.lines.join(QLatin1Char('\n')).toStdString();

        ASSERT_GE(fromPtx.images.size(), std::size_t(2)) << "tiles and a thumbnail";
        ASSERT_EQ(fromFws.images.size(), fromPtx.images.size());
        for (const auto& [name, image] : fromPtx.images) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(fromFws.images.count(name), std::size_t(1));
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(fromFws.images.at(name) == image) << "pixels differ";
        }
        // The log carries the poses, tile names and corners: the same text.
        EXPECT_EQ(fromFws.files.at(QStringLiteral("site.log")),
                  fromPtx.files.at(QStringLiteral("site.log")));
    }
}

TEST(FaroGenerated, EngineSkipsAScanTheLibraryCannotLoad)
{
    QTemporaryDir dir;
    const QStringList fws = generate(dir.path(), QStringLiteral("fws"));
    editWorkspace(fws[0], "name = scan_001\n", "name = scan_001\nload-status = 9\n");
    CaptureStdout quiet;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles(fws));
    const LayoutResult result = layOut(reader, Top);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.lines.count(QStringLiteral("Scan load failed")), 1);
    EXPECT_TRUE(result.scansUsed.testBit(0));
    EXPECT_FALSE(result.scansUsed.testBit(1));
    EXPECT_TRUE(result.scansUsed.testBit(2));
    EXPECT_FALSE(reader.isScanOpen(1));
    EXPECT_EQ(reader.lastLibraryStatus(), 0) << "the next scan loaded and read";
}

TEST(FaroGenerated, LibraryErrorDuringALayoutLeavesTheEngineAsFaroComError)
{
    QTemporaryDir dir;
    const QStringList fws = generate(dir.path(), QStringLiteral("fws"));
    editWorkspace(fws[0], "name = scan_001\n", "name = scan_001\nfail = points 0x80004005\n");
    CaptureStdout quiet;
    auto reader = std::make_unique<ScanSourceFaro>();
    ASSERT_TRUE(reader->fetchFiles(fws));
    // What the layout task catches at its boundary.
    bool caught = false;
    try {
        layOut(*reader, Top);
    } catch (const FaroComError& e) {
        caught = true;
        EXPECT_EQ(e.hresult(), HResult(0x80004005));
        EXPECT_EQ(e.interfaceId(), faro::libraryInterfaceId);
    }
    EXPECT_TRUE(caught);
    // The reader is still whole: it reads another scan and is destroyed cleanly.
    reader->rewindPoints();
    EXPECT_EQ(readWholeScan(*reader, 2).points.size(), std::size_t(60 * 120));
    reader.reset();
}

TEST(FaroGenerated, EveryHeadingStoresExactlyAsAxisAndAngle)
{
    QTemporaryDir dir;
    GenScanOptions options;
    options.outputFolder = dir.path();
    options.format = QStringLiteral("fws");
    options.stations = 120;
    options.pointsPerColumn = 2;
    options.columns = 2;
    options.seed = 5;
    GenScanJob job(options);
    // The writer refuses a pose that its axis and angle would not give back exactly.
    ASSERT_TRUE(job.run()) << job.errorText().toStdString();
    for (int k = 0; k < options.stations; ++k) {
        const double seeded = 2 * std::numbers::pi * unitRandom(options.seed, 1, std::uint64_t(k));
        EXPECT_NEAR(job.stations()[std::size_t(k)].yaw, seeded, 1e-6) << "station " << k;
    }
}

TEST(FaroGenerated, WriterLeavesNothingBehindWhenAPointsFileCannotBeWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("scan_001.fwp"))));
    GenScanOptions options;
    options.outputFolder = dir.path();
    options.format = QStringLiteral("fws");
    options.stations = 3;
    options.pointsPerColumn = 4;
    options.columns = 4;
    GenScanJob job(options);
    EXPECT_FALSE(job.run());
    EXPECT_TRUE(job.errorText().contains(QStringLiteral("scan_001.fwp")))
        << job.errorText().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"scan_001.fwp"}));
}

TEST(FaroGenerated, ProgramWritesOneWorkspaceWithItsPointsFiles)
{
    QTemporaryDir dir;
    QProcess program;
    program.start(QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
                  {QStringLiteral("--format"), QStringLiteral("fws"), QStringLiteral("--output"),
                   dir.path(), QStringLiteral("--stations"), QStringLiteral("2"),
                   QStringLiteral("--points-per-column"), QStringLiteral("10"),
                   QStringLiteral("--columns"), QStringLiteral("20"), QStringLiteral("--name"),
                   QStringLiteral("site")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"site.fws", "site_000.fwp", "site_001.fwp"}));

    CaptureStdout quiet;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({dir.filePath(QStringLiteral("site.fws"))}));
    ASSERT_EQ(reader.scanCount(), 2);
    EXPECT_EQ(readWholeScan(reader, 1).points.size(), std::size_t(200));
}
