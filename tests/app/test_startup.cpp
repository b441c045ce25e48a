#include "app/Startup.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "platform/DataFolder.h"
#include "settings/ConfigSettings.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

TEST(AppFolders, FirstStartCreatesEverythingAndTheDefaultConfig)
{
    TempAppData appData;
    CaptureDiagnostics out;
    EXPECT_TRUE(ensureAppFolders());
    EXPECT_EQ(out.lines(), (QStringList{"create Full Path", "Create Config File"}));
    EXPECT_TRUE(QFileInfo(appData.path() + "/Brandmoor/Orthaven/tmp").isDir());
    EXPECT_EQ(readFile(configFilePath()), configText(defaultConfig()));
}

TEST(AppFolders, MissingProductFolderIsCreatedBelowExistingMakerFolder)
{
    TempAppData appData;
    QDir().mkpath(appData.path() + "/Brandmoor");
    CaptureDiagnostics out;
    ensureAppFolders();
    EXPECT_EQ(out.lines(), (QStringList{"create OV Path", "Create Config File"}));
    EXPECT_TRUE(QFileInfo(tempFolder()).isDir());
}

TEST(AppFolders, LaterStartLeavesAForeignConfigUntouched)
{
    TempAppData appData;
    ensureAppFolders();
    const QByteArray foreign = "TileSize = 40\nsomething odd\n";
    writeFile(configFilePath(), foreign);
    CaptureDiagnostics out;
    ensureAppFolders();
    EXPECT_EQ(out.lines(), QStringList{"Config File exists"});
    EXPECT_EQ(readFile(configFilePath()), foreign);

    // An empty one, left by a start on a full disk, gets the defaults.
    writeFile(configFilePath(), "");
    ensureAppFolders();
    EXPECT_EQ(readFile(configFilePath()), configText(defaultConfig()));
}

TEST(AppFolders, EmptiesTheTemporaryFolderButKeepsIt)
{
    TempAppData appData;
    ensureAppFolders();
    writeFile(tempFolder() + "/120000000/orvnTile_0_0.tmp", "raw");
    writeFile(tempFolder() + "/a/b/c/deep.png", "png");
    writeFile(tempFolder() + "/Orthaven-New.zip", "zip");
    ensureAppFolders(false);
    EXPECT_FALSE(QDir(tempFolder()).isEmpty()) << "false leaves the folder as it is";
    ensureAppFolders();
    EXPECT_TRUE(QFileInfo(tempFolder()).isDir());
    EXPECT_TRUE(QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
}

TEST(AppFolders, ClearFolderRemovesLinksWithoutFollowingThem)
{
    TempAppData appData;
    const QString outside = writeFile(appData.path() + "/outside/keep.txt", "keep");
    const QString folder = appData.path() + "/work";
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::link(appData.path() + "/outside", folder + "/link"));
    clearFolder(folder, true);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(readFile(outside), "keep");
}

TEST(DataFolder, InstalledBelowShareOtherwiseBesideTheProgram)
{
    QTemporaryDir root;
    const QString bin = root.filePath("usr/bin");
    QDir().mkpath(bin);
    EXPECT_EQ(dataFolderFor(bin), bin) << "the build tree";
    QDir().mkpath(root.filePath("usr/share/orthaven"));
#ifdef Q_OS_WIN
    EXPECT_EQ(dataFolderFor(bin), bin);
#else
    EXPECT_EQ(dataFolderFor(bin), root.filePath("usr/share/orthaven")) << "an installation";
#endif
}

TEST(SingleInstance, OneWindowPerUserAndTheLockOfAKilledWindowIsTakenOver)
{
    TempAppData appData;
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("APPDATA", appData.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    window.setProcessEnvironment(environment);
    window.setProcessChannelMode(QProcess::MergedChannels); // the line may come on either
    window.start(ORTHAVEN_WINDOW_PROGRAM, QStringList());
    // The window is made only once its copy holds the lock.
    QByteArray output;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            output += window.readAll();
            return output.contains("MainWindow::createActions()") ||
                   window.state() == QProcess::NotRunning;
        },
        5 * 60 * 1000)); // a guard against a hang only; the check follows
    ASSERT_TRUE(output.contains("MainWindow::createActions()")) << output.toStdString();

    // As if the window had run for a day: its lock stays its own.
    QFile lockFile(instanceLockPath());
    ASSERT_TRUE(lockFile.open(QIODevice::ReadOnly));
    ASSERT_TRUE(lockFile.setFileTime(QDateTime::currentDateTimeUtc().addDays(-1),
                                     QFileDevice::FileModificationTime));
    QLockFile second(instanceLockPath());
    EXPECT_TRUE(singleInstanceCheck(second)) << "a second copy of the same user is refused";
    EXPECT_FALSE(second.isLocked());
    {
        TempAppData otherUser;
        ensureAppFolders(false);
        QLockFile theirs(instanceLockPath());
        EXPECT_FALSE(singleInstanceCheck(theirs)) << "another user's window starts";
    }

    window.kill(); // no chance to remove its lock file
    ASSERT_TRUE(window.waitForFinished(60000));
    ASSERT_TRUE(QFileInfo::exists(instanceLockPath()));
    QLockFile next(instanceLockPath());
    EXPECT_FALSE(singleInstanceCheck(next)) << "the killed window's lock is taken over";
    EXPECT_TRUE(next.isLocked());
}

TEST(SingleInstance, AFolderWithoutALockLetsTheWindowStartWithAWarning)
{
    QTemporaryDir dir;
    QLockFile lock(dir.filePath("missing/orthaven.lock"));
    CaptureDiagnostics out;
    EXPECT_FALSE(singleInstanceCheck(lock));
    ASSERT_EQ(out.lines().size(), 1);
    EXPECT_TRUE(out.lines()[0].startsWith("Could not create the lock file ")) << out.text();
}
