#include "scan/BinaryBlockReader.h"

#include "platform/RegularFile.h"

#include <algorithm>

namespace orthaven {

BinaryBlockReader::BinaryBlockReader(std::size_t blockSize)
    : capacity(std::max<std::size_t>(blockSize, 64))
{
}

BinaryBlockReader::~BinaryBlockReader() = default;

bool BinaryBlockReader::open(const QString& path)
{
    close();
    file.setFileName(path);
    openedPath = path;
    // Unbuffered: our own buffer is the only one, so no byte is copied twice.
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Unbuffered, &problem))
        return false;
    problem.clear();
    fileSize = file.size();
    return true;
}

void BinaryBlockReader::close()
{
    if (file.isOpen())
        file.close();
    buffer.reset();
    fileSize = 0;
    bufferStart = 0;
    fill = 0;
    failed = false;
}

bool BinaryBlockReader::holds(qint64 offset, qint64 length) const
{
    return offset >= 0 && length >= 0 && offset <= fileSize && length <= fileSize - offset;
}

const char* BinaryBlockReader::bytes(qint64 offset, qint64 length)
{
    if (!file.isOpen() || !holds(offset, length) || length > qint64(capacity))
        return nullptr;
    if (offset >= bufferStart && offset + length <= bufferStart + fill)
        return buffer.get() + (offset - bufferStart);

    if (!buffer)
        buffer = std::make_unique<char[]>(capacity);
    fill = 0;
    bufferStart = offset;
    const qint64 wanted = std::min<qint64>(qint64(capacity), fileSize - offset);
    if (!file.seek(offset)) {
        failed = true;
        return nullptr;
    }
    while (fill < wanted) {
        const qint64 n = file.read(buffer.get() + fill, wanted - fill);
        if (n <= 0)
            break;
        fill += n;
    }
    if (fill < length) {
        // The file shrank since it was opened, or the system refused the read.
        failed = true;
        return nullptr;
    }
    return buffer.get();
}

} // namespace orthaven
