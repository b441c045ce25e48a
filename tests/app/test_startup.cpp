#include "app/Startup.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "platform/ProcessList.h"
#include "settings/ConfigSettings.h"
#include "support/CaptureDiagnostics.h"
#include "support/TempAppData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

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

TEST(SingleInstance, CountsEveryOccurrenceOfTheImageName)
{
    const QByteArray wmic =
        "Name\r\nsvchost.exe\r\nOrthaven.exe\r\nexplorer.exe\r\nOrthaven.exe\r\n";
    EXPECT_EQ(countOccurrences(wmic, "Orthaven.exe"), 2);
    EXPECT_EQ(countOccurrences("Name\r\nOrthaven.exe\r\n", "Orthaven.exe"), 1);
    EXPECT_EQ(countOccurrences("", "Orthaven.exe"), 0);
    EXPECT_EQ(countOccurrences("orthaven.exe", "Orthaven.exe"), 0) << "case-sensitive";
    // the search goes on from the hit + 1, so overlapping hits count
    EXPECT_EQ(countOccurrences("aaaa", "aa"), 3);
    // line-framed names: a longer program name does not count as this one
    EXPECT_EQ(countOccurrences("\northaven\northaven-layout\northaven\n", "\northaven\n"), 2);
    // Windows file names ignore case: the build makes orthaven.exe
    const QByteArray mixed = "Name\r\northaven.exe\r\nORTHAVEN.EXE\r\nOrthaven.exe\r\n";
    EXPECT_EQ(countOccurrences(mixed, "Orthaven.exe", Qt::CaseInsensitive), 3);
    EXPECT_EQ(countOccurrences(mixed, "Orthaven.exe", Qt::CaseSensitive), 1);
    EXPECT_EQ(
        countOccurrences("Name\r\northaven-layout.exe\r\n", "Orthaven.exe", Qt::CaseInsensitive),
        0);
#ifdef Q_OS_WIN
    EXPECT_EQ(programNameCase(), Qt::CaseInsensitive);
#else
    EXPECT_EQ(programNameCase(), Qt::CaseSensitive);
#endif
}

TEST(SingleInstance, AProgramWhoseFileWasReplacedOrDeletedKeepsItsName)
{
    const struct
    {
        const char* target;
        const char* name;
    } cases[] = {
        {"/usr/bin/orthaven", "orthaven"},
        {"/home/u/build/bin/orthaven (deleted)", "orthaven"},
        {"/opt/orthaven/orthaven-layout (deleted)", "orthaven-layout"},
        {"/srv/my (deleted) tools/orthaven", "orthaven"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(programFileName(QString::fromUtf8(c.target)), QString::fromUtf8(c.name))
            << c.target;
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
    // Waits for the exit but leaves the child unreaped, a zombie.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    QFile stat(QString("/proc/%1/stat").arg(child));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    ASSERT_TRUE(stat.readAll().contains("(ovzombietest) Z"));
    EXPECT_EQ(countOccurrences(processListing(), "\novzombietest\n"), 0);
    waitpid(child, nullptr, 0);
#endif
}

TEST(SingleInstance, ACopyWhoseProgramFileWasReplacedOrDeletedStillCounts)
{
#ifdef Q_OS_LINUX
    // A rebuild or an upgrade replaces the program file under a running copy; that copy
    // still works in the temporary folder and must be found. A copy of a small system
    // program stands in for it under a name of its own.
    const QString sleeper = QStandardPaths::findExecutable("sleep");
    ASSERT_FALSE(sleeper.isEmpty());
    // Named after this test process: another copy of the suite may run beside it.
    const QString name = QString("ovcopy%1").arg(QCoreApplication::applicationPid());
    const QByteArray needle = '\n' + name.toLatin1() + '\n';
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "deleted");
        QTemporaryDir dir;
        const QString program = dir.filePath(name);
        ASSERT_TRUE(QFile::copy(sleeper, program));
        QProcess copy;
        copy.start(program, {"1000"});
        ASSERT_TRUE(copy.waitForStarted()) << "the program file is executed";
        EXPECT_EQ(countOccurrences(processListing(), needle), 1);
        if (replace) {
            const QString newer = dir.filePath("newer");
            ASSERT_TRUE(QFile::copy(sleeper, newer));
            ASSERT_EQ(std::rename(QFile::encodeName(newer).constData(),
                                  QFile::encodeName(program).constData()),
                      0);
        } else {
            ASSERT_TRUE(QFile::remove(program));
        }
        EXPECT_TRUE(QFile::symLinkTarget(QString("/proc/%1/exe").arg(copy.processId()))
                        .endsWith(" (deleted)"));
        EXPECT_EQ(countOccurrences(processListing(), needle), 1);
        copy.kill();
        copy.waitForFinished(-1);
    }
#endif
}
