#include "engine/SessionFolders.h"

#include "platform/AppFolders.h"
#include "platform/ProcessLiveness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace orthaven {

namespace {

QByteArray thisMachine()
{
    return QSysInfo::machineHostName().toUtf8();
}

QString ownerPath(const QString& folder)
{
    return folder + QLatin1Char('/') + QLatin1String(sessionOwnerFileName);
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

bool writeSessionOwner(const QString& folder)
{
    // A plain file, not one written aside and renamed: the record must be the folder's
    // first entry, and a record caught half-written only keeps the folder (see
    // sessionState).
    QFile file(ownerPath(folder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray record =
        QByteArray::number(qint64(currentProcessId())) + '\n' + thisMachine() + '\n';
    const bool written = file.write(record) == record.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

SessionState sessionState(const QString& folder)
{
    QFile file(ownerPath(folder));
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(file.fileName()) ? SessionState::Running : SessionState::Unowned;
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    // Half written, foreign, or of another machine sharing this folder: not ours to judge.
    if (!isNumber || pid <= 0 || lines.size() < 2 || lines.value(1) != thisMachine())
        return SessionState::Running;
    return processIsRunning(pid) ? SessionState::Running : SessionState::Abandoned;
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
        // The entries are listed before the owner is looked for: the owner record is the
        // first file of every run's folder, so a run's folder in which anything was seen
        // surely shows its record afterwards.
        const bool empty = QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                QDir::Hidden | QDir::System);
        switch (sessionState(folder)) {
        case SessionState::Running:
            break;
        case SessionState::Unowned:
            if (empty) {
                // Fails when the maker has put its record in meanwhile.
                if (temp.rmdir(name))
                    ++removed;
                break;
            }
            [[fallthrough]]; // files without an owner: an older program's leftovers
        case SessionState::Abandoned:
            clearFolder(folder, true);
            if (!QFileInfo::exists(folder))
                ++removed;
            break;
        }
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
