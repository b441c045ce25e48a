// The Layout Creator dock run like a user would, once on generated PTX files and once on
// the PTG index file of the same scene: the same tiles, pixel for pixel, and the same log.

#include "creator/Layout.h"
#include "creator/ResultMessages.h"
#include "genscan/GenScanJob.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "settings/ConfigSettings.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <map>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

struct DockRun
{
    QStringList listed; // rows of the scan list
    QString message;
    std::map<QString, QImage> tiles; // every image but the name-annotated overview pictures
    QByteArray log;
};

void click(Layout& dock, const char* button)
{
    QTest::mouseClick(dock.findChild<QAbstractButton*>(QString::fromLatin1(button)),
                      Qt::LeftButton);
}

DockRun runDock(const QStringList& inputs, const QString& outFolder)
{
    DockRun run;
    UserDialogs::clearScript();
    Layout dock;
    dock.show();
    UserDialogs::setNextFileNames(inputs);
    click(dock, "b_ws");
    const auto* list = dock.findChild<QListWidget*>(QStringLiteral("w_tab"));
    for (int r = 0; list && r < list->count(); ++r)
        run.listed.append(list->item(r)->text());
    QDir().mkpath(outFolder);
    UserDialogs::setNextFileName(outFolder + QStringLiteral("/site.log"));
    click(dock, "b_out");
    click(dock, "b_start");
    // Only a guard against a hang; nothing here depends on how long it takes.
    QDeadlineTimer deadline(std::chrono::minutes(3));
    while (UserDialogs::shownMessages().isEmpty() && !deadline.hasExpired())
        QTest::qWait(10);
    if (!UserDialogs::shownMessages().isEmpty())
        run.message = UserDialogs::shownMessages().first().text;
    const QDir folder(outFolder);
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".log")))
            run.log = readFile(folder.filePath(name));
        else if (name.endsWith(QLatin1String(".pgw")) || name.endsWith(QLatin1String(".vrt")))
            run.log += readFile(folder.filePath(name)); // the dock always writes world files
        else if (name.endsWith(QLatin1String(".png")) && !name.contains(QLatin1String("_overview")))
            run.tiles[name] = QImage(folder.filePath(name));
    }
    UserDialogs::clearScript();
    return run;
}

} // namespace

TEST(PtgLayoutDock, SameLayoutAsFromThePtxFilesOfTheScene)
{
    TempAppData appData;
    ensureAppFolders();
    ConfigSettings config = defaultConfig();
    config.scannerDomain = 30.0;
    config.resolution = 0.05;
    config.tileSize = 10.0;
    ASSERT_TRUE(saveConfig(config, configFilePath()));

    QTemporaryDir dir;
    GenScanOptions options;
    options.outputFolder = dir.filePath(QStringLiteral("ptx"));
    options.stations = 2;
    options.pointsPerColumn = 150;
    options.columns = 450;
    options.seed = 9;
    GenScanJob ptx(options);
    ASSERT_TRUE(ptx.run()) << ptx.errorText().toStdString();
    options.outputFolder = dir.filePath(QStringLiteral("ptg"));
    options.format = QStringLiteral("ptg-double");
    options.indexFile = true;
    GenScanJob ptg(options);
    ASSERT_TRUE(ptg.run()) << ptg.errorText().toStdString();

    const DockRun fromPtx = runDock(ptx.files(), dir.filePath(QStringLiteral("out-ptx")));
    const DockRun fromPtg = runDock({ptg.indexFile()}, dir.filePath(QStringLiteral("out-ptg")));
    // The message names the folder and the tiles that are really there.
    EXPECT_EQ(fromPtx.message, layoutSuccessMessage(dir.filePath(QStringLiteral("out-ptx")),
                                                    int(fromPtx.tiles.size())));
    EXPECT_EQ(fromPtg.message, layoutSuccessMessage(dir.filePath(QStringLiteral("out-ptg")),
                                                    int(fromPtg.tiles.size())));
    EXPECT_EQ(fromPtg.listed.size(), 2) << fromPtg.listed.join('\n').toStdString();

    ASSERT_GE(fromPtx.tiles.size(), 2u);
    EXPECT_FALSE(fromPtx.log.isEmpty());
    EXPECT_EQ(fromPtg.log, fromPtx.log);
    ASSERT_EQ(fromPtg.tiles.size(), fromPtx.tiles.size());
    for (const auto& [name, image] : fromPtx.tiles) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_EQ(fromPtg.tiles.count(name), 1u);
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(fromPtg.tiles.at(name) == image) << "the pixels differ";
    }
}
