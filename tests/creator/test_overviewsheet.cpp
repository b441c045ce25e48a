#include "OverviewScene.h"

#include "creator/LayoutSettings.h"
#include "creator/LayoutTask.h"
#include "layoutlog/LogReader.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "support/GermanTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImageReader>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// Marker centres of the scene's three stations on its Top thumbnail.
const QPoint topCentres[3] = {{450, 900}, {2100, 600}, {2550, 1050}};

constexpr QRgb blue = 0xff0000ff;    // the scene's ScanPosColor1, opaque
constexpr QRgb magenta = 0xffff00ff; // the scene's ScanPosColor2, opaque

bool isReddish(QRgb c)
{
    return qRed(c) > qGreen(c) + 40 && qRed(c) > qBlue(c) + 40;
}

bool isGreyInk(QRgb c)
{
    return !isWhite(c) && qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
}

// Where the annotated thumbnail may differ from the engine's when the grid is off: the
// logo and caption, the three markers and the coordinate symbol (with its labels).
bool mayChangeWithoutGrid(const QPoint& p, const QPoint* centres, int count, int height)
{
    if (QRect(0, 0, 900, 175).contains(p))
        return true;
    if (QRect(0, height - 340, 400, 290).contains(p))
        return true;
    for (int k = 0; k < count; ++k)
        if (QRect(centres[k] - QPoint(12, 12), QSize(25, 25)).contains(p))
            return true;
    return false;
}

QStringList changedOutside(const QImage& before, const QImage& after, const QPoint* centres,
                           int count)
{
    QStringList changed;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (after.pixel(x, y) != before.pixel(x, y) &&
                !mayChangeWithoutGrid({x, y}, centres, count, after.height()))
                changed.append(QStringLiteral("(%1, %2)").arg(x).arg(y));
    return changed;
}

// The longest run of pixels of the colour along one row at or below top, as (length, start).
std::pair<int, QPoint> longestRun(const QImage& image, int top, QRgb colour)
{
    std::pair<int, QPoint> best{0, {}};
    for (int y = top; y < image.height(); ++y) {
        for (int x = 0, run = 0; x < image.width(); ++x) {
            run = image.pixel(x, y) == colour ? run + 1 : 0;
            if (run > best.first)
                best = {run, QPoint(x - run + 1, y)};
        }
    }
    return best;
}

// Pixels of the drawing (the rows of the thumbnail) that differ from the faded thumbnail
// away from the logo, caption, list title, markers with their labels and coordinate symbol.
int coveredElsewhere(const QImage& sheet, const QImage& thumbnail, const QPoint* centres, int count)
{
    int n = 0;
    for (int y = 0; y < thumbnail.height(); ++y)
        for (int x = 0; x < thumbnail.width(); ++x) {
            const QPoint p(x, y);
            bool nearMarker = false;
            for (int k = 0; k < count; ++k)
                nearMarker |= QRect(centres[k] - QPoint(40, 80), QSize(600, 160)).contains(p);
            if (nearMarker || QRect(0, 0, 900, 320).contains(p) ||
                QRect(0, thumbnail.height() - 340, 400, 340).contains(p))
                continue;
            const int faded = (qGray(thumbnail.pixel(p)) + 255) / 2;
            n += std::abs(qGray(sheet.pixel(p)) - faded) > 2 ? 1 : 0;
        }
    return n;
}

// Replaces the first line of the log that starts with key.
void rewriteLogLine(const QString& path, const QByteArray& key, const QByteArray& line)
{
    QByteArray text = readFile(path);
    const qsizetype at = text.indexOf("\n" + key);
    ASSERT_GE(at, 0);
    const qsizetype end = text.indexOf('\n', at + 1);
    text.replace(at + 1, end - at - 1, line);
    writeFile(path, text);
}

} // namespace

TEST(OverviewPaths, SheetAndThumbnailPaths)
{
    EXPECT_EQ(scanPositionSheetPath("/data/out/plan_overview.png"),
              "/data/out/plan_overview_scan_positions.png");
    EXPECT_EQ(scanPositionSheetPath("/data/out/plan_overview.tif"),
              "/data/out/plan_overview_scan_positions.tif");

    LayoutLogInfo log;
    log.thumbnail = "my site_overview.jpg";
    EXPECT_EQ(overviewThumbnailPath("/data/out/my site.log", log),
              "/data/out/my site_overview.jpg");
    // Only a file beside the log may be overwritten.
    for (const char* name : {"", "..", "../elsewhere.png", "sub/site_overview.png",
                             "..\\elsewhere.png", "/etc/site_overview.png"}) {
        log.thumbnail = name;
        EXPECT_TRUE(overviewThumbnailPath("/data/out/site.log", log).isEmpty()) << name;
    }
}

TEST(OverviewLabels, MetreTextsAreReadableForEveryMagnitude)
{
    EXPECT_EQ(metreText(20.0), "20");
    EXPECT_EQ(metreText(-12.5), "-12.5");
    EXPECT_EQ(metreText(39.999999999), "40");
    EXPECT_EQ(metreText(-0.0001), "0");
    EXPECT_EQ(metreText(5400020.0), "5400020") << "no exponent for georeferenced values";
    EXPECT_EQ(metreText(0.125), "0.125");
}

TEST(OverviewGeometry, MarkersSitOnTheScannerPositionsAndAreMirroredForBackAndRight)
{
    struct Case
    {
        std::uint32_t view;
        bool mirrored;
    };
    for (const Case c : {Case{Top, false}, Case{Front, false}, Case{Left, false}, Case{Back, true},
                         Case{Right, true}}) {
        SCOPED_TRACE(c.view);
        OverviewScene scene(c.view);
        ASSERT_TRUE(scene.layout());
        const LayoutLogInfo log = LogReader(scene.logPath()).info();
        ASSERT_EQ(scene.original.size(), QSize(3000, 1500));
        const std::vector<ScanMarker> markers =
            scanMarkers(log, scene.inputs(), scene.original.size());
        ASSERT_EQ(markers.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            const QPoint expected = c.mirrored
                                        ? QPoint(3000 - topCentres[k].x() - 1, topCentres[k].y())
                                        : topCentres[k];
            EXPECT_EQ(markers[k].centre, expected) << k;
            EXPECT_EQ(markers[k].label, QString("_%1 ").arg(k) + sceneStations[k].name);
            EXPECT_TRUE(markers[k].used);
        }
        OverviewInputs inputs = scene.inputs();
        inputs.noPosition = QBitArray(3);
        inputs.noPosition.setBit(1);
        const std::vector<ScanMarker> two = scanMarkers(log, inputs, scene.original.size());
        EXPECT_TRUE(two.size() == 2 && two[1].index == 2) << "no marker without a position";
    }
}

TEST(OverviewGeometry, GridLabelsNameTheWorldCoordinateAtEachTileEdge)
{
    // u runs 0 … 20: Top and Front show x, Back shows x from the right, Left and Right
    // show y = -u (Right mirrored).
    struct Case
    {
        std::uint32_t view;
        QString first, second;
    };
    const Case cases[] = {{Top, "0 m", "10 m"},
                          {Front, "0 m", "10 m"},
                          {Back, "20 m", "10 m"},
                          {Left, "0 m", "-10 m"},
                          {Right, "-20 m", "-10 m"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        OverviewScene scene(c.view);
        ASSERT_TRUE(scene.layout());
        const std::vector<GridLabel> labels =
            gridLabels(LogReader(scene.logPath()).info(), c.view, scene.original.size());
        ASSERT_EQ(labels.size(), 3u); // two tile columns, one row
        EXPECT_EQ(labels[0].text, c.first);
        EXPECT_EQ(labels[0].position, QPoint(45, 1485));
        EXPECT_EQ(labels[1].text, c.second);
        EXPECT_EQ(labels[1].position, QPoint(1545, 1485));
        EXPECT_EQ(labels[2].text, "0 m");
        EXPECT_EQ(labels[2].position, QPoint(10, 1460));
    }
}

TEST(OverviewGeometry, ScanFlagsAndNamesShorterThanTheLogAreUnusedScans)
{
    OverviewScene scene;
    ASSERT_TRUE(scene.layout());
    const LayoutLogInfo log = LogReader(scene.logPath()).info();
    OverviewInputs in = scene.inputs();
    in.scanList.resize(2);
    in.usedFlags.resize(2);
    in.scanNames = QStringList{"C:\\scans\\north/Alpha.ptx (000)"};
    const std::vector<ScanMarker> markers = scanMarkers(log, in, scene.original.size());
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0].label, "_0 Alpha.ptx (000)") << "the file name without its folders";
    EXPECT_TRUE(markers[1].used);
    EXPECT_EQ(markers[1].label, "_1") << "a used scan without a name is labelled by index";
    EXPECT_FALSE(markers[2].used);
    EXPECT_EQ(markers[2].label, "_2");
    const std::vector<UnusedScanLine> lines = unusedScanLines(log, in);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "_2 ");
    EXPECT_FALSE(lines[0].failedToLoad);
    EXPECT_TRUE(scene.drawSheet());
}

TEST(OverviewGeometry, LabelsOfCrowdedMarkersStayApartAndOnThePicture)
{
    QFont font;
    font.setPixelSize(40);
    const QFontMetrics metrics(font);
    const QSize picture(1500, 1000);
    // A row of stations closer together than their labels are wide (as on an elevation),
    // two on one spot, and some at the edges.
    std::vector<ScanMarker> markers;
    const QPoint centres[] = {{100, 200},  {160, 200}, {220, 200}, {280, 200}, {280, 200},
                              {1495, 200}, {700, 995}, {1490, 5},  {700, 5}};
    for (const QPoint& c : centres) {
        const int i = int(markers.size());
        markers.push_back({i, c, true, QString("_%1 station_%1.ptx (000)").arg(i)});
    }
    markers.push_back({int(markers.size()), {750, 200}, true, "_9 " + QString(200, 'x')});
    const std::vector<QRect> keepClear = {QRect(0, 0, 400, 120)};

    const std::vector<PlacedLabel> labels = placeMarkerLabels(markers, metrics, picture, keepClear);
    ASSERT_EQ(labels.size(), markers.size());
    for (std::size_t a = 0; a < labels.size(); ++a) {
        SCOPED_TRACE(a);
        EXPECT_EQ(labels[a].index, markers[a].index);
        EXPECT_TRUE(QRect(QPoint(0, 0), picture).contains(labels[a].box));
        EXPECT_LE(metrics.horizontalAdvance(labels[a].text), labels[a].box.width());
        EXPECT_FALSE(labels[a].box.intersects(keepClear[0]));
        for (std::size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(labels[a].box.intersects(labels[b].box)) << b;
    }
    EXPECT_TRUE(labels[4].moved) << "a leader line finds the marker of a label moved away";
    // Where there is room, below and right of the marker, as always.
    const std::vector<PlacedLabel> alone = placeMarkerLabels({markers[0]}, metrics, picture);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0].baseline, QPoint(115, 215));
    EXPECT_FALSE(alone[0].moved);
    // Wider than the picture: shortened in the middle, both ends kept.
    EXPECT_TRUE(labels[9].text.startsWith("_9 xx") && labels[9].text.contains(QChar(0x2026)));
    EXPECT_EQ(placeMarkerLabels(markers, metrics, picture, keepClear).back().box, labels.back().box)
        << "the same places every time";
}

TEST(ScanPositionSheet, MarksTheScansAndListsUncheckedAndFailedOnes)
{
    OverviewScene scene(Top, [](std::vector<FakeScan>& scans) { scans[2].opens = false; });
    scene.run->job.scanList.clearBit(1); // Bravo unchecked, Charlie checked but broken
    ASSERT_TRUE(scene.layout());
    const OverviewInputs in = scene.inputs();
    ASSERT_FALSE(in.usedFlags.testBit(2));

    const LayoutLogInfo log = LogReader(scene.logPath()).info();
    const std::vector<UnusedScanLine> lines = unusedScanLines(log, in);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "_1 Bravo");
    EXPECT_FALSE(lines[0].failedToLoad);
    EXPECT_EQ(lines[1].text, "_2 Charlie");
    EXPECT_TRUE(lines[1].failedToLoad);
    const std::vector<ScanMarker> markers = scanMarkers(log, in, scene.original.size());
    EXPECT_EQ(markers[1].label, "_1");
    EXPECT_EQ(markers[2].label, "_2");

    CaptureDiagnostics out;
    ASSERT_TRUE(scene.drawSheet());
    EXPECT_TRUE(out.lines().isEmpty()) << out.text();
    const QImage sheet = scene.picture(scene.sheetPath());
    ASSERT_EQ(sheet.width(), scene.original.width());
    EXPECT_EQ(sheet.pixel(topCentres[0]), blue);
    EXPECT_EQ(sheet.pixel(topCentres[1]), magenta);
    EXPECT_EQ(sheet.pixel(topCentres[2]), magenta);
    // Each marker carries a label below and right of it.
    for (const QPoint& c : topCentres)
        EXPECT_GT(inkedPixels(sheet, scene.original, QRect(c + QPoint(15, -15), QSize(200, 35))),
                  20);

    // The list: Bravo in grey ink on the first line (baseline 360), Charlie in red on the
    // second (400), nothing below.
    const QRect first(45, 330, 400, 38);
    const QRect second(45, 370, 400, 38);
    EXPECT_GT(countPixels(sheet, first, isGreyInk), 50);
    EXPECT_EQ(countPixels(sheet, first, isReddish), 0);
    EXPECT_GT(countPixels(sheet, second, isReddish), 50);
    EXPECT_EQ(countPixels(sheet, QRect(45, 415, 600, 100), [](QRgb p) { return !isWhite(p); }), 0);
    // The title above the list.
    EXPECT_GT(countPixels(sheet, QRect(45, 265, 400, 45), isGreyInk), 50);
}

TEST(ScanPositionSheet, FadedThumbnailAndAnEmptyListWhenEveryScanWasUsed)
{
    OverviewScene scene;
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(scene.drawSheet());
    const QImage sheet = scene.picture(scene.sheetPath());
    ASSERT_EQ(sheet.width(), 3000);
    ASSERT_GT(sheet.height(), 1500) << "a strip under the drawing";
    EXPECT_TRUE(QImage(scene.thumbnailPath()).convertToFormat(QImage::Format_RGB32) ==
                scene.original)
        << "drawing the sheet leaves the thumbnail alone";
    for (const QPoint& c : topCentres)
        EXPECT_EQ(sheet.pixel(c), blue);
    // Points of the layout (dark on white) show at half strength.
    const QPoint dark(1200, 1200); // u 8, v 2: inside the first patch
    ASSERT_LT(qGray(scene.original.pixel(dark)), 200);
    EXPECT_NEAR(qRed(sheet.pixel(dark)), (qRed(scene.original.pixel(dark)) + 255) / 2.0, 2.0);
    // Title, but no line under it.
    EXPECT_GT(countPixels(sheet, QRect(45, 265, 400, 45), isGreyInk), 50);
    EXPECT_EQ(countPixels(sheet, QRect(45, 320, 600, 200), [](QRgb p) { return !isWhite(p); }), 0);
    // Logo and caption in the upper left corner, black coordinate symbol in the lower left.
    EXPECT_GT(countPixels(sheet, QRect(45, 10, 120, 120), [](QRgb p) { return !isWhite(p); }),
              10000);
    EXPECT_GT(countPixels(sheet, QRect(45, 130, 500, 35), [](QRgb p) { return qGray(p) < 60; }),
              100);
    EXPECT_LT(qGray(sheet.pixel(90, 1335)), 160) << "vertical axis at x 90";
}

TEST(SheetStrip, TheScaleBarIsARoundLengthOfAboutAFifthOfTheSheet)
{
    struct Case
    {
        double pxPerMetre;
        int width;
    };
    for (const Case c : {Case{150, 3000}, Case{50, 3000}, Case{0.3, 2996}, Case{1500, 428},
                         Case{7.5, 3000}, Case{2.0, 640}}) {
        SCOPED_TRACE(c.pxPerMetre);
        const std::optional<ScaleBar> bar = scaleBar(c.pxPerMetre, c.width);
        ASSERT_TRUE(bar);
        ASSERT_TRUE(bar->text.endsWith(" m")) << bar->text.toStdString();
        bool number = false;
        const double labelled = bar->text.chopped(2).toDouble(&number);
        ASSERT_TRUE(number) << bar->text.toStdString();
        EXPECT_NEAR(bar->pixels, labelled * c.pxPerMetre, 0.5);
        const double digit = labelled / std::pow(10.0, std::floor(std::log10(labelled) + 1e-9));
        EXPECT_TRUE(std::abs(digit - 1) < 1e-6 || std::abs(digit - 2) < 1e-6 ||
                    std::abs(digit - 5) < 1e-6)
            << bar->text.toStdString();
        EXPECT_GE(bar->pixels, c.width / 8);
        EXPECT_LE(bar->pixels, c.width / 3);
    }
    EXPECT_EQ(scaleBar(150, 3000)->text, "5 m");
    EXPECT_EQ(scaleBar(1500, 428)->text, "0.05 m");
    EXPECT_FALSE(scaleBar(0.0, 3000));
    EXPECT_FALSE(scaleBar(std::nan(""), 3000));
}

TEST(SheetStrip, TitleLinesNameViewPlanesResolutionTilesLayerScansAndDate)
{
    OverviewScene scene(Front);
    scene.run->job.scanList.clearBit(1);
    ASSERT_TRUE(scene.layout());
    LayoutLogInfo log = LogReader(scene.logPath()).info();
    const OverviewInputs in = scene.inputs();
    const QDate date(2024, 3, 5);
    const QStringList lines = sheetTitleLines(log, in, date);
    for (const QString& expected :
         {QString("Layout: site"), QString("View: Front"),
          QString("Clipping planes: %1 m to %2 m (Y)")
              .arg(scene.run->job.clipLow)
              .arg(scene.run->job.clipHigh),
          QString("Resolution: 0.1 m per pixel"), QString("Tile size: 10 m"),
          QString("Layer: density"), QString("Scans used: 2 of 3"), QString("Date: 2024-03-05")})
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << "\n"
                                              << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.join(' ').contains("Print scale"));
    log.layer = "intensity";
    log.printScale = 50;
    const QStringList changed = sheetTitleLines(log, in, date);
    EXPECT_TRUE(changed.contains("Layer: intensity"));
    EXPECT_TRUE(changed.contains("Print scale of the tiles: 1:50"));
    EXPECT_FALSE(changed.join(' ').contains("Azimuth"));
    log.azimuth = -27.5;
    const QStringList turned = sheetTitleLines(log, in, date);
    EXPECT_TRUE(turned.contains("Azimuth: -27.5°")) << turned.join('\n').toStdString();
    EXPECT_TRUE(turned.join(' ').contains("m (Y')")) << "the depth axis is the frame's";
}

// A turned plan points to the project's +Y from its upper right corner; the project's own
// frame and elevations need no such arrow.
TEST(SheetStrip, ATurnedPlanCarriesAnArrowToTheProjectsY)
{
    LayoutLogInfo log;
    log.azimuth = 90.0; // the project's +Y runs along the frame's x'
    const std::optional<QLineF> arrow = gridNorthArrow(log, Top, QSize(1000, 800), 200);
    ASSERT_TRUE(arrow);
    EXPECT_NEAR(arrow->dx(), 200.0, 1e-9);
    EXPECT_NEAR(arrow->dy(), 0.0, 1e-9);
    EXPECT_TRUE(QRectF(800, 0, 200, 200).contains(arrow->p2())) << "in the upper right corner";
    EXPECT_FALSE(gridNorthArrow(log, Front, QSize(1000, 800), 200));
    log.azimuth = 360.0;
    EXPECT_FALSE(gridNorthArrow(log, Top, QSize(1000, 800), 200));
}

TEST(SheetStrip, BarAndTitleBlockGoUnderTheDrawingOfTopAndElevationSheets)
{
    for (const std::uint32_t view : {Top, Front}) {
        SCOPED_TRACE(view);
        OverviewScene scene(view);
        ASSERT_TRUE(scene.layout());
        OverviewInputs in = scene.inputs();
        in.date = QDate(2024, 3, 5);
        ASSERT_TRUE(drawScanPositionSheet(scene.logPath(), "X", "Z", in));
        const QImage sheet = scene.picture(scene.sheetPath());
        const int height = scene.original.height();
        ASSERT_EQ(sheet.width(), scene.original.width());
        ASSERT_GT(sheet.height(), height + 100);
        EXPECT_EQ(coveredElsewhere(sheet, scene.original, topCentres, 3), 0);

        // The bar, the longest black line below the rule over the strip: 5 m at 150
        // pixels per metre.
        const std::optional<ScaleBar> bar = scaleBar(150.0, 3000);
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->text, "5 m");
        const auto [length, start] = longestRun(sheet, height + 2, qRgb(0, 0, 0));
        EXPECT_EQ(length, 750);
        EXPECT_EQ(start.x(), 45);
        // Its label above its right end, the title block to the right of it.
        EXPECT_GT(countPixels(sheet, QRect(760, height, 80, start.y() - height), isGreyInk), 30);
        EXPECT_GT(countPixels(sheet, QRect(1000, height + 2, 2000, sheet.height()), isGreyInk),
                  1000);

        // Another date changes the block and nothing of the drawing.
        in.date = QDate(2025, 11, 30);
        ASSERT_TRUE(drawScanPositionSheet(scene.logPath(), "X", "Z", in));
        const QImage later = scene.picture(scene.sheetPath());
        ASSERT_EQ(later.size(), sheet.size());
        EXPECT_TRUE(later.copy(0, 0, 3000, height) == sheet.copy(0, 0, 3000, height));
        EXPECT_FALSE(later == sheet);
    }
}

TEST(ScanPositionSheet, InvertedColoursWriteTheTextsInWhite)
{
    OverviewScene scene;
    scene.run->job.invertColor = true;
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(scene.drawSheet());
    const QImage sheet = scene.picture(scene.sheetPath());
    // The black thumbnail at half strength on white is mid grey; the caption is white on it.
    EXPECT_NEAR(qGray(sheet.pixel(600, 500)), 128, 2);
    EXPECT_GT(countPixels(sheet, QRect(45, 130, 500, 35), isWhite), 100);
    // The strip's ground is the drawing's faded black, its bar white.
    EXPECT_NEAR(qGray(sheet.pixel(10, sheet.height() - 5)), 128, 2);
    EXPECT_EQ(longestRun(sheet, 1502, qRgb(255, 255, 255)).first, 750);
}

TEST(AnnotatedThumbnail, GridLinesInTheConfiguredOrInvertedColour)
{
    struct Case
    {
        bool invert;
        QColor gridColor;
        QRgb expected;
    };
    const Case cases[] = {
        {true, QColor(192, 192, 192, 128), qRgb(63, 63, 63)},
        {false, QColor(10, 200, 30, 255), qRgb(10, 200, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.invert);
        OverviewScene scene;
        scene.run->job.invertColor = c.invert;
        scene.config.gridColor = c.gridColor;
        ASSERT_TRUE(scene.layout());
        ASSERT_TRUE(scene.annotate());
        const QImage image = scene.picture(scene.thumbnailPath());
        ASSERT_EQ(image.size(), scene.original.size());
        // 5 m lines every 750 pixels, the tile line at 1500, each one pixel wide.
        for (int x : {750, 1500, 2250}) {
            EXPECT_EQ(image.pixel(x, 700), c.expected) << x;
            EXPECT_EQ(image.pixel(x + 1, 700), scene.original.pixel(x + 1, 700)) << x;
            EXPECT_EQ(image.pixel(x - 1, 700), scene.original.pixel(x - 1, 700)) << x;
        }
        EXPECT_EQ(image.pixel(1000, 750), c.expected);
        EXPECT_EQ(image.pixel(1000, 0), c.expected);
        EXPECT_EQ(image.pixel(0, 1000), c.expected);
        // Metre labels in the text colour (black, or white when inverted) at the lower
        // edge of each tile column and above the left end of the lower edge.
        const QRgb text = c.invert ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        for (const QRect& box :
             {QRect(45, 1460, 80, 30), QRect(1545, 1460, 120, 30), QRect(10, 1435, 80, 30)}) {
            EXPECT_GT(countPixels(image, box, [text](QRgb p) { return p == text; }), 10) << box.x();
            EXPECT_EQ(countPixels(scene.original, box, [text](QRgb p) { return p == text; }), 0);
        }
        // Markers over the grid.
        for (const QPoint& p : topCentres)
            EXPECT_EQ(image.pixel(p), blue);
    }
}

TEST(AnnotatedThumbnail, WithoutGridOnlyMarkersSymbolAndBrandingAreDrawn)
{
    OverviewScene scene;
    scene.config.grid = false;
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(scene.annotate());
    const QImage image = scene.picture(scene.thumbnailPath());
    ASSERT_EQ(image.size(), scene.original.size());
    EXPECT_EQ(changedOutside(scene.original, image, topCentres, 3), QStringList());
    for (const QPoint& p : topCentres)
        EXPECT_EQ(image.pixel(p), blue);
    EXPECT_EQ(image.pixel(225, 1407), qRgb(0, 0, 0)) << "arrowhead pointing right";
    EXPECT_NE(image.pixel(70, 70), scene.original.pixel(70, 70)) << "logo";

    // The same layout with the grid on differs outside those places.
    OverviewScene gridded;
    ASSERT_TRUE(gridded.layout());
    ASSERT_TRUE(gridded.annotate());
    EXPECT_FALSE(
        changedOutside(gridded.original, gridded.picture(gridded.thumbnailPath()), topCentres, 3)
            .isEmpty());
}

TEST(AnnotatedThumbnail, BackViewMirrorsMarkersAndTurnsTheSymbol)
{
    OverviewScene scene(Back);
    scene.config.grid = false;
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(scene.annotate());
    ASSERT_TRUE(scene.drawSheet());
    const QImage image = scene.picture(scene.thumbnailPath());
    const QImage sheet = scene.picture(scene.sheetPath());
    QPoint mirrored[3];
    for (int k = 0; k < 3; ++k) {
        mirrored[k] = QPoint(2999 - topCentres[k].x(), topCentres[k].y());
        EXPECT_EQ(image.pixel(mirrored[k]), blue) << k;
        EXPECT_EQ(sheet.pixel(mirrored[k]), blue) << k;
    }
    EXPECT_EQ(changedOutside(scene.original, image, mirrored, 3), QStringList());
    // Origin at x 240, horizontal arrow pointing left to x 90.
    EXPECT_EQ(image.pixel(105, 1407), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(225, 1407), scene.original.pixel(225, 1407));
    EXPECT_LT(qGray(image.pixel(240, 1335)), 160);
    EXPECT_EQ(image.pixel(90, 1335), scene.original.pixel(90, 1335));
    EXPECT_LT(qGray(sheet.pixel(240, 1335)), 160);
}

TEST(AnnotatedThumbnail, TiffThumbnailsStayTiffs)
{
    OverviewScene scene;
    scene.run->job.imageType = "tif";
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(scene.annotate());
    ASSERT_TRUE(scene.drawSheet());
    for (const QString& path : {scene.thumbnailPath(), scene.sheetPath()}) {
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), "tiff") << path.toStdString();
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        EXPECT_EQ(image.pixel(topCentres[0]), blue);
    }
    EXPECT_TRUE(QFileInfo::exists(scene.run->outputPath("site_overview_scan_positions.tif")));
}

TEST(OverviewFailures, NothingIsDrawnFromABrokenSource)
{
    struct Case
    {
        const char* what;
        std::function<void(OverviewScene&)> damage;
        QString line;
    };
    const Case cases[] = {
        {"no tiles",
         [](OverviewScene& s) {
             rewriteLogLine(s.logPath(), "Number of Tiles U", "Number of Tiles U = 0");
         },
         "Overview pictures skipped: the layout has no tiles"},
        {"tiles of no size",
         [](OverviewScene& s) {
             rewriteLogLine(s.logPath(), "Right Upper", "Right Upper = 0 0 0");
             rewriteLogLine(s.logPath(), "Left Bottom", "Left Bottom = 0 0 0");
         },
         "Overview pictures skipped: the layout has no tiles"},
        {"thumbnail missing", [](OverviewScene& s) { QFile::remove(s.thumbnailPath()); },
         "Open Layout Thumbnail failed"},
        {"thumbnail not an image",
         [](OverviewScene& s) { writeFile(s.thumbnailPath(), "not a picture"); },
         "Open Layout Thumbnail failed"},
        {"log unreadable", [](OverviewScene& s) { writeFile(s.logPath(), "Version = 1.0\n"); }, ""},
        {"thumbnail outside the folder",
         [](OverviewScene& s) {
             rewriteLogLine(s.logPath(), "Thumbnail", "Thumbnail = ../site_overview.png");
             QFile::copy(s.thumbnailPath(),
                         QFileInfo(s.logPath()).dir().filePath("../site_overview.png"));
         },
         "Overview pictures skipped: the log names no thumbnail in its folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OverviewScene scene;
        ASSERT_TRUE(scene.layout());
        c.damage(scene);
        const auto before = scene.run->outputBytes();
        const QByteArray outside =
            readFile(QFileInfo(scene.logPath()).dir().filePath("../site_overview.png"));
        CaptureDiagnostics out;
        EXPECT_FALSE(scene.drawSheet());
        EXPECT_FALSE(scene.annotate());
        const QStringList lines = out.lines();
        ASSERT_EQ(lines.size(), 2);
        if (c.line.isEmpty())
            EXPECT_TRUE(lines[0].startsWith("Open Layout Log failed: ")) << lines[0].toStdString();
        else
            EXPECT_EQ(lines[0], c.line);
        EXPECT_EQ(lines[1], lines[0]);
        EXPECT_EQ(scene.run->outputBytes(), before) << "no file written or changed";
        EXPECT_EQ(readFile(QFileInfo(scene.logPath()).dir().filePath("../site_overview.png")),
                  outside);
    }
}

TEST(OverviewFailures, ASheetThatCannotBeWrittenIsReported)
{
    OverviewScene scene;
    ASSERT_TRUE(scene.layout());
    ASSERT_TRUE(QDir().mkpath(scene.sheetPath())); // a folder where the sheet would go
    CaptureDiagnostics out;
    EXPECT_FALSE(scene.drawSheet());
    ASSERT_EQ(out.lines().size(), 1);
    EXPECT_TRUE(out.lines()[0].startsWith("Could not write " + scene.sheetPath() + ": "));
    EXPECT_TRUE(QFileInfo(scene.sheetPath()).isDir());
}

TEST(OverviewTexts, TitleAndCaptionHaveGermanTexts)
{
    GermanTexts german;
    ASSERT_TRUE(german.isLoaded());
    EXPECT_EQ(QCoreApplication::translate("OverviewSheet", "List of unused scans"),
              "Liste der nicht verwendeten Scans");
    EXPECT_NE(QCoreApplication::translate("OverviewSheet",
                                          "Orthaven – orthographic layouts from laser scans"),
              "Orthaven – orthographic layouts from laser scans");
    OverviewScene scene;
    ASSERT_TRUE(scene.layout());
    LayoutLogInfo log = LogReader(scene.logPath()).info();
    log.clipLow = 0.5;
    log.clipHigh = 2.0;
    const QStringList lines = sheetTitleLines(log, scene.inputs(), QDate(2024, 3, 5));
    EXPECT_TRUE(lines.contains("Ansicht: Oben")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("Ebene: Dichte")) << lines.join('\n').toStdString();
    // Numbers in the notation of the language, whatever the system's settings.
    EXPECT_TRUE(lines.contains("Schnittebenen: 0,5 m bis 2 m (Z)"))
        << lines.join('\n').toStdString();
    EXPECT_EQ(metreText(-12.5), "-12,5");
}

namespace {

struct TaskPictures : ::testing::Test
{
    TempAppData appData;
    QTemporaryDir out;
    LayoutTask task;

    void SetUp() override
    {
        ensureAppFolders();
        // The job carries the colours; preferences saved meanwhile do not reach it.
        ConfigSettings config = defaultConfig();
        config.scanPosColor1 = QColor(0, 0, 255);
        config.scanPosColor2 = QColor(255, 0, 255);
        takePreferences(config, task.job);
        config.scanPosColor1 = config.scanPosColor2 = QColor(255, 255, 0);
        config.grid = false;
        writeConfig(config, configFilePath());

        std::vector<FakeScan> scans = sceneScans(Top);
        scans[2].opens = false;
        task.reader = std::make_unique<FakeScanSource>(std::move(scans));
        task.job.inputFiles = {"scans.ptx"};
        task.job.view = Top;
        task.job.scanList = QBitArray(3, true);
        task.job.clipLow = -100;
        task.job.clipHigh = 100;
        task.job.outputFile = out.filePath("site.log");
        task.job.imageType = "png";
        task.job.resolution = 0.1;
        task.job.scannerDomain = 50;
        task.job.tileSize = 10;
        task.job.invertColor = false;
    }

    void runTask(int mode = ComputeLayout)
    {
        task.mode = mode;
        CaptureDiagnostics capture;
        task.start();
        task.wait();
    }
};

} // namespace

TEST_F(TaskPictures, AComputedLayoutGetsBothPicturesFromTheJobAndTheEngine)
{
    for (int mode : {ComputeLayout, FetchAndCompute}) {
        SCOPED_TRACE(mode);
        QFile::remove(out.filePath("site_overview_scan_positions.png"));
        runTask(mode);
        ASSERT_FALSE(task.creator.failed);
        const QImage sheet(out.filePath("site_overview_scan_positions.png"));
        const QImage thumbnail(out.filePath("site_overview.png"));
        ASSERT_FALSE(sheet.isNull());
        ASSERT_FALSE(thumbnail.isNull());
        // Colours from the job; Charlie failed to load in the engine.
        for (const QImage& image : {sheet, thumbnail}) {
            EXPECT_EQ(image.pixel(topCentres[0]), blue);
            EXPECT_EQ(image.pixel(topCentres[1]), blue);
            EXPECT_EQ(image.pixel(topCentres[2]), magenta);
        }
        // The default grid colour (192, 192, 192) at half strength on white.
        EXPECT_NEAR(qRed(thumbnail.pixel(750, 700)), 223, 2);
    }
}

TEST_F(TaskPictures, AnOutputFileWithDotsStillGetsItsPictures)
{
    task.job.outputFile = out.filePath("site.final.log");
    runTask();
    ASSERT_FALSE(task.creator.failed);
    EXPECT_TRUE(QFileInfo::exists(out.filePath("site.log")));
    EXPECT_FALSE(QImage(out.filePath("site_overview_scan_positions.png")).isNull());
}

TEST_F(TaskPictures, AStoppedOrFailedLayoutGetsNoPictures)
{
    auto* source = static_cast<FakeScanSource*>(task.reader.get());
    source->onChunk = [this](int, int) { task.creator.requestStop(); };
    runTask();
    EXPECT_TRUE(task.creator.interrupted);
    EXPECT_FALSE(QFileInfo::exists(out.filePath("site_overview_scan_positions.png")));

    source->onChunk = nullptr;
    task.job.scanList = QBitArray(3, false);
    runTask();
    EXPECT_TRUE(task.creator.failed);
    EXPECT_FALSE(QFileInfo::exists(out.filePath("site_overview_scan_positions.png")));
}
