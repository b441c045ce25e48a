#include "LayoutRun.h"

#include "engine/FileRawTileStore.h"
#include "engine/MemoryRawTileStore.h"
#include "layout/Views.h"
#include "layoutlog/LogReader.h"
#include "support/TiffTags.h"

#include <QImageReader>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

namespace {

FakeScan scanAt(const QString& name, const cv::Mat& pose, std::vector<cv::Vec3d> points)
{
    FakeScan s;
    s.name = name;
    s.pose = pose;
    s.points = std::move(points);
    return s;
}

cv::Mat rotationZ(double degrees, double x, double y, double z)
{
    const double a = degrees * M_PI / 180.0;
    cv::Mat pose = FakeScanSource::translation(x, y, z);
    pose.at<double>(0, 0) = std::cos(a);
    pose.at<double>(0, 1) = -std::sin(a);
    pose.at<double>(1, 0) = std::sin(a);
    pose.at<double>(1, 1) = std::cos(a);
    return pose;
}

cv::Mat vec3(double a, double b, double c)
{
    return (cv::Mat_<double>(3, 1) << a, b, c);
}

QStringList withoutTimes(const QStringList& lines)
{
    QStringList result;
    static const QRegularExpression seconds(" Time [0-9.e+-]+ sec$");
    for (QString line : lines)
        result.append(line.replace(seconds, " Time X sec"));
    return result;
}

bool allPixels(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return true;
}

} // namespace

TEST(LayoutCreatorSetup, TakesTheJobsSettings)
{
    struct Case
    {
        std::uint32_t view;
        std::vector<double> rows; // upper-left 3 × 3, row by row
        bool mirrored;
    };
    const Case cases[] = {
        {Top, {1, 0, 0, 0, 1, 0, 0, 0, 1}, false},   {Left, {0, -1, 0, 0, 0, 1, 1, 0, 0}, false},
        {Back, {1, 0, 0, 0, 0, 1, 0, 1, 0}, true},   {Right, {0, -1, 0, 0, 0, 1, 1, 0, 0}, true},
        {Front, {1, 0, 0, 0, 0, 1, 0, 1, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        LayoutRun run({});
        run.job.view = c.view;
        run.job.invertColor = true;
        run.job.resolution = 0.02;
        run.job.tileSize = 20.9;
        run.job.outputFile = run.out.filePath("my site.final.log");
        ASSERT_TRUE(run.creator.setup(run.job));
        cv::Mat expected = cv::Mat::eye(4, 4, CV_64F);
        for (int k = 0; k < 9; ++k)
            expected.at<double>(k / 3, k % 3) = c.rows[k];
        EXPECT_EQ(cv::norm(run.creator.viewMatrix, expected, cv::NORM_INF), 0.0);
        EXPECT_EQ(run.creator.mirrorHorizontal, c.mirrored);
        EXPECT_EQ(run.creator.view, std::int32_t(c.view));
        EXPECT_FALSE(run.creator.reverseIntensity);
        EXPECT_EQ(run.creator.tileSize, 20);
        EXPECT_EQ(run.creator.dataThreshold, 100.0f);
        EXPECT_EQ(run.creator.baseName, QString("my site"));
        EXPECT_EQ(run.creator.outputDir, QFileInfo(run.out.path()).absoluteFilePath());
        EXPECT_EQ(run.creator.logFilePath(), run.out.filePath("my site.log"));
        EXPECT_EQ(run.creator.thumbnailPath(), run.out.filePath("my site_overview.png"));
        EXPECT_EQ(run.creator.outputTilePath(1, 2), run.out.filePath("my site_1_2.png"));
    }
    const LayoutCreator fresh;
    EXPECT_EQ(fresh.clipLow, -2147483648.0);
    EXPECT_EQ(fresh.clipHigh, 2147483647.0);
    EXPECT_TRUE(fresh.tileRange.isEmpty());
}

TEST(LayoutCreatorRun, PrintsTheStagesAndTheirTimes)
{
    LayoutRun run({scanAt("a", cv::Mat::eye(4, 4, CV_64F), patch(12, 3, 1, 0.05))});
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    ASSERT_EQ(run.lines.size(), 13);
    EXPECT_TRUE(QRegularExpression("^TMP Path = .*/Brandmoor/Orthaven/tmp/[0-9]{9}/$")
                    .match(run.lines[11])
                    .hasMatch())
        << run.lines[11].toStdString();
    QStringList lines = withoutTimes(run.lines);
    lines[11] = "TMP Path";
    const QString timed = "............... Time X sec";
    EXPECT_EQ(lines, QStringList({
                         "Load Scan = " + timed,
                         "Number of Points = 400",
                         "Time Scan = " + timed,
                         "Overall time ..." + timed,
                         "Compute Raw Tiles ... done",
                         "Normalize Tiles Classic",
                         "Normalization of all Tiles ..." + timed,
                         "Write Images ..." + timed,
                         "Write Thumbnail ..." + timed,
                         "Commit ..." + timed,
                         "Clean Files",
                         "TMP Path",
                         "Clean all temporary files ... done",
                     }));
    EXPECT_TRUE(run.creator.finished);
    EXPECT_EQ(run.creator.statusText(), "");
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty());
}

TEST(LayoutCreatorRun, OutputTilesOfTheWorkedExampleAtFullSize)
{
    // Raw tiles U 3 … 6, V -2 … 1 kept; 20 m tiles at 1 cm: 3 × 2 tiles of 2000 pixels.
    LayoutRun run({scanAt("s", cv::Mat::eye(4, 4, CV_64F),
                          patch(35, -15, 0.3, 0.01) + patch(65, 15, 0.3, 0.01))});
    run.job.resolution = 0.01;
    run.job.tileSize = 20.0;
    run.job.scannerDomain = 80.0;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded()) << run.lines.join('\n').toStdString();

    EXPECT_EQ(run.outputFiles(),
              QStringList({"site.log", "site_0_0.png", "site_0_1.png", "site_1_0.png",
                           "site_1_1.png", "site_2_0.png", "site_2_1.png", "site_overview.png"}));
    for (const QString& name : run.outputFiles().filter("site_")) {
        if (name == "site_overview.png")
            continue;
        EXPECT_EQ(QImageReader(run.outputPath(name)).size(), QSize(2000, 2000))
            << name.toStdString();
    }
    EXPECT_EQ(run.creator.tileRange, (TileRange{1, 3, -1, 0}));
    const cv::Mat expectedUse = (cv::Mat_<std::int32_t>(3, 2) << 1, 0, 0, 0, 0, 1);
    EXPECT_EQ(cv::countNonZero(run.creator.tileUsed != expectedUse), 0);
    EXPECT_TRUE(allPixels(run.image("site_1_0.png"), qRgb(255, 255, 255)));

    // The patch of raw tile (3, -2) sits in the lower-right quarter of tile (0, 0).
    const QRect dark = darkArea(run.image("site_0_0.png"));
    EXPECT_TRUE(QRect(1498, 1467, 34, 34).contains(dark))
        << dark.x() << " " << dark.y() << " " << dark.width() << " " << dark.height();
    EXPECT_GT(dark.width(), 25);
    EXPECT_EQ(QImageReader(run.outputPath("site_overview.png")).size(), QSize(3000, 2000));

    LayoutLogInfo log;
    ASSERT_TRUE(LogReader::read(run.outputPath("site.log"), log));
    EXPECT_EQ(log.tilesU, 3);
    EXPECT_EQ(log.tilesV, 2);
    const QByteArray text = readFile(run.outputPath("site.log"));
    EXPECT_TRUE(text.contains("# comment: Tile 0 0\nTile Name = site_0_0.png\n"
                              "# comment: X Y Z image coordinates left bottom corner (LB),right "
                              "upper corner (RU)\nLeft Bottom = 20 -20 0\nRight Upper = 40 0 0\n"
                              "Scans used = 0 \n"));
    EXPECT_TRUE(text.contains("Tile Name = site_1_0.png\n# comment: X Y Z image coordinates left "
                              "bottom corner (LB),right upper corner (RU)\nLeft Bottom = 40 -20 0\n"
                              "Right Upper = 60 0 0\nScans used = \n"));
}

TEST(LayoutCreatorRun, RawTilesFillAnOutputTileFromItsLowerLeft)
{
    LayoutRun run({scanAt("s", cv::Mat::eye(4, 4, CV_64F), patch(12, 17, 1, 0.05))});
    run.job.tileSize = 20.0;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    EXPECT_EQ(run.outputFiles(), QStringList({"site.log", "site_0_0.png", "site_overview.png"}));
    // raw tile (1, 1) of output tile (0, 0): the upper-right quarter
    const QRect dark = darkArea(run.image("site_0_0.png"));
    EXPECT_TRUE(QRect(118, 17, 15, 15).contains(dark))
        << dark.x() << " " << dark.y() << " " << dark.width() << " " << dark.height();
    EXPECT_GE(dark.width(), 9);
    EXPECT_EQ(run.creator.tileUsed.at<std::int32_t>(0, 0), 1);
}

TEST(LayoutCreatorRun, InvertedColoursGiveBrightPointsOnBlack)
{
    LayoutRun run({scanAt("s", cv::Mat::eye(4, 4, CV_64F), patch(2, 2, 1, 0.05))});
    run.job.invertColor = true;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    const QImage tile = run.image("site_0_0.png");
    EXPECT_EQ(tile.pixel(0, 0), qRgb(0, 0, 0));
    int brightest = 0;
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            brightest = std::max(brightest, qGray(tile.pixel(x, y)));
    EXPECT_EQ(brightest, 255); // the densest pixel of the layout
    const QImage thumbnail = run.image("site_overview.png");
    EXPECT_EQ(thumbnail.size(), QSize(3000, 3000));
    EXPECT_EQ(thumbnail.pixel(10, 10), qRgb(0, 0, 0));
}

TEST(LayoutCreatorRun, ThumbnailSizes)
{
    struct Case
    {
        std::vector<cv::Vec3d> points;
        QSize size;
    };
    const Case cases[] = {
        {patch(2, 2, 1, 0.05) + patch(32, 2, 1, 0.05), QSize(3000, 750)},   // 4 × 1 tiles
        {patch(2, 2, 1, 0.05) + patch(62, 42, 1, 0.05), QSize(2996, 2140)}, // 7 × 5 tiles
    };
    for (const Case& c : cases) {
        LayoutRun run({scanAt("s", cv::Mat::eye(4, 4, CV_64F), c.points)});
        run.job.scannerDomain = 100.0;
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        EXPECT_EQ(QImageReader(run.outputPath("site_overview.png")).size(), c.size);
    }
}

TEST(LayoutCreatorRun, BackViewIsTheFrontViewSeenFromBehind)
{
    const std::vector<cv::Vec3d> points = wall(2, 2, 1, 0.05, 5.0) + wall(22, 2, 1, 0.05, 5.0);
    LayoutRun front({scanAt("s", cv::Mat::eye(4, 4, CV_64F), points)});
    front.job.view = Front;
    LayoutRun back({scanAt("s", cv::Mat::eye(4, 4, CV_64F), points)});
    back.job.view = Back;
    ASSERT_TRUE(front.run());
    ASSERT_TRUE(back.run());
    ASSERT_TRUE(front.succeeded());
    ASSERT_TRUE(back.succeeded());

    for (const char* name : {"site_0_0.png", "site_1_0.png", "site_2_0.png"})
        EXPECT_EQ(back.image(name), front.image(name).mirrored(true, false)) << name;

    // Tile (0, 0) shows at the right end of the thumbnail.
    const QImage thumbnail = back.image("site_overview.png");
    ASSERT_EQ(thumbnail.size(), QSize(3000, 1000));
    EXPECT_TRUE(QRect(2680, 0, 140, 1000)
                    .contains(darkArea(thumbnail.copy(2000, 0, 1000, 1000)).translated(2000, 0)));
    EXPECT_TRUE(darkArea(thumbnail.copy(1000, 0, 1000, 1000)).isEmpty());
    EXPECT_TRUE(QRect(680, 0, 140, 1000).contains(darkArea(thumbnail.copy(0, 0, 1000, 1000))));
    EXPECT_FALSE(darkArea(thumbnail.copy(0, 0, 1000, 1000)).isEmpty());

    // The log names the world corners as the mirrored image shows them.
    const QByteArray log = readFile(back.outputPath("site.log"));
    EXPECT_TRUE(log.contains("View = Back\n"));
    EXPECT_TRUE(log.contains("Tile Name = site_0_0.png\n# comment: X Y Z image coordinates left "
                             "bottom corner (LB),right upper corner (RU)\nLeft Bottom = 10 0 0\n"
                             "Right Upper = 0 0 10\n"));
}

TEST(LayoutCreatorRun, TileWhoseSumEqualsTheThresholdIsDropped)
{
    // 0.125 m: threshold 16. Every point is 2 m from its own scanner and lands on a pixel
    // corner twice, so every touched pixel is the densest: one per pixel on the scale.
    const auto scansOnRow = [](double u0, int count) {
        std::vector<FakeScan> scans;
        for (int k = 0; k < count; ++k) {
            const double u = u0 + 0.5 * k;
            scans.push_back(scanAt(QString::number(k),
                                   FakeScanSource::translation(u - 2.0, 1.0, 0.0),
                                   {{2.0, 0.0, 0.0}, {2.0, 0.0, 0.0}}));
        }
        return scans;
    };
    struct Case
    {
        int inFirstTile;
        TileRange outputTiles;
    };
    for (const Case& c : {Case{16, {1, 1, 0, 0}}, Case{17, {0, 1, 0, 0}}}) {
        SCOPED_TRACE(c.inFirstTile);
        std::vector<FakeScan> scans = scansOnRow(1.0, c.inFirstTile);
        for (FakeScan& s : scansOnRow(11.0, 17))
            scans.push_back(s);
        LayoutRun run(scans);
        run.job.resolution = 0.125;
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        EXPECT_EQ(run.creator.tileRange, c.outputTiles);
    }
}

TEST(LayoutCreatorRun, ScanThatFailsToOpenIsLeftOut)
{
    FakeScan broken = scanAt("broken", FakeScanSource::translation(1, 1, 0), patch(5, 5, 1, 0.05));
    broken.opens = false;
    LayoutRun run({broken, scanAt("good", cv::Mat::eye(4, 4, CV_64F), patch(2, 2, 1, 0.05))});
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    EXPECT_EQ(run.warnings, QStringList{"Scan load failed"}) << "the run goes on: no error";
    EXPECT_FALSE(run.creator.scanList.testBit(0));
    EXPECT_TRUE(run.creator.scanList.testBit(1));
    const QByteArray log = readFile(run.outputPath("site.log"));
    EXPECT_TRUE(log.contains("\nScan Motion = 0 1 0 0 0 0 1 0 0 0 0 1 0 1 1 0 1\n"));
    EXPECT_TRUE(log.contains("\nScans used = 1 \n"));
    EXPECT_FALSE(log.contains("Scans used = 0"));
}

TEST(LayoutCreatorRun, PointsOutsideTheTileGridAreToldOncePerScan)
{
    // At 0.03 m a tile image covers 9.99 m: points in its last centimetre are left out.
    const std::vector<cv::Vec3d> edge(15, cv::Vec3d(9.995, 0.5, 0.0));
    LayoutRun run({scanAt("a", cv::Mat::eye(4, 4, CV_64F), edge + patch(2, 2, 1, 0.05)),
                   scanAt("b", cv::Mat::eye(4, 4, CV_64F), patch(4, 4, 1, 0.05)),
                   scanAt("c", cv::Mat::eye(4, 4, CV_64F), edge + edge + patch(6, 6, 1, 0.05))},
                  4);
    run.job.resolution = 0.03;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded()) << run.lines.join('\n').toStdString();
    EXPECT_EQ(run.warnings,
              (QStringList{"Scan 0: 15 points fell outside the tile grid and were left out",
                           "Scan 2: 30 points fell outside the tile grid and were left out"}));
}

TEST(LayoutCreatorRun, SecondRunOnTheSameEngineWritesTheSameFiles)
{
    LayoutRun run({scanAt("a", rotationZ(30, 1, 2, 0), patch(3, 3, 2, 0.05)),
                   scanAt("b", FakeScanSource::translation(30, 4, 0), patch(-3, 1, 2, 0.05))});
    run.job.tileSize = 20.0;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    const auto first = run.outputBytes();
    const float firstScale = run.creator.maxAccumulated;

    QTemporaryDir second;
    run.job.outputFile = second.filePath("site.log");
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    EXPECT_EQ(run.creator.maxAccumulated, firstScale);
    EXPECT_EQ(run.outputBytes(), first);
    EXPECT_GE(first.size(), 4u);
}

TEST(LayoutCreatorRun, SameBytesWhateverTheChunksTheThreadsTheMemoryTheOrderOrTheTileStore)
{
    const std::vector<FakeScan> scans = {
        scanAt("a", rotationZ(-20, 4, -3, 1),
               patch(1, 1, 3, 0.05) + patch(9, 2, 2, 0.1) + wall(-1, 0, 3, 0.05, 2)),
        scanAt("b", rotationZ(95, 12, 6, 0), patch(-2, 3, 2, 0.05) + patch(0, 0, 0.3, 0.1)),
        scanAt("c", rotationZ(40, 15, 12, 2), wall(10, 0, 3, 0.05, 3) + patch(14, 11, 2, 0.05)),
    };
    const int chunk = 37;
    for (const FakeScan& s : scans)
        ASSERT_NE(s.points.size() % chunk, 1u); // a last chunk of one point carries nothing
    // The same points read in the opposite order.
    std::vector<FakeScan> reversed = scans;
    for (FakeScan& s : reversed)
        std::reverse(s.points.begin(), s.points.end());
    struct Case
    {
        std::uint32_t view;
        const char* type;
        double resolution; // 0.03: raw tiles of 333 × 333 pixels, not a multiple of ten
        LayoutLayer layer = LayoutLayer::Density;
    };
    const Case cases[] = {
        {Top, "png", 0.1},   {Back, "png", 0.1},   {Top, "jpg", 0.1},
        {Right, "tif", 0.1}, {Front, "png", 0.03}, {Top, "png", 0.1, LayoutLayer::Colour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(viewInfo(c.view)->name) + " " + c.type + " " + layerName(c.layer));
        const auto prepare = [&c](LayoutRun& run) {
            run.job.layer = c.layer;
            run.job.view = c.view;
            run.job.imageType = c.type;
            run.job.resolution = c.resolution;
            run.job.clipLow = -30.0;
            run.job.clipHigh = 30.0;
        };
        const auto plainStore = [](LayoutRun& run) {
            run.creator.setRawTileStoreFactory([](const QString& folder, int n, MemoryBudget&) {
                return std::make_unique<FileRawTileStore>(folder, n);
            });
        };
        // The reference: one thread, every raw tile in its file between two visits.
        LayoutRun plain(scans, 1000);
        prepare(plain);
        plain.job.threads = 1;
        plainStore(plain);
        ASSERT_TRUE(plain.run());
        ASSERT_TRUE(plain.succeeded());
        const auto expected = plain.outputBytes();
        ASSERT_GE(expected.size(), 5u); // several tiles, the thumbnail and the log

        struct Variant
        {
            const char* name;
            int chunk;
            bool placeholderAtEnd;
            int threads;
            std::int64_t budget;    // 1: every tile spills whenever it is given back
            bool plain = false;     // the file-per-visit store
            int stripRows = 0;      // tiles kept in strips of this many rows, as at 1 mm
            bool backwards = false; // every scan's points in the opposite order
        };
        const Variant variants[] = {
            {"small chunks, one thread", chunk, true, 1, 0},
            {"four threads", 1000, false, 4, 0},
            {"four threads, small chunks", chunk, false, 4, 0},
            {"four threads, every tile spilled", chunk, true, 4, 1},
            {"four threads, the file-per-visit store", chunk, false, 4, 0, true},
            {"strips of 7 rows, every strip spilled", 1000, false, 2, 1, false, 7},
            {"points backwards, three threads", chunk, false, 3, 0, false, 0, true},
            {"points backwards, one thread, every tile spilled", 1000, false, 1, 1, false, 0, true},
        };
        for (const Variant& v : variants) {
            SCOPED_TRACE(v.name);
            LayoutRun run(v.backwards ? reversed : scans, v.chunk);
            prepare(run);
            run.source.setPlaceholderAtEnd(v.placeholderAtEnd);
            run.job.threads = v.threads;
            run.job.memoryBudgetBytes = v.budget;
            if (v.plain)
                plainStore(run);
            if (v.stripRows > 0)
                run.creator.setRawTileStoreFactory(
                    [&v](const QString& folder, int n, MemoryBudget& budget) {
                        return std::make_unique<MemoryRawTileStore>(
                            folder, n, budget, QStringLiteral("orvnTile_"), v.stripRows);
                    });
            ASSERT_TRUE(run.run());
            EXPECT_TRUE(run.outputBytes() == expected);
            // The source outlives the run (a window's next run), the run's budget does not.
            EXPECT_EQ(run.source.threadBudget(), nullptr);
        }
    }
}

TEST(LayoutCreatorRun, TilesThatCannotBeSpilledFailTheRun)
{
    LayoutRun run({scanAt("a", cv::Mat::eye(4, 4, CV_64F), patch(1, 1, 3, 0.05))}, 100);
    writeFile(run.out.filePath("plain"), "a file where the spill folder belongs");
    const QString folder = run.out.filePath("plain") + "/";
    run.creator.setRawTileStoreFactory([folder](const QString&, int n, MemoryBudget& budget) {
        return std::make_unique<MemoryRawTileStore>(folder, n, budget);
    });
    run.job.memoryBudgetBytes = 1;
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.creator.failed);
    EXPECT_EQ(run.creator.errorCode, TempFileAccess);
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty());
    EXPECT_EQ(run.outputFiles(), QStringList{"plain"});

    // With room in memory nothing needs the folder.
    run.job.memoryBudgetBytes = 0;
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.succeeded());
}

TEST(LayoutCreatorRun, ALayoutWhoseTilesFitTheBudgetNeverSpills)
{
    // Two raw tiles, each handed out and taken back by some hundred chunks of 37 points.
    LayoutRun run(
        {scanAt("a", cv::Mat::eye(4, 4, CV_64F), patch(1, 1, 3, 0.05) + patch(11, 1, 3, 0.05))},
        37);
    struct CountingStore : MemoryRawTileStore
    {
        using MemoryRawTileStore::MemoryRawTileStore;
        std::int64_t* spilled = nullptr;
        ~CountingStore() override { *spilled = spills(); }
    };
    std::int64_t spilled = -1;
    run.creator.setRawTileStoreFactory(
        [&spilled](const QString& folder, int n, MemoryBudget& budget) {
            auto store = std::make_unique<CountingStore>(folder, n, budget);
            store->spilled = &spilled;
            return store;
        });
    // Room for both raw tiles of 100 × 100 floats, their grey tiles and some to spare.
    run.job.memoryBudgetBytes = 4 * 100 * 100 * 4;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    EXPECT_EQ(spilled, 0);
}

TEST(LayoutCreatorRun, NamesWithDotsAndBlanksAndEveryImageType)
{
    for (const char* type : {"png", "jpg", "tif"}) {
        SCOPED_TRACE(type);
        LayoutRun run({scanAt("a", cv::Mat::eye(4, 4, CV_64F), patch(2, 2, 1, 0.05))});
        run.job.outputFile = run.out.filePath("my site.final.log");
        run.job.imageType = QString::fromLatin1(type);
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        const QString t = QString::fromLatin1(type);
        EXPECT_EQ(run.outputFiles(),
                  QStringList({"my site.log", "my site_0_0." + t, "my site_overview." + t}));
        EXPECT_FALSE(run.image("my site_overview." + t).isNull());
        // A layout is grey: its tiles are 8-bit grey files (TIFF still compressed).
        QImageReader tile(run.outputPath("my site_0_0." + t));
        EXPECT_EQ(tile.imageFormat(), QImage::Format_Grayscale8);
        if (t == "tif") {
            EXPECT_EQ(tiffCompression(readFile(run.outputPath("my site_0_0.tif"))), 5) << "LZW";
        }

        LayoutLogInfo log;
        ASSERT_TRUE(LogReader::read(run.outputPath("my site.log"), log));
        EXPECT_EQ(log.thumbnail, "my site_overview." + t);
        EXPECT_EQ(log.tileNames, QStringList{"my site_0_0." + t});
    }
}

TEST(LayoutCreatorExtent, BoundsTheSelectedScanPositions)
{
    FakeScanSource source({scanAt("a", FakeScanSource::translation(1, 2, 3), {}),
                           scanAt("b", FakeScanSource::translation(-4, 5, 6), {}),
                           scanAt("c", FakeScanSource::translation(100, 100, 100), {})});
    QBitArray selected(3, true);
    selected.clearBit(2);
    cv::Mat minOut, maxOut;
    ASSERT_TRUE(LayoutCreator::computeScanExtent(source, selected, minOut, maxOut, 10.0,
                                                 cv::Mat::eye(3, 3, CV_64F)));
    EXPECT_EQ(cv::norm(minOut, vec3(-14, -8, -7), cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(maxOut, vec3(11, 15, 16), cv::NORM_INF), 0.0);

    // The dock hands over the transpose of a view rotation; positions come out in view
    // coordinates (Left: u = -y, v = z, depth = x).
    const cv::Mat R = LayoutCreator::viewMatrixFor(Left)(cv::Rect(0, 0, 3, 3)).t();
    ASSERT_TRUE(LayoutCreator::computeScanExtent(source, selected, minOut, maxOut, 1.0, R));
    EXPECT_NEAR(cv::norm(minOut, vec3(-6, 2, -5), cv::NORM_INF), 0.0, 1e-12);
    EXPECT_NEAR(cv::norm(maxOut, vec3(-1, 7, 2), cv::NORM_INF), 0.0, 1e-12);

    EXPECT_FALSE(LayoutCreator::computeScanExtent(source, selected, minOut, maxOut, 1.0,
                                                  cv::Mat::zeros(3, 3, CV_64F)));
    ASSERT_TRUE(LayoutCreator::computeScanExtent(source, QBitArray(3), minOut, maxOut, 1.0,
                                                 cv::Mat::eye(3, 3, CV_64F)));
    EXPECT_EQ(minOut.at<double>(0), 2147483647.0); // nothing selected: the empty bounds
    EXPECT_EQ(maxOut.at<double>(2), -2147483648.0);
}
