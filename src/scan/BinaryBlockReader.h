#pragma once
// Reads byte ranges of a binary file through one buffer, so that ranges lying one after
// the other (the columns of a PTG scan) cost one system call per block, not one per range.

#include <QFile>
#include <QString>

#include <cstddef>
#include <memory>

namespace orthaven {

class BinaryBlockReader
{
public:
    static constexpr std::size_t defaultBlockSize = std::size_t(4) << 20;

    // blockSize is the most bytes one call of bytes() may ask for, and what is read ahead.
    explicit BinaryBlockReader(std::size_t blockSize = defaultBlockSize);
    ~BinaryBlockReader();
    BinaryBlockReader(const BinaryBlockReader&) = delete;
    BinaryBlockReader& operator=(const BinaryBlockReader&) = delete;

    // Opens a regular file only (see platform/RegularFile.h); openError() says why not.
    bool open(const QString& path);
    const QString& openError() const { return problem; }
    void close();
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return openedPath; }
    // The size of the file when it was opened.
    qint64 size() const { return fileSize; }
    std::size_t blockSize() const { return capacity; }

    // True when [offset, offset + length) lies within the file.
    bool holds(qint64 offset, qint64 length) const;
    // The bytes [offset, offset + length) of the file, valid until the next call; null when
    // the file does not hold them all, length exceeds blockSize(), or the read fails.
    const char* bytes(qint64 offset, qint64 length);

    // True once a read of the file failed or came back shorter than the file's size said.
    bool readFailed() const { return failed; }

private:
    QFile file;
    QString openedPath; // QFile forgets the name of a file it opens from a handle
    std::unique_ptr<char[]> buffer;
    std::size_t capacity;
    qint64 fileSize = 0;
    qint64 bufferStart = 0;
    qint64 fill = 0; // bytes of buffer holding file data from bufferStart on
    bool failed = false;
    QString problem;
};

} // namespace orthaven
