// orthaven-layout on one generated scene written twice, as PTX files and as PTG files
// with their index file: the same layout, tile for tile and pixel for pixel, and the same
// layout log.

#include "genscan/GenScanJob.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

struct LayoutOutput
{
    int exitCode = -1;
    QString err;
    std::map<QString, QImage> tiles; // every image but the overview pictures
    QByteArray log;
    std::map<QString, QSize> overviewSizes;
};

// The thumbnail and the scan-position sheet are annotated with the scans' names, which
// differ between the formats (a PTX name carries the scan's number in its file).
bool isOverviewPicture(const QString& name)
{
    return name.contains(QLatin1String("_overview"));
}

LayoutOutput runLayout(const QStringList& arguments, const QString& outFolder)
{
    QProcess process;
    process.start(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM), arguments);
    LayoutOutput out;
    if (!process.waitForStarted() || !process.waitForFinished(180000)) {
        process.kill();
        process.waitForFinished();
        return out;
    }
    out.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    out.err = QString::fromUtf8(process.readAllStandardError());
    const QDir folder(outFolder);
    for (const QString& name : folder.entryList(QDir::Files)) {
        const QString path = folder.filePath(name);
        if (name.endsWith(QLatin1String(".log")))
            out.log = readFile(path);
        else if (name.endsWith(QLatin1String(".pgw")) || name.endsWith(QLatin1String(".vrt")))
            out.log += readFile(path); // the world files follow the log's corners
        else if (isOverviewPicture(name))
            out.overviewSizes[name] = QImage(path).size();
        else if (!name.endsWith(QLatin1String(".dxf"))) // scan names differ by format
            out.tiles[name] = QImage(path);
    }
    return out;
}

} // namespace

TEST(PtgLayoutCli, SameLayoutAsFromThePtxFilesOfTheScene)
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
    options.outputFolder = dir.filePath(QStringLiteral("ptg"));
    options.format = QStringLiteral("ptg");
    options.colour = true;
    options.indexFile = true;
    GenScanJob ptg(options);
    ASSERT_TRUE(ptg.run()) << ptg.errorText().toStdString();

    struct Case
    {
        const char* view;
        QStringList ptgInputs;
    };
    const Case cases[] = {
        {"top", {ptg.indexFile()}},
        {"front", ptg.files()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        const QStringList settings = {"--view", c.view, "--resolution", "0.05", "--tile", "10"};
        const QString ptxOut = dir.filePath(QStringLiteral("out-ptx-") + c.view);
        const QString ptgOut = dir.filePath(QStringLiteral("out-ptg-") + c.view);
        const LayoutOutput fromPtx =
            runLayout(settings + QStringList{"--out", ptxOut + "/site"} + ptx.files(), ptxOut);
        const LayoutOutput fromPtg =
            runLayout(settings + QStringList{"--out", ptgOut + "/site"} + c.ptgInputs, ptgOut);
        ASSERT_EQ(fromPtx.exitCode, 0) << fromPtx.err.toStdString();
        ASSERT_EQ(fromPtg.exitCode, 0) << fromPtg.err.toStdString();

        ASSERT_GE(fromPtx.tiles.size(), 2u);
        EXPECT_GE(fromPtx.log.count("Tile Name = "), 2);
        EXPECT_EQ(fromPtg.log, fromPtx.log);
        ASSERT_EQ(fromPtg.tiles.size(), fromPtx.tiles.size());
        int darkPixels = 0;
        for (const auto& [name, image] : fromPtx.tiles) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(fromPtg.tiles.count(name), 1u);
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(fromPtg.tiles.at(name) == image) << "the pixels differ";
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    darkPixels += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
        EXPECT_GT(darkPixels, 100) << "the walls are drawn";
        EXPECT_EQ(fromPtg.overviewSizes, fromPtx.overviewSizes);
        EXPECT_EQ(fromPtx.overviewSizes.size(), 2u) << "thumbnail and scan-position sheet";
    }
}
