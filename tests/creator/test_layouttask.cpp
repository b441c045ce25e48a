#include "creator/LayoutTask.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// One scan at the origin looking at a 6 m × 6 m floor 1.5 m below it, 0.1 m apart.
QByteArray floorScanPtx()
{
    QByteArray text = "60\n60\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
                      "1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";
    for (int c = 0; c < 60; ++c) {
        for (int r = 0; r < 60; ++r)
            text += QByteArray::number(-3.0 + 0.1 * c) + ' ' + QByteArray::number(-3.0 + 0.1 * r) +
                    " -1.5 0.5\n";
    }
    return text;
}

layoutdef floorJob(const QString& input, const QString& output)
{
    layoutdef job;
    job.inputFiles = {input};
    job.view = Top;
    job.scanList = QBitArray(1, true);
    job.clipLow = -10;
    job.clipHigh = 10;
    job.outputFile = output;
    job.imageType = "png";
    job.resolution = 0.1;
    job.scannerDomain = 30;
    job.tileSize = 20;
    job.grid = true;
    return job;
}

bool tempFolderIsEmpty()
{
    return QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
}

struct TaskFixture : ::testing::Test
{
    TempAppData appData;
    QString input;
    QString output;
    void SetUp() override
    {
        ensureAppFolders();
        input = writeFile(appData.path() + "/scans/floor.ptx", floorScanPtx());
        output = appData.path() + "/out/floor.log";
        QDir().mkpath(appData.path() + "/out");
    }
};

class ThrowingSource : public FakeScanSource
{
    bool findScans(const QStringList&) override { throw std::runtime_error("library refused"); }
};

} // namespace

TEST_F(TaskFixture, ChoosesTheReaderByTheLowerCasedExtension)
{
    LayoutTask task;
    task.job.inputFiles = {appData.path() + "/scans/FLOOR.PTX"};
    EXPECT_TRUE(task.createReader());
    ScanSource* first = task.reader.get();
    ASSERT_NE(first, nullptr);

    task.job.inputFiles = {appData.path() + "/scans/floor.xyz"};
    EXPECT_FALSE(task.createReader()) << "a second choice replaces the first reader";
    EXPECT_EQ(task.reader, nullptr);

    task.mode = FetchScans;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_FALSE(task.result);
    EXPECT_EQ(out.lines(), QStringList{"No Scanner Object"});
}

TEST_F(TaskFixture, ListsTheScansThenComputesTheLayout)
{
    LayoutTask task;
    task.job.inputFiles = {input};
    ASSERT_TRUE(task.createReader());
    task.mode = FetchScans;
    task.start();
    task.wait();
    ASSERT_TRUE(task.result);
    ASSERT_EQ(task.reader->scanCount(), 1);

    task.job = floorJob(input, output);
    task.mode = ComputeLayout;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_TRUE(out.lines().contains("Task done, result code 0"));
    EXPECT_FALSE(task.result) << "the result of a computation is the engine's failed flag";
    EXPECT_FALSE(task.creator.failed);
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_FALSE(QImage(appData.path() + "/out/floor_0_0.png").isNull());
    EXPECT_TRUE(tempFolderIsEmpty());
}

TEST_F(TaskFixture, ReportsTheEngineFailureOnOneLine)
{
    LayoutTask task;
    task.job.inputFiles = {input};
    ASSERT_TRUE(task.createReader());
    task.mode = FetchScans;
    task.start();
    task.wait();

    task.job = floorJob(input, output);
    task.job.scanList = QBitArray(1, false);
    task.mode = ComputeLayout;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_TRUE(out.lines().contains("Task failed, result code 4"));
    EXPECT_TRUE(task.result);
    EXPECT_FALSE(QFileInfo::exists(output));
}

TEST_F(TaskFixture, FetchAndComputeRunsAJobFromItsRecordAlone)
{
    LayoutTask task;
    task.job = floorJob(input, output);
    ASSERT_TRUE(task.createReader());
    task.mode = FetchAndCompute;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_TRUE(out.text().find("Run Fetch/Layout Task \n") != std::string::npos);
    EXPECT_TRUE(out.text().find("Start Layout computation ...") != std::string::npos);
    EXPECT_EQ(out.text().find(", result code "), std::string::npos);
    EXPECT_FALSE(task.creator.failed);
    EXPECT_TRUE(QFileInfo::exists(output));
}

TEST_F(TaskFixture, AScanLibraryErrorEndsTheListingNotTheProgram)
{
    LayoutTask task;
    task.reader = std::make_unique<ThrowingSource>();
    task.mode = FetchScans;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_FALSE(task.result);
    EXPECT_TRUE(out.lines().contains("ScanSource::fetchFiles failed: library refused"));
    EXPECT_EQ(task.reader->scanCount(), 0);
}

TEST_F(TaskFixture, AScanLibraryErrorDuringTheComputationFailsTheRunAndCleansUp)
{
    FakeScan scan;
    for (int i = 0; i < 100; ++i)
        scan.points.push_back({1.0 + 0.01 * i, 1.0, 0.0});
    auto fake = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan}, 10);
    fake->onChunk = [](int, int chunk) {
        if (chunk == 3)
            throw std::runtime_error("scan load broke");
    };
    LayoutTask task;
    task.reader = std::move(fake);
    task.job = floorJob(input, output);
    task.mode = ComputeLayout;
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_TRUE(task.creator.failed);
    EXPECT_EQ(task.creator.errorCode, ScanSourceError);
    EXPECT_TRUE(out.lines().contains("Task failed, result code 7"));
    EXPECT_TRUE(tempFolderIsEmpty());
    EXPECT_FALSE(QFileInfo::exists(output));
}

TEST_F(TaskFixture, DestroyingARunningTaskStopsItAndRemovesItsFiles)
{
    FakeScan scan;
    for (int i = 0; i < 20000; ++i)
        scan.points.push_back({1.0 + 0.0001 * i, 1.0, 0.0});
    auto fake = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan}, 10);
    std::atomic<bool> reading{false};
    fake->onChunk = [&reading](int, int) {
        reading = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    {
        LayoutTask task;
        task.reader = std::move(fake);
        task.job = floorJob(input, output);
        task.mode = ComputeLayout;
        task.start();
        while (!reading)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(task.isRunning());
    } // destroyed while running: no abort, the engine cleans up
    EXPECT_TRUE(tempFolderIsEmpty());
    EXPECT_FALSE(QFileInfo::exists(output));
}

TEST_F(TaskFixture, AStopAfterTheEnginesLastCheckpointFindsTheLayoutComplete)
{
    LayoutTask task;
    task.job = floorJob(input, output);
    ASSERT_TRUE(task.createReader());
    ASSERT_TRUE(task.reader->fetchFiles(task.job.inputFiles));
    task.mode = ComputeLayout;
    // The last checkpoint comes after the log: a stop asked for there is too late.
    task.creator.setCheckpointObserver([&task] {
        if (task.creator.statusText() == "Write Log File")
            task.requestStop();
    });
    CaptureDiagnostics out;
    task.start();
    task.wait();
    EXPECT_TRUE(task.creator.stopRequested);
    EXPECT_FALSE(task.creator.interrupted);
    EXPECT_FALSE(task.creator.failed);
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_FALSE(QImage(appData.path() + "/out/floor_overview_scan_positions.png").isNull())
        << "the overview pictures are drawn";
    EXPECT_TRUE(task.missingOverviewPictures().isEmpty());
}

TEST_F(TaskFixture, AStopBeforeTheEngineIsSetUpReachesTheRun)
{
    // The files are opened first (FetchAndCompute), and the stop is asked for meanwhile:
    // the engine's setup, which clears its flag, comes after it.
    struct WaitingSource : FakeScanSource
    {
        using FakeScanSource::FakeScanSource;
        std::mutex lock;
        std::condition_variable changed;
        bool opening = false;
        bool released = false;
        bool findScans(const QStringList& files) override
        {
            std::unique_lock<std::mutex> guard(lock);
            opening = true;
            changed.notify_all();
            changed.wait(guard, [this] { return released; });
            return FakeScanSource::findScans(files);
        }
    };
    FakeScan scan;
    scan.points = {{1.0, 1.0, 0.0}, {1.1, 1.0, 0.0}};
    auto source = std::make_unique<WaitingSource>(std::vector<FakeScan>{scan});
    WaitingSource& waiting = *source;

    LayoutTask task;
    task.reader = std::move(source);
    task.job = floorJob(input, output);
    task.mode = FetchAndCompute;
    CaptureDiagnostics out;
    task.start();
    {
        std::unique_lock<std::mutex> guard(waiting.lock);
        waiting.changed.wait(guard, [&waiting] { return waiting.opening; });
        task.requestStop();
        waiting.released = true;
        waiting.changed.notify_all();
    }
    task.wait();
    EXPECT_TRUE(task.creator.interrupted);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_TRUE(tempFolderIsEmpty());
}
