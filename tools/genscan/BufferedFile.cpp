#include "genscan/BufferedFile.h"

namespace orthaven::genscan {

namespace {

constexpr std::size_t flushSize = std::size_t(1) << 20;

} // namespace

bool BufferedFile::open(const QString& filePath)
{
    discard();
    path = filePath;
    error.clear();
    file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        return failed("create");
    return true;
}

bool BufferedFile::failed(const char* what)
{
    if (error.isEmpty()) {
        error = QStringLiteral("Cannot %1 %2: %3")
                    .arg(QLatin1String(what), path,
                         file ? file->errorString() : QStringLiteral("the file is not open"));
    }
    if (file && !file->isOpen())
        file.reset();
    return false;
}

bool BufferedFile::flush(bool always)
{
    if (data.empty() || (!always && data.size() < flushSize))
        return true;
    if (!file)
        return failed("write");
    const qint64 written = file->write(data.data(), qint64(data.size()));
    if (written != qint64(data.size()))
        return failed("write");
    flushed += written;
    data.clear();
    return true;
}

bool BufferedFile::overwrite(qint64 offset, const std::string& bytes)
{
    if (!flush(true))
        return false;
    const bool ok = file && file->seek(offset) &&
                    file->write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) &&
                    file->seek(flushed);
    return ok || failed("write");
}

bool BufferedFile::commit()
{
    const bool ok = flush(true) && file && file->commit();
    if (!ok)
        failed("write");
    discard();
    return ok;
}

void BufferedFile::discard()
{
    file.reset(); // an uncommitted save file removes its temporary copy
    data.clear();
    flushed = 0;
}

QString BufferedFile::errorText() const
{
    return error.isEmpty() ? QStringLiteral("Cannot write %1").arg(path) : error;
}

bool writeWholeFile(const QString& path, const std::string& bytes, QString& error)
{
    BufferedFile out;
    if (out.open(path)) {
        out.data = bytes;
        if (out.commit())
            return true;
    }
    error = out.errorText();
    return false;
}

} // namespace orthaven::genscan
