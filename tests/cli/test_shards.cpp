// orthaven-layout's shards: a layout computed as 1, 2 or 3 shards and merged is the single
// run's byte for byte, also when GNU parallel runs the shards; partials that are missing,
// there twice, damaged or of other options, scans or program are refused at the merge.

#include "LayoutProgram.h"
#include "engine/ShardPartials.h"
#include "genscan/GenScanJob.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

using namespace orthaven;
using namespace orthaven::test;
using namespace orthaven::genscan;

namespace {

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString& name : source.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo(source.filePath(name)).isDir())
            copyFolder(source.filePath(name), QDir(to).filePath(name));
        else
            QFile::copy(source.filePath(name), QDir(to).filePath(name));
    }
}

class Shards : public ::testing::Test
{
protected:
    // Five stations of different sizes, so that the shares are weighed by points.
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        files.clear();
        singleRuns.clear();
        for (int k = 0; k < 2; ++k) {
            GenScanOptions options;
            options.outputFolder = folder->filePath(QStringLiteral("scans"));
            options.baseName = k == 0 ? QStringLiteral("big") : QStringLiteral("small");
            options.stations = k == 0 ? 2 : 3;
            options.pointsPerColumn = k == 0 ? 200 : 100;
            options.columns = k == 0 ? 400 : 200;
            options.seed = 5 + std::uint64_t(k);
            GenScanJob job(options);
            ASSERT_TRUE(job.run()) << job.errorText().toStdString();
            files += job.files();
        }
    }
    static void TearDownTestSuite() { folder.reset(); }

    static QStringList layout(const QString& out, const char* layer = "density")
    {
        return QStringList{"--resolution", "0.05", "--layer", layer, "--out", out} + files;
    }
    // The files of the single run of a layer, made once.
    const std::map<QString, QByteArray>& single(const char* layer)
    {
        auto& made = singleRuns[layer];
        if (made.empty()) {
            const QString out = folder->filePath(QStringLiteral("single-%1/site").arg(layer));
            const ProgramRun run = runLayout(layout(out, layer));
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            made = filesIn(QFileInfo(out).path());
        }
        return made;
    }
    // Runs shard index of count into partials; true when it succeeded.
    bool shard(int index, int count, const QString& partials, const char* layer = "density",
               QStringList extra = {})
    {
        const ProgramRun run =
            runLayout(QStringList{"--shard", QStringLiteral("%1/%2").arg(index).arg(count),
                                  "--partials", partials} +
                      extra + layout(outFolder() + "/site", layer));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return run.exitCode == 0;
    }
    QString outFolder() const { return appData.path() + "/merged"; }

    TempAppData appData;
    static std::unique_ptr<QTemporaryDir> folder;
    static QStringList files;
    static std::map<std::string, std::map<QString, QByteArray>> singleRuns;
};

std::unique_ptr<QTemporaryDir> Shards::folder;
QStringList Shards::files;
std::map<std::string, std::map<QString, QByteArray>> Shards::singleRuns;

} // namespace

TEST(ShardShares, BalancesThePointsNotTheScans)
{
    struct Row
    {
        std::vector<std::int64_t> points;
        QString selected;
        int count;
        std::vector<int> shardOf;
    };
    const std::vector<Row> rows = {
        // Heaviest first, each to the lightest shard: 5+3+1 against 4+3+2.
        {{5, 4, 3, 3, 2, 1}, "111111", 2, {0, 1, 1, 0, 1, 0}},
        // One big scan against four small ones.
        {{100, 30, 30, 30, 30}, "11111", 2, {0, 1, 1, 1, 1}},
        // Unknown counts weigh the mean of the known ones; scans not selected go nowhere.
        {{-1, 10, 10, 7}, "1101", 3, {1, 0, -1, 2}},
        // More shards than scans: the last ones draw nothing.
        {{3, 3}, "11", 3, {0, 1}},
    };
    for (const Row& row : rows) {
        QBitArray selected;
        ASSERT_TRUE(bitsOf(row.selected, selected));
        EXPECT_EQ(shardShares(row.points, selected, row.count), row.shardOf);
    }
}

TEST_F(Shards, MergedShardsAreTheSingleRunByteForByte)
{
    struct Row
    {
        int count;
        const char* layer;
    };
    for (const Row row :
         {Row{1, "density"}, Row{2, "density"}, Row{3, "density"}, Row{2, "intensity"}}) {
        SCOPED_TRACE(std::to_string(row.count) + " shards, " + row.layer);
        const QString partials = appData.path() + QStringLiteral("/partials-%1").arg(row.count);
        QDir(outFolder()).removeRecursively();
        for (int i = 1; i <= row.count; ++i)
            ASSERT_TRUE(shard(i, row.count, partials, row.layer));
        EXPECT_FALSE(QFileInfo::exists(outFolder())) << "a shard writes no layout";
        // From another folder, as a merge on another machine would.
        const ProgramRun merge = runLayout({"--merge", "--threads", "1", partials});
        ASSERT_EQ(merge.exitCode, 0) << merge.err.toStdString();
        EXPECT_EQ(filesIn(outFolder()), single(row.layer));
    }
}

TEST_F(Shards, GnuParallelRunsTheShardsOfTheContribScript)
{
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    const QString partials = appData.path() + "/partials";
    // Two slots, the shards sent through parallel's login list (":" is this machine).
    const ProgramRun run =
        runProgram(QStringLiteral(ORTHAVEN_SOURCE_DIR "/contrib/shards/layout-parallel.sh"),
                   QStringList{"-n", "3", "-j", "2", "-S", ":", partials, "--"} +
                       layout(outFolder() + "/site"),
                   {}, {{"ORTHAVEN_LAYOUT", QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM)}});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QDir(partials).entryList({"shard-*"}, QDir::Dirs),
              (QStringList{"shard-1-of-3", "shard-2-of-3", "shard-3-of-3"}));
    EXPECT_EQ(filesIn(outFolder()), single("density"));
}

TEST_F(Shards, PartialsThatCannotGiveTheLayoutAreRefused)
{
    const QString good = appData.path() + "/good";
    ASSERT_TRUE(shard(1, 2, good));
    ASSERT_TRUE(shard(2, 2, good));
    const auto edit = [](const QString& path, const std::function<void(QByteArray&)>& change) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        change(bytes);
        file.resize(0);
        file.write(bytes);
    };
    const QString firstTile =
        QDir(good + "/shard-1-of-2").entryList({"orvnTile_*"}, QDir::Files).value(0);
    struct Row
    {
        const char* name;
        std::function<void(const QString& copy)> spoil;
        const char* message;
        bool twice = false; // the copy and the good folder are merged together
    };
    const std::vector<Row> rows = {
        {"missing", [](const QString& copy) { QDir(copy + "/shard-2-of-2").removeRecursively(); },
         "shard 2 of 2 is missing"},
        {"there twice", [](const QString&) {}, "is there twice", true},
        {"incomplete", [](const QString& copy) { QFile::remove(copy + "/shard-2-of-2/manifest"); },
         "has no manifest"},
        {"other options",
         [&](const QString& copy) {
             shard(2, 2, copy, "density", {"--print-scale", "100"});
         },
         "other options (Print scale 100, not 0)"},
        {"other scans",
         [&](const QString& copy) {
             QFile::copy(files[0], copy + "/extra.ptx");
             shard(2, 2, copy, "density", {copy + "/extra.ptx"});
         },
         "other scan files"},
        {"other program",
         [&](const QString& copy) {
             edit(copy + "/shard-2-of-2/manifest",
                  [](QByteArray& bytes) { bytes.replace("Program\t", "Program\t0."); });
         },
         "was made by version 0."},
        {"a damaged tile",
         [&](const QString& copy) {
             edit(copy + "/shard-1-of-2/" + firstTile,
                  [](QByteArray& bytes) { bytes[bytes.size() - 1] ^= 1; });
         },
         "is damaged (its checksum differs)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString copy = appData.path() + "/" + row.name;
        copyFolder(good, copy);
        row.spoil(copy);
        QDir(outFolder()).removeRecursively();
        const ProgramRun merge = runLayout(QStringList{"--merge", copy} +
                                           (row.twice ? QStringList{good} : QStringList{}));
        EXPECT_EQ(merge.exitCode, 1);
        EXPECT_TRUE(merge.err.contains(QLatin1String(row.message))) << merge.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(outFolder() + "/site.log")) << "no layout is written";
    }
}

// The jobs of a job file that read the same scans, computed from one reading of them.
using SharedReading = Shards;

TEST_F(SharedReading, JobFileLayoutsAreTheSeparateRunsByteForByte)
{
    const QStringList views = {"top", "front", "back", "left", "right"};
    QStringList quoted;
    for (const QString& file : files)
        quoted << '"' + file + '"';
    QByteArray lines;
    for (const QString& view : views) {
        const QString out = appData.path() + "/separate/" + view + "/site";
        const ProgramRun alone = runLayout(QStringList{"--view", view} + layout(out));
        ASSERT_EQ(alone.exitCode, 0) << alone.err.toStdString();
        lines += QStringLiteral("--view %1 --resolution 0.05 --out shared/%1/site %2\n")
                     .arg(view, quoted.join(' '))
                     .toUtf8();
    }
    // A job refused before the reading (its folder is a file) and one that reads along and
    // then fails (no point between its planes) fail alone.
    QFile blocker(appData.path() + "/blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    lines += "--out blocked/site " + quoted.join(' ').toUtf8() + '\n';
    lines += "--clip-low 100 --clip-high 101 --out empty/site " + quoted.join(' ').toUtf8() + '\n';
    QFile jobs(appData.path() + "/five.jobs");
    ASSERT_TRUE(jobs.open(QIODevice::WriteOnly));
    jobs.write(lines);
    jobs.close();

    const ProgramRun run = runLayout({"--jobs", jobs.fileName(), "--threads", "2"});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Jobs on lines 1, 2, 3, 4, 5, 6, 7: one reading of their scans"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Not enough data between the clipping planes!"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Jobs written: 5 of 7")) << run.out.toStdString();
    for (const QString& view : views) {
        SCOPED_TRACE(view.toStdString());
        const auto shared = filesIn(appData.path() + "/shared/" + view);
        EXPECT_EQ(shared.count("site.log"), 1u);
        EXPECT_EQ(shared, filesIn(appData.path() + "/separate/" + view));
    }
}
