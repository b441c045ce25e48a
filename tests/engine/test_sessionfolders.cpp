// Session folders of the temporary folder: a run's folder holds its lock, and only
// folders whose lock is stale are removed, never one of a running process.

#include "LayoutRun.h"

#include "engine/SessionFolders.h"
#include "platform/AppPaths.h"
#include "platform/ProcessLiveness.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// The id of a process that ran and has ended (this test program, listing its tests).
qint64 endedProcessId()
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {"--gtest_list_tests"});
    if (!process.waitForStarted())
        return 0;
    const qint64 pid = process.processId();
    process.waitForFinished(-1);
    return pid;
}

QString session(const QString& name, const QByteArray& lock, bool withFile = true)
{
    const QString folder = tempFolder() + "/" + name;
    QDir().mkpath(folder);
    if (!lock.isNull())
        writeFile(folder + "/" + sessionLockFileName, lock);
    if (withFile)
        writeFile(folder + "/orvnTile_0_0.tmp", "raw");
    return folder;
}

// A lock file as a process of that id on that machine leaves it: id, program, machine.
QByteArray lockRecord(qint64 pid, const QByteArray& machine = QSysInfo::machineHostName().toUtf8())
{
    return QByteArray::number(pid) + "\ntest_engine\n" + machine + "\n";
}

} // namespace

TEST(ProcessLiveness, TellsRunningFromEndedProcesses)
{
    EXPECT_TRUE(processIsRunning(currentProcessId()));
    const qint64 ended = endedProcessId();
    ASSERT_GT(ended, 0);
    EXPECT_FALSE(processIsRunning(ended));
    EXPECT_FALSE(processIsRunning(0)) << "never a process group";
    EXPECT_FALSE(processIsRunning(-1));
}

TEST(SessionFolders, OnlyFoldersNoRunningProcessOwnsAreRemoved)
{
    TempAppData appData;
    const qint64 ended = endedProcessId();
    ASSERT_GT(ended, 0);
    struct Case
    {
        const char* name;
        QString folder;
        bool removed;
    };
    const QString running = session("101010103", QByteArray());
    const std::unique_ptr<QLockFile> held = lockSession(running);
    ASSERT_TRUE(held);
    const Case cases[] = {
        {"owner ended", session("101010101", lockRecord(ended)), true},
        {"owner ended, folder empty but for the lock",
         session("101010102", lockRecord(ended), false), true},
        {"owner runs", running, false},
        {"owner on another machine", session("101010104", lockRecord(ended, "elsewhere")), false},
        {"lock without content", session("101010105", ""), false},
        {"no lock, empty: being made", session("101010106", QByteArray(), false), true},
        {"no lock, files: an older program's", session("101010107", QByteArray()), true},
        {"not a session's name", session("OrthavenSetup", lockRecord(ended)), false},
    };
    const QString download = writeFile(tempFolder() + "/Orthaven-New.zip", "zip");

    EXPECT_EQ(removeAbandonedSessions(tempFolder()), 4);
    for (const Case& c : cases)
        EXPECT_EQ(!QFileInfo::exists(c.folder), c.removed) << c.name;
    EXPECT_TRUE(QFileInfo::exists(download)) << "the update checker's download stays";

    // The window's start empties the rest, but keeps the running session.
    clearTemporaryFolder(tempFolder());
    EXPECT_EQ(QDir(tempFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"101010103", "101010104", "101010105"}));
}

TEST(SessionFolders, ARunsFolderNamesItsOwnerUntilItIsGone)
{
    LayoutRun run({[] {
        FakeScan s;
        s.points = patch(2, 2, 1, 0.05);
        return s;
    }()});
    QString folder;
    bool locked = false;
    bool kept = false;
    run.creator.setCheckpointObserver([&] {
        if (!folder.isEmpty())
            return;
        const QStringList sessions =
            QDir(tempFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        folder = sessions.size() == 1 ? tempFolder() + "/" + sessions[0] : "?";
        QLockFile lock(folder + "/" + sessionLockFileName);
        locked = !lock.tryLock(0) && lock.error() == QLockFile::LockFailedError;
        // Another copy that starts now leaves this run's folder alone.
        removeAbandonedSessions(tempFolder());
        clearTemporaryFolder(tempFolder());
        kept = QFileInfo::exists(folder + "/" + sessionLockFileName);
    });
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.succeeded());
    EXPECT_TRUE(isSessionFolderName(QFileInfo(folder).fileName())) << folder.toStdString();
    EXPECT_TRUE(locked);
    EXPECT_TRUE(kept);
    EXPECT_TRUE(run.temporaryLeftovers().isEmpty());
}
