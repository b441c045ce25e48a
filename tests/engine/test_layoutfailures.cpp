#include "LayoutRun.h"
#include "platform/DurableFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

using namespace orthaven;
using namespace orthaven::test;

namespace {

FakeScan flatScan(std::vector<cv::Vec3d> points, const cv::Mat& pose = cv::Mat::eye(4, 4, CV_64F))
{
    FakeScan s;
    s.name = QStringLiteral("scan");
    s.pose = pose;
    s.points = std::move(points);
    return s;
}

void expectFailedWith(const LayoutRun& run, int code)
{
    EXPECT_TRUE(run.creator.failed);
    EXPECT_FALSE(run.creator.stopRequested);
    EXPECT_FALSE(run.creator.interrupted);
    EXPECT_EQ(run.creator.errorCode, code);
    EXPECT_EQ(run.creator.statusText(), "");
    EXPECT_EQ(run.creator.progressDone, 0.0f);
    EXPECT_EQ(run.creator.progressTotal, 1.0f);
    EXPECT_TRUE(run.creator.finished);
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty())
        << run.temporaryLeftovers().join(' ').toStdString();
}

} // namespace

TEST(LayoutFailures, NoScanSelectedEndsWithNotEnoughData)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05)), flatScan(patch(5, 5, 1, 0.05))});
    run.job.scanList = QBitArray(2, false);
    ASSERT_TRUE(run.run());
    expectFailedWith(run, NotEnoughData);
    EXPECT_TRUE(run.source.calls().isEmpty()); // no scan was opened, no point read
    EXPECT_TRUE(run.lines.contains("ERROR STATUS: 4  ... not enough data"));
    EXPECT_TRUE(run.outputFiles().isEmpty());
}

TEST(LayoutFailures, StopDuringTheScansLeavesNothingBehind)
{
    LayoutRun run({flatScan(patch(2, 2, 2, 0.05)), flatScan(patch(5, 5, 1, 0.05))}, 100);
    run.source.onChunk = [&run](int scan, int chunk) {
        if (scan == 0 && chunk == 0)
            run.creator.requestStop();
    };
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.creator.interrupted);
    EXPECT_FALSE(run.creator.failed);
    EXPECT_TRUE(run.creator.finished);
    EXPECT_TRUE(run.outputFiles().isEmpty());
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty());
    // The block in hand is finished, then the scan is given back and no other is opened.
    EXPECT_EQ(run.source.calls(), QStringList({"open 0", "pose 0", "read 0", "rewind", "close 0"}));

    // setup clears the request: the next run goes through.
    run.source.onChunk = nullptr;
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.succeeded());
}

TEST(LayoutFailures, StatusIsPolledAndStopIsRequestedFromAnotherThread)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05)), flatScan(patch(5, 5, 1, 0.05))}, 50);
    std::mutex lock;
    std::condition_variable changed;
    bool reading = false;
    bool released = false;
    run.source.onChunk = [&](int scan, int chunk) {
        if (scan != 1 || chunk != 0)
            return;
        std::unique_lock<std::mutex> guard(lock);
        reading = true;
        changed.notify_all();
        // only a guard against a hanging test; the other side answers at once
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return released; });
    };
    ASSERT_TRUE(run.creator.setup(run.job));
    std::thread worker([&run] {
        CaptureDiagnostics quiet;
        run.creator.layout();
    });

    StatusSnapshot seen;
    {
        std::unique_lock<std::mutex> guard(lock);
        const bool arrived =
            changed.wait_for(guard, std::chrono::seconds(60), [&] { return reading; });
        EXPECT_TRUE(arrived);
        seen = run.creator.snapshot();
        run.creator.requestStop();
        released = true;
        changed.notify_all();
    }
    worker.join();

    EXPECT_EQ(seen.statusText, "Loading Scan 2 of 2");
    EXPECT_EQ(seen.progressDone, 2.0f);
    EXPECT_EQ(seen.progressTotal, 2.0f);
    EXPECT_FALSE(seen.finished);
    EXPECT_FALSE(seen.stopRequested);
    EXPECT_TRUE(run.creator.stopRequested);
    EXPECT_TRUE(run.creator.interrupted);
    EXPECT_TRUE(run.creator.finished);
    EXPECT_TRUE(run.outputFiles().isEmpty());
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty());
}

TEST(LayoutFailures, OutputTileThatCannotBeWrittenFailsTheRun)
{
    struct Case
    {
        const char* name;
        void (*prepare)(LayoutRun&);
        QString line;  // the error line, with the failed path and the cause
        QString where; // the failed path below the output folder
        QString cause;
    };
    const Case cases[] = {
        {"folder below a plain file",
         [](LayoutRun& run) {
             writeFile(run.out.filePath("plain"), "x");
             run.job.outputFile = run.out.filePath("plain/site.log");
         },
         "ERROR: cannot write into the output folder %1: %1: not a folder", "", "not a folder"},
        {"a folder where the first tile belongs",
         [](LayoutRun& run) { QDir(run.out.path()).mkdir("site_0_0.png"); },
         "ERROR: could not write %1/site_0_0.png: a folder stands in its place", "/site_0_0.png",
         "a folder stands in its place"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
        c.prepare(run);
        const QStringList before = run.outputFiles();
        ASSERT_TRUE(run.run());
        expectFailedWith(run, OutputFolderAccess);
        const QString folder = QFileInfo(run.job.outputFile).absolutePath();
        EXPECT_TRUE(run.lines.contains(c.line.arg(folder))) << run.lines.join('\n').toStdString();
        EXPECT_EQ(run.creator.failurePath(), (folder + c.where).toStdString());
        EXPECT_EQ(run.creator.failureCause(), c.cause.toStdString());
        EXPECT_EQ(run.outputFiles(), before);
    }
}

TEST(LayoutFailures, LogThatCannotBeWrittenIsNoSuccess)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
    QDir(run.out.path()).mkdir("site.log");
    ASSERT_TRUE(run.run());
    expectFailedWith(run, LogFileAccess);
    EXPECT_EQ(LogFileAccess, 5);
    EXPECT_TRUE(
        run.lines.contains("ERROR: could not write the layout log " + run.outputPath("site.log")));
    EXPECT_TRUE(QFileInfo(run.outputPath("site.log")).isDir());
    EXPECT_EQ(run.outputFiles(), QStringList{"site.log"}) << "no tiles without their log";
}

TEST(LayoutFailures, AThumbnailTheDiskCannotTakeFailsTheRunAfterItsLastCheckpoint)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
    qputenv("ORTHAVEN_TEST_WRITE_FAULT", "thumbnail:last");
    ASSERT_TRUE(run.run());
    qunsetenv("ORTHAVEN_TEST_WRITE_FAULT");
    expectFailedWith(run, OutputFolderAccess);
    EXPECT_TRUE(run.lines.contains("ERROR: could not write " + run.outputPath("site_overview.png") +
                                   ": " + diskFullText()));
    EXPECT_TRUE(run.outputFiles().isEmpty());
}

TEST(LayoutFailures, NoTemporaryFolderIsReportedBeforeAnyPointIsRead)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
    writeFile(run.appData.path() + "/Brandmoor", "a file where the folder belongs");
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.creator.failed);
    EXPECT_EQ(run.creator.errorCode, TempFileAccess);
    EXPECT_TRUE(run.source.calls().isEmpty());
    EXPECT_TRUE(run.outputFiles().isEmpty());
}

TEST(LayoutFailures, UnsoundSettingsAreRefusedBeforeAnythingIsWritten)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        const char* name;
        std::function<void(layoutdef&)> change;
        int code;
    };
    const Case cases[] = {
        {"resolution 0", [](layoutdef& j) { j.resolution = 0.0; }, InvalidSettings},
        {"negative resolution", [](layoutdef& j) { j.resolution = -0.01; }, InvalidSettings},
        {"resolution NaN", [nan](layoutdef& j) { j.resolution = nan; }, InvalidSettings},
        {"resolution above the tile", [](layoutdef& j) { j.resolution = 11.0; }, InvalidSettings},
        {"tile size below 10 m", [](layoutdef& j) { j.tileSize = 5.0; }, InvalidSettings},
        {"tile size 0", [](layoutdef& j) { j.tileSize = 0.0; }, InvalidSettings},
        {"tile size not a multiple of 10 m", [](layoutdef& j) { j.tileSize = 25.0; },
         InvalidSettings},
        {"tile size NaN", [nan](layoutdef& j) { j.tileSize = nan; }, InvalidSettings},
        {"tile size absurd", [](layoutdef& j) { j.tileSize = 1.0e300; }, InvalidSettings},
        {"scanner domain 0", [](layoutdef& j) { j.scannerDomain = 0.0; }, InvalidSettings},
        {"scanner domain NaN", [nan](layoutdef& j) { j.scannerDomain = nan; }, InvalidSettings},
        {"unknown view", [](layoutdef& j) { j.view = 7; }, InvalidSettings},
        {"clipping plane NaN", [nan](layoutdef& j) { j.clipLow = nan; }, InvalidSettings},
        {"clipping plane infinite", [inf](layoutdef& j) { j.clipHigh = inf; }, InvalidSettings},
        {"unknown image type", [](layoutdef& j) { j.imageType = "xyz"; }, InvalidSettings},
        {"no image type", [](layoutdef& j) { j.imageType.clear(); }, InvalidSettings},
        {"no output file", [](layoutdef& j) { j.outputFile.clear(); }, InvalidSettings},
        {"gigapixel tiles", [](layoutdef& j) { j.resolution = 1.0e-6; }, NotEnoughMemory},
        {"40 m tiles just under 2 mm",
         [](layoutdef& j) {
             j.tileSize = 40.0;
             j.resolution = 0.0019;
         },
         NotEnoughMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
        c.change(run.job);
        EXPECT_FALSE(run.run()); // setup says so
        expectFailedWith(run, c.code);
        ASSERT_FALSE(run.lines.isEmpty());
        EXPECT_TRUE(run.lines[0].startsWith("ERROR: invalid layout settings: "));
        EXPECT_TRUE(run.source.calls().isEmpty());
        EXPECT_TRUE(QDir(run.out.path()).isEmpty());
    }

    // The largest tiles the preferences offer (40 m at 2 mm) are accepted.
    LayoutRun largest({flatScan({})});
    largest.job.tileSize = 40.0;
    largest.job.resolution = 0.002;
    EXPECT_TRUE(largest.creator.setup(largest.job));
}

TEST(LayoutFailures, RunWithoutAScanSourceIsRefused)
{
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05))});
    run.creator.setScanSource(nullptr);
    run.run();
    expectFailedWith(run, InvalidSettings);
    EXPECT_EQ(run.lines.value(0), "ERROR: invalid layout settings: no scan source");
}

TEST(LayoutFailures, LayoutWiderThanTheThumbnailIsRefusedBeforeWritingTiles)
{
    // Two patches 40 km apart: 4001 tiles of 10 m in a row.
    LayoutRun run({flatScan(patch(2, 2, 1, 0.05)),
                   flatScan(patch(2, 2, 1, 0.05), FakeScanSource::translation(40000, 0, 0))});
    ASSERT_TRUE(run.run());
    expectFailedWith(run, NotEnoughMemory);
    EXPECT_TRUE(run.lines.contains("ERROR: a layout of 4001 x 1 tiles is too large"));
    EXPECT_TRUE(run.outputFiles().isEmpty());
}

TEST(LayoutFailures, ScanWithoutAUsablePoseIsLeftOut)
{
    cv::Mat broken = cv::Mat::eye(4, 4, CV_64F);
    broken.at<double>(0, 3) = std::numeric_limits<double>::quiet_NaN();
    LayoutRun run({flatScan(patch(5, 5, 1, 0.05), broken), flatScan(patch(2, 2, 1, 0.05))});
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.succeeded());
    EXPECT_TRUE(run.lines.contains("Scan load failed"));
    EXPECT_FALSE(run.creator.scanList.testBit(0));
    // and the scan was given back
    EXPECT_TRUE(run.source.calls().mid(0, 3) == QStringList({"open 0", "pose 0", "close 0"}));
}

TEST(LayoutFailures, AReaderErrorFailsTheRunWhicheverThreadRead)
{
    // With more than one thread the scans are read on a thread of their own: an error
    // caught there is no less the run's.
    for (const int threads : {1, 4}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        LayoutRun run({flatScan(patch(2, 2, 2, 0.05)), flatScan(patch(5, 5, 1, 0.05))}, 100);
        run.job.threads = threads;
        run.source.onChunk = [](int scan, int chunk) {
            if (scan == 0 && chunk == 3)
                throw std::runtime_error("the scan broke");
        };
        ASSERT_TRUE(run.run());
        expectFailedWith(run, ScanSourceError);
        EXPECT_TRUE(run.lines.contains("ERROR: reading the scans failed: the scan broke"));
        EXPECT_TRUE(run.outputFiles().isEmpty());
        EXPECT_FALSE(run.source.calls().contains("open 1")) << "no scan after the broken one";
    }
}
