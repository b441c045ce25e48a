#pragma once
// A file the scan writers fill through one large buffer and make complete on disk only at
// the end: until commit() nothing of it exists under its name, so a failed or abandoned
// write leaves no half file behind.

#include <QSaveFile>
#include <QString>

#include <memory>
#include <string>

namespace orthaven::genscan {

class BufferedFile
{
public:
    // Starts a new file at path; a file still open is dropped without being written.
    bool open(const QString& path);
    bool isOpen() const { return file != nullptr; }
    QString fileName() const { return path; }

    // The bytes not yet handed to the file; the writers append to it directly.
    std::string data;
    // Offset in the file at which data ends.
    qint64 position() const { return flushed + qint64(data.size()); }

    // Hands data to the file once it holds a megabyte, or whenever always is set.
    bool flush(bool always = false);
    // Writes bytes over a part of the file that was flushed earlier, then carries on at
    // its end (tables whose values are known only at the end).
    bool overwrite(qint64 offset, const std::string& bytes);
    // Flushes and makes the file complete on disk; the file is closed either way.
    bool commit();
    // Closes the file without writing it: it does not appear.
    void discard();

    // "Cannot create …" or "Cannot write …" with the reason.
    QString errorText() const;

private:
    bool failed(const char* what);

    std::unique_ptr<QSaveFile> file;
    QString path;
    qint64 flushed = 0;
    QString error;
};

// Writes a small file in one go, the same way; false with the reason in error.
bool writeWholeFile(const QString& path, const std::string& bytes, QString& error);

} // namespace orthaven::genscan
