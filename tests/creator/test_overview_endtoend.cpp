// From generated PTX files through the layout task to the two overview pictures: the
// building of orthaven-genscan (0 … 14 m × 0 … 8 m, 3 m high) in 10 m tiles, three
// stations, every scan used; once as a floor plan, once seen from the back in inverted
// colours.

#include "creator/LayoutSettings.h"
#include "creator/LayoutTask.h"
#include "creator/OverviewSheet.h"
#include "genscan/GenScanJob.h"
#include "layoutlog/LogReader.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

TEST(OverviewEndToEnd, GeneratedScansGiveMarkedPicturesAlignedWithTheTiles)
{
    TempAppData appData;
    ensureAppFolders();
    ConfigSettings config = defaultConfig();
    config.scanPosColor1 = QColor(0, 160, 0); // opaque, so the markers' centres are exact
    writeConfig(config, configFilePath());

    QTemporaryDir dir;
    genscan::GenScanOptions options;
    options.outputFolder = dir.filePath("scans");
    options.stations = 3;
    options.pointsPerColumn = 300;
    options.columns = 600;
    genscan::GenScanJob scans(options);
    ASSERT_TRUE(scans.run()) << scans.errorText().toStdString();

    struct Case
    {
        const char* name;
        std::uint32_t view;
        bool invert;
        double clipLow, clipHigh;
        int tilesV;  // rows of tiles
        double vMin; // lower edge of the lowest row
    };
    const Case cases[] = {
        // walls and columns between knee and head height
        {"plan", Top, false, 0.5, 2.0, 1, 0.0},
        // the whole building from behind; the floor's noise reaches just below z = 0
        {"back", Back, true, -1.0, 9.0, 2, -10.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayoutTask task;
        task.job.inputFiles = scans.files();
        ASSERT_TRUE(task.createReader());
        task.job.view = c.view;
        task.job.scanList = QBitArray(3, true);
        task.job.clipLow = c.clipLow;
        task.job.clipHigh = c.clipHigh;
        task.job.outputFile = dir.filePath(QString(c.name) + ".log");
        task.job.imageType = "png";
        takePreferences(config, task.job);
        task.job.invertColor = c.invert;
        task.job.resolution = 0.02;
        task.job.scannerDomain = 30;
        task.job.tileSize = 10;
        task.mode = FetchAndCompute;
        {
            CaptureDiagnostics quiet;
            task.start();
            task.wait();
        }
        ASSERT_FALSE(task.creator.failed);

        // The building takes two columns of tiles from u = 0 (the thin strips of wall
        // outside it have too few points to keep a tile): 3000 pixels wide, 150 per metre.
        const LayoutLogInfo log = LogReader(dir.filePath(QString(c.name) + ".log")).info();
        ASSERT_EQ(log.tilesU, 2);
        ASSERT_EQ(log.tilesV, c.tilesV);
        EXPECT_EQ(log.extentMin[0], 0.0);
        EXPECT_EQ(log.extentMin[1], c.vMin);
        const int height = 1500 * c.tilesV;
        const QString base = dir.filePath(QString(c.name) + "_overview");
        const QImage thumbnail = QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
        const QImage sheet =
            QImage(base + "_scan_positions.png").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(thumbnail.size(), QSize(3000, height));
        ASSERT_EQ(sheet.width(), 3000);
        ASSERT_GT(sheet.height(), height) << "the strip with scale bar and title block";

        // Each station's marker sits where the scanner stood.
        for (const genscan::Station& station : scans.stations()) {
            const double v = c.view == Top ? station.position.y : station.position.z;
            const int x = int(station.position.x * 150.0);
            const QPoint centre(c.view == Top ? x : 2999 - x, int(height - (v - c.vMin) * 150.0));
            EXPECT_EQ(thumbnail.pixel(centre), qRgb(0, 160, 0));
            // On the sheet another station's name may run over it (seen from the back
            // two stations stand almost in line): its translucent ink darkens the green.
            const QRgb onSheet = sheet.pixel(centre);
            EXPECT_TRUE(qRed(onSheet) == 0 && qBlue(onSheet) == 0 && qGreen(onSheet) >= 64)
                << std::hex << onSheet;
        }
        // The line between the two tiles, 10 m from the picture's edge: the default grid
        // colour at half strength over white, or its inverse (63, 63, 63) opaque.
        int gridPixels = 0;
        for (int y = 0; y < height; y += 10) {
            const QRgb p = thumbnail.pixel(1500, y);
            const bool grey = qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
            gridPixels += grey && (c.invert ? qRed(p) == 63 : qRed(p) > 192 && qRed(p) < 240);
        }
        EXPECT_GT(gridPixels, 100);

        if (const QByteArray keep = qgetenv("ORTHAVEN_KEEP_PICTURES"); !keep.isEmpty()) {
            const QDir target(QString::fromLocal8Bit(keep));
            target.mkpath(QStringLiteral("."));
            for (const QString& path : {base + ".png", base + "_scan_positions.png"}) {
                const QString copy = target.filePath(QFileInfo(path).fileName());
                QFile::remove(copy);
                QFile::copy(path, copy);
            }
        }
    }
}
