#include "scan/riegl/PointStreamFile.h"

#include "diag/Diagnostics.h"
#include "platform/RegularFile.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>

namespace orthaven {

namespace {

std::uint32_t littleEndian32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

// The signature that opens Riegl's own RXP streams; they can only be read through the
// vendor's library.
bool looksLikeRxp(const QByteArray& start)
{
    return start.contains("RieglLMS");
}

} // namespace

PointStreamFile::Result PointStreamFile::open(const QString& path)
{
    printablePath = path.toStdString();
    file.setFileName(path);
    QString why;
    if (!openRegularFile(file, QIODevice::ReadOnly, &why)) {
        diag::error("Point stream ", printablePath, ": cannot open: ", why.toStdString());
        return CannotOpen;
    }
    const QByteArray header = file.read(64);
    if (header.size() < qsizetype(headerSize) || std::memcmp(header.data(), magic, 8) != 0) {
        if (looksLikeRxp(header)) {
            diag::error("Point stream ", printablePath,
                        ": a Riegl RXP stream, which only Riegl's scan library reads");
        } else {
            diag::error("Point stream ", printablePath,
                        ": not a point stream (no point-stream header)");
        }
        file.close();
        return NotAPointStream;
    }
    const std::uint32_t fileVersion = littleEndian32(header.data() + 8);
    const std::uint32_t size = littleEndian32(header.data() + 12);
    if (fileVersion != version) {
        diag::error("Point stream ", printablePath, ": version ", fileVersion, ", only version ",
                    version, " is read");
        file.close();
        return NotAPointStream;
    }
    if (size < headerSize || size > maxHeaderSize || !file.seek(size) || file.size() < size) {
        diag::error("Point stream ", printablePath, ": header size ", size,
                    " does not fit the file");
        file.close();
        return NotAPointStream;
    }
    inFrame = false;
    damaged = false;
    damageAfterThisRead = false;
    frameIndex = -1;
    return Success;
}

PointStreamFile::Result PointStreamFile::fail(const std::string& why)
{
    damaged = true;
    diag::error("Point stream ", printablePath, ": ", why);
    return DamagedStream;
}

PointStreamFile::Result PointStreamFile::startFrame()
{
    char head[8];
    const qint64 position = file.pos();
    const qint64 n = file.read(head, 8);
    if (n == 0)
        return EndOfStream;
    ++frameIndex;
    if (n < 0)
        return fail("read error: " + file.errorString().toStdString());
    if (n < 8) {
        return fail("ends inside the header of frame " + std::to_string(frameIndex) + " at byte " +
                    std::to_string(position));
    }
    if (std::memcmp(head, frameTag, 4) != 0) {
        return fail("no frame tag at byte " + std::to_string(position) + " (frame " +
                    std::to_string(frameIndex) + ")");
    }
    frameSize = littleEndian32(head + 4);
    frameLeft = frameSize;
    inFrame = true;
    return Success;
}

PointStreamFile::Result PointStreamFile::read(std::uint32_t want, ScanifcPoint* points,
                                              std::uint32_t& got, bool& endOfFrame)
{
    got = 0;
    endOfFrame = false;
    if (!file.isOpen() || !points)
        return InvalidCall;
    if (damageAfterThisRead) {
        damageAfterThisRead = false;
        return fail(damage);
    }
    if (damaged)
        return DamagedStream;
    if (!inFrame) {
        const Result started = startFrame();
        if (started != Success)
            return started;
    }

    const std::uint32_t wanted = std::min(want, frameLeft);
    bytes.resize(std::size_t(wanted) * recordSize);
    const qint64 n = wanted > 0 ? file.read(bytes.data(), qint64(bytes.size())) : 0;
    if (n < 0)
        return fail("read error: " + file.errorString().toStdString());
    const std::uint32_t complete = std::uint32_t(n / recordSize);
    for (std::uint32_t k = 0; k < complete; ++k) {
        const char* record = bytes.data() + std::size_t(k) * recordSize;
        points[k].x = std::bit_cast<float>(littleEndian32(record));
        points[k].y = std::bit_cast<float>(littleEndian32(record + 4));
        points[k].z = std::bit_cast<float>(littleEndian32(record + 8));
    }
    frameLeft -= complete;
    got = complete;

    if (complete < wanted) {
        // The file ends inside the frame: the whole records before the cut are good
        // points; the call after them reports the damage.
        damage = "ends inside frame " + std::to_string(frameIndex) + " after " +
                 std::to_string(frameSize - frameLeft) + " of " + std::to_string(frameSize) +
                 " points";
        if (complete == 0)
            return fail(damage);
        damageAfterThisRead = true;
        return Success;
    }
    if (frameLeft == 0) {
        endOfFrame = true;
        inFrame = false;
    }
    return Success;
}

} // namespace orthaven
