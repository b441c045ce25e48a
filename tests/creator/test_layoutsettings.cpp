#include "creator/LayoutSettings.h"
#include "support/CaptureDiagnostics.h"

#include <gtest/gtest.h>

using namespace orthaven;
using orthaven::test::CaptureDiagnostics;

namespace {

// A dock state that passes every check: two files, three listed scans, planes 0 … 3.
LayoutDialogState completeState()
{
    LayoutDialogState s;
    s.inputPaths = {QStringLiteral("C:\\scans\\a.ptx"), QStringLiteral("C:\\scans\\b.ptx")};
    s.outputPath = QStringLiteral("C:\\out\\Layout.log");
    s.imageTypeIndex = 0;
    s.view = Front;
    s.scanSelection = QBitArray(3, true);
    s.upperText = QStringLiteral("3");
    s.lowerText = QStringLiteral("0");
    s.config = defaultConfig();
    return s;
}

struct Outcome
{
    bool ok;
    QStringList lines;
    layoutdef job;
};

Outcome run(const LayoutDialogState& state)
{
    Outcome o;
    CaptureDiagnostics capture;
    o.ok = getLayoutSettings(state, o.job);
    o.lines = capture.lines();
    return o;
}

} // namespace

TEST(LayoutSettings, CompleteStateFillsEveryField)
{
    LayoutDialogState s = completeState();
    s.config.invertColor = true;
    s.config.resolution = 0.02;
    s.config.scannerDomain = 40.0;
    s.config.tileSize = 30.0;
    s.config.grid = false;
    s.config.gridColor = QColor(1, 2, 3, 4);
    s.config.textColor = QColor(5, 6, 7, 8);
    s.config.scanPosColor1 = QColor(9, 10, 11, 12);
    s.config.scanPosColor2 = QColor(13, 14, 15, 16);
    s.scanSelection.clearBit(1);

    const Outcome o = run(s);
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(o.lines.isEmpty());
    EXPECT_EQ(o.job.inputFiles, s.inputPaths);
    EXPECT_EQ(o.job.outputFile, s.outputPath);
    EXPECT_EQ(o.job.imageType, QStringLiteral("png"));
    EXPECT_EQ(o.job.view, std::uint32_t(Front));
    EXPECT_EQ(o.job.scanList, s.scanSelection);
    EXPECT_EQ(o.job.clipHigh, 3.0);
    EXPECT_EQ(o.job.clipLow, 0.0);
    EXPECT_TRUE(o.job.invertColor);
    EXPECT_EQ(o.job.resolution, 0.02);
    EXPECT_EQ(o.job.scannerDomain, 40.0);
    EXPECT_EQ(o.job.tileSize, 30.0);
    EXPECT_FALSE(o.job.grid);
    EXPECT_EQ(o.job.gridColor, QColor(1, 2, 3, 4));
    EXPECT_EQ(o.job.textColor, QColor(5, 6, 7, 8));
    EXPECT_EQ(o.job.scanPosColor1, QColor(9, 10, 11, 12));
    EXPECT_EQ(o.job.scanPosColor2, QColor(13, 14, 15, 16));
}

// Each broken state names the first failing check; later problems must not be reported.
TEST(LayoutSettings, ReportsOnlyTheFirstFailureInCheckOrder)
{
    struct Case
    {
        const char* name;
        void (*breakIt)(LayoutDialogState&);
        const char* line;
    };
    const Case cases[] = {
        {"no input files, nothing else either",
         [](LayoutDialogState& s) {
             s.inputPaths.clear();
             s.scanSelection = QBitArray();
             s.upperText = QStringLiteral("abc");
         },
         "getLayoutSettings: No Input Files"},
        {"scan list never built",
         [](LayoutDialogState& s) {
             s.scanSelection = QBitArray();
             s.upperText.clear();
         },
         "getLayoutSettings: Empty ScanList"},
        {"upper plane empty, lower also bad",
         [](LayoutDialogState& s) {
             s.upperText.clear();
             s.lowerText = QStringLiteral("x");
         },
         "getLayoutSettings: clipHigh "},
        {"upper plane not a number",
         [](LayoutDialogState& s) { s.upperText = QStringLiteral("abc"); },
         "getLayoutSettings: clipHigh "},
        {"upper plane with a decimal comma in an English notation",
         [](LayoutDialogState& s) {
             s.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
             s.upperText = QStringLiteral("1,500");
         },
         "getLayoutSettings: clipHigh "},
        {"upper plane with German grouping",
         [](LayoutDialogState& s) {
             s.locale = QLocale(QLocale::German, QLocale::Germany);
             s.upperText = QStringLiteral("1.234,5");
         },
         "getLayoutSettings: clipHigh "},
        {"upper plane infinite", [](LayoutDialogState& s) { s.upperText = QStringLiteral("inf"); },
         "getLayoutSettings: clipHigh "},
        {"lower plane not a number",
         [](LayoutDialogState& s) { s.lowerText = QStringLiteral("-"); },
         "getLayoutSettings: clipLow "},
        {"lower plane NaN", [](LayoutDialogState& s) { s.lowerText = QStringLiteral("nan"); },
         "getLayoutSettings: clipLow "},
        {"azimuth not a number", [](LayoutDialogState& s) { s.azimuthText = QStringLiteral("N"); },
         "getLayoutSettings: azimuth "},
        {"facade points under 1 cm apart",
         [](LayoutDialogState& s) {
             s.facade = true;
             s.facadeTexts = {"1", "2", "1.005", "2"};
         },
         "getLayoutSettings: facade "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayoutDialogState s = completeState();
        c.breakIt(s);
        const Outcome o = run(s);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.lines, QStringList{QString::fromLatin1(c.line)});
    }
}

TEST(LayoutSettings, FieldsBeforeTheFailureKeepTheirNewValues)
{
    LayoutDialogState s = completeState();
    s.imageTypeIndex = 2;
    s.scanSelection = QBitArray();
    const Outcome o = run(s);
    ASSERT_FALSE(o.ok);
    EXPECT_EQ(o.job.inputFiles, s.inputPaths);
    EXPECT_EQ(o.job.outputFile, s.outputPath);
    EXPECT_EQ(o.job.imageType, QStringLiteral("tif"));
    EXPECT_EQ(o.job.view, std::uint32_t(Front));
    EXPECT_EQ(o.job.scanList.size(), 0);
}

TEST(LayoutSettings, ReadsPlanesInTheUsersNotationAndInC)
{
    struct Case
    {
        QLocale::Language language;
        const char* upper;
        const char* lower;
        double high;
        double low;
    };
    const Case cases[] = {
        {QLocale::English, "12", "1e1", 12.0, 10.0},
        {QLocale::English, " 2.5 ", "-3.25", 2.5, -3.25},
        {QLocale::English, "+4", "-1E-2", 4.0, -0.01},
        {QLocale::German, "2,5", "-3.25", 2.5, -3.25},
        {QLocale::German, " 1.500 ", "-1,5e1", 1.5, -15.0},
        // the planes are not compared here: the dock does that before it asks
        {QLocale::English, "1", "5", 1.0, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.upper);
        LayoutDialogState s = completeState();
        s.locale = QLocale(c.language);
        s.upperText = QString::fromLatin1(c.upper);
        s.lowerText = QString::fromLatin1(c.lower);
        const Outcome o = run(s);
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.job.clipHigh, c.high);
        EXPECT_EQ(o.job.clipLow, c.low);
    }
}

// A facade makes a front view along its line whose planes were typed as distances from
// the line, in the user's notation.
TEST(LayoutSettings, AFacadeIsAFrontViewWithPlanesAroundItsLine)
{
    LayoutDialogState s = completeState();
    s.locale = QLocale(QLocale::German);
    s.view = Left;
    s.azimuthText = QStringLiteral("27,5"); // the line's direction counts
    s.facade = true;
    s.facadeTexts = {"0", "5", "-10", "5"}; // towards -x: the frame is turned by 180°
    s.lowerText = QStringLiteral("-0,5");
    const Outcome o = run(s);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.job.view, std::uint32_t(Front));
    EXPECT_EQ(o.job.azimuth, 180.0);
    EXPECT_EQ(o.job.facade, (FacadeLine{{0, 5}, {-10, 5}}));
    EXPECT_EQ(o.job.clipLow, -5.5) << "the line lies at depth -5 of the turned frame";
    EXPECT_EQ(o.job.clipHigh, -2.0);
}

TEST(LayoutSettings, AllScansUncheckedStillPasses)
{
    LayoutDialogState s = completeState();
    s.scanSelection = QBitArray(5, false);
    const Outcome o = run(s);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.job.scanList.size(), 5);
    EXPECT_EQ(o.job.scanList.count(true), 0);
}

TEST(LayoutSettings, ImageTypeFollowsTheComboBoxIndex)
{
    const std::pair<int, const char*> cases[] = {
        {0, "png"}, {1, "jpg"}, {2, "tif"}, {-1, "png"}, {3, "png"}};
    for (const auto& [index, type] : cases) {
        SCOPED_TRACE(index);
        LayoutDialogState s = completeState();
        s.imageTypeIndex = index;
        const Outcome o = run(s);
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.job.imageType, QString::fromLatin1(type));
    }
}

// The dock's print scale goes into the job; its layouts always get world files, also in a
// record that had them switched off.
TEST(LayoutSettings, PrintScaleFromTheDockAndWorldFilesAlways)
{
    for (int scale : printScaleChoices()) {
        SCOPED_TRACE(scale);
        LayoutDialogState s = completeState();
        s.printScale = scale;
        layoutdef job;
        job.worldFiles = false;
        CaptureDiagnostics quiet;
        ASSERT_TRUE(getLayoutSettings(s, job));
        EXPECT_EQ(job.printScale, scale);
        EXPECT_TRUE(job.worldFiles);
    }
}

// The drawing as chosen; the PDF only with a print scale; the coordinate system only for a
// plan, and only one PROJ knows.
TEST(LayoutSettings, HandOffChoicesGoIntoTheJobWhereTheyApply)
{
    LayoutDialogState s = completeState();
    s.view = Top;
    s.printScale = 50;
    s.dxf = false;
    s.pdfPaper = QStringLiteral("A2-landscape");
    s.crs = QStringLiteral("epsg:25832");
    Outcome o = run(s);
    ASSERT_TRUE(o.ok);
    EXPECT_FALSE(o.job.dxf);
    EXPECT_EQ(o.job.crs, "EPSG:25832");
    EXPECT_EQ(o.job.pdfPaper, (Paper{2, true}));
    s.printScale = 0;
    s.view = Front;
    o = run(s);
    EXPECT_TRUE(o.ok && o.job.crs.isEmpty() && !o.job.pdfPaper);
    s.view = Top;
    s.crs = QStringLiteral("EPSG:4326");
    EXPECT_EQ(run(s).lines, QStringList{"getLayoutSettings: crs "});
}

TEST(LayoutSettings, ReplacesInputFilesOfAReusedRecord)
{
    layoutdef job;
    job.inputFiles = {QStringLiteral("old.ptx")};
    LayoutDialogState s = completeState();
    CaptureDiagnostics quiet;
    ASSERT_TRUE(getLayoutSettings(s, job));
    EXPECT_EQ(job.inputFiles, s.inputPaths);
}

TEST(LayoutSettings, CopiesOfTheRecordAreIndependent)
{
    const Outcome o = run(completeState());
    ASSERT_TRUE(o.ok);
    const layoutdef original = o.job;
    layoutdef copy = original;
    copy.inputFiles[0] = QStringLiteral("changed.ptx");
    copy.inputFiles.append(QStringLiteral("more.ptx"));
    copy.scanList.clearBit(0);
    copy.outputFile.append(QStringLiteral(".bak"));
    EXPECT_EQ(original.inputFiles, completeState().inputPaths);
    EXPECT_TRUE(original.scanList.testBit(0));
    EXPECT_EQ(original.outputFile, completeState().outputPath);
}
