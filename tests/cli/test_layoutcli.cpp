// orthaven-layout run as a program: generated scans of the three-room building go in,
// tiles are checked by their pixels where the walls and the rooms are, the layout log by
// its lines, and every refusal and failure by its exit code and message.

#include "LayoutProgram.h"
#include "Version.h"
#include "creator/ResultMessages.h"
#include "engine/OutputCommit.h"
#include "engine/SessionFolders.h"
#include "engine/StatusReporter.h"
#include "genscan/GenScanJob.h"
#include "layout/LayoutFrame.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"
#include "platform/AppPaths.h"
#include "platform/DurableFile.h"
#include "settings/ConfigSettings.h"
#include "support/ExternalTool.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/types.h>
#endif

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

QStringList logLines(const QString& path)
{
    QString text = QString::fromUtf8(readFile(path));
    text.remove(QLatin1Char('\r'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Every entry of a folder, hidden ones too: files with their bytes, folders as "<folder>".
std::map<QString, QByteArray> folderState(const QString& path)
{
    std::map<QString, QByteArray> state;
    for (const QFileInfo& entry : QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                           QDir::System | QDir::NoDotAndDotDot))
        state[entry.fileName()] =
            entry.isDir() ? QByteArray("<folder>") : readFile(entry.absoluteFilePath());
    return state;
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

// The scan positions the generator placed, in project coordinates.
std::vector<cv::Vec3d> stationPositions(const GenScanJob& job)
{
    std::vector<cv::Vec3d> positions;
    for (const StationReport& r : job.reports())
        positions.emplace_back(r.pose[3], r.pose[7], r.pose[11]);
    return positions;
}

// The planes the Layout Creator offers: the depth range of the chosen positions widened
// by the scan radius, rounded outward, then one metre more.
std::pair<double, double> expectedPlanes(const std::vector<cv::Vec3d>& positions,
                                         const std::vector<int>& chosen, int depthAxis,
                                         double radius)
{
    double low = 1e300;
    double high = -1e300;
    for (int i : chosen) {
        low = std::min(low, positions[std::size_t(i)][depthAxis] - radius);
        high = std::max(high, positions[std::size_t(i)][depthAxis] + radius);
    }
    return {std::floor(low) - 1, std::ceil(high) + 1};
}

// A top-view layout read back from its log: every tile with its world rectangle and image.
struct TopTile
{
    QString name;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QImage image;
};

std::vector<TopTile> readTopTiles(const QString& logPath)
{
    std::vector<TopTile> tiles;
    const QString folder = QFileInfo(logPath).absolutePath();
    for (const QString& line : logLines(logPath)) {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (line.startsWith(QLatin1String("Tile Name = "))) {
            tiles.push_back({});
            tiles.back().name = line.mid(12);
            tiles.back().image = QImage(folder + QLatin1Char('/') + tiles.back().name);
        } else if (line.startsWith(QLatin1String("Left Bottom = ")) && parts.size() == 6) {
            tiles.back().x0 = parts[3].toDouble();
            tiles.back().y0 = parts[4].toDouble();
        } else if (line.startsWith(QLatin1String("Right Upper = ")) && parts.size() == 6) {
            tiles.back().x1 = parts[3].toDouble();
            tiles.back().y1 = parts[4].toDouble();
        }
    }
    return tiles;
}

// Grey values of a top-view layout at world points, found through the tile corners of
// the log: the image's column grows with x from the left edge, its row with -y from the
// upper edge.
class TopLayout
{
public:
    TopLayout(const QString& logPath, double metresPerPixel)
        : tiles(readTopTiles(logPath)), resolution(metresPerPixel)
    {
    }

    // -1 where no tile covers the point.
    int grey(double x, double y) const
    {
        for (const TopTile& t : tiles) {
            if (x < t.x0 || x >= t.x1 || y < t.y0 || y >= t.y1)
                continue;
            const int column = int(std::floor((x - t.x0) / resolution));
            const int row = int(std::floor((t.y1 - y) / resolution));
            if (!t.image.valid(column, row))
                return -1;
            return qGray(t.image.pixel(column, row));
        }
        return -1;
    }

    struct Stats
    {
        int darkest = 256;
        double mean = 0;
        int covered = 0;
    };
    // Over the rectangle x0 … x1 × y0 … y1, one sample per pixel.
    Stats stats(double x0, double y0, double x1, double y1) const
    {
        Stats s;
        double sum = 0;
        for (double y = y0; y < y1; y += resolution) {
            for (double x = x0; x < x1; x += resolution) {
                const int g = grey(x, y);
                if (g < 0)
                    continue;
                s.darkest = std::min(s.darkest, g);
                sum += g;
                ++s.covered;
            }
        }
        s.mean = s.covered ? sum / s.covered : 0;
        return s;
    }

    std::vector<TopTile> tiles;
    double resolution;
};

// Three stations, one per room, few enough points to run in a moment, and a georeferenced
// offset so that the positions need their millimetres.
class LayoutCli : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        GenScanOptions options;
        options.outputFolder = folder->path() + QStringLiteral("/scans");
        options.stations = 3;
        options.pointsPerColumn = 300;
        options.columns = 900;
        options.seed = 3;
        job = std::make_unique<GenScanJob>(options);
        ASSERT_TRUE(job->run()) << job->errorText().toStdString();
    }
    static void TearDownTestSuite()
    {
        job.reset();
        bigJob.reset();
        turnedJob.reset();
        folder.reset();
    }

    QStringList scanFiles() const { return job->files(); }
    // Twelve stations of 400000 points: a run that is surely still reading scans when
    // its first progress line has been seen.
    QStringList bigScans()
    {
        if (!bigJob) {
            GenScanOptions options;
            options.outputFolder = folder->path() + QStringLiteral("/big");
            options.stations = 12;
            options.pointsPerColumn = 400;
            options.columns = 1000;
            bigJob = std::make_unique<GenScanJob>(options);
            EXPECT_TRUE(bigJob->run()) << bigJob->errorText().toStdString();
        }
        return bigJob->files();
    }
    // The same building with the whole scene turned by turn degrees in the project.
    QStringList turnedScans()
    {
        if (!turnedJob) {
            GenScanOptions options = job->options();
            options.outputFolder = folder->path() + QStringLiteral("/turned");
            options.turn = turn;
            turnedJob = std::make_unique<GenScanJob>(options);
            EXPECT_TRUE(turnedJob->run()) << turnedJob->errorText().toStdString();
        }
        return turnedJob->files();
    }
    static constexpr double turn = 33.0;
    QString outPath(const QString& name) const { return appData.path() + "/out/" + name; }
    bool tempFolderIsEmpty() const
    {
        return QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    TempAppData appData; // the program's configuration and temporary folder per test
    static std::unique_ptr<QTemporaryDir> folder;
    static std::unique_ptr<GenScanJob> job;
    static std::unique_ptr<GenScanJob> bigJob;
    static std::unique_ptr<GenScanJob> turnedJob;
};

std::unique_ptr<QTemporaryDir> LayoutCli::folder;
std::unique_ptr<GenScanJob> LayoutCli::job;
std::unique_ptr<GenScanJob> LayoutCli::turnedJob;
std::unique_ptr<GenScanJob> LayoutCli::bigJob;

} // namespace

TEST_F(LayoutCli, TopViewShowsTheWallsDarkOnWhiteAcrossTileBorders)
{
    const double resolution = 0.02;
    const ProgramRun run =
        runLayout(QStringList{"--out", outPath("plan"), "--resolution", "0.02", "--tile", "10"} +
                  scanFiles());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString log = outPath("plan.log");
    EXPECT_EQ(run.out.split('\n').first(), "Layout written to " + QDir::toNativeSeparators(log));
    EXPECT_TRUE(tempFolderIsEmpty());
    EXPECT_TRUE(QFileInfo::exists(configFilePath())) << "the default configuration is made";

    // The log: settings from the command line and the configuration, the planes the
    // Layout Creator would offer, every scan's pose, every tile fed by all three scans.
    const QStringList lines = logLines(log);
    ASSERT_GE(lines.size(), 16);
    const auto [low, high] = expectedPlanes(stationPositions(*job), {0, 1, 2}, 2, 30.0);
    const QStringList head = {"Brandmoor Layout",
                              "Version = 1.1",
                              "Number of Tiles U = 2",
                              "Number of Tiles V = 1",
                              "View = Top",
                              "Resolution = 0.02",
                              "Tile Size = 10",
                              "Scan Domain = 30",
                              "ReverseIntensity = 1",
                              "Clipping Low = " + number(low),
                              "Clipping High = " + number(high),
                              "DXF = plan.dxf",
                              "VRT = plan.vrt",
                              "Projection Motion = 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 ",
                              "Thumbnail = plan_overview.png"};
    EXPECT_EQ(lines.mid(0, head.size()), head);
    EXPECT_EQ(lines.filter(QRegularExpression("^Scan Motion = \\d ")).size(), 3);
    EXPECT_EQ(lines.filter("Scans used = 0 1 2 ").size(), 2);
    EXPECT_EQ(lines.last(), "Layout END");

    const TopLayout layout(log, resolution);
    ASSERT_EQ(layout.tiles.size(), 2u);
    for (const TopTile& t : layout.tiles) {
        ASSERT_FALSE(t.image.isNull()) << t.name.toStdString();
        EXPECT_EQ(t.image.width(), 500);
        EXPECT_EQ(t.x1 - t.x0, 10.0);
    }
    EXPECT_TRUE(QImage(outPath("plan_overview.png")).width() > 0);

    // Outside the building (north of it, beyond the east wall) nothing was scanned.
    for (const auto& [x, y] : {std::pair{4.0, 9.0}, std::pair{16.0, 4.0}, std::pair{12.0, 9.5}}) {
        const auto s = layout.stats(x - 0.3, y - 0.3, x + 0.3, y + 0.3);
        EXPECT_EQ(s.darkest, 255) << "background at " << x << ", " << y;
    }
    // The walls are dark lines, the floors between them a light grey.
    const auto floorA = layout.stats(3.0, 5.5, 4.5, 7.0);
    EXPECT_GT(floorA.mean, 150);
    EXPECT_LT(floorA.mean, 250) << "the floor was scanned";
    struct Wall
    {
        const char* name;
        double x0, y0, x1, y1;
    };
    const Wall walls[] = {
        {"inner wall of room A at x 8", 7.8, 1.5, 8.0, 2.5},
        {"outer wall at y 0, west of the tile border", 9.5, 0.0, 9.98, 0.25},
        {"outer wall at y 0, east of the tile border", 10.02, 0.0, 10.5, 0.25},
        {"east wall", 13.8, 2.0, 14.0, 4.0},
        {"wall between rooms B and C", 9.0, 4.8, 9.5, 5.2},
    };
    for (const Wall& w : walls) {
        const auto s = layout.stats(w.x0, w.y0, w.x1, w.y1);
        EXPECT_LT(s.darkest, 100) << w.name;
        EXPECT_LT(s.darkest + 80, floorA.mean) << w.name;
    }
    // The two tiles meet without an offset: the wall runs on in the same pixel row on both
    // sides of x = 10.
    int darkRowWest = -1;
    int darkRowEast = -1;
    int darkestWest = 256;
    int darkestEast = 256;
    for (int k = 0; k < 15; ++k) {
        const double y = 0.005 + k * resolution;
        if (const int g = layout.grey(10.0 - resolution / 2, y); g >= 0 && g < darkestWest) {
            darkestWest = g;
            darkRowWest = k;
        }
        if (const int g = layout.grey(10.0 + resolution / 2, y); g >= 0 && g < darkestEast) {
            darkestEast = g;
            darkRowEast = k;
        }
    }
    EXPECT_LT(darkestWest, 160);
    EXPECT_LT(darkestEast, 160);
    EXPECT_LE(std::abs(darkRowWest - darkRowEast), 1) << "the wall line steps at the tile border";
}

TEST_F(LayoutCli, FrontViewOfOneScanAsJpegWithTheViewsDefaultName)
{
    QDir().mkpath(outPath({}));
    const ProgramRun run = runLayout(QStringList{"--view", "front", "--scans", "1", "--type", "jpg",
                                                 "--resolution", "0.05", "--domain", "12"} +
                                         scanFiles(),
                                     outPath({}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString log = outPath("Front_View.log");
    const QStringList lines = logLines(log);
    ASSERT_FALSE(lines.isEmpty()) << run.out.toStdString();
    const auto [low, high] = expectedPlanes(stationPositions(*job), {1}, 1, 12.0);
    EXPECT_TRUE(lines.contains("View = Front"));
    EXPECT_TRUE(lines.contains("Resolution = 0.05"));
    EXPECT_TRUE(lines.contains("Scan Domain = 12"));
    EXPECT_TRUE(lines.contains("Clipping Low = " + number(low)));
    EXPECT_TRUE(lines.contains("Clipping High = " + number(high)));
    EXPECT_TRUE(lines.contains("Thumbnail = Front_View_overview.jpg"));
    const QStringList used = lines.filter("Scans used = ");
    EXPECT_FALSE(used.isEmpty());
    EXPECT_TRUE(used.contains("Scans used = 1 "));
    for (const QString& line : used)
        EXPECT_TRUE(line == "Scans used = 1 " || line == "Scans used = ") << line.toStdString();
    const QStringList names = lines.filter("Tile Name = ");
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const QImage tile(outPath(name.mid(12)));
        EXPECT_FALSE(tile.isNull()) << name.toStdString();
        EXPECT_TRUE(name.endsWith(".jpg"));
    }
}

TEST_F(LayoutCli, PreferencesComeFromTheConfigurationUnlessGiven)
{
    ConfigSettings config = defaultConfig();
    config.tileSize = 30;
    config.resolution = 0.05;
    config.invertColor = true;
    QDir().mkpath(productFolder());
    ASSERT_TRUE(saveConfig(config, configFilePath()));

    ProgramRun run = runLayout(QStringList{"--out", outPath("prefs.log")} + scanFiles());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList lines = logLines(outPath("prefs.log"));
    EXPECT_TRUE(lines.contains("Tile Size = 30"));
    EXPECT_TRUE(lines.contains("Resolution = 0.05"));
    EXPECT_TRUE(lines.contains("ReverseIntensity = 0"));
    // Inverted: the background is black.
    const TopLayout inverted(outPath("prefs.log"), 0.05);
    const auto outside = inverted.stats(3.5, 9.0, 4.5, 9.5);
    EXPECT_GT(outside.covered, 0);
    EXPECT_EQ(outside.mean, 0.0);

    run = runLayout(QStringList{"--out", outPath("given.log"), "--tile", "20", "--no-invert",
                                "--resolution", "0.1"} +
                    scanFiles());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    lines = logLines(outPath("given.log"));
    EXPECT_TRUE(lines.contains("Tile Size = 20"));
    EXPECT_TRUE(lines.contains("Resolution = 0.1"));
    EXPECT_TRUE(lines.contains("ReverseIntensity = 1"));
}

TEST_F(LayoutCli, ListShowsEveryScanWithItsPositionToTheMillimetre)
{
    QTemporaryDir geo;
    GenScanOptions options;
    options.outputFolder = geo.path();
    options.stations = 4;
    options.pointsPerColumn = 10;
    options.columns = 20;
    options.oneFile = true;
    options.offset = {512345.6784, 5403210.1236, -12.0004};
    GenScanJob small(options);
    ASSERT_TRUE(small.run());

    const ProgramRun run = runLayout({"--list", small.files().first()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    const std::vector<cv::Vec3d> positions = stationPositions(small);
    for (int i = 0; i < 4; ++i) {
        const QStringList fields = lines[i].split('\t');
        ASSERT_EQ(fields.size(), 3) << lines[i].toStdString();
        EXPECT_EQ(fields[0], QString::number(i));
        EXPECT_FALSE(fields[1].isEmpty());
        const cv::Vec3d& p = positions[std::size_t(i)];
        EXPECT_EQ(fields[2], QString::number(p[0], 'f', 3) + ' ' + QString::number(p[1], 'f', 3) +
                                 ' ' + QString::number(p[2], 'f', 3));
    }
    EXPECT_FALSE(QFileInfo::exists(outPath({}))) << "listing writes nothing";
}

TEST_F(LayoutCli, LasScansAreListedWithoutAPosition)
{
    QTemporaryDir dir;
    GenScanJob las({.outputFolder = dir.path(),
                    .format = "las",
                    .stations = 2,
                    .pointsPerColumn = 10,
                    .columns = 20,
                    .oneFile = true,
                    .offset = {}});
    ASSERT_TRUE(las.run()) << las.errorText().toStdString();
    const QString file = las.files().first();
    const ProgramRun list = runLayout({"--list", file});
    EXPECT_EQ(list.out, "0\t" + file + " (source 0)\t- - -\n1\t" + file + " (source 1)\t- - -\n")
        << list.err.toStdString();
}

TEST_F(LayoutCli, BadArgumentsAreRefusedWithExitCodeTwo)
{
    const QString scans = scanFiles().first();
    const QString blocker = writeFile(appData.path() + "/a-file", "not a folder");
    const QString garbage = writeFile(appData.path() + "/notes.txt", "hello");
    const QString otherFormat = writeFile(appData.path() + "/b.ptg", "PTG");
    const QString folderNamedLog = appData.path() + "/old.log";
    QDir().mkpath(folderNamedLog);
    const QString rieglProject =
        writeFile(appData.path() + QString::fromUtf8("/Проект/site.rsp"), "<project/>");
    const QString compressedLas = writeFile(appData.path() + "/flight.LAZ", "LASF");
    const struct
    {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{}, "no scan files given"},
        {{"--bogus", scans}, "unknown option --bogus"},
        {{"--view", "up", scans}, "--view must be"},
        {{"--tile", "25", scans}, "--tile needs a whole multiple of 10 m"},
        {{"--resolution", "0,01", scans},
         "--resolution needs metres per pixel above 0 and at most 10, not \"0,01\" (numbers take "
         "a point as the decimal separator: 0.01)"},
        {{appData.path() + "/missing.ptx"}, "no such scan file"},
        {{appData.path()}, " is a folder; give the scan files in it (e.g. "},
        {{garbage}, "no reader for"},
        {{scans, otherFormat}, "all scan files must be of one format"},
        {{rieglProject}, "The Riegl API doesn't support a file path with non ASCII letters"},
        {{compressedLas}, "Compressed LAS files (LAZ) are not read; decompress them to LAS first."},
        {{"--out", blocker + "/plan.log", scans}, "cannot create the output folder"},
        {{"--out", folderNamedLog, scans}, "--out names a folder"},
        {{"--out", appData.path() + "/.log", scans}, "the output file needs a name"},
        {{"--scans", "0,3", scans}, "there is no scan 3: the files hold scans 0 to 0"},
        {{"--clip-low", "40", scans}, "the lower clipping plane (40 m) must be below"},
        {{"--clip-low", "2", "--clip-high", "1", scans}, "--clip-low must be below --clip-high"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runLayout(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 2) << what << "\n" << run.err.toStdString();
        EXPECT_FALSE(run.crashed) << what;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << what << "\n"
                                                                    << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << what;
    }
    EXPECT_TRUE(tempFolderIsEmpty());

    const ProgramRun help = runLayout({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: orthaven-layout")) << help.out.toStdString();
    const ProgramRun version = runLayout({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("orthaven-layout %1 (revision %2)\n")
                               .arg(QLatin1String(version::text))
                               .arg(version::revision));
}

TEST_F(LayoutCli, FailuresExitWithOneAndTheResultMessage)
{
    // Clipping planes above the roof: no point is kept.
    ProgramRun run = runLayout(
        QStringList{"--out", outPath("empty.log"), "--clip-low", "50", "--clip-high", "60"} +
        scanFiles());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Not enough data between the clipping planes!\nWiden the "
                                 "clipping planes or use more scans!"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("ERROR STATUS")) << "the engine's own line is chatter";
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(outPath({}))) << "the folders made for the output are gone";
    EXPECT_TRUE(tempFolderIsEmpty());

    // A file that is no scan at all: the reader's own line says why.
    const QString broken = writeFile(appData.path() + "/broken.ptx", "12\nnot a number\n");
    run = runLayout({"--out", outPath("broken.log"), broken});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("could not read any scan from")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("PTX header")) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(outPath("broken.log")));

    // An empty file is said to be one, without the reader's chatter; beside a good file it
    // is a warning, and the layout counts.
    const QString empty = writeFile(appData.path() + "/empty.ptx", "");
    run = runLayout({"--out", outPath("empty.log"), empty});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QDir::toNativeSeparators(empty) + " is empty"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("EOF detect")) << run.err.toStdString();
    run = runLayout({"--out", outPath("one.log"), empty, scanFiles().first()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Warning: no scan was found in " +
                                 QDir::toNativeSeparators(empty) + "; it is left out"))
        << run.err.toStdString();

    // A Riegl project whose scan files are missing lists its scans but reads none: each
    // scan's cause is named.
    QTemporaryDir riegl;
    GenScanOptions options;
    options.outputFolder = riegl.path();
    options.format = QStringLiteral("rsp");
    options.stations = 2;
    options.pointsPerColumn = 20;
    options.columns = 40;
    options.oneFile = true;
    GenScanJob project(options);
    ASSERT_TRUE(project.run()) << project.errorText().toStdString();
    ASSERT_TRUE(QDir(riegl.filePath("SCANS")).removeRecursively());
    run = runLayout({"--out", outPath("riegl.log"), project.files().first()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("None of the chosen scans could be read:\n\n"))
        << run.err.toStdString();
    EXPECT_EQ(
        run.err.count(QRegularExpression("\\[\\d\\]: the scan file .*_00\\d.p3s is missing; could "
                                         "not be read and was left out")),
        2)
        << run.err.toStdString();
}

TEST_F(LayoutCli, ADamagedScanIsAWarningAndTheLayoutStillCounts)
{
    // The last scan's file cut in half: the layout is written from what there is.
    QStringList files = scanFiles();
    const QByteArray whole = readFile(files.last());
    files.last() = writeFile(appData.path() + "/cut/station.ptx", whole.left(whole.size() / 2));
    const ProgramRun run =
        runLayout(QStringList{"--out", outPath("cut.log"), "--resolution", "0.05"} + files);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Layout written to ")) << run.out.toStdString();
    EXPECT_FALSE(run.err.contains("ERROR")) << "a success says nothing of an error";
    const QString warning =
        "Warning: the layout is complete, but not every checked scan is in it whole:\n"
        "  station.ptx (000) [" +
        QString::number(files.size() - 1) + "]: PTX scan " + QString::number(files.size() - 1);
    EXPECT_TRUE(run.err.contains(warning)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(" ends after ")) << run.err.toStdString();
    // The severity decides what shows without --verbose: the reader's warning as it is
    // reported, on a line of its own; none of the chatter.
    EXPECT_TRUE(run.err.contains("\nPTX scan " + QString::number(files.size() - 1) + " in "))
        << run.err.toStdString();
    for (const char* chatter : {"Header = ", "Task done", "Number of Points = "})
        EXPECT_FALSE(run.err.contains(chatter)) << chatter;

    // Tiles that no image can hold are named as the cause, not the memory, before any scan
    // is read; a value from orthaven.cfg with its line there.
    const ProgramRun fine = runLayout(
        QStringList{"--out", outPath("fine.log"), "--resolution", "0.0001", "--tile", "30"} +
        files);
    EXPECT_EQ(fine.exitCode, 2);
    EXPECT_TRUE(fine.err.contains("Tile images of 300000 pixels a side exceed the limit of 20000!"))
        << fine.err.toStdString();
    EXPECT_FALSE(fine.err.contains("Reading the scan files")) << fine.err.toStdString();
    ConfigSettings config = defaultConfig();
    config.tileSize = 15;
    ASSERT_TRUE(saveConfig(config, configFilePath()));
    const ProgramRun cut = runLayout(QStringList{"--out", outPath("cut.log")} + files);
    EXPECT_EQ(cut.exitCode, 2);
    EXPECT_TRUE(cut.err.contains("Image Size: tiles are cut in whole multiples of 10 m; 15 m is "
                                 "not one!\n\nLine 9 of " +
                                 QDir::toNativeSeparators(configFilePath()) + ": TileSize = 15"))
        << cut.err.toStdString();
}

TEST_F(LayoutCli, AScanLibraryErrorFailsWithOneNeverACrash)
{
    // A FARO workspace of two stations whose library fails on one call of the second scan.
    QTemporaryDir faro;
    GenScanOptions options;
    options.outputFolder = faro.path();
    options.format = QStringLiteral("fws");
    options.stations = 2;
    options.pointsPerColumn = 40;
    options.columns = 80;
    GenScanJob generated(options);
    ASSERT_TRUE(generated.run()) << generated.errorText().toStdString();
    const QString workspace = generated.files().first();
    const QByteArray text = readFile(workspace);
    ASSERT_TRUE(text.contains("name = scan_001\n"));

    struct Case
    {
        const char* call;
        bool listFails;   // --list asks for names and positions
        bool layoutFails; // a layout for positions and points (names only label the sheet)
        const char* door; // the start of the reader's error line, after "ScanSource::"
    };
    const Case cases[] = {
        {"name", true, false, "scanNames failed"},
        {"position", true, true, "scanPose failed for scan 1"},
        {"points", false, true, "readPoints failed for scan 1"},
    };
    const QString runFailed =
        "Could not read the scans!\n\nThe scan files may be damaged or incomplete.";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const QByteArray failure = QByteArray("fail = ") + c.call + " 0x80004005\n";
        writeFile(workspace,
                  QByteArray(text).replace("name = scan_001\n", "name = scan_001\n" + failure));
        const QString line = "ScanSource::" + QString::fromLatin1(c.door) +
                             ": FARO library error 0x80004005 in interface {";

        const ProgramRun list = runLayout({"--list", workspace});
        EXPECT_FALSE(list.crashed);
        EXPECT_EQ(list.exitCode, c.listFails ? 1 : 0) << list.err.toStdString();
        EXPECT_EQ(list.err.contains(line), c.listFails) << list.err.toStdString();
        EXPECT_EQ(list.out.isEmpty(), c.listFails) << "no list with a gap";

        const QString log = outPath(QString::fromLatin1(c.call) + ".log");
        const ProgramRun layout = runLayout({"--out", log, workspace});
        EXPECT_FALSE(layout.crashed);
        EXPECT_EQ(layout.exitCode, c.layoutFails ? 1 : 0) << layout.err.toStdString();
        EXPECT_TRUE(layout.err.contains(line)) << layout.err.toStdString();
        EXPECT_EQ(layout.err.contains(runFailed), c.layoutFails) << layout.err.toStdString();
        EXPECT_EQ(QFileInfo::exists(log), !c.layoutFails);
        EXPECT_TRUE(tempFolderIsEmpty());
    }

    // A scan the library does not load is left out, and why shows without --verbose.
    writeFile(workspace, QByteArray(text).replace("points = scan_001.fwp", "points = gone.fwp"));
    const ProgramRun skipped = runLayout({"--out", outPath("skipped.log"), workspace});
    EXPECT_EQ(skipped.exitCode, 0) << skipped.err.toStdString();
    for (const QString& line :
         {"FARO stand-in: cannot open the points file " + faro.filePath("gone.fwp") +
              " of scan 1: No such file or directory",
          QString("FARO scan 1 did not load: the library answered status 1"),
          QString("Scan load failed")})
        EXPECT_TRUE(skipped.err.contains(line)) << line.toStdString();
}

TEST_F(LayoutCli, AnOverviewPictureThatCannotBeWrittenIsAWarningAndTheOlderLayoutGoesWhole)
{
    // An older layout "plan" in PNG with more tiles, then a JPEG one of the same name whose
    // scan-position sheet finds a folder in its place.
    ProgramRun run =
        runLayout(QStringList{"--out", outPath("plan"), "--resolution", "0.05", "--tile", "10"} +
                  scanFiles());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(QFileInfo::exists(outPath("plan_overview_scan_positions.png")));
    const QString sheet = outPath("plan_overview_scan_positions.jpg");
    ASSERT_TRUE(QDir().mkpath(sheet));

    run = runLayout(QStringList{"--out", outPath("plan"), "--resolution", "0.05", "--type", "jpg"} +
                    scanFiles());
    EXPECT_EQ(run.exitCode, 0) << "the layout itself is complete";
    EXPECT_TRUE(run.out.startsWith("Layout written to ")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(overviewPicturesWarning({sheet}))) << run.err.toStdString();

    // Only the new layout is left: its log, the files the log names, and the folder.
    LayoutLogInfo log;
    ASSERT_TRUE(LogReader::read(outPath("plan.log"), log));
    QStringList expected = layoutFileNames(log) + QStringList{"plan.log"};
    expected.sort();
    EXPECT_EQ(QDir(outPath({}))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              expected);
    EXPECT_TRUE(expected.contains("plan_overview.jpg"));
    EXPECT_TRUE(QFileInfo(sheet).isDir());
    EXPECT_TRUE(tempFolderIsEmpty());
}

// The files of the layout whose log is logName in folder, log first, when every one the
// log names is there (the pictures readable); empty otherwise.
static QStringList wholeLayout(const QString& folder, const QString& logName)
{
    LayoutLogInfo log;
    if (!LogReader::read(folder + "/" + logName, log))
        return {};
    QStringList files = QStringList{logName} + layoutFileNames(log);
    for (const QString& name : layoutFileNames(log))
        if (!QFileInfo::exists(folder + "/" + name) ||
            (QRegularExpression("\\.(png|jpg|tif)$").match(name).hasMatch() &&
             !QImageReader(folder + "/" + name).canRead()))
            return {};
    return files;
}

// Whichever file of a layout the disk fails on, at its last write or its sync: the run
// fails naming the file and the cause, and the older layout of the name stays as it was.
TEST_F(LayoutCli, AFullDiskAtAnyFileOfTheLayoutLeavesTheFolderAsItWas)
{
    const QStringList older = {"--out", outPath("plan"), "--resolution", "0.05", "--tile", "10"};
    ASSERT_EQ(runLayout(older + scanFiles()).exitCode, 0);
    const auto before = folderState(outPath({}));
    const QString diskFull = diskFullText();
    const struct
    {
        const char* fault;
        const char* file; // what the message names
    } cases[] = {
        {"log:last", "plan.log"},
        // The annotated thumbnail is the thumbnail's only file here (the plain one is
        // written only where no picture replaces it: the engine's tests).
        {"annotated:last", "plan_overview.jpg"},
        {"sheet:last", "plan_overview_scan_positions.jpg"},
        {"tile:last", "plan_0_0.jpg"},
        {"world:last", "plan_0_0.jgw"},
        {"dxf:last", "plan.dxf"},
        {"vrt:sync", "plan.vrt"},
        {"tile:sync", "plan_0_0.jpg"},
        {"journal:last", ".orvn-plan.staging/journal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const ProgramRun run = runLayout(
            QStringList{"--out", outPath("plan"), "--resolution", "0.05", "--type", "jpg"} +
                scanFiles(),
            {}, {{"ORTHAVEN_TEST_WRITE_FAULT", QString::fromLatin1(c.fault)}});
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(resultCodeMessage(OutputFolderAccess) + "\n\n" +
                                     outPath(QString::fromLatin1(c.file)) + ": " + diskFull))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("temporary file")) << run.err.toStdString();
        EXPECT_TRUE(folderState(outPath({})) == before) << "the folder is not as it was";
        EXPECT_TRUE(tempFolderIsEmpty());
    }
}

// What goes beside the tiles follows the options: a plan under a coordinate system with
// its print on A3; a full disk at the print keeps the older layout as it was; a layout made
// again without drawing, mosaic and print takes the older ones (and the .prj files) away.
TEST_F(LayoutCli, HandsOnWhatItIsAskedForAndTakesItAwayWithTheLayout)
{
    const QStringList plan = QStringList{"--out", outPath("plan"), "--resolution", "0.05"};
    const QStringList handOn = {"--crs", "EPSG:25832", "--pdf",       "--print-scale",
                                "200",   "--paper",    "A3-landscape"};
    ProgramRun run = runLayout(plan + handOn + scanFiles());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList files = QDir(outPath({})).entryList(QDir::Files);
    for (const char* name : {"plan.dxf", "plan.vrt", "plan.pdf", "plan_0_0.prj"})
        EXPECT_TRUE(files.contains(name)) << name;
    if (const auto info = toolOutput("pdfinfo", {outPath("plan.pdf")})) {
        EXPECT_TRUE(info->contains("1191 x 842 pts (A3)")) << info->toStdString();
    }

    const auto before = folderState(outPath({}));
    run = runLayout(plan + handOn + scanFiles(), {}, {{"ORTHAVEN_TEST_WRITE_FAULT", "pdf:last"}});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(outPath("plan.pdf") + ": " + diskFullText()))
        << run.err.toStdString();
    EXPECT_TRUE(folderState(outPath({})) == before);

    ASSERT_EQ(runLayout(plan + QStringList{"--no-dxf", "--no-world-files"} + scanFiles()).exitCode,
              0);
    files = QDir(outPath({})).entryList(QDir::Files);
    EXPECT_TRUE(files.filter(QRegularExpression("\\.(dxf|vrt|pdf|prj|pgw)$")).isEmpty())
        << files.join(' ').toStdString();
}

// One run per layout name: a name held by a running copy is refused at once (exit 3)
// without touching the folder; once it is free the layout is written.
TEST_F(LayoutCli, ALayoutNameInUseIsRefusedWithExitCodeThree)
{
    ASSERT_TRUE(QDir().mkpath(outPath({})));
    QLockFile held(layoutLockPath(outPath("plan.log")));
    ASSERT_TRUE(held.tryLock(0));
    const auto before = folderState(outPath({}));
    const QStringList arguments =
        QStringList{"--out", outPath("plan"), "--resolution", "0.05"} + scanFiles();
    ProgramRun run = runLayout(arguments);
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(resultCodeMessage(OutputLocked) + "\n\n" + outPath("plan.log") +
                                 ": in use by "))
        << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains(QString(", process %1 on ").arg(QCoreApplication::applicationPid())))
        << run.err.toStdString();
    EXPECT_TRUE(folderState(outPath({})) == before);

    held.unlock();
    run = runLayout(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList expected = wholeLayout(outPath({}), "plan.log");
    expected.sort();
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(QDir(outPath({}))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              expected);
}

// A run killed after any step of its commit, with an older layout of the name in the
// folder: the next run into the folder (of another name) finishes that commit first and
// sweeps the killed run's staging folder and lock; one whole layout of each name is left.
TEST_F(LayoutCli, AKillAtAnyStepOfTheCommitIsCompletedByTheNextRun)
{
    const QStringList scans = scanFiles().mid(0, 1);
    ASSERT_EQ(
        runLayout(QStringList{"--out", outPath("plan"), "--resolution", "0.05"} + scans).exitCode,
        0);
    const auto older = folderState(outPath({}));
    const QStringList olderFiles = wholeLayout(outPath({}), "plan.log");
    const QStringList newer = {"--out", outPath("plan"), "--resolution", "0.05", "--type", "jpg"};
    const QStringList other = {"--out", outPath("other"), "--resolution", "0.05"};
    for (int step = 0;; ++step) {
        SCOPED_TRACE(step);
        QDir(outPath({})).removeRecursively();
        for (const auto& [name, bytes] : older)
            writeFile(outPath(name), bytes);
        const ProgramRun killed =
            runLayout(newer + scans, {}, {{"ORTHAVEN_TEST_KILL_IN_COMMIT", QString::number(step)}});
        if (!killed.crashed) {
            ASSERT_EQ(killed.exitCode, 0) << killed.err.toStdString();
            ASSERT_GE(step, 12) << "a step per move: 5 files aside, 5 in";
            break;
        }
        const ProgramRun next = runLayout(other + scans);
        ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
        QStringList plan = wholeLayout(outPath({}), "plan.log");
        ASSERT_FALSE(plan.isEmpty());
        // Before its journal the killed run had changed nothing; after it, its layout is the one.
        EXPECT_EQ(plan.contains("plan_overview.jpg"), step > 0) << plan.join(' ').toStdString();
        if (step == 0) {
            EXPECT_EQ(plan, olderFiles);
        }
        QStringList expected = plan + wholeLayout(outPath({}), "other.log");
        expected.sort();
        EXPECT_EQ(
            QDir(outPath({}))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name),
            expected);
    }
}

#ifndef _WIN32
// A write the system itself cuts short, not the seam's: the new layout's files may grow to
// 400 kB only, its 3000-pixel PNG sheet and thumbnail cannot. The run names the first of
// them (the sheet) and the system's cause, and the older layout stays as it was.
TEST_F(LayoutCli, AWriteTheSystemCutsShortFailsTheRunAndKeepsTheOlderLayout)
{
    const QStringList arguments = {"--out", outPath("plan"), "--resolution", "0.05"};
    ASSERT_EQ(runLayout(arguments + QStringList{"--type", "jpg"} + scanFiles()).exitCode, 0);
    const auto before = folderState(outPath({}));
    QProcess process;
    process.setChildProcessModifier([] {
        const rlimit size{400000, 400000};
        setrlimit(RLIMIT_FSIZE, &size);
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    });
    process.start(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM), arguments + scanFiles());
    ASSERT_TRUE(process.waitForFinished(-1));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(resultCodeMessage(OutputFolderAccess) + "\n\n" +
                             outPath("plan_overview_scan_positions.png") + ": " +
                             qt_error_string(EFBIG)))
        << err.toStdString();
    EXPECT_TRUE(folderState(outPath({})) == before) << "the folder is not as it was";
}

// Standard error of a running program (where its progress goes) up to the first output
// holding the text, or up to its end: waits for the output itself, however long it takes.
static QByteArray waitForErrorText(QProcess& process, const QByteArray& text)
{
    QByteArray err = process.readAllStandardError();
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop, [&] {
        err += process.readAllStandardError();
        if (err.contains(text))
            loop.quit();
    });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (!err.contains(text) && process.state() == QProcess::Running)
        loop.exec();
    return err;
}

// Ctrl+C at the moment the first scan is being read, with an older layout of the same
// name in the folder. Whenever the signal lands, the outcome obeys the rule: exit 130
// with the folder exactly as before, or exit 0 with the whole new layout; never a mix,
// never temporary files.
TEST_F(LayoutCli, CtrlCLeavesTheFolderAsItWasOrTheLayoutComplete)
{
    const ProgramRun older =
        runLayout(QStringList{"--out", outPath("site"), "--resolution", "0.05", "--tile", "10"} +
                  scanFiles());
    ASSERT_EQ(older.exitCode, 0) << older.err.toStdString();
    const auto before = folderState(outPath({}));

    QProcess process;
    process.start(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM),
                  QStringList{"--out", outPath("site")} + bigScans());
    ASSERT_TRUE(process.waitForStarted());
    QByteArray err = waitForErrorText(process, "Loading Scan");
    ASSERT_TRUE(err.contains("Loading Scan")) << err.toStdString();
    ASSERT_EQ(::kill(pid_t(process.processId()), SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(-1));
    err += process.readAllStandardError();
    const QByteArray out = process.readAllStandardOutput();

    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    RecordProperty("exitCode", process.exitCode()); // which way it went, for the report
    EXPECT_TRUE(tempFolderIsEmpty());
    if (process.exitCode() == 130) {
        EXPECT_TRUE(err.contains("Computation interrupted!")) << err.toStdString();
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(folderState(outPath({})) == before) << "the folder is not as it was";
        return;
    }
    ASSERT_EQ(process.exitCode(), 0) << err.toStdString();
    LayoutLogInfo log;
    ASSERT_TRUE(LogReader::read(outPath("site.log"), log));
    EXPECT_EQ(log.scanPoses.size(), 12u) << "the new layout's log";
    QStringList expected = layoutFileNames(log) + QStringList{"site.log"};
    expected.sort();
    EXPECT_EQ(QDir(outPath({}))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              expected);
    for (const QString& picture : layoutFileNames(log)) // tiles, thumbnail, sheet
        EXPECT_TRUE(QImageReader(outPath(picture)).canRead()) << picture.toStdString();
}

// A run killed outright leaves its session folder; the next run removes it, but never the
// folder of a run that goes on.
TEST_F(LayoutCli, TheSessionFolderOfAKilledRunIsRemovedByTheNextRun)
{
    QProcess process;
    process.start(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM),
                  QStringList{"--out", outPath("killed")} + bigScans());
    ASSERT_TRUE(process.waitForStarted());
    const QByteArray err = waitForErrorText(process, "Loading Scan");
    ASSERT_TRUE(err.contains("Loading Scan")) << err.toStdString();
    ASSERT_EQ(::kill(pid_t(process.processId()), SIGKILL), 0);
    ASSERT_TRUE(process.waitForFinished(-1));
    const QStringList left = QDir(tempFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(tempFolder() + "/" + left[0] + "/" + sessionLockFileName));

    // A session folder of a process that runs: this test's own.
    const QString running = tempFolder() + "/235959999";
    ASSERT_TRUE(QDir().mkpath(running));
    const std::unique_ptr<QLockFile> lock = lockSession(running);
    ASSERT_TRUE(lock);
    writeFile(running + "/orvnTile_0_0.tmp", "raw");

    const ProgramRun list = runLayout(QStringList{"--list"} + scanFiles());
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(QDir(tempFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{"235959999"});
    EXPECT_EQ(readFile(running + "/orvnTile_0_0.tmp"), "raw");
}
#endif

TEST_F(LayoutCli, AJobFileRunsEveryJobAndReportsTheOnesThatFail)
{
    const QStringList scans = scanFiles();
    const auto quoted = [](const QString& path) { return "\"" + path + "\""; };
    const QString jobs = writeFile(
        appData.path() + "/out/jobs.txt",
        ("# two plans and one section\n"
         "--resolution 0.05 --tile 10 --out first " +
         quoted(scans[0]) + "\n" +
         "--resolution 0.05 --tile 10 --clip-low 50 --clip-high 60 --out empty " +
         quoted(scans[1]) + "\n" + "--resolution 0.05 --out FIRST.log " + quoted(scans[2]) + "\n" +
         "--resolution 0.05 --tile 10 --view front " + quoted(scans[2]) + "\n")
            .toUtf8());
    const ProgramRun run = runLayout({"--jobs", jobs});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("jobs.txt line 4: Layout output file already in batch list!"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Not enough data between the clipping planes!"));
    EXPECT_TRUE(run.err.contains("Failed jobs on lines 3"));
    EXPECT_TRUE(run.out.contains("Jobs written: 2 of 3"));
    EXPECT_TRUE(QFileInfo::exists(outPath("first.log")));
    EXPECT_FALSE(QFileInfo::exists(outPath("empty.log")));
    EXPECT_TRUE(QFileInfo::exists(outPath("Front_View.log")))
        << "the job after a failed one still runs";
    EXPECT_TRUE(tempFolderIsEmpty());
}

// Laid out in a frame turned as the site is, a turned site gives the tiles of its unturned
// twin, in plan and in elevation, and the log turns their corners back into the project.
TEST_F(LayoutCli, ATurnedSiteInItsFrameGivesTheTilesOfItsUnturnedTwin)
{
    const LayoutFrame frame{turn};
    for (const QString view : {"top", "front"}) {
        SCOPED_TRACE(view.toStdString());
        const QStringList common = {"--view", view, "--resolution", "0.05", "--out"};
        ASSERT_EQ(runLayout(common + QStringList{outPath(view + "_flat")} + scanFiles()).exitCode,
                  0);
        const ProgramRun turned = runLayout(QStringList{"--azimuth", number(turn)} + common +
                                            QStringList{outPath(view)} + turnedScans());
        ASSERT_EQ(turned.exitCode, 0) << turned.err.toStdString();
        const LayoutLogInfo flat = LogReader(outPath(view + "_flat.log")).info();
        const LayoutLogInfo log = LogReader(outPath(view + ".log")).info();
        EXPECT_EQ(log.azimuth, turn);
        ASSERT_EQ(log.tileNames.size(), flat.tileNames.size());
        int dark = 0;
        for (qsizetype t = 0; t < log.tileNames.size(); ++t) {
            for (const auto& [corner, flatCorner] : {std::pair{log.cornersLB[t], flat.cornersLB[t]},
                                                     {log.cornersRU[t], flat.cornersRU[t]}}) {
                const PlanePoint expected =
                    frame.toProject({flatCorner.at<double>(0), flatCorner.at<double>(1)});
                EXPECT_NEAR(corner.at<double>(0), expected.x, 1e-6);
                EXPECT_NEAR(corner.at<double>(1), expected.y, 1e-6);
                EXPECT_EQ(corner.at<double>(2), flatCorner.at<double>(2));
            }
            const QImage a(outPath(flat.tileNames[t])), b(outPath(log.tileNames[t]));
            ASSERT_EQ(a.size(), b.size());
            int off = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    off += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 1;
                    dark += qGray(a.pixel(x, y)) < 200;
                }
            EXPECT_EQ(off, 0) << log.tileNames[t].toStdString();
        }
        EXPECT_GT(dark, 5000) << "a layout with walls in it";
    }
}

// The facade of two points on the inner face of the building's south wall, which runs at
// the turn's angle in the project: the wall comes out as a sharp band of dense pixels
// from the first point (left) to the second, rounded outward to whole metres, and nothing
// beyond, although the wall goes on.
TEST_F(LayoutCli, AFacadeOfAWallAtAnAngleShowsItAsASharpBandAlongItsSegment)
{
    // The wall's inner face lies at y = 0.1 of the building, which spans x = 0 … 14.
    const LayoutFrame frame{turn};
    const PlanePoint p1 = frame.toProject({1.3, 0.1}), p2 = frame.toProject({5.6, 0.1});
    const ProgramRun run = runLayout(
        QStringList{"--facade",
                    QStringList{number(p1.x), number(p1.y), number(p2.x), number(p2.y)}.join(','),
                    "--resolution", "0.05", "--out", outPath("south")} +
        turnedScans());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const LayoutLogInfo log = LogReader(outPath("south.log")).info();
    EXPECT_NEAR(log.azimuth, turn, 1e-9);
    int wallTiles = 0;
    for (qsizetype t = 0; t < log.tileNames.size(); ++t) {
        const QImage tile(outPath(log.tileNames[t]));
        // The image's left edge and top, from the log's corners turned into the frame.
        const double left =
            frame.toFrame({log.cornersLB[t].at<double>(0), log.cornersLB[t].at<double>(1)}).x;
        const double top = log.cornersRU[t].at<double>(2);
        if (log.cornersLB[t].at<double>(2) != 0.0)
            continue; // below the floor
        ++wallTiles;
        for (int column = 0; column < tile.width(); ++column) {
            const double u = left + (column + 0.5) * 0.05;
            int dense = 0, rows = 0;
            for (int row = 0; row < tile.height(); ++row) {
                const double z = top - (row + 0.5) * 0.05;
                if (z < 0.3 || z > 2.7)
                    continue;
                ++rows;
                dense += qGray(tile.pixel(column, row)) < 255;
            }
            if (u > 1.1 && u < 5.9) {
                EXPECT_GT(dense, rows * 9 / 10) << "u = " << u;
            } else if (u < 0.95 || u > 6.05) {
                EXPECT_EQ(dense, 0) << "u = " << u;
            }
        }
    }
    EXPECT_EQ(wallTiles, 1);
}

TEST_F(LayoutCli, LevelsAndThePlanOfATwoStoreyBuildingWithoutALayout)
{
    GenScanOptions options;
    options.outputFolder = folder->path() + QStringLiteral("/two");
    options.storeys = 2;
    options.stations = 4;
    options.pointsPerColumn = 200;
    options.columns = 300;
    options.offset = {500000.0, 5400000.0, 312.45};
    GenScanJob building(options);
    ASSERT_TRUE(building.run()) << building.errorText().toStdString();
    const QString out = outPath(QStringLiteral("look"));
    ASSERT_TRUE(QDir().mkpath(out));
    const double z = options.offset.z;

    // The upper storey's slab, as the level buttons set it, on the plan with 10 m tiles.
    ProgramRun run =
        runLayout(QStringList{"--levels", "--preview", out + "/plan.png", "--tile", "10",
                              "--clip-low", number(z + 3.35), "--clip-high", number(z + 6.25)} +
                  building.files());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QRegularExpression levelLine(QStringLiteral("^Level (\\d+\\.\\d{3}) (\\d+\\.\\d)$"));
    std::vector<double> heights;
    double lastShare = 101.0;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = levelLine.match(line);
        if (!m.hasMatch())
            continue;
        heights.push_back(m.captured(1).toDouble() - z);
        EXPECT_LE(m.captured(2).toDouble(), lastShare) << "the largest share first";
        lastShare = m.captured(2).toDouble();
    }
    std::sort(heights.begin(), heights.end());
    ASSERT_EQ(heights.size(), 4u) << run.out.toStdString();
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(heights[k], (std::array{0.0, 3.0, 3.3, 6.3})[k], 0.02);
    EXPECT_TRUE(run.out.contains("Preview written to")) << run.out.toStdString();
    const QImage plan(out + "/plan.png");
    ASSERT_FALSE(plan.isNull());
    EXPECT_LE(std::max(plan.width(), plan.height()), 1024);
    int tileEdge = 0;
    for (int y = 0; y < plan.height(); ++y) {
        for (int x = 0; x < plan.width(); ++x) {
            const QRgb p = plan.pixel(x, y);
            tileEdge += qBlue(p) > 150 && qRed(p) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(tileEdge, plan.height()) << "the tile grid is drawn";
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"plan.png"}) << "and no layout";

    // A front view: the levels, then the walls along its depth axis (the south wall's inner
    // face 0.1 m north of the outline).
    run = runLayout(QStringList{"--levels", "--view", "front"} + building.files());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression("\\nDepth 5400000\\.(09|10|11)\\d \\d")))
        << run.out.toStdString();
}
