#include "scan/TextLineReader.h"

#include "platform/RegularFile.h"

#include <algorithm>
#include <cstring>

namespace orthaven {

namespace {

bool isBlankOrLineEnd(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

TextLineReader::TextLineReader(std::size_t bufferSize) : capacity(bufferSize < 16 ? 16 : bufferSize)
{
}

TextLineReader::~TextLineReader() = default;

bool TextLineReader::open(const QString& path)
{
    close();
    file.setFileName(path);
    openedPath = path;
    // Unbuffered: our own buffer is the only one, so no byte is copied twice.
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Unbuffered, &problem))
        return false;
    problem.clear();
    // Not zeroed: every byte handed out was read into it first.
    if (!buffer)
        buffer = std::make_unique_for_overwrite<char[]>(capacity);
    readSize = firstReadSize;
    return true;
}

void TextLineReader::close()
{
    if (file.isOpen())
        file.close();
    buffer.reset();
    pos = 0;
    fill = 0;
    bufferStart = 0;
    endOfFile = false;
    failed = false;
}

bool TextLineReader::seek(qint64 offset)
{
    if (!file.isOpen() || offset < 0)
        return false;
    // A position inside the bytes already buffered needs no system call (rewinds of
    // small scans, the header just indexed).
    if (offset >= bufferStart && offset <= bufferStart + qint64(fill)) {
        pos = std::size_t(offset - bufferStart);
        return true;
    }
    if (!file.seek(offset))
        return false;
    bufferStart = offset;
    pos = 0;
    fill = 0;
    endOfFile = false;
    readSize = firstReadSize;
    return true;
}

bool TextLineReader::refill()
{
    if (pos > 0) {
        std::memmove(buffer.get(), buffer.get() + pos, fill - pos);
        bufferStart += qint64(pos);
        fill -= pos;
        pos = 0;
    }
    if (fill == capacity || endOfFile)
        return false;
    // After an open or a seek the reads start small and double: a scan's header (of a file
    // of many small scans) costs what it holds, a long run of points a few large reads.
    const std::size_t want = std::min(capacity - fill, readSize);
    readSize = std::min(capacity, 2 * readSize);
    const qint64 n = file.read(buffer.get() + fill, qint64(want));
    if (n <= 0) {
        endOfFile = true;
        failed = failed || n < 0;
        return false;
    }
    fill += std::size_t(n);
    return true;
}

TextLineReader::LineStatus TextLineReader::nextLine(std::string_view& line)
{
    if (!file.isOpen())
        return LineStatus::End;
    std::size_t searched = pos; // bytes before this hold no '\n'
    for (;;) {
        const void* newline = std::memchr(buffer.get() + searched, '\n', fill - searched);
        if (newline) {
            const std::size_t end = std::size_t(static_cast<const char*>(newline) - buffer.get());
            line = std::string_view(buffer.get() + pos, end - pos);
            pos = end + 1;
            return LineStatus::Line;
        }
        searched = fill;
        const std::size_t shift = pos;
        if (refill()) {
            searched -= shift;
            continue;
        }
        if (fill == capacity)
            break; // the buffer holds one line that does not end within it
        // The file has ended: what is left is a last line without '\n'.
        if (pos < fill) {
            line = std::string_view(buffer.get() + pos, fill - pos);
            pos = fill;
            return LineStatus::Line;
        }
        return LineStatus::End;
    }

    // Drop the overlong line up to and including its '\n'.
    for (;;) {
        pos = fill;
        if (!refill())
            return LineStatus::Overlong;
        const void* newline = std::memchr(buffer.get(), '\n', fill);
        if (newline) {
            pos = std::size_t(static_cast<const char*>(newline) - buffer.get()) + 1;
            return LineStatus::Overlong;
        }
    }
}

qint64 TextLineReader::skipLines(qint64 count)
{
    if (!file.isOpen())
        return 0;
    qint64 done = 0;
    bool partial = false; // bytes of a line consumed whose '\n' is still to come
    while (done < count) {
        const char* p = buffer.get() + pos;
        const char* const end = buffer.get() + fill;
        while (done < count) {
            const void* newline = std::memchr(p, '\n', std::size_t(end - p));
            if (!newline)
                break;
            p = static_cast<const char*>(newline) + 1;
            ++done;
            partial = false;
        }
        pos = std::size_t(p - buffer.get());
        if (done == count)
            break;
        partial = partial || pos < fill;
        pos = fill;
        if (!refill()) {
            if (partial)
                ++done;
            break;
        }
    }
    return done;
}

bool TextLineReader::atEnd()
{
    if (!file.isOpen())
        return true;
    if (pos < fill)
        return false;
    return !refill();
}

bool TextLineReader::skipWhitespace()
{
    if (!file.isOpen())
        return false;
    for (;;) {
        while (pos < fill && isBlankOrLineEnd(buffer[pos]))
            ++pos;
        if (pos < fill)
            return true;
        if (!refill())
            return false;
    }
}

} // namespace orthaven
