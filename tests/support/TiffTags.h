#pragma once
// What a TIFF file says of itself, read from its bytes (the image reader does not tell).

#include <QByteArray>
#include <QtEndian>

namespace orthaven::test {

// The Compression tag (259) of the first directory of a TIFF file, -1 when absent.
inline int tiffCompression(const QByteArray& file)
{
    if (file.size() < 8)
        return -1;
    const bool little = file.startsWith("II");
    const auto u16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(file.constData() + at)
                      : qFromBigEndian<quint16>(file.constData() + at);
    };
    const auto u32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(file.constData() + at)
                      : qFromBigEndian<quint32>(file.constData() + at);
    };
    const qsizetype ifd = u32(4);
    if (ifd + 2 > file.size())
        return -1;
    const int entries = u16(ifd);
    for (int i = 0; i < entries; ++i) {
        const qsizetype at = ifd + 2 + 12 * i;
        if (at + 12 > file.size())
            return -1;
        if (u16(at) == 259)
            return u16(at + 8);
    }
    return -1;
}

} // namespace orthaven::test
