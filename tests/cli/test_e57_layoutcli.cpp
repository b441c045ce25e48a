// orthaven-layout on one generated scene written twice, as PTX files and as one E57 file
// of all stations: the same layout, tile for tile and pixel for pixel, and the same log.

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

struct Layout
{
    int exitCode = -1;
    QString err;
    std::map<QString, QImage> tiles; // the overview pictures carry scan names, which differ
    QByteArray log;
};

Layout runLayout(const QStringList& arguments, const QString& outFolder)
{
    QProcess process;
    process.start(QStringLiteral(ORTHAVEN_LAYOUT_PROGRAM), arguments);
    Layout out;
    if (!process.waitForStarted() || !process.waitForFinished(180000)) {
        process.kill();
        process.waitForFinished();
        return out;
    }
    out.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    out.err = QString::fromUtf8(process.readAllStandardError());
    const QDir folder(outFolder);
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".log")))
            out.log = readFile(folder.filePath(name));
        else if (name.endsWith(QLatin1String(".pgw")) || name.endsWith(QLatin1String(".vrt")))
            out.log += readFile(folder.filePath(name)); // the world files follow the corners
        else if (name.endsWith(QLatin1String(".png")) && !name.contains(QLatin1String("_overview")))
            out.tiles[name] = QImage(folder.filePath(name));
    }
    return out;
}

} // namespace

TEST(E57LayoutCli, SameLayoutAsFromThePtxFilesOfTheScene)
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
    options.outputFolder = dir.filePath(QStringLiteral("e57"));
    options.format = QStringLiteral("e57");
    options.colour = true;
    options.oneFile = true;
    GenScanJob e57(options);
    ASSERT_TRUE(e57.run()) << e57.errorText().toStdString();
    ASSERT_EQ(e57.files().size(), 1);

    for (const char* view : {"top", "front"}) {
        SCOPED_TRACE(view);
        const QStringList settings = {"--view", view, "--resolution", "0.05", "--tile", "10"};
        const QString ptxOut = dir.filePath(QStringLiteral("out-ptx-") + view);
        const QString e57Out = dir.filePath(QStringLiteral("out-e57-") + view);
        const Layout fromPtx =
            runLayout(settings + QStringList{"--out", ptxOut + "/site"} + ptx.files(), ptxOut);
        const Layout fromE57 =
            runLayout(settings + QStringList{"--out", e57Out + "/site"} + e57.files(), e57Out);
        ASSERT_EQ(fromPtx.exitCode, 0) << fromPtx.err.toStdString();
        ASSERT_EQ(fromE57.exitCode, 0) << fromE57.err.toStdString();

        EXPECT_GE(fromPtx.log.count("Tile Name = "), 2);
        EXPECT_EQ(fromE57.log, fromPtx.log);
        ASSERT_GE(fromPtx.tiles.size(), 2u);
        ASSERT_EQ(fromE57.tiles.size(), fromPtx.tiles.size());
        for (const auto& [name, image] : fromPtx.tiles) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(fromE57.tiles.count(name), 1u);
            ASSERT_FALSE(image.isNull());
            EXPECT_TRUE(fromE57.tiles.at(name) == image) << "the pixels differ";
        }
    }
}
