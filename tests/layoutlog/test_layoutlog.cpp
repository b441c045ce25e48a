#include "engine/LayoutCreator.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LayoutLogWriter.h"
#include "layoutlog/LogReader.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using orthaven::test::readFile;
using orthaven::test::writeFile;

namespace {

cv::Mat corners(double left, double bottom, double right, double top)
{
    return (cv::Mat_<double>(4, 2) << left, right, bottom, top, 0, 0, 1, 1);
}

// One Top tile covering u 20 … 40, v -20 … 0, fed by scans 0 and 2 of three.
LayoutLogContent oneTopTile()
{
    LayoutLogContent c;
    c.tilesU = 1;
    c.tilesV = 1;
    c.view = Top;
    c.resolution = 0.01;
    c.tileSize = 20;
    c.scannerDomain = 25.0;
    c.reverseIntensity = true;
    c.clipLow = -2147483648.0;
    c.clipHigh = 2147483647.0;
    c.viewMatrix = LayoutCreator::viewMatrixFor(Top);
    c.baseName = QStringLiteral("site");
    c.imageType = QStringLiteral("png");
    cv::Mat pose = cv::Mat::eye(4, 4, CV_64F);
    pose.at<double>(0, 3) = 5.0;
    pose.at<double>(1, 3) = 6.0;
    pose.at<double>(2, 3) = 7.0;
    c.scanPoses = {cv::Mat::eye(4, 4, CV_64F), pose, cv::Mat::eye(4, 4, CV_64F)};
    c.tileCorners = {corners(20, -20, 40, 0)};
    c.tileUsed = cv::Mat::ones(1, 1, CV_32SC1);
    c.usedScans = QBitArray(3);
    c.usedScans.setBit(0);
    c.usedScans.setBit(2);
    return c;
}

// A 2 × 1 layout in the given view whose numbers survive the log exactly.
LayoutLogContent twoTiles(std::uint32_t view)
{
    LayoutLogContent c = oneTopTile();
    c.tilesU = 2;
    c.view = view;
    c.viewMatrix = LayoutCreator::viewMatrixFor(view);
    c.clipLow = -1.5;
    c.clipHigh = 2.25;
    c.reverseIntensity = false;
    cv::Mat rotated = cv::Mat::eye(4, 4, CV_64F);
    rotated.at<double>(0, 0) = 0.6;
    rotated.at<double>(0, 1) = -0.8;
    rotated.at<double>(1, 0) = 0.8;
    rotated.at<double>(1, 1) = 0.6;
    rotated.at<double>(0, 3) = 5412345.67;
    rotated.at<double>(1, 3) = -12.125;
    rotated.at<double>(2, 3) = 310.004;
    c.scanPoses = {rotated, cv::Mat::eye(4, 4, CV_64F)};
    c.tileCorners = {corners(20, -20, 40, 0), corners(40, -20, 60, 0)};
    c.tileUsed = (cv::Mat_<std::int32_t>(2, 1) << 1, 0);
    c.usedScans = QBitArray(2, true);
    return c;
}

QString writeLog(const QTemporaryDir& dir, const LayoutLogContent& content,
                 const char* name = "site.log")
{
    const QString path = dir.filePath(QString::fromUtf8(name));
    EXPECT_TRUE(writeLayoutLog(path, content));
    return path;
}

double maxDifference(const cv::Mat& a, const cv::Mat& b)
{
    return cv::norm(a, b, cv::NORM_INF);
}

} // namespace

TEST(LogNumbers, ShortestFormWithTwelveSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {
        {0.01, "0.01"},
        {25.0, "25"},
        {1e-05, "1e-05"},
        {-2147483648.0, "-2147483648"},
        {2147483647.0, "2147483647"},
        {5412345.67, "5412345.67"},
        {5412345.678, "5412345.678"},
        {-1441015.5712, "-1441015.5712"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "0"},
        {1.0 / 3.0, "0.333333333333"},
        {1.5e15, "1.5e+15"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(formatLogNumber(value), text) << text;
}

TEST(LogWriter, WritesEveryLineOfATopTile)
{
    EXPECT_EQ(layoutLogText(oneTopTile()),
              QByteArray("Brandmoor Layout\n"
                         "Version = 1.1\n"
                         "Number of Tiles U = 1\n"
                         "Number of Tiles V = 1\n"
                         "View = Top\n"
                         "Resolution = 0.01\n"
                         "Tile Size = 20\n"
                         "Scan Domain = 25\n"
                         "ReverseIntensity = 1\n"
                         "Clipping Low = -2147483648\n"
                         "Clipping High = 2147483647\n"
                         "Projection Motion = 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
                         "Thumbnail = site_overview.png\n"
                         "Scan Motion = 0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                         "Scan Motion = 1 1 0 0 0 0 1 0 0 0 0 1 0 5 6 7 1\n"
                         "Scan Motion = 2 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                         "# comment: Tile 0 0\n"
                         "Tile Name = site_0_0.png\n"
                         "# comment: X Y Z image coordinates left bottom corner (LB),right upper "
                         "corner (RU)\n"
                         "Left Bottom = 20 -20 0\n"
                         "Right Upper = 40 0 0\n"
                         "Scans used = 0 2 \n"
                         "Layout END\n"));
}

TEST(LogWriter, CornersAreWorldPointsOfTheImageAsItIsSeen)
{
    struct Case
    {
        std::uint32_t view;
        const char* projection;
        const char* leftBottom;
        const char* rightUpper;
        double azimuth = 0.0;
    };
    const Case cases[] = {
        {Top, "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 ", "20 -20 0", "40 0 0"},
        {Left, "0 -1 0 0 0 0 1 0 1 0 0 0 0 0 0 1 ", "0 -20 -20", "0 -40 0"},
        {Back, "1 0 0 0 0 0 1 0 0 1 0 0 0 0 0 1 ", "40 0 -20", "20 0 0"},
        {Right, "0 -1 0 0 0 0 1 0 1 0 0 0 0 0 0 1 ", "0 -40 -20", "0 -20 0"},
        {Front, "1 0 0 0 0 0 1 0 0 1 0 0 0 0 0 1 ", "20 0 -20", "40 0 0"},
        // Frames turned a quarter: the frame's x' is the project's y, its y' the -x.
        {Top, "0 1 0 0 -1 0 0 0 0 0 1 0 0 0 0 1 ", "20 20 0", "0 40 0", 90.0},
        {Back, "0 1 0 0 0 0 1 0 -1 0 0 0 0 0 0 1 ", "0 40 -20", "0 20 0", 90.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        LayoutLogContent content = oneTopTile();
        content.view = c.view;
        content.azimuth = c.azimuth;
        content.viewMatrix = viewMatrixFor(c.view, LayoutFrame{c.azimuth});
        const QByteArray text = layoutLogText(content);
        EXPECT_EQ(text.contains("\nAzimuth = 90\n"), c.azimuth == 90.0);
        EXPECT_TRUE(text.contains(QByteArray("\nProjection Motion = ") + c.projection + "\n"));
        EXPECT_TRUE(text.contains(QByteArray("\nLeft Bottom = ") + c.leftBottom + "\n"));
        EXPECT_TRUE(text.contains(QByteArray("\nRight Upper = ") + c.rightUpper + "\n"));
    }
}

TEST(LogWriter, UnusedTilesListNoScans)
{
    const QByteArray text = layoutLogText(twoTiles(Front));
    EXPECT_TRUE(text.contains("Tile Name = site_0_0.png\n"));
    EXPECT_TRUE(text.contains("Tile Name = site_1_0.png\n"));
    EXPECT_TRUE(text.contains("\nScans used = 0 1 \n# comment: Tile 1 0\n"));
    EXPECT_TRUE(text.contains("\nScans used = \nLayout END\n"));
}

TEST(LogWriter, UnwritablePathIsAFailure)
{
    QTemporaryDir dir;
    const QString notAFolder = writeFile(dir.filePath("plain"), "x");
    EXPECT_FALSE(writeLayoutLog(notAFolder + "/site.log", oneTopTile()));
}

TEST(LayoutFiles, OnlyTheLayoutsOwnNamesAreItsFiles)
{
    const struct
    {
        const char* name;
        bool own;
    } cases[] = {
        {"site.log", true},
        {"site_0_12.png", true},
        {"site_3_0.jgw", true},
        {"site_overview.tif", true},
        {"site_overview_scan_positions.jpg", true},
        {"site.dxf", true},
        {"site.vrt", true},
        {"site.pdf", true},
        {"site_2_0.prj", true},
        {"site.prj", false},
        {"site_overview.prj", false},
        {"site.DXF", false},
        {"site_plan.pdf", false},
        {"project.dwg", false},
        {"site_0_1.dwg", false},
        {"site_a_1.png", false},
        {"site_overview.pgw", false},
        {"site_overview_notes.png", false},
        {"site_0_1.PNG", false},
        {"site2_0_1.png", false},
        {"site.log.bak", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isLayoutFileName(QStringLiteral("site"), QString::fromLatin1(c.name)), c.own)
            << c.name;
}

TEST(LogRoundTrip, ReaderGivesBackWhatTheWriterWrote)
{
    for (const std::uint32_t view : {Top, Left, Back, Right, Front}) {
        SCOPED_TRACE(view);
        QTemporaryDir dir;
        const LayoutLogContent content = twoTiles(view);
        LogReader reader(writeLog(dir, content));
        ASSERT_TRUE(reader.ok()) << reader.errorText().toStdString();
        const LayoutLogInfo& info = reader.info();
        EXPECT_EQ(info.path, dir.filePath("site.log"));
        EXPECT_EQ(info.version, "1.1");
        EXPECT_EQ(info.tilesU, 2);
        EXPECT_EQ(info.tilesV, 1);
        EXPECT_EQ(info.view, int(view));
        EXPECT_EQ(info.tileSize, 20.0);
        EXPECT_EQ(info.scanDomain, 25.0);
        EXPECT_EQ(info.resolution, 0.01);
        EXPECT_EQ(info.clipLow, -1.5);
        EXPECT_EQ(info.clipHigh, 2.25);
        EXPECT_FALSE(info.reverseIntensity);
        EXPECT_EQ(maxDifference(info.projection, content.viewMatrix), 0.0);
        EXPECT_EQ(info.thumbnail, "site_overview.png");
        ASSERT_EQ(info.scanPoses.size(), 2u);
        // written column by column, read row by row and transposed: the same pose
        EXPECT_EQ(maxDifference(info.scanPoses[0], content.scanPoses[0]), 0.0);
        EXPECT_EQ(info.tileNames, QStringList({"site_0_0.png", "site_1_0.png"}));
        ASSERT_EQ(info.cornersLBView.size(), 2u);

        // The view-plane corners are the tile's corners again (mirrored ones swap u).
        const bool mirrored = view == Back || view == Right;
        for (int t = 0; t < 2; ++t) {
            const cv::Mat& c = content.tileCorners[t];
            const double uLeft = c.at<double>(0, mirrored ? 1 : 0);
            const double uRight = c.at<double>(0, mirrored ? 0 : 1);
            EXPECT_EQ(info.cornersLBView[t].at<double>(0), uLeft);
            EXPECT_EQ(info.cornersLBView[t].at<double>(1), c.at<double>(1, 0));
            EXPECT_EQ(info.cornersRUView[t].at<double>(0), uRight);
            EXPECT_EQ(info.cornersRUView[t].at<double>(1), c.at<double>(1, 1));
            EXPECT_EQ(info.cornersLB[t].at<double>(3), 1.0);
        }
        EXPECT_EQ(info.extentMin[0], 20.0);
        EXPECT_EQ(info.extentMax[0], 60.0);
        EXPECT_EQ(info.extentMin[1], -20.0);
        EXPECT_EQ(info.extentMax[1], 0.0);
    }
}

// The frame's azimuth comes back, and the view-plane corners are the frame's; a log
// without the line is in the project's frame.
TEST(LogRoundTrip, TheAzimuthComesBackAndIsZeroWithoutItsLine)
{
    QTemporaryDir dir;
    LayoutLogContent content = twoTiles(Front);
    content.azimuth = -27.125;
    content.viewMatrix = viewMatrixFor(Front, LayoutFrame{content.azimuth});
    const LogReader reader(writeLog(dir, content));
    ASSERT_TRUE(reader.ok()) << reader.errorText().toStdString();
    EXPECT_EQ(reader.info().azimuth, -27.125);
    EXPECT_NEAR(reader.info().cornersRUView[1].at<double>(0), 60.0, 1e-9);
    EXPECT_NEAR(reader.info().cornersLB[1].at<double>(1), 40.0 * std::sin(-27.125 * CV_PI / 180),
                1e-9);
    const LogReader flat(writeLog(dir, twoTiles(Front), "flat.log"));
    ASSERT_TRUE(flat.ok());
    EXPECT_EQ(flat.info().azimuth, 0.0);
}

// The coordinate system and the files handed on come back and are the layout's files; a
// log without their lines names none of them.
TEST(LogRoundTrip, HandedOnFilesAndTheCoordinateSystemComeBackAsFilesOfTheLayout)
{
    QTemporaryDir dir;
    LayoutLogContent content = twoTiles(Top);
    content.crs = QStringLiteral("EPSG:25832");
    content.drawing = content.mosaic = content.print = true;
    const LogReader reader(writeLog(dir, content));
    ASSERT_TRUE(reader.ok()) << reader.errorText().toStdString();
    EXPECT_EQ(reader.info().crs, "EPSG:25832");
    EXPECT_EQ(
        layoutFileNames(reader.info()),
        QStringList({"site_0_0.png", "site_1_0.png", "site_0_0.pgw", "site_1_0.pgw", "site_0_0.prj",
                     "site_1_0.prj", "site_overview.png", "site_overview_scan_positions.png",
                     "site.dxf", "site.vrt", "site.pdf"}));
    const LogReader plain(writeLog(dir, twoTiles(Top), "plain.log"));
    ASSERT_TRUE(plain.ok());
    EXPECT_TRUE(plain.info().crs.isEmpty());
    EXPECT_EQ(layoutFileNames(plain.info()).size(), 6);
}

TEST(LogRoundTrip, GeoreferencedNumbersKeepTheirMillimetres)
{
    QTemporaryDir dir;
    LayoutLogContent content = oneTopTile();
    content.tileSize = 10;
    content.tileCorners = {corners(5412340.0, 1441010.0, 5412350.0, 1441020.0)};
    cv::Mat pose = cv::Mat::eye(4, 4, CV_64F);
    pose.at<double>(0, 3) = 5412345.678;
    pose.at<double>(1, 3) = -4480820.381;
    pose.at<double>(2, 3) = 4289793.942;
    content.scanPoses = {pose};
    content.usedScans = QBitArray(1, true);
    LayoutLogInfo info;
    ASSERT_TRUE(LogReader::read(writeLog(dir, content), info));
    EXPECT_EQ(info.cornersLB[0].at<double>(0), 5412340.0);
    EXPECT_EQ(info.cornersRU[0].at<double>(1), 1441020.0);
    EXPECT_NEAR(info.scanPoses[0].at<double>(0, 3), 5412345.678, 1e-6);
    EXPECT_NEAR(info.scanPoses[0].at<double>(1, 3), -4480820.381, 1e-6);
    EXPECT_NEAR(info.scanPoses[0].at<double>(2, 3), 4289793.942, 1e-6);
}

TEST(LogRoundTrip, NamesWithBlanksDotsAndAccentsComeBackWhole)
{
    QTemporaryDir dir;
    LayoutLogContent content = oneTopTile();
    content.baseName = QString::fromUtf8("Straße Süd = Nord");
    content.imageType = QStringLiteral("tif");
    const QString path = writeLog(dir, content, "Straße Süd = Nord.log");
    EXPECT_TRUE(readFile(path).contains("Thumbnail = Stra\xC3\x9F"
                                        "e S\xC3\xBC"
                                        "d = Nord_overview.tif\n"));
    LayoutLogInfo info;
    ASSERT_TRUE(LogReader::read(path, info));
    EXPECT_EQ(info.thumbnail, QString::fromUtf8("Straße Süd = Nord_overview.tif"));
    EXPECT_EQ(info.tileNames, QStringList{QString::fromUtf8("Straße Süd = Nord_0_0.tif")});
}

TEST(LogReader, ReadsLogsWithSixDigitNumbersAndWindowsLineEnds)
{
    QTemporaryDir dir;
    const QByteArray text =
        "Brandmoor Layout\r\n"
        "Version = 1.1\r\n"
        "Number of Tiles U = 1\r\n"
        "Number of Tiles V = 1\r\n"
        "View = Front\r\n"
        "Resolution = 0.01\r\n"
        "Tile Size = 20\r\n"
        "Scan Domain = 30\r\n"
        "Clipping Low = -2.14748e+09\r\n"
        "Clipping High = 2.14748e+09\r\n"
        "Projection Motion = 1 0 0 0 0 0 1 0 0 1 0 0 0 0 0 1 \r\n"
        "Thumbnail = old_overview.jpg\r\n"
        "Scan Motion = 0 1 0 0 0 0 1 0 0 0 0 1 0 1.5 2.5 3.5 1\r\n"
        "# comment: Tile 0 0\r\n"
        "Tile Name = old_0_0.jpg\r\n"
        "# comment: X Y Z image coordinates left bottom corner (LB),right upper "
        "corner (RU)\r\n"
        "Left Bottom = 20 0 -20\r\n"
        "Right Upper = 40 0 0\r\n"
        "Scans used = 0 \r\n"
        "Layout END\r\n";
    LayoutLogInfo info;
    ASSERT_TRUE(LogReader::read(writeFile(dir.filePath("old.log"), text), info));
    EXPECT_EQ(info.view, int(Front));
    EXPECT_EQ(info.clipLow, -2.14748e+09);
    EXPECT_TRUE(info.reverseIntensity); // no line: dark on white
    EXPECT_EQ(info.thumbnail, "old_overview.jpg");
    EXPECT_EQ(info.tileNames, QStringList{"old_0_0.jpg"});
    EXPECT_EQ(info.scanPoses[0].at<double>(1, 3), 2.5);
    EXPECT_EQ(info.cornersLBView[0].at<double>(0), 20.0);  // u = x
    EXPECT_EQ(info.cornersLBView[0].at<double>(1), -20.0); // v = z
}

TEST(LogReader, RefusesWhatIsNotACompleteLog)
{
    QTemporaryDir dir;
    const QByteArray good = layoutLogText(twoTiles(Top));
    const auto without = [&good](const QByteArray& line) {
        QByteArray text = good;
        text.replace(line, "");
        return text;
    };
    struct Case
    {
        const char* name;
        QByteArray text;
    };
    QByteArray oneBlockOnly = good;
    oneBlockOnly.truncate(good.indexOf("# comment: Tile 1 0"));
    oneBlockOnly += "Layout END\n";
    QByteArray garbageProjection = good;
    garbageProjection.replace("Projection Motion = 1 0", "Projection Motion = 1 x");
    const Case cases[] = {
        {"empty file", ""},
        {"version 1.0", QByteArray(good).replace("Version = 1.1", "Version = 1.0")},
        {"a version newer than the program",
         QByteArray(good).replace("Version = 1.1", "Version = 99.5")},
        {"version not a number", QByteArray(good).replace("Version = 1.1", "Version = new")},
        {"no version", without("Version = 1.1\n")},
        {"no projection",
         without(good.mid(good.indexOf("Projection Motion"),
                          good.indexOf("Thumbnail") - good.indexOf("Projection Motion")))},
        {"no end marker", without("Layout END\n")},
        {"first tile without its left bottom corner",
         QByteArray(good).replace("Left Bottom = 20 -20 0\n", "")},
        {"last tile without its right upper corner",
         QByteArray(good).replace("Right Upper = 60 0 0\n", "")},
        {"corner with a missing number",
         QByteArray(good).replace("Left Bottom = 20 -20 0", "Left Bottom = 20 -20")},
        {"fewer tile blocks than the counts", oneBlockOnly},
        {"garbage in the projection", garbageProjection},
        {"garbage tile count",
         QByteArray(good).replace("Number of Tiles U = 2", "Number of Tiles U = two")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogReader reader(writeFile(dir.filePath("bad.log"), c.text));
        EXPECT_FALSE(reader.ok());
        EXPECT_FALSE(reader.errorText().isEmpty());
    }
    EXPECT_FALSE(LogReader(dir.filePath("missing.log")).ok());
    EXPECT_TRUE(LogReader(writeFile(dir.filePath("good.log"), good)).ok());
}

TEST(LogReader, EveryCutOffLogIsRefused)
{
    QTemporaryDir dir;
    const QByteArray good = layoutLogText(twoTiles(Right));
    const QList<QByteArray> lines = good.split('\n');
    QByteArray prefix;
    for (int n = 0; n + 2 < lines.size(); ++n) { // every prefix without "Layout END"
        prefix += lines[n] + '\n';
        EXPECT_FALSE(LogReader(writeFile(dir.filePath("cut.log"), prefix)).ok())
            << "lines: " << n + 1;
    }
    EXPECT_TRUE(LogReader(writeFile(dir.filePath("cut.log"), good)).ok());
}
