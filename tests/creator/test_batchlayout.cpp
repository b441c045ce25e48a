#include "creator/BatchLayout.h"
#include "creator/LayoutSettings.h"
#include "genscan/GenScanJob.h"
#include "layoutlog/LogReader.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/GermanTexts.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

using namespace orthaven;
using namespace orthaven::test;

namespace {

layoutdef job(const QString& output, std::uint32_t view = Top, double low = 0, double high = 1,
              const QStringList& inputs = {"C:\\scans\\a.ptx"}, const QString& type = "png")
{
    layoutdef def;
    def.inputFiles = inputs;
    def.view = view;
    def.scanList = QBitArray(2, true);
    def.clipLow = low;
    def.clipHigh = high;
    def.outputFile = output;
    def.imageType = type;
    return def;
}

class Batch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UserDialogs::clearScript();
        table = batch.findChild<QTableWidget*>("jobTable");
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override { UserDialogs::clearScript(); }

    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells.append(table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("<none>"));
        return cells;
    }

    BatchLayout batch;
    QTableWidget* table = nullptr;
};

} // namespace

TEST_F(Batch, RefusesAnOutputFileAlreadyListedWhateverItsCase)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\Work\\Layout.log")));
    EXPECT_FALSE(batch.addBatchJob(job("c:\\work\\LAYOUT.LOG", Front)));
    EXPECT_EQ(UserDialogs::shownTexts(), QStringList{"Layout output file already in batch list!"});
    EXPECT_EQ(batch.batchJobs().size(), 1);
    EXPECT_EQ(batch.batchJobTexts().size(), 1);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(batch.batchJobs().first().view, std::uint32_t(Top)) << "the first job is untouched";

    UserDialogs::clearScript();
    EXPECT_TRUE(batch.addBatchJob(job("C:\\Work\\Layout2.log")));
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
    EXPECT_EQ(table->rowCount(), 2);
}

TEST_F(Batch, FillsTheCellsOfEachJob)
{
    struct Case
    {
        layoutdef def;
        QStringList cells;
    };
    Case cases[] = {
        {job("C:\\out\\top.log", Top, -1.5, 3),
         {"C:\\out\\top.log", "Top", "-1.5/3", "png", "C:\\scans\\a.ptx", "0°", "Density",
          "Waiting"}},
        {job("C:\\out\\left.log", Left, 0.125, 1e7, {"a.ptg", "b.ptg", "c.ptg"}, "jpg"),
         {"C:\\out\\left.log", "Left", "0.125/1e+07", "jpg", "Multiple Input Files", "0°",
          "Intensity", "Waiting"}},
        {job("C:\\out\\back.log", Back, -0.1234567, 2.5, {"a.fws", "b.fws"}, "tif"),
         {"C:\\out\\back.log", "Back", "-0.123457/2.5", "tif", "Multiple Input Files", "0°",
          "Colour", "Waiting"}},
        {job("C:\\out\\right.log", Right, -20, -10),
         {"C:\\out\\right.log", "Right", "-20/-10", "png", "C:\\scans\\a.ptx", "-27.5°", "Density",
          "Waiting"}},
        {job("C:\\out\\front.log", Front, 0, 0, {"D:\\p\\x.rsp"}),
         {"C:\\out\\front.log", "Front", "0/0", "png", "D:\\p\\x.rsp", "0°", "Density", "Waiting"}},
    };
    cases[1].def.layer = LayoutLayer::Intensity;
    cases[2].def.layer = LayoutLayer::Colour;
    cases[3].def.azimuth = -27.5;
    for (const Case& c : cases)
        ASSERT_TRUE(batch.addBatchJob(c.def));
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_EQ(table->columnCount(), 8);
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(row(r), cases[r].cells) << r;
    EXPECT_EQ(batch.batchJobTexts(), QStringList(5, "Waiting"));

    // Shown wide enough, every cell is whole and the result column takes the rest.
    batch.resize(1100, 300);
    batch.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&batch));
    const QAbstractItemView* view = table; // where the size hint is public
    int total = 0;
    for (int c = 0; c < table->columnCount(); ++c) {
        EXPECT_GE(table->columnWidth(c), view->sizeHintForColumn(c)) << c;
        total += table->columnWidth(c);
    }
    EXPECT_GE(total, table->viewport()->width()) << "the result column takes the rest";
}

TEST_F(Batch, ShowsNumbersInTheNotationOfTheWindowsLanguage)
{
    const GermanTexts german;
    ASSERT_TRUE(german.isLoaded());
    layoutdef def = job("C:\\out\\a.log", Right, 0.5, 2.5);
    def.azimuth = -27.5;
    ASSERT_TRUE(batch.addBatchJob(def));
    EXPECT_EQ(row(0).mid(1, 6),
              (QStringList{"Rechts", "0,5/2,5", "png", "C:\\scans\\a.ptx", "-27,5°", "Dichte"}));
}

TEST_F(Batch, CellsCanBeSelectedButNotEdited)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\out\\a.log")));
    for (int c = 0; c < 5; ++c) {
        const Qt::ItemFlags flags = table->item(0, c)->flags();
        EXPECT_TRUE(flags.testFlag(Qt::ItemIsSelectable)) << c;
        EXPECT_FALSE(flags.testFlag(Qt::ItemIsEditable)) << c;
    }
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    batch.resize(705, 300);
    batch.show();
    table->setCurrentCell(0, 2);
    table->editItem(table->item(0, 2));
    EXPECT_EQ(table->findChild<QLineEdit*>(), nullptr) << "no editor opens";
    table->selectRow(0);
    EXPECT_TRUE(table->item(0, 0)->isSelected());
}

TEST_F(Batch, UnknownViewCodeIsShownAsItsNumber)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\out\\a.log", 7)));
    EXPECT_EQ(table->item(0, 1)->text(), "7");
}

TEST_F(Batch, IsIdleAndTakesJobsThroughItsSlotSignature)
{
    EXPECT_FALSE(batch.isProcessing());
    bool added = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(&batch, "addBatchJob", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, added),
                                          Q_ARG(orthaven::layoutdef, job("C:\\out\\s.log"))));
    EXPECT_TRUE(added);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_FALSE(batch.isProcessing());
}

namespace {

// The batch list at work on generated scans of the three-room building.
struct BatchRun : ::testing::Test
{
    TempAppData appData;
    QStringList scans;
    BatchLayout batch;

    void SetUp() override
    {
        ensureAppFolders();
        UserDialogs::clearScript();
        genscan::GenScanOptions options;
        options.outputFolder = appData.path() + "/scans";
        options.stations = 2;
        options.pointsPerColumn = 120;
        options.columns = 240;
        genscan::GenScanJob generated(options);
        ASSERT_TRUE(generated.run()) << generated.errorText().toStdString();
        scans = generated.files();
    }
    void TearDown() override { UserDialogs::clearScript(); }

    // A job as the Layout Creator queues it, with the preferences of that moment.
    layoutdef job(const QString& name, std::uint32_t view, double low, double high,
                  double resolution) const
    {
        ConfigSettings preferences = defaultConfig();
        preferences.resolution = resolution;
        preferences.tileSize = 10;
        layoutdef def;
        takePreferences(preferences, def);
        def.inputFiles = scans;
        def.scanList = QBitArray(int(scans.size()), true);
        def.view = view;
        def.clipLow = low;
        def.clipHigh = high;
        def.outputFile = appData.path() + "/out/" + name + ".log";
        def.imageType = "png";
        return def;
    }
    void run(BatchLayout* list = nullptr)
    {
        QTest::mouseClick((list ? list : &batch)->findChild<QPushButton*>("b_run"), Qt::LeftButton);
    }
    bool waitForTheEnd(const BatchLayout* list = nullptr)
    {
        CaptureDiagnostics quiet;
        // The bound is a guard against a hang only.
        return QTest::qWaitFor([&] { return !(list ? list : &batch)->isProcessing(); }, 300000);
    }

    // A station above a 6 m × 6 m floor beside a wall, read 400 points at a time; each chunk
    // handed out is counted by scan and chunk.
    std::unique_ptr<FakeScanSource> site()
    {
        FakeScan scan;
        for (int c = 0; c < 60; ++c) {
            for (int r = 0; r < 60; ++r)
                scan.points.push_back({-3.0 + 0.1 * c, -3.0 + 0.1 * r, -1.5});
            for (int r = 0; r < 30; ++r)
                scan.points.push_back({-3.0 + 0.1 * c, 3.0, -1.5 + 0.1 * r});
        }
        auto source = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan}, 400);
        source->onChunk = [this](int i, int chunk) {
            const std::lock_guard<std::mutex> guard(countLock);
            ++delivered[{i, chunk}];
        };
        return source;
    }
    std::mutex countLock;
    std::map<std::pair<int, int>, int> delivered;
};

} // namespace

TEST_F(BatchRun, RunsEveryJobWithTheSettingsItWasQueuedWithAndTellsHowEachEnded)
{
    layoutdef jobs[] = {
        job("plan", Top, 0.5, 2.0, 0.05),
        job("south", Front, -1, 9, 0.1),
        job("missing", Top, 0.5, 2.0, 0.05),
        job("east", Left, -1, 15, 0.1),
    };
    jobs[2].inputFiles = {appData.path() + "/scans/gone.ptx"};
    for (const layoutdef& def : jobs)
        ASSERT_TRUE(batch.addBatchJob(def));
    // The preferences change after the jobs were queued; the jobs keep theirs.
    ConfigSettings later = defaultConfig();
    later.resolution = 0.02;
    ASSERT_TRUE(saveConfig(later, configFilePath()));

    run();
    EXPECT_EQ(batch.findChild<QPushButton*>("b_run")->text(), "&Stop");
    ASSERT_TRUE(waitForTheEnd());

    const QStringList texts = batch.batchJobTexts();
    ASSERT_EQ(texts.size(), 4);
    for (int k : {0, 1, 3}) {
        EXPECT_TRUE(texts[k].startsWith("Tiles written: ")) << texts[k].toStdString();
        const LogReader log(jobs[k].outputFile);
        ASSERT_TRUE(log.ok()) << jobs[k].outputFile.toStdString();
        EXPECT_EQ(log.info().resolution, jobs[k].resolution) << k;
        EXPECT_EQ(log.info().view, int(jobs[k].view)) << k;
    }
    // A failed job is said so, and the next one runs all the same.
    EXPECT_EQ(texts[2], "Failed: The scan files could not be read:");
    EXPECT_FALSE(QFileInfo::exists(jobs[2].outputFile));
    auto* table = batch.findChild<QTableWidget*>("jobTable");
    EXPECT_TRUE(table->item(2, 7)->toolTip().contains("gone.ptx")) << "the whole message";
    EXPECT_EQ(batch.findChild<QProgressBar*>("pb_overall")->value(), 4);
    EXPECT_EQ(batch.findChild<QLabel*>("sl_status")->text(), "Layouts written: 3 of 4");
    EXPECT_EQ(batch.findChild<QPushButton*>("b_run")->text(), "Run &All");
}

TEST_F(BatchRun, JobsOfTheSameScansReadThemOnceAndWriteWhatEachWritesAlone)
{
    // Three jobs of the same scans, and between them one of other files.
    layoutdef jobs[] = {job("plan", Top, -10, 10, 0.05), job("rooms", Top, 0.5, 2.0, 0.05),
                        job("south", Front, -10, 10, 0.05), job("coarse", Top, -10, 10, 0.1)};
    for (int k : {0, 2, 3}) {
        jobs[k].inputFiles = {scans.first()};
        jobs[k].outputFile = appData.path() + "/together/" + QString::number(k) + "/site.log";
    }
    setNextScanSource(site());
    for (const layoutdef& def : jobs)
        ASSERT_TRUE(batch.addBatchJob(def));
    run();
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_EQ(batch.findChild<QLabel*>("sl_status")->text(), "Layouts written: 4 of 4");
    EXPECT_EQ(batch.findChild<QProgressBar*>("pb_overall")->value(), 4);
    const auto together = delivered;
    ASSERT_FALSE(together.empty());

    // Each alone reads every chunk the three read together, and writes the same bytes.
    for (int k : {0, 2, 3}) {
        delivered.clear();
        BatchLayout alone;
        layoutdef def = jobs[k];
        def.outputFile.replace("/together/", "/alone/");
        ASSERT_TRUE(alone.addBatchJob(def));
        setNextScanSource(site());
        run(&alone);
        ASSERT_TRUE(waitForTheEnd(&alone));
        EXPECT_EQ(delivered, together) << k;
        EXPECT_EQ(filesIn(QFileInfo(def.outputFile).path()),
                  filesIn(QFileInfo(jobs[k].outputFile).path()))
            << k;
    }
}

// The reader waits until the test lets it go on, while it lists the files or at its first
// chunk, so the batch is surely stopped while the first job (and one of the same scans) runs.
TEST_F(BatchRun, StopEndsTheRunningJobsLeavesNothingAndStartsNoOther)
{
    struct HeldSource : FakeScanSource
    {
        using FakeScanSource::FakeScanSource;
        std::atomic<bool>* released = nullptr; // none: the listing is not held
        bool findScans(const QStringList& files) override
        {
            while (released && !*released)
                std::this_thread::yield();
            return FakeScanSource::findScans(files);
        }
    };
    for (const auto& [shared, whileListing] :
         {std::pair{false, true}, {true, true}, {true, false}}) {
        SCOPED_TRACE(testing::Message()
                     << "shared " << shared << ", while listing " << whileListing);
        std::atomic<bool> released{false};
        std::atomic<bool> held{false};
        FakeScan scan;
        scan.points = {{1.0, 1.0, 1.0}, {1.1, 1.0, 1.0}};
        auto source = std::make_unique<HeldSource>(std::vector<FakeScan>{scan});
        source->released = whileListing ? &released : nullptr;
        source->onChunk = [&](int, int) {
            held = true;
            while (!released)
                std::this_thread::yield();
        };
        setNextScanSource(std::move(source));
        layoutdef first = job("plan", Top, 0.5, 2.0, 0.05);
        first.inputFiles = {scans.first()};
        first.scanList = QBitArray(1, true);
        first.outputFile = appData.path() + "/made-for-it/plan.log";
        layoutdef second = first;
        second.view = Front;
        second.outputFile = appData.path() + "/made-for-it/too/section.log";
        BatchLayout list;
        ASSERT_TRUE(list.addBatchJob(first));
        ASSERT_TRUE(list.addBatchJob(job("south", Front, -1, 9, 0.1)));
        ASSERT_TRUE(!shared || list.addBatchJob(second));

        run(&list);
        EXPECT_TRUE(list.isProcessing());
        ASSERT_TRUE(whileListing || QTest::qWaitFor([&held] { return bool(held); }, 300000));
        run(&list); // Stop
        released = true;
        ASSERT_TRUE(waitForTheEnd(&list));
        const QStringList stopped = {"Stopped", "Not run", "Stopped"};
        EXPECT_EQ(list.batchJobTexts(), stopped.mid(0, shared ? 3 : 2));
        // The bar counts the jobs that ran, not those left out.
        EXPECT_EQ(list.findChild<QProgressBar*>("pb_overall")->value(), shared ? 2 : 1);
        EXPECT_FALSE(QFileInfo::exists(appData.path() + "/made-for-it")) << "nothing left behind";
        EXPECT_FALSE(QFileInfo::exists(appData.path() + "/out/south.log"));
        EXPECT_TRUE(QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
}

TEST_F(BatchRun, MovesAndRemovesJobsAndKeepsTheListInItsFile)
{
    const QString file = appData.path() + "/Brandmoor/Orthaven/batch-list.txt";
    batch.setListFile(file);
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(batch.addBatchJob(job(name, Top, 0, 1, 0.05)));
    auto* table = batch.findChild<QTableWidget*>("jobTable");
    const auto outputs = [](const BatchLayout& list) {
        QStringList names;
        for (const layoutdef& def : list.batchJobs())
            names.append(QFileInfo(def.outputFile).completeBaseName());
        return names;
    };
    const auto press = [this](const char* name) {
        QTest::mouseClick(batch.findChild<QPushButton*>(name), Qt::LeftButton);
    };
    table->selectRow(2);
    press("b_up");
    EXPECT_EQ(outputs(batch), (QStringList{"a", "c", "b"}));
    EXPECT_TRUE(table->item(1, 0)->isSelected()) << "the moved job stays selected";
    press("b_up");
    EXPECT_FALSE(batch.findChild<QPushButton*>("b_up")->isEnabled()) << "at the top";
    press("b_down");
    table->selectRow(0);
    press("b_remove");
    EXPECT_EQ(outputs(batch), (QStringList{"c", "b"}));
    EXPECT_EQ(table->rowCount(), 2);

    // A new window takes the list over from the file, the jobs whole.
    BatchLayout again;
    again.setListFile(file);
    EXPECT_EQ(outputs(again), (QStringList{"c", "b"}));
    EXPECT_EQ(again.batchJobs()[0].resolution, 0.05);
    EXPECT_EQ(again.batchJobs()[0].inputFiles, batch.batchJobs()[0].inputFiles);
    EXPECT_TRUE(readFile(file).startsWith("# The batch list of the Orthaven window"));
}
