#include "platform/ProcessList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orthaven {

int countOccurrences(const QByteArray& text, const QByteArray& needle, Qt::CaseSensitivity cs)
{
    if (needle.isEmpty())
        return 0;
    const QByteArray haystack = cs == Qt::CaseSensitive ? text : text.toLower();
    const QByteArray wanted = cs == Qt::CaseSensitive ? needle : needle.toLower();
    int count = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype hit = haystack.indexOf(wanted, from);
        if (hit < 0)
            break;
        ++count;
        from = hit + 1;
    }
    return count;
}

QString programFileName(const QString& exeTarget)
{
    static const QLatin1String deletedMark(" (deleted)");
    QString path = exeTarget;
    if (path.endsWith(deletedMark))
        path.chop(deletedMark.size());
    return QFileInfo(path).fileName();
}

#ifdef Q_OS_WIN

Qt::CaseSensitivity programNameCase()
{
    return Qt::CaseInsensitive;
}

QByteArray processListing()
{
    QProcess wmic;
    wmic.start(QStringLiteral("wmic.exe"),
               {QStringLiteral("process"), QStringLiteral("get"), QStringLiteral("name")});
    wmic.waitForFinished(30000);
    return wmic.readAllStandardOutput();
}

QByteArray ownImageNeedle()
{
    return QByteArrayLiteral("Orthaven.exe");
}

QByteArray layoutRunnerNeedle()
{
    return QByteArrayLiteral("orthaven-layout.exe");
}

#else

namespace {

// The program file name of one process: the target of /proc/<pid>/exe when it can be
// read, else the kernel's short name from /proc/<pid>/comm.
QByteArray programName(const QString& pidFolder)
{
    const QString exe = QFile::symLinkTarget(pidFolder + QStringLiteral("/exe"));
    if (!exe.isEmpty())
        return programFileName(exe).toLocal8Bit();
    QFile comm(pidFolder + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly))
        return comm.readAll().trimmed();
    return {};
}

// True for a process that has ended but was not yet reaped: it runs no longer.
bool hasEnded(const QString& pidFolder)
{
    QFile stat(pidFolder + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    // "pid (name) state ...": the name may hold blanks and parentheses itself.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return true;
    const char state = line.at(close + 2);
    return state == 'Z' || state == 'X';
}

} // namespace

Qt::CaseSensitivity programNameCase()
{
    return Qt::CaseSensitive;
}

QByteArray processListing()
{
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const uid_t me = getuid();
    QByteArray listing("\n");
    for (const QString& entry : entries) {
        bool isPid = false;
        entry.toInt(&isPid);
        if (!isPid)
            continue;
        const QString folder = proc.filePath(entry);
        struct stat info
        {
        };
        // Only this user's programs: another user's copy works in its own folders.
        if (stat(QFile::encodeName(folder).constData(), &info) != 0 || info.st_uid != me)
            continue;
        if (hasEnded(folder))
            continue;
        const QByteArray name = programName(folder);
        if (!name.isEmpty())
            listing += name + '\n';
    }
    return listing;
}

QByteArray layoutRunnerNeedle()
{
    return QByteArrayLiteral("\northaven-layout\n");
}

QByteArray ownImageNeedle()
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return '\n' + self.toLocal8Bit() + '\n';
}

#endif

} // namespace orthaven
