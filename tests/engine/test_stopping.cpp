// Stop means stopped: at every checkpoint of every stage a stop request ends the run as
// interrupted and leaves the output folder as it was, an older layout of the same name
// included; a request after the last checkpoint finds the layout completed.

#include "LayoutRun.h"

#include "engine/OutputCommit.h"
#include "layoutlog/LogReader.h"
#include "support/QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>

using namespace orthaven;
using namespace orthaven::test;

namespace {

FakeScan scanOf(std::vector<cv::Vec3d> points, const cv::Mat& pose = cv::Mat::eye(4, 4, CV_64F))
{
    FakeScan s;
    s.name = QStringLiteral("scan");
    s.pose = pose;
    s.points = std::move(points);
    return s;
}

// Two scans over three raw tiles, six output tiles of 10 m, several chunks per scan.
LayoutRun* newRun()
{
    return new LayoutRun(
        {scanOf(patch(2, 2, 1, 0.05) + patch(15, 3, 1, 0.05)), scanOf(patch(25, 14, 1, 0.05))},
        150);
}

// The stage a checkpoint belongs to: the status text without its numbers.
QString stageOf(const std::string& status)
{
    const QString text = QString::fromStdString(status);
    return text.startsWith("Loading Scan") ? QStringLiteral("Loading Scan") : text;
}

// An older layout named "site" with more tiles than the new one, its scan-position sheet,
// and a file of the user's: file name → bytes.
std::map<QString, QByteArray> olderLayout()
{
    LayoutRun older({scanOf(patch(2, 2, 1, 0.05) + patch(35, 25, 1, 0.05))});
    EXPECT_TRUE(older.run());
    EXPECT_TRUE(older.succeeded());
    auto files = older.outputState();
    files["site_overview_scan_positions.png"] = "the older layout's sheet";
    files["notes.txt"] = "mine";
    return files;
}

} // namespace

TEST(LayoutStop, EveryStageChecksPerTileAndEveryCheckpointLeavesTheFolderAsItWas)
{
    // A free run: which checkpoints there are, stage by stage.
    std::vector<QString> checkpoints;
    {
        std::unique_ptr<LayoutRun> run(newRun());
        run->creator.setCheckpointObserver(
            [&] { checkpoints.push_back(stageOf(run->creator.statusText())); });
        ASSERT_TRUE(run->run());
        ASSERT_TRUE(run->succeeded());
        ASSERT_EQ(run->creator.tileCorners.size(), 6u);
    }
    std::map<QString, int> perStage;
    for (const QString& stage : checkpoints)
        ++perStage[stage];
    EXPECT_GE(perStage["Loading Scan"], 9) << "one per chunk (800 + 400 points by 150)";
    EXPECT_GE(perStage["Preprocessing Tiles"], 3) << "one per raw tile";
    EXPECT_GE(perStage["Write Images"], 6) << "one per output tile, which it also scales";
    ASSERT_EQ(checkpoints.back(), "Write Log File") << "the last one is after the log";

    // A stop asked for at the first and the last checkpoint of each stage. The checkpoint
    // after it ends the run, except after the very last one.
    std::vector<std::size_t> moments;
    for (std::size_t k = 0; k < checkpoints.size(); ++k)
        if (k == 0 || k + 1 == checkpoints.size() || checkpoints[k] != checkpoints[k - 1] ||
            checkpoints[k] != checkpoints[k + 1])
            moments.push_back(k);
    const auto older = olderLayout();
    ASSERT_EQ(older.size(), 12u + 4u);
    for (const std::size_t moment : moments) {
        SCOPED_TRACE(checkpoints[moment].toStdString() + " #" + std::to_string(moment));
        std::unique_ptr<LayoutRun> run(newRun());
        for (const auto& [name, bytes] : older)
            writeFile(run->outputPath(name), bytes);
        const auto before = run->outputState();
        ASSERT_TRUE(before == older);
        std::size_t seen = 0;
        run->creator.setCheckpointObserver([&] {
            if (seen++ == moment)
                run->creator.requestStop();
        });
        ASSERT_TRUE(run->run());
        EXPECT_TRUE(run->creator.finished);
        EXPECT_FALSE(run->creator.failed);
        EXPECT_TRUE(run->temporaryLeftovers().isEmpty());
        if (moment + 1 < checkpoints.size()) {
            EXPECT_TRUE(run->creator.interrupted);
            EXPECT_TRUE(run->outputState() == before) << "the output folder changed";
            continue;
        }
        // Too late to stop: the new layout replaced the older one whole.
        EXPECT_TRUE(run->creator.stopRequested);
        EXPECT_FALSE(run->creator.interrupted);
        const auto after = run->outputState();
        QStringList names;
        for (const auto& entry : after)
            names.append(entry.first);
        EXPECT_EQ(names, QStringList({"notes.txt", "site.log", "site_0_0.png", "site_0_1.png",
                                      "site_1_0.png", "site_1_1.png", "site_2_0.png",
                                      "site_2_1.png", "site_overview.png"}));
        EXPECT_EQ(after.at("notes.txt"), "mine");
        LayoutLogInfo log;
        ASSERT_TRUE(LogReader::read(run->outputPath("site.log"), log));
        EXPECT_EQ(log.tilesU * log.tilesV, 6);
    }
}

// A log edited by hand or written by another program may name anything: only the older
// layout's own files go, the others stay with a line each.
TEST(OutputCommit, AnOlderLogRemovesNothingButTheLayoutsOwnFiles)
{
    std::unique_ptr<LayoutRun> run(newRun());
    for (const auto& [name, bytes] : olderLayout())
        writeFile(run->outputPath(name), bytes);
    QByteArray log = readFile(run->outputPath("site.log"));
    log.replace("Tile Name = site_0_0.png", "Tile Name = project.dwg");
    log.replace("Thumbnail = site_overview.png", "Thumbnail = notes.txt");
    writeFile(run->outputPath("site.log"), log);
    writeFile(run->outputPath("project.dwg"), "drawing");

    ASSERT_TRUE(run->run());
    ASSERT_TRUE(run->succeeded());
    EXPECT_EQ(run->outputFiles(),
              QStringList({"notes.txt", "project.dwg", "site.log", "site_0_0.png", "site_0_1.png",
                           "site_1_0.png", "site_1_1.png", "site_2_0.png", "site_2_1.png",
                           "site_overview.png"}))
        << "the older tiles go, the sheet the new layout did not draw too";
    EXPECT_EQ(readFile(run->outputPath("project.dwg")), "drawing");
    EXPECT_EQ(readFile(run->outputPath("notes.txt")), "mine");
    for (const char* name : {"project.dwg", "notes.txt"})
        EXPECT_TRUE(run->lines.contains(QStringLiteral("WARNING: the older layout log names %1, "
                                                       "which is not a file of the layout site: "
                                                       "left in place")
                                            .arg(QLatin1String(name))))
            << run->lines.join('\n').toStdString();
}

TEST(OutputCommit, AFailedCommitPutsTheOlderFilesBack)
{
    QTemporaryDir out;
    const QString folder = out.path();
    writeFile(folder + "/site.log", "older log");
    writeFile(folder + "/site_0_0.png", "older tile 0");
    writeFile(folder + "/site_0_1.png", "older tile 1");
    const auto state = [&folder] {
        std::map<QString, QByteArray> files;
        for (const QString& name :
             QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            files[name] = readFile(folder + "/" + name);
        return files;
    };
    const auto before = state();

    OutputCommit commit;
    ASSERT_EQ(commit.begin(folder + "/site.log"), OutputCommit::Opening::Opened);
    EXPECT_EQ(commit.stagingFolder(), folder + "/.orvn-site.staging");
    writeFile(commit.stage(folder + "/site_0_0.png"), "new tile 0");
    commit.stage(folder + "/site_0_1.png"); // never written: its move fails
    writeFile(commit.stage(folder + "/site.log"), "new log");
    EXPECT_EQ(commit.stage(folder + "/site_0_0.png"), commit.stagingFolder() + "/site_0_0.png");

    EXPECT_FALSE(commit.commit());
    EXPECT_EQ(commit.failedPath(), folder + "/site_0_1.png");
    commit.discard();
    EXPECT_TRUE(state() == before);
}
