// FARO workspaces written by orthaven-genscan, end to end: the same points and poses as the
// PTX file of the same stations, the same layout pixel for pixel, and through the layout
// task a scan the library cannot load skipped, a library error failing the listing or the
// run instead of the program.

#include "creator/LayoutTask.h"
#include "engine/LayoutCreator.h"
#include "genscan/GenScanJob.h"
#include "layout/LayoutJob.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFaro.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFileInfo>
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

struct LaidOut
{
    bool succeeded = false;
    QStringList lines;
    QBitArray scansUsed;
    std::map<QString, QByteArray> files;
    std::map<QString, QImage> images;
};

LaidOut layOut(ScanSource& reader, std::uint32_t view)
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
    LaidOut result;
    EXPECT_TRUE(creator.setup(job));
    {
        CaptureDiagnostics capture;
        creator.layout();
        result.lines = capture.lines();
    }
    result.succeeded = !creator.failed && !creator.interrupted;
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

    CaptureDiagnostics quiet;
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
        CaptureDiagnostics quiet;
        ScanSourcePTX ptxReader;
        ASSERT_TRUE(ptxReader.fetchFiles(ptx));
        ScanSourceFaro faroReader;
        ASSERT_TRUE(faroReader.fetchFiles(fws));
        const LaidOut fromPtx = layOut(ptxReader, view);
        const LaidOut fromFws = layOut(faroReader, view);
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

// A generated workspace listed and laid out through the layout task, as the window does.
struct FaroTask : ::testing::Test
{
    TempAppData appData;
    QString workspace;
    QString output;
    LayoutTask task;

    void SetUp() override
    {
        ensureAppFolders();
        const QStringList files = generate(appData.path() + "/scans", QStringLiteral("fws"));
        ASSERT_EQ(files.size(), 1);
        workspace = files[0];
        output = appData.path() + "/out/site.log";
        QDir().mkpath(appData.path() + "/out");
    }

    // createReader and a FetchScans run; the console lines of both.
    QStringList list()
    {
        CaptureDiagnostics out;
        task.job = layoutdef();
        task.job.inputFiles = {workspace};
        if (!task.reader) {
            EXPECT_TRUE(task.createReader());
        }
        task.mode = FetchScans;
        task.start();
        task.wait();
        return out.lines();
    }

    QStringList compute()
    {
        layoutdef job;
        job.inputFiles = {workspace};
        job.view = Top;
        job.scanList = QBitArray(3, true);
        job.clipLow = 0.1;
        job.clipHigh = 1e9;
        job.outputFile = output;
        job.imageType = QStringLiteral("png");
        job.resolution = 0.02;
        job.scannerDomain = 30.0;
        job.tileSize = 10.0;
        task.job = job;
        task.mode = ComputeLayout;
        CaptureDiagnostics out;
        task.start();
        task.wait();
        return out.lines();
    }

    bool tempFolderIsEmpty() const
    {
        return QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
};

TEST_F(FaroTask, ListsTheWorkspaceAndLaysItOut)
{
    const QStringList listing = list();
    EXPECT_EQ(listing, QStringList({"Faro File ..... "}));
    ASSERT_TRUE(task.result);
    QStringList names;
    task.reader->scanNames(names);
    EXPECT_EQ(names, QStringList({"scan_000.fls", "scan_001.fls", "scan_002.fls"}));

    const QStringList lines = compute();
    EXPECT_TRUE(lines.contains(QStringLiteral("Task done, result code 0")));
    EXPECT_FALSE(task.creator.failed);
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_TRUE(tempFolderIsEmpty());
}

TEST_F(FaroTask, EngineSkipsAScanTheLibraryCannotLoad)
{
    editWorkspace(workspace, "name = scan_001\n", "name = scan_001\nload-status = 9\n");
    list();
    ASSERT_TRUE(task.result);
    const QStringList lines = compute();
    EXPECT_EQ(lines.count(QStringLiteral("Scan load failed")), 1);
    EXPECT_TRUE(lines.contains(QStringLiteral("Task done, result code 0")));
    EXPECT_TRUE(task.creator.scanList.testBit(0));
    EXPECT_FALSE(task.creator.scanList.testBit(1));
    EXPECT_TRUE(task.creator.scanList.testBit(2));
    EXPECT_TRUE(QFileInfo::exists(output));
}

TEST_F(FaroTask, LibraryErrorsEndTheListingNotTheProgram)
{
    struct Case
    {
        const char* name;
        bool withLibrary;
        QByteArray workspaceLine;
        QString line;
    };
    const Case cases[] = {
        {"library that could not be created",
         false,
         {},
         "ScanSource::fetchFiles failed: FARO library error 0x80004003 in interface "
         "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}"},
        {"workspace load failing in the library", true, "fail = open 0x80004005\n",
         "ScanSource::fetchFiles failed: FARO library error 0x80004005 in interface "
         "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.workspaceLine.isEmpty())
            editWorkspace(workspace, "orthaven-fws 1\n", "orthaven-fws 1\n" + c.workspaceLine);
        task.reader.reset();
        if (!c.withLibrary)
            task.reader = std::make_unique<ScanSourceFaro>(nullptr);
        const QStringList lines = list();
        EXPECT_FALSE(task.result);
        EXPECT_TRUE(lines.contains(c.line)) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(task.reader->scanCount(), 0);
    }
}

TEST_F(FaroTask, LibraryErrorDuringTheLayoutFailsTheRunAndCleansUp)
{
    // A scan that cannot be read or placed would be missing from the layout: no success.
    for (const char* call : {"points", "position"}) {
        SCOPED_TRACE(call);
        const QByteArray failure = QByteArray("fail = ") + call + " 0x80004005\n";
        editWorkspace(workspace, "name = scan_001\n", "name = scan_001\n" + failure);
        list();
        ASSERT_TRUE(task.result);
        const QStringList lines = compute();
        EXPECT_TRUE(lines.contains(QStringLiteral(
            "ERROR: reading the scans failed: FARO library error 0x80004005 in interface "
            "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}")))
            << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(lines.contains(QStringLiteral("Task failed, result code 7")));
        EXPECT_TRUE(task.result) << "a computation's result is the engine's failed flag";
        EXPECT_EQ(task.creator.errorCode, ScanSourceError);
        EXPECT_FALSE(QFileInfo::exists(output));
        EXPECT_TRUE(tempFolderIsEmpty());
        editWorkspace(workspace, failure, "");
    }
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

    CaptureDiagnostics quiet;
    ScanSourceFaro reader;
    ASSERT_TRUE(reader.fetchFiles({dir.filePath(QStringLiteral("site.fws"))}));
    ASSERT_EQ(reader.scanCount(), 2);
    EXPECT_EQ(readWholeScan(reader, 1).points.size(), std::size_t(200));
}
