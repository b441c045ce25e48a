#pragma once
// Reads a text file line by line through one large buffer: the hot path of the PTX
// reader, where files run to gigabytes and a stream per line would dominate the time.

#include <QFile>
#include <QString>

#include <cstddef>
#include <memory>
#include <string_view>

namespace orthaven {

class TextLineReader
{
public:
    enum class LineStatus
    {
        Line,     // a line, without its '\n'
        Overlong, // a line longer than the buffer: consumed, its text is not handed out
        End       // no bytes left
    };

    // The buffer also bounds the longest line handed out.
    static constexpr std::size_t defaultBufferSize = std::size_t(4) << 20;

    explicit TextLineReader(std::size_t bufferSize = defaultBufferSize);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // Opens a regular file only (see platform/RegularFile.h); openError() says why not.
    bool open(const QString& path);
    const QString& openError() const { return problem; }
    void close();
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return openedPath; }
    qint64 fileSize() const { return file.isOpen() ? file.size() : 0; }

    // Positions the reader at a byte offset; false when the file refuses the seek.
    bool seek(qint64 offset);
    // Byte offset of the first byte not yet consumed.
    qint64 offset() const { return bufferStart + qint64(pos); }

    // The next line, without its '\n' (a '\r' before it stays part of the line). A last
    // line without '\n' is a line too. The view is valid until the next call.
    LineStatus nextLine(std::string_view& line);

    // Consumes up to count lines without looking at them; returns how many there were.
    qint64 skipLines(qint64 count);

    // Consumes blanks, tabs and line ends; true when something else follows.
    bool skipWhitespace();

    // True when no byte is left to read (reads ahead, consumes nothing).
    bool atEnd();

    // True once a read of the file failed (as opposed to reaching its end).
    bool readFailed() const { return failed; }

private:
    // Reads more of the file behind the unconsumed bytes; false when nothing came.
    bool refill();

    QFile file;
    QString openedPath; // QFile forgets the name of a file it opens from a handle
    std::unique_ptr<char[]> buffer;
    std::size_t capacity;
    std::size_t pos = 0;  // first unconsumed byte in buffer
    std::size_t fill = 0; // bytes of buffer holding file data
    static constexpr std::size_t firstReadSize = 64 << 10;
    std::size_t readSize = firstReadSize; // bytes the next read asks for
    qint64 bufferStart = 0;
    bool endOfFile = false;
    bool failed = false;
    QString problem;
};

} // namespace orthaven
