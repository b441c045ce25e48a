#include "engine/SessionFolder.h"

#include "diag/Diagnostics.h"
#include "engine/SessionFolders.h"

#include <QDir>
#include <QThread>
#include <QTime>

#include <utility>

namespace orthaven {

SessionFolder::SessionFolder(QString workFolder) : base(std::move(workFolder))
{
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
}

SessionFolder::~SessionFolder()
{
    if (hasSession())
        cleanFiles();
}

QString SessionFolder::tempPath() const
{
    if (hasSession())
        return base + session + QLatin1Char('/');
    return base;
}

bool SessionFolder::createSession()
{
    QDir().mkpath(base);
    QDir baseDir(base);
    // Two runs in the same millisecond, or a folder left behind by a run of another day
    // at the same time, must not share raw tiles: wait for a name that is free.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString name = QTime::currentTime().toString(QStringLiteral("hhmmsszzz"));
        if (baseDir.mkdir(name)) {
            owner = lockSession(base + name);
            if (owner) {
                session = name;
                return true;
            }
            // Another copy that starts this moment removes an empty folder without a
            // lock: then take another name. A lock that cannot be written at all (a full
            // disk) ends the attempt and leaves nothing behind.
            if (!baseDir.exists(name))
                continue;
            baseDir.rmdir(name);
            break;
        }
        if (!baseDir.exists(name))
            break; // the folder cannot be made at all
        QThread::msleep(1);
    }
    session.clear();
    return false;
}

void SessionFolder::cleanFiles()
{
    const QString folder = tempPath();
    diag::debug("Clean Files");
    diag::debug("TMP Path = ", folder.toStdString());
    QDir dir(folder);
    const QStringList files =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    // The lock goes last: until the folder is empty it is this run's.
    const QString lock = QLatin1String(sessionLockFileName);
    for (const QString& name : files)
        if (name != lock || !hasSession())
            dir.remove(name); // a file that cannot be deleted stays
    owner.reset();
    if (hasSession()) {
        QDir(base).rmdir(session); // fails quietly when files were left
        session.clear();
    }
    diag::debug("Clean all temporary files ... done");
}

} // namespace orthaven
