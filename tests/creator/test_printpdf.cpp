// The layout at its print scale: how many sheets it takes, and the PDF as poppler reads and
// renders it, measured with a ruler of pixels.

#include "creator/LayoutTask.h"
#include "creator/PrintPdf.h"
#include "platform/AppFolders.h"
#include "support/ExternalTool.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

// Sheets by hand: A4 upright keeps 190 × 253 mm for the drawing, A3 on its side 400 × 253,
// and neighbours share 10 mm.
TEST(PrintPdf, ALayoutTakesAsManySheetsAsItsSizeOnPaperNeeds)
{
    const struct
    {
        double width, height; // metres
        int scale;
        Paper paper;
        int columns, rows;
    } cases[] = {
        {20, 20, 50, {4, false}, 3, 2}, // 400 × 400 mm
        {20, 20, 50, {3, true}, 1, 2},  // 400 mm fit across exactly
        {20, 20, 100, {4, false}, 2, 1}, {10, 10, 100, {4, true}, 1, 1},
        {90, 30, 200, {1, true}, 1, 1},  {0, 10, 50, {4, false}, 0, 0},
    };
    for (const auto& c : cases) {
        const PrintSheets sheets = printSheets(c.width, c.height, c.scale, c.paper);
        EXPECT_EQ(sheets.columns, c.columns) << c.width << " " << c.paper.name().toStdString();
        EXPECT_EQ(sheets.rows, c.rows) << c.height << " " << c.paper.name().toStdString();
    }
    const PrintSheets a4 = printSheets(20, 20, 50, {4, false});
    EXPECT_EQ(a4.window(1, 1), QRectF(180, 243, 190, 253));
}

// Two walls 4 m apart laid out at 1:50 on A4: two sheets of A4 as poppler sees them, and on
// the first, rendered at ten pixels per millimetre, the walls stand 80 mm apart, where the
// layout's grid puts them.
TEST(PrintPdf, TheSheetsMeasureTrueAtTheirScale)
{
    TempAppData appData;
    ensureAppFolders();
    FakeScan scan;
    scan.name = QStringLiteral("walls");
    for (const double x : {1.005, 5.005}) // pixel centres: each wall one pixel wide
        for (double y = 0.5; y <= 3.5; y += 0.01)
            for (double z = 0.0; z <= 2.0; z += 0.05)
                scan.points.emplace_back(x, y, z);
    LayoutTask task;
    task.reader = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan});
    layoutdef& job = task.job;
    job.inputFiles = {QStringLiteral("walls.ptx")};
    job.scanList = QBitArray(1, true);
    job.clipLow = -10;
    job.clipHigh = 10;
    job.outputFile = appData.path() + QStringLiteral("/out/walls.log");
    job.imageType = QStringLiteral("png");
    job.resolution = 0.01;
    job.scannerDomain = 30;
    job.tileSize = 10; // one tile, 200 mm a side at 1:50: two A4 sheets across
    job.printScale = 50;
    job.pdfPaper = Paper{4, false};
    QDir().mkpath(appData.path() + QStringLiteral("/out"));
    task.mode = ComputeLayout;
    task.start();
    task.wait();
    ASSERT_FALSE(task.creator.failed);
    ASSERT_TRUE(task.missingOverviewPictures().isEmpty());

    const QString pdf = appData.path() + QStringLiteral("/out/walls.pdf");
    const std::optional<QByteArray> info = toolOutput("pdfinfo", {pdf});
    if (!info)
        GTEST_SKIP() << "poppler's tools are not installed (scripts/setup.sh)";
    EXPECT_TRUE(info->contains("\nPages:           2\n")) << info->toStdString();
    EXPECT_TRUE(info->contains("\nPage size:       595 x 842 pts (A4)\n")) << info->toStdString();

    const QString page = appData.path() + QStringLiteral("/page");
    toolOutput("pdftoppm", {"-r", "254", "-gray", "-singlefile", "-f", "1", pdf, page});
    const QImage sheet(page + QStringLiteral(".pgm"));
    ASSERT_FALSE(sheet.isNull());
    // The walls run from 0.5 to 3.5 m, 130 to 190 mm under the top of the 10 m tile, and
    // the drawing begins 10 mm from the sheet's edges.
    std::vector<double> centres;
    const int row = 1700;
    for (int x = 110, start = -1; x < 2000; ++x) {
        const bool dark = qGray(sheet.pixel(x, row)) < 128;
        if (dark && start < 0)
            start = x;
        if (!dark && start >= 0) {
            centres.push_back((start + x - 1) / 2.0);
            start = -1;
        }
    }
    ASSERT_EQ(centres.size(), 2u);
    EXPECT_NEAR((centres[1] - centres[0]) / 10.0, 80.0, 0.1) << "millimetres between the walls";
    EXPECT_NEAR((centres[0] + 0.5) / 10.0, 10.0 + 1.005 * 20.0, 0.1) << "millimetres from the edge";
}
