#include "scan/las/LasHeader.h"

#include "scan/e57/Endian.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace orthaven::las {

namespace {

using e57::loadLittleEndian;

// The header as version 1.0 to 1.2 have it; 1.3 adds the waveform start, 1.4 the extended
// variable length records and the 64-bit point counts.
constexpr int baseHeaderSize = 227;
constexpr int headerSize13 = 235;
constexpr int headerSize14 = 375;
// A variable length record's own header.
constexpr int vlrHeaderSize = 54;

// Formats 0 to 5 share 20 bytes (point source ID at 18, withheld as bit 7 of the
// classification); 6 to 10 share 30 (point source ID at 20, withheld in the flags byte).
constexpr PointLayout layouts[] = {
    {20, 18, 15, 0x80, -1}, // 0
    {28, 18, 15, 0x80, -1}, // 1: GPS time
    {26, 18, 15, 0x80, 20}, // 2: colour
    {34, 18, 15, 0x80, 28}, // 3: GPS time, colour
    {57, 18, 15, 0x80, -1}, // 4: 1 with a wave packet
    {63, 18, 15, 0x80, 28}, // 5: 3 with a wave packet
    {30, 20, 15, 0x04, -1}, // 6
    {36, 20, 15, 0x04, 30}, // 7: colour
    {38, 20, 15, 0x04, 30}, // 8: colour, near infrared
    {59, 20, 15, 0x04, -1}, // 9: 6 with a wave packet
    {67, 20, 15, 0x04, 30}, // 10: 8 with a wave packet
};

std::string number(std::uint64_t value)
{
    return std::to_string(value);
}

// The shortest text that reads back as the value, whatever the locale.
std::string decimal(double value)
{
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

bool fail(std::string& problem, std::string text)
{
    problem = std::move(text);
    return false;
}

// Whether one of the variable length records between the header and the points is the
// one LASzip writes into a compressed file.
bool holdsLaszipRecord(BinaryBlockReader& file, const Header& header, std::uint32_t records)
{
    static constexpr char laszipUser[16] = "laszip encoded";
    std::uint64_t at = std::uint64_t(header.headerSize);
    for (std::uint32_t k = 0; k < records && at + vlrHeaderSize <= header.pointOffset; ++k) {
        const char* vlr = file.bytes(qint64(at), vlrHeaderSize);
        if (!vlr)
            return false;
        if (std::memcmp(vlr + 2, laszipUser, sizeof laszipUser) == 0 &&
            loadLittleEndian<std::uint16_t>(vlr + 18) == 22204)
            return true;
        at += vlrHeaderSize + loadLittleEndian<std::uint16_t>(vlr + 20);
    }
    return false;
}

} // namespace

const PointLayout* pointLayout(int format)
{
    return format >= 0 && format < int(std::size(layouts)) ? &layouts[format] : nullptr;
}

bool readHeader(BinaryBlockReader& file, Header& header, std::string& problem)
{
    header = Header();
    const qint64 size = file.size();
    const char* start = file.bytes(0, std::min<qint64>(size, headerSize14));
    if (!start && size > 0)
        return fail(problem, "cannot read the file");
    if (size < 4 || std::memcmp(start, "LASF", 4) != 0)
        return fail(problem, "not a LAS file: it does not start with \"LASF\"");
    if (size < baseHeaderSize)
        return fail(problem,
                    "cut short: the file ends inside its header, after " + number(size) + " bytes");

    header.versionMajor = static_cast<unsigned char>(start[24]);
    header.versionMinor = static_cast<unsigned char>(start[25]);
    const std::string version = number(std::uint64_t(header.versionMajor)) + "." +
                                number(std::uint64_t(header.versionMinor));
    if (header.versionMajor != 1 || header.versionMinor > 4)
        return fail(problem, "format version " + version + " (1.0 to 1.4 are read)");
    header.headerSize = loadLittleEndian<std::uint16_t>(start + 94);
    const int needed = header.versionMinor == 4   ? headerSize14
                       : header.versionMinor == 3 ? headerSize13
                                                  : baseHeaderSize;
    if (header.headerSize < needed)
        return fail(problem, "a header of " + number(std::uint64_t(header.headerSize)) +
                                 " bytes, fewer than the " + number(std::uint64_t(needed)) +
                                 " of version " + version);
    if (header.headerSize > size)
        return fail(problem, "cut short: a header of " + number(std::uint64_t(header.headerSize)) +
                                 " bytes in a file of " + number(std::uint64_t(size)));

    // LASzip keeps the header as it was and sets the top bit of the point format (older
    // versions the next one too).
    const int formatByte = static_cast<unsigned char>(start[104]);
    header.pointOffset = loadLittleEndian<std::uint32_t>(start + 96);
    if (formatByte & 0xC0) {
        header.compressed = true;
        return true;
    }
    if (header.pointOffset < std::uint64_t(header.headerSize) ||
        header.pointOffset > std::uint64_t(size))
        return fail(problem, "the point records start at byte " + number(header.pointOffset) +
                                 ", outside the file's " + number(std::uint64_t(size)) +
                                 " bytes after its header of " +
                                 number(std::uint64_t(header.headerSize)));
    const std::uint32_t vlrCount = loadLittleEndian<std::uint32_t>(start + 100);
    // The record bytes are reused by the next read: copy what is still needed first.
    char fields[headerSize14];
    std::memcpy(fields, start, std::size_t(needed));
    if (holdsLaszipRecord(file, header, vlrCount)) {
        header.compressed = true;
        return true;
    }

    header.pointFormat = formatByte;
    const PointLayout* layout = pointLayout(header.pointFormat);
    if (!layout)
        return fail(problem, "point format " + number(std::uint64_t(header.pointFormat)) +
                                 " (formats 0 to 10 are read)");
    header.recordLength = loadLittleEndian<std::uint16_t>(fields + 105);
    if (header.recordLength < layout->minimumLength)
        return fail(problem, "point records of " + number(std::uint64_t(header.recordLength)) +
                                 " bytes, fewer than the " +
                                 number(std::uint64_t(layout->minimumLength)) +
                                 " of point format " + number(std::uint64_t(header.pointFormat)));

    static constexpr char axes[] = "xyz";
    for (int a = 0; a < 3; ++a) {
        header.scale[std::size_t(a)] = loadLittleEndian<double>(fields + 131 + 8 * a);
        header.offset[std::size_t(a)] = loadLittleEndian<double>(fields + 155 + 8 * a);
        const double scale = header.scale[std::size_t(a)];
        const double offset = header.offset[std::size_t(a)];
        if (!std::isfinite(scale) || scale == 0.0)
            return fail(problem, std::string("the ") + axes[a] + " scale factor " + decimal(scale) +
                                     " is not a finite number other than 0");
        if (!std::isfinite(offset))
            return fail(problem, std::string("the ") + axes[a] + " offset " + decimal(offset) +
                                     " is not a finite number");
    }

    // Version 1.4 counts in 64 bits; the 32-bit count is 0 there when the points do not
    // fit it or use formats 6 to 10.
    const std::uint64_t legacy = loadLittleEndian<std::uint32_t>(fields + 107);
    const std::uint64_t extended =
        header.versionMinor >= 4 ? loadLittleEndian<std::uint64_t>(fields + 247) : 0;
    header.pointCount = extended != 0 ? extended : legacy;
    const std::uint64_t room =
        (std::uint64_t(size) - header.pointOffset) / std::uint64_t(header.recordLength);
    if (header.pointCount > room)
        return fail(problem, "the header promises " + number(header.pointCount) + " points of " +
                                 number(std::uint64_t(header.recordLength)) + " bytes from byte " +
                                 number(header.pointOffset) + ", the file holds " + number(room) +
                                 " of them");
    return true;
}

} // namespace orthaven::las
