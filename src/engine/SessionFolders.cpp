#include "engine/SessionFolders.h"

#include "platform/AppFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orthaven {

namespace {

std::unique_ptr<QLockFile> sessionLock(const QString& folder)
{
    auto lock =
        std::make_unique<QLockFile>(folder + QLatin1Char('/') + QLatin1String(sessionLockFileName));
    // A run may last for days: only a lock whose process has ended is stale, never an old
    // one. A lock that cannot be read is never judged stale either.
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

bool isSessionFolderName(const QString& name)
{
    if (name.size() != 9)
        return false;
    for (const QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

std::unique_ptr<QLockFile> lockSession(const QString& folder)
{
    std::unique_ptr<QLockFile> lock = sessionLock(folder);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

int removeAbandonedSessions(const QString& tempFolder)
{
    int removed = 0;
    const QDir temp(tempFolder);
    const QStringList names = temp.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : names) {
        const QString folder = temp.filePath(name);
        if (!isSessionFolderName(name) || QFileInfo(folder).isSymLink())
            continue;
        // The entries are listed before the lock is looked for: the lock is the first file
        // of every run's folder, so a run's folder in which anything was seen surely shows
        // its lock afterwards.
        const bool empty = QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                QDir::Hidden | QDir::System);
        const std::unique_ptr<QLockFile> lock = sessionLock(folder);
        if (QFileInfo::exists(lock->fileName())) {
            // Taken only when its process has ended: the folder is this process's now.
            if (!lock->tryLock(0))
                continue;
            lock->unlock();
        } else if (empty) {
            // Fails when its maker has taken its lock meanwhile.
            if (temp.rmdir(name))
                ++removed;
            continue;
        }
        clearFolder(folder, true);
        if (!QFileInfo::exists(folder))
            ++removed;
    }
    return removed;
}

void clearTemporaryFolder(const QString& tempFolder)
{
    removeAbandonedSessions(tempFolder);
    const QDir temp(tempFolder);
    const QFileInfoList entries = temp.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const QString path = temp.filePath(entry.fileName());
        if (entry.isDir() && !entry.isSymLink()) {
            if (!isSessionFolderName(entry.fileName())) // the sessions left are in use
                clearFolder(path, true);
        } else {
            QFile::remove(path);
        }
    }
}

} // namespace orthaven
