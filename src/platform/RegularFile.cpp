#include "platform/RegularFile.h"

#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#endif

namespace orthaven {

namespace {

QString notRegular(const char* kind)
{
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(kind));
}

#ifndef _WIN32
QString problemOf(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return notRegular("a folder");
    if (S_ISFIFO(mode))
        return notRegular("a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return notRegular("a device");
    if (S_ISSOCK(mode))
        return notRegular("a socket");
    return QStringLiteral("it is not a regular file");
}

QString systemError()
{
    return QString::fromStdString(std::system_category().message(errno));
}

// Why path cannot be opened, in Qt's words ("No such file or directory" in every locale,
// where the system's text follows the user's language): Qt's own open fails the same way.
// Looked at once more first, so that not even a pipe made meanwhile is opened here.
QString openError(const QString& path)
{
    if (const QString problem = regularFileProblem(path); !problem.isEmpty())
        return problem;
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return probe.errorString();
    return QStringLiteral("it cannot be opened");
}
#endif

bool refuse(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

QString regularFileProblem(const QString& path)
{
#ifdef _WIN32
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return info.isDir() ? notRegular("a folder") : QStringLiteral("it is not a regular file");
#else
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return problemOf(status.st_mode);
#endif
}

bool openRegularFile(QFile& file, QIODevice::OpenMode mode, QString* why)
{
    const QString path = file.fileName();
    if (const QString problem = regularFileProblem(path); !problem.isEmpty())
        return refuse(why, problem);
#ifdef _WIN32
    if (!file.open(mode))
        return refuse(why, file.errorString());
    return true;
#else
    // Not blocking even if the path became a pipe since it was looked at; the kind of what
    // was opened is checked again on the open file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(why, openError(path));
    struct stat status;
    QString problem;
    if (::fstat(fd, &status) != 0) {
        problem = systemError();
    } else if (!problemOf(status.st_mode).isEmpty()) {
        problem = problemOf(status.st_mode);
    } else {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            problem = systemError();
    }
    if (!problem.isEmpty()) {
        ::close(fd);
        return refuse(why, problem);
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(why, file.errorString());
    }
    return true;
#endif
}

} // namespace orthaven
