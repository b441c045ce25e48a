#include "platform/DurableFile.h"

#include "platform/FileReplace.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orthaven {

namespace {

constexpr qint64 bufferSize = qint64(1) << 16;

} // namespace

QString diskFullText()
{
#ifdef _WIN32
    return qt_error_string(ERROR_DISK_FULL);
#else
    return qt_error_string(ENOSPC);
#endif
}

DurableFile::DurableFile(QString path, QString kind) : target(std::move(path))
{
    const QByteArray faults = qgetenv("ORTHAVEN_TEST_WRITE_FAULT");
    for (const QByteArray& item : faults.split(',')) {
        const int colon = item.indexOf(':');
        if (colon < 0 || QString::fromLatin1(item.left(colon)) != kind)
            continue;
        const QByteArray step = item.mid(colon + 1);
        if (step == "last")
            fault.lastWrite = true;
        else if (step == "sync")
            fault.sync = true;
        else
            fault.write = step.toInt();
    }
}

DurableFile::~DurableFile()
{
    if (isOpen())
        QIODevice::close();
    part.close();
    if (!done && !part.fileName().isEmpty())
        QFile::remove(part.fileName());
}

bool DurableFile::open(OpenMode mode)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        part.setFileName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                         QStringLiteral(".part-") +
                         QString::number(QRandomGenerator::global()->generate(), 36));
        if (part.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return QIODevice::open(mode);
        if (!part.exists())
            break; // no clash of names: the folder takes no file
    }
    const QString why = part.errorString();
    part.setFileName({});
    return fail(why);
}

qint64 DurableFile::writeData(const char* data, qint64 size)
{
    if (!failed.isEmpty())
        return -1;
    buffer.append(data, size);
    if (buffer.size() >= bufferSize && !flushBuffer(false))
        return -1;
    return size;
}

qint64 DurableFile::readData(char*, qint64)
{
    return -1;
}

bool DurableFile::seek(qint64 position)
{
    if (!flushBuffer(false))
        return false;
    if (!part.seek(position))
        return fail(part.errorString());
    bufferStart = position;
    return QIODevice::seek(position);
}

qint64 DurableFile::size() const
{
    return std::max(part.size(), bufferStart + buffer.size());
}

bool DurableFile::flushBuffer(bool last)
{
    if (!failed.isEmpty())
        return false;
    if (buffer.isEmpty() && !last)
        return true;
    ++writes;
    if ((last && fault.lastWrite) || writes == fault.write)
        return fail(diskFullText());
    // A write the disk takes only in part is written on: the next one says why it stops.
    for (qint64 written = 0; written < buffer.size();) {
        const qint64 n = part.write(buffer.constData() + written, buffer.size() - written);
        if (n <= 0)
            return fail(part.errorString());
        written += n;
    }
    bufferStart += buffer.size();
    buffer.clear();
    return true;
}

bool DurableFile::syncPart()
{
    if (fault.sync)
        return fail(diskFullText());
#ifdef _WIN32
    if (!FlushFileBuffers(HANDLE(_get_osfhandle(part.handle()))))
        return fail(qt_error_string(int(GetLastError())));
#else
    int result = 0;
    do {
        result = ::fsync(part.handle());
    } while (result == -1 && errno == EINTR);
    if (result != 0)
        return fail(qt_error_string(errno));
#endif
    return true;
}

bool DurableFile::finish()
{
    if (!isOpen())
        return fail(failed.isEmpty() ? QStringLiteral("not open") : failed);
    bool written = flushBuffer(true) && syncPart();
    QIODevice::close();
    part.close();
    if (written && part.error() != QFileDevice::NoError)
        written = fail(part.errorString()); // some file systems report at the close
    QString why;
    if (written && !replaceFile(part.fileName(), target, &why))
        written = fail(why);
    if (!written)
        return false;
    done = true;
    return true;
}

bool DurableFile::fail(const QString& why)
{
    if (failed.isEmpty())
        failed = why;
    setErrorString(failed);
    return false;
}

bool writeFileDurably(const QString& path, const QByteArray& bytes, const QString& kind, bool text,
                      QString* failure)
{
    DurableFile file(path, kind);
    const QIODevice::OpenMode mode =
        text ? QIODevice::WriteOnly | QIODevice::Text : QIODevice::WriteOnly;
    const bool written = file.open(mode) && file.write(bytes) == bytes.size() && file.finish();
    if (!written && failure)
        *failure = file.failure();
    return written;
}

bool syncFolder(const QString& folder, QString* failure)
{
#ifdef _WIN32
    // Folders cannot be flushed there; the moves are written through (replaceFile).
    Q_UNUSED(folder);
    Q_UNUSED(failure);
    return true;
#else
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        int result = 0;
        do {
            result = ::fsync(fd);
        } while (result == -1 && errno == EINTR);
        error = result == 0 ? 0 : errno;
        ::close(fd);
    }
    // EINVAL: a file system that keeps no folder to sync (some network ones).
    if (error == 0 || error == EINVAL)
        return true;
    if (failure)
        *failure = qt_error_string(error);
    return false;
#endif
}

} // namespace orthaven
