// orthaven-layout on one generated scene written as PTX files and again in the other
// formats (PTG files, a PTG index file, one E57 file of all stations): the same layout,
// tile for tile and pixel for pixel, the same layout log and world files.

#include "LayoutProgram.h"
#include "genscan/GenScanJob.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

struct Layout
{
    ProgramRun run;
    std::map<QString, QImage> tiles; // every image but the overview pictures
    QByteArray log;                  // the log, then the world files
    std::map<QString, QSize> overviewSizes;
};

// The thumbnail, the scan-position sheet and the drawing carry the scans' names, which
// differ between the formats (a PTX name carries the scan's number in its file).
Layout layoutOf(const QStringList& arguments, const QString& outFolder)
{
    Layout layout{runLayout(arguments + QStringList{"--out", outFolder + "/site"}), {}, {}, {}};
    for (const auto& [name, bytes] : filesIn(outFolder)) {
        if (name.endsWith(QLatin1String(".log")))
            layout.log.prepend(bytes);
        else if (name.endsWith(QLatin1String(".pgw")) || name.endsWith(QLatin1String(".vrt")))
            layout.log += bytes;
        else if (name.contains(QLatin1String("_overview")))
            layout.overviewSizes[name] = QImage::fromData(bytes).size();
        else if (!name.endsWith(QLatin1String(".dxf"))) // it names the scans, too
            layout.tiles[name] = QImage::fromData(bytes);
    }
    return layout;
}

} // namespace

TEST(FormatsLayoutCli, SameLayoutAsFromThePtxFilesOfTheScene)
{
    TempAppData appData;
    QTemporaryDir dir;
    GenScanOptions options;
    options.outputFolder = dir.filePath(QStringLiteral("ptx"));
    options.stations = 3;
    options.pointsPerColumn = 200;
    options.columns = 600;
    options.seed = 5;
    options.offset = {500000.0, 5400000.0, 0.0};
    GenScanJob ptx(options);
    ASSERT_TRUE(ptx.run()) << ptx.errorText().toStdString();
    options.colour = true;
    options.outputFolder = dir.filePath(QStringLiteral("ptg"));
    options.format = QStringLiteral("ptg");
    options.indexFile = true;
    GenScanJob ptg(options);
    ASSERT_TRUE(ptg.run()) << ptg.errorText().toStdString();
    options.outputFolder = dir.filePath(QStringLiteral("e57"));
    options.format = QStringLiteral("e57");
    options.indexFile = false;
    options.oneFile = true;
    GenScanJob e57(options);
    ASSERT_TRUE(e57.run()) << e57.errorText().toStdString();
    ASSERT_EQ(e57.files().size(), 1);

    const struct
    {
        const char* view;
        const char* format;
        QStringList inputs;
    } cases[] = {
        {"top", "ptg index", {ptg.indexFile()}},
        {"front", "ptg", ptg.files()},
        {"top", "e57", e57.files()},
        {"front", "e57", e57.files()},
    };
    std::map<QString, Layout> fromPtx; // by view
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + ", " + c.view);
        const QStringList settings = {"--view", c.view, "--resolution", "0.05", "--tile", "10"};
        const QString view = QLatin1String(c.view);
        if (!fromPtx.count(view))
            fromPtx[view] = layoutOf(settings + ptx.files(), dir.filePath("out-ptx-" + view));
        const Layout& expected = fromPtx[view];
        const Layout other =
            layoutOf(settings + c.inputs,
                     dir.filePath(QStringLiteral("out-%1-%2").arg(QLatin1String(c.format), view)));
        ASSERT_EQ(expected.run.exitCode, 0) << expected.run.err.toStdString();
        ASSERT_EQ(other.run.exitCode, 0) << other.run.err.toStdString();

        EXPECT_GE(expected.log.count("Tile Name = "), 2);
        EXPECT_EQ(other.log, expected.log);
        ASSERT_GE(expected.tiles.size(), 2u);
        ASSERT_EQ(other.tiles.size(), expected.tiles.size());
        int darkPixels = 0;
        for (const auto& [name, image] : expected.tiles) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(other.tiles.count(name), 1u);
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(other.tiles.at(name) == image) << "the pixels differ";
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    darkPixels += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
        EXPECT_GT(darkPixels, 100) << "the walls are drawn";
        EXPECT_EQ(other.overviewSizes, expected.overviewSizes);
        EXPECT_EQ(expected.overviewSizes.size(), 2u) << "thumbnail and scan-position sheet";
    }
}
