#include "app/Startup.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "platform/ProcessList.h"
#include "settings/ConfigSettings.h"
#include "support/CaptureStdout.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace orthaven;
using namespace orthaven::test;

TEST(AppFolders, FirstStartCreatesEverythingAndTheDefaultConfig)
{
    TempAppData appData;
    CaptureStdout out;
    EXPECT_TRUE(ensureAppFolders());
    EXPECT_EQ(out.lines(), (QStringList{"create Full Path", "Create Config File"}));
    EXPECT_TRUE(QFileInfo(appData.path() + "/Brandmoor/Orthaven/tmp").isDir());
    EXPECT_EQ(readFile(configFilePath()), configText(defaultConfig()));
}

TEST(AppFolders, MissingProductFolderIsCreatedBelowExistingMakerFolder)
{
    TempAppData appData;
    QDir().mkpath(appData.path() + "/Brandmoor");
    CaptureStdout out;
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
    CaptureStdout out;
    ensureAppFolders();
    EXPECT_EQ(out.lines(), QStringList{"Config File exists"});
    EXPECT_EQ(readFile(configFilePath()), foreign);
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

TEST(SingleInstance, CountsEveryOccurrenceOfTheImageName)
{
    const QByteArray wmic = "Name\r\nsvchost.exe\r\nOrthaven.exe\r\nexplorer.exe\r\nOrthaven.exe\r\n";
    EXPECT_EQ(countOccurrences(wmic, "Orthaven.exe"), 2);
    EXPECT_EQ(countOccurrences("Name\r\nOrthaven.exe\r\n", "Orthaven.exe"), 1);
    EXPECT_EQ(countOccurrences("", "Orthaven.exe"), 0);
    EXPECT_EQ(countOccurrences("orthaven.exe", "Orthaven.exe"), 0) << "case-sensitive";
    // the search goes on from the hit + 1, so overlapping hits count
    EXPECT_EQ(countOccurrences("aaaa", "aa"), 3);
    // line-framed names: a longer program name does not count as this one
    EXPECT_EQ(countOccurrences("\northaven\northaven-layout\northaven\n", "\northaven\n"), 2);
}

TEST(SingleInstance, TheLayoutRunnerIsFoundApartFromTheWindow)
{
#ifndef Q_OS_WIN
    EXPECT_EQ(countOccurrences("\northaven\n", layoutRunnerNeedle()), 0);
    EXPECT_EQ(countOccurrences("\nbash\northaven-layout\northaven\n", layoutRunnerNeedle()), 1);
    EXPECT_EQ(countOccurrences("\northaven-layout2\n", layoutRunnerNeedle()), 0);
#endif
}

TEST(SingleInstance, VerdictByCount)
{
    EXPECT_EQ(judgeInstanceCount(0), InstanceVerdict::ListingFailed);
    EXPECT_EQ(judgeInstanceCount(1), InstanceVerdict::OnlyThisCopy);
    EXPECT_EQ(judgeInstanceCount(2), InstanceVerdict::OtherCopyRunning);
    EXPECT_EQ(judgeInstanceCount(5), InstanceVerdict::OtherCopyRunning);
}

TEST(SingleInstance, ListingFindsThisTestProgram)
{
#ifndef Q_OS_WIN
    // Other copies of this test program may run at the same time (CTest runs the suite
    // in parallel), so only "at least this one" is certain.
    const QByteArray listing = processListing();
    EXPECT_TRUE(listing.startsWith('\n'));
    EXPECT_GE(countOccurrences(listing, ownImageNeedle()), 1);
#endif
}

TEST(SingleInstance, AnEndedButUnreapedCopyDoesNotCount)
{
#ifdef Q_OS_LINUX
    // A child that has exited and that nobody waited for yet stays listed by the kernel
    // as a zombie; it must not keep the program from starting.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_NAME, "ovzombietest", 0, 0, 0);
        _exit(0);
    }
    const QString stat = QString("/proc/%1/stat").arg(child);
    bool ended = false;
    for (int i = 0; i < 2000 && !ended; ++i) {
        QFile f(stat);
        ended = f.open(QIODevice::ReadOnly) && f.readAll().contains("(ovzombietest) Z");
        if (!ended)
            usleep(1000);
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(countOccurrences(processListing(), "\novzombietest\n"), 0);
    waitpid(child, nullptr, 0);
#endif
}
