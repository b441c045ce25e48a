#include "scan/e57/CompressedVector.h"

#include "scan/e57/Bitpack.h"
#include "scan/e57/Endian.h"
#include "scan/e57/PagedFile.h"

#include <algorithm>
#include <cstring>

namespace orthaven::e57 {

namespace {

constexpr std::uint64_t sectionHeaderSize = 32;
constexpr std::uint8_t compressedVectorSectionId = 1;
enum PacketType : std::uint8_t
{
    IndexPacket = 0,
    DataPacket = 1,
    EmptyPacket = 2
};
constexpr std::uint64_t dataHeaderSize = 6;
constexpr std::uint64_t otherHeaderSize = 4;
// Writers keep the bytestreams of a vector in step, a packet or two apart. Bytes of one
// field waiting for another beyond this mean damage; they are not held in memory.
constexpr std::uint64_t maxPendingBytes = std::uint64_t(64) << 20;

std::string number(std::uint64_t value)
{
    return std::to_string(value);
}

} // namespace

bool checkSection(PagedFile& file, const PointSet& points, SectionBounds& bounds,
                  std::string& error)
{
    const std::string at = " at byte " + number(points.fileOffset);
    if (!file.isDataOffset(points.fileOffset)) {
        error = "the binary section of scan points" + at + " does not lie within the file";
        return false;
    }
    const std::uint64_t start = file.logicalOffset(points.fileOffset);
    unsigned char header[sectionHeaderSize];
    if (!file.read(start, header, sectionHeaderSize)) {
        error = file.error();
        return false;
    }
    if (header[0] != compressedVectorSectionId) {
        error = "the binary section of scan points" + at +
                " is not a compressed vector section (its id is " + number(header[0]) + ")";
        return false;
    }
    const std::uint64_t length = loadLittleEndian<std::uint64_t>(header + 8);
    const std::uint64_t dataPhysical = loadLittleEndian<std::uint64_t>(header + 16);
    if (length < sectionHeaderSize || length > file.logicalLength() - start) {
        error = "the compressed vector section" + at + " claims " + number(length) +
                " bytes, which the file does not hold";
        return false;
    }
    const std::uint64_t end = start + length;
    const std::uint64_t dataStart =
        file.isDataOffset(dataPhysical) ? file.logicalOffset(dataPhysical) : 0;
    if (dataStart < start + sectionHeaderSize || dataStart > end) {
        error = "the compressed vector section" + at + " has its data at byte " +
                number(dataPhysical) + ", outside the section";
        return false;
    }
    // Every record takes at least one bit: a count the section cannot hold is damage, and
    // nothing is sized by it.
    const std::uint64_t bits = std::uint64_t(std::max<std::int64_t>(points.bitsPerRecord(), 1));
    if (std::uint64_t(points.recordCount) > (end - dataStart) * 8 / bits) {
        error = "scan points of " + number(std::uint64_t(points.recordCount)) +
                " records, more than the compressed vector section" + at + " of " + number(length) +
                " bytes can hold";
        return false;
    }
    // The first data packet must carry one bytestream per field of the prototype: a file
    // whose XML section and binary sections disagree is refused when it is listed. (Index
    // and empty packets before it are passed over, a few at most.)
    std::uint64_t packet = dataStart;
    for (int packets = 0; points.recordCount > 0; ++packets) {
        unsigned char head[dataHeaderSize];
        if (packets == 64 || packet + dataHeaderSize > end) {
            error = "the compressed vector section" + at + " holds no data packet for its " +
                    number(std::uint64_t(points.recordCount)) + " records";
            return false;
        }
        if (!file.read(packet, head, dataHeaderSize)) {
            error = file.error();
            return false;
        }
        if (head[0] == IndexPacket || head[0] == EmptyPacket) {
            packet += std::uint64_t(loadLittleEndian<std::uint16_t>(head + 2)) + 1;
            continue;
        }
        if (head[0] != DataPacket) {
            error = "a packet of unknown type " + number(head[0]) + " at byte " +
                    number(file.physicalOffset(packet));
            return false;
        }
        const std::uint64_t count = loadLittleEndian<std::uint16_t>(head + 4);
        if (count != points.fields.size()) {
            error = "the data packet at byte " + number(file.physicalOffset(packet)) + " holds " +
                    number(count) +
                    " bytestreams where the point prototype of the XML section has " +
                    number(points.fields.size()) + " fields";
            return false;
        }
        break;
    }
    bounds.start = start;
    bounds.end = end;
    bounds.dataStart = dataStart;
    return true;
}

bool CompressedVectorReader::fail(std::string text)
{
    problem = std::move(text);
    return false;
}

bool CompressedVectorReader::open(PagedFile& paged, const PointSet& points,
                                  const std::vector<int>& wanted)
{
    file = &paged;
    set = &points;
    problem.clear();
    streams.clear();
    streamOf.assign(points.fields.size(), -1);
    if (!checkSection(paged, points, bounds, problem))
        return false;
    cursor = bounds.dataStart;
    streams.resize(wanted.size());
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        const int index = wanted[k];
        if (index < 0 || std::size_t(index) >= points.fields.size())
            return fail("no point field " + std::to_string(index));
        streams[k].field = &points.fields[std::size_t(index)];
        streamOf[std::size_t(index)] = int(k);
    }
    return true;
}

bool CompressedVectorReader::readPacket()
{
    const std::string at = " at byte " + number(file->physicalOffset(cursor));
    if (cursor + otherHeaderSize > bounds.end)
        return fail("the compressed vector section ends before all " +
                    number(std::uint64_t(set->recordCount)) + " records of its scan points");
    unsigned char head[dataHeaderSize];
    if (!file->read(cursor, head, otherHeaderSize))
        return fail(file->error());
    const std::uint64_t length = std::uint64_t(loadLittleEndian<std::uint16_t>(head + 2)) + 1;
    if (length > bounds.end - cursor)
        return fail("the packet" + at + " runs past the end of its section");

    if (head[0] == IndexPacket || head[0] == EmptyPacket) {
        // Passed over, their pages checked all the same.
        if (!file->read(cursor + otherHeaderSize, nullptr, length - otherHeaderSize))
            return fail(file->error());
        cursor += length;
        return true;
    }
    if (head[0] != DataPacket)
        return fail("a packet of unknown type " + number(head[0]) + at);

    if (length < dataHeaderSize)
        return fail("the data packet" + at + " is too short for its header");
    if (!file->read(cursor + otherHeaderSize, head + otherHeaderSize,
                    dataHeaderSize - otherHeaderSize))
        return fail(file->error());
    const std::uint64_t count = loadLittleEndian<std::uint16_t>(head + 4);
    if (count != set->fields.size())
        return fail("the data packet" + at + " holds " + number(count) +
                    " bytestreams where the point prototype of the XML section has " +
                    number(set->fields.size()) + " fields");
    if (dataHeaderSize + 2 * count > length)
        return fail("the data packet" + at + " is too short for its bytestream lengths");
    std::vector<unsigned char> table(std::size_t(2 * count));
    if (count > 0 && !file->read(cursor + dataHeaderSize, table.data(), 2 * count))
        return fail(file->error());
    std::uint64_t offset = cursor + dataHeaderSize + 2 * count;
    const std::uint64_t packetEnd = cursor + length;
    for (std::size_t f = 0; f < count; ++f) {
        const std::uint64_t size = loadLittleEndian<std::uint16_t>(table.data() + 2 * f);
        if (size > packetEnd - offset)
            return fail("the bytestreams of the data packet" + at + " overrun it");
        const int k = streamOf[f];
        if (k < 0) {
            if (!file->read(offset, nullptr, size))
                return fail(file->error());
        } else {
            Stream& s = streams[std::size_t(k)];
            if (s.end - s.begin + size > maxPendingBytes)
                return fail("the bytestreams of the data packet" + at +
                            " lie too far apart to be read");
            if (s.begin > 0 && s.begin >= s.bytes.size() / 2) {
                // Pending bytes move to the front before the buffer grows.
                std::memmove(s.bytes.data(), s.bytes.data() + s.begin, s.end - s.begin);
                s.end -= s.begin;
                s.begin = 0;
            }
            const std::size_t need = s.end + std::size_t(size) + unpackSlack;
            if (s.bytes.size() < need)
                s.bytes.resize(std::max(need, s.bytes.size() * 2));
            if (!file->read(offset, s.bytes.data() + s.end, size))
                return fail(file->error());
            s.end += std::size_t(size);
            std::fill_n(s.bytes.data() + s.end, unpackSlack, 0); // what unpackBits may load
        }
        offset += size;
    }
    // Padding up to the packet's end.
    if (!file->read(offset, nullptr, packetEnd - offset))
        return fail(file->error());
    cursor = packetEnd;
    return true;
}

bool CompressedVectorReader::ensure(Stream& s, std::uint64_t bytes)
{
    while (s.end - s.begin < bytes) {
        if (!readPacket())
            return false;
    }
    return true;
}

void CompressedVectorReader::consume(Stream& s, std::uint64_t bits)
{
    const std::uint64_t total = s.bitOffset + bits;
    s.begin += std::size_t(total / 8);
    s.bitOffset = unsigned(total % 8);
}

bool CompressedVectorReader::unpack(Stream& s, std::size_t count)
{
    const int width = s.field->bits();
    const std::uint64_t bits = std::uint64_t(width) * count;
    if (!ensure(s, (s.bitOffset + bits + 7) / 8))
        return false;
    raw.resize(count);
    unpackBits(s.bytes.data() + s.begin, s.bitOffset, width, count, raw.data());
    consume(s, bits);
    return true;
}

namespace {

// Writes convert(i) for every i, or with keep only those whose keep byte is 1, packed;
// without a branch per value.
template <class Convert>
std::size_t store(std::size_t count, double* out, const unsigned char* keep, Convert convert)
{
    if (!keep) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = convert(i);
        return count;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[n] = convert(i);
        n += keep[i];
    }
    return n;
}

} // namespace

bool CompressedVectorReader::readDoubles(std::size_t k, std::size_t count, double* out,
                                         const unsigned char* keep, std::size_t* kept)
{
    Stream& s = streams[k];
    const Field& field = *s.field;
    if (s.valuesRead + count > std::uint64_t(set->recordCount))
        return fail("more values asked for than the scan points have");
    std::size_t n = 0;
    if (field.type == FieldType::Float) {
        const std::size_t size = field.singlePrecision ? 4 : 8;
        if (!ensure(s, std::uint64_t(count) * size))
            return false;
        const unsigned char* p = s.bytes.data() + s.begin;
        if (field.singlePrecision) {
            n = store(count, out, keep,
                      [p](std::size_t i) { return double(loadLittleEndian<float>(p + 4 * i)); });
        } else {
            n = store(count, out, keep,
                      [p](std::size_t i) { return loadLittleEndian<double>(p + 8 * i); });
        }
        s.begin += count * size;
    } else {
        if (!unpack(s, count))
            return false;
        const std::uint64_t minimum = std::uint64_t(field.minimum);
        const std::uint64_t* values = raw.data();
        if (field.type == FieldType::Integer) {
            n = store(count, out, keep, [values, minimum](std::size_t i) {
                return double(std::int64_t(minimum + values[i]));
            });
        } else {
            const double scale = field.scale;
            const double offset = field.offset;
            n = store(count, out, keep, [values, minimum, scale, offset](std::size_t i) {
                return double(std::int64_t(minimum + values[i])) * scale + offset;
            });
        }
    }
    s.valuesRead += count;
    if (kept)
        *kept = n;
    return true;
}

bool CompressedVectorReader::require(std::size_t k, std::size_t count)
{
    Stream& s = streams[k];
    if (s.valuesRead + count > std::uint64_t(set->recordCount))
        return fail("more values asked for than the scan points have");
    return ensure(s, (s.bitOffset + std::uint64_t(s.field->bits()) * count + 7) / 8);
}

const unsigned char* CompressedVectorReader::values(std::size_t k, unsigned& bitOffset) const
{
    const Stream& s = streams[k];
    bitOffset = s.bitOffset;
    return s.bytes.data() + s.begin;
}

void CompressedVectorReader::skip(std::size_t k, std::size_t count)
{
    Stream& s = streams[k];
    consume(s, std::uint64_t(s.field->bits()) * count);
    s.valuesRead += count;
}

bool CompressedVectorReader::readZeros(std::size_t k, std::size_t count, unsigned char* keep)
{
    Stream& s = streams[k];
    if (s.field->type != FieldType::Integer)
        return fail("point field <" + s.field->name.toStdString() + "> is not an Integer");
    if (s.valuesRead + count > std::uint64_t(set->recordCount))
        return fail("more values asked for than the scan points have");
    if (!unpack(s, count))
        return false;
    // value = minimum + raw is 0 where raw is -minimum.
    const std::uint64_t zero = std::uint64_t(0) - std::uint64_t(s.field->minimum);
    for (std::size_t i = 0; i < count; ++i)
        keep[i] = static_cast<unsigned char>(raw[i] == zero);
    s.valuesRead += count;
    return true;
}

} // namespace orthaven::e57
