#include "E57TestFiles.h"

#include "scan/e57/Bitpack.h"
#include "scan/e57/Crc32c.h"
#include "scan/e57/Endian.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <string>

namespace orthaven::test {

namespace {

using e57::appendLittleEndian;

constexpr qint64 pageData = 1020;

// Shortest round-trip text, whatever the locale.
QByteArray number(double value)
{
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, end - text);
}

int bitsOf(const E57Field& f)
{
    if (f.type == "Float")
        return f.single ? 32 : 64;
    const quint64 range = quint64(f.maximum) - quint64(f.minimum);
    return range == 0 ? 0 : 64 - std::countl_zero(range);
}

std::string bytestream(const E57Field& f)
{
    std::string out;
    if (f.type == "Float") {
        for (double v : f.floats) {
            if (f.single)
                appendLittleEndian<float>(out, float(v));
            else
                appendLittleEndian<double>(out, v);
        }
        return out;
    }
    e57::BitPacker packer;
    for (qint64 v : f.integers)
        packer.put(out, quint64(v) - quint64(f.minimum), bitsOf(f));
    packer.flush(out);
    return out;
}

QByteArray fieldXml(const E57Field& f)
{
    QByteArray xml = "<" + f.name + " type=\"" + f.type + "\"";
    if (f.type == "Float") {
        if (f.single)
            xml += " precision=\"single\"";
    } else {
        xml += " minimum=\"" + QByteArray::number(f.minimum) + "\" maximum=\"" +
               QByteArray::number(f.maximum) + "\"";
        if (f.type == "ScaledInteger")
            xml += " scale=\"" + number(f.scale) + "\" offset=\"" + number(f.offset) + "\"";
    }
    return xml + "/>";
}

void align(std::string& data)
{
    while (data.size() % 4 != 0)
        data += '\0';
}

// A packet header of type 0 (index) or 2 (empty) with `length` bytes in all.
void appendOtherPacket(std::string& data, char type, std::size_t length)
{
    data += type;
    data += '\0';
    appendLittleEndian<quint16>(data, quint16(length - 1));
    data.append(length - 4, '\0');
}

} // namespace

E57Field E57Field::floating(const QByteArray& name, std::vector<double> values, bool single)
{
    E57Field f;
    f.name = name;
    f.single = single;
    f.floats = std::move(values);
    return f;
}

E57Field E57Field::integer(const QByteArray& name, qint64 minimum, qint64 maximum,
                           std::vector<qint64> values)
{
    E57Field f;
    f.name = name;
    f.type = "Integer";
    f.minimum = minimum;
    f.maximum = maximum;
    f.integers = std::move(values);
    return f;
}

qint64 e57Physical(qint64 logical)
{
    return logical / pageData * 1024 + logical % pageData;
}

void e57FixChecksums(QByteArray& bytes)
{
    for (qint64 page = 0; page + 1024 <= bytes.size(); page += 1024) {
        e57::storeBigEndian32(bytes.data() + page + pageData,
                              e57::crc32c(bytes.constData() + page, std::size_t(pageData)));
    }
}

E57Image e57File(const E57FilePlan& plan)
{
    E57Image image;
    std::string data(48, '\0'); // the file header, filled in below
    QByteArray scansXml;
    for (const E57ScanPlan& scan : plan.scans) {
        std::vector<std::string> streams;
        for (const E57Field& f : scan.fields)
            streams.push_back(bytestream(f));
        align(data);
        const qint64 start = qint64(data.size());
        image.sectionOffsets.push_back(e57Physical(start));
        data += char(1); // compressed vector section
        data.append(7, '\0');
        const std::size_t lengthAt = data.size();
        appendLittleEndian<quint64>(data, 0);
        appendLittleEndian<quint64>(data, quint64(e57Physical(start + 32)));
        appendLittleEndian<quint64>(data, 0);
        if (scan.indexAndEmptyPackets)
            appendOtherPacket(data, 2, 16);
        std::vector<std::size_t> done(streams.size(), 0);
        // A packet holds at most 64 KiB.
        const std::size_t perStream = std::min(std::size_t(scan.streamBytesPerPacket),
                                               (65536 - 6 - 3 - 2 * streams.size()) /
                                                   std::max<std::size_t>(streams.size(), 1));
        for (;;) {
            std::vector<std::size_t> take(streams.size());
            std::size_t total = 0;
            for (std::size_t k = 0; k < streams.size(); ++k) {
                take[k] = std::min(streams[k].size() - done[k], perStream);
                total += take[k];
            }
            if (total == 0)
                break;
            std::string packet;
            packet += char(1); // data packet
            packet += '\0';
            const std::size_t length = (6 + 2 * streams.size() + total + 3) / 4 * 4;
            appendLittleEndian<quint16>(packet, quint16(length - 1));
            appendLittleEndian<quint16>(packet, quint16(streams.size()));
            for (std::size_t t : take)
                appendLittleEndian<quint16>(packet, quint16(t));
            for (std::size_t k = 0; k < streams.size(); ++k) {
                packet += streams[k].substr(done[k], take[k]);
                done[k] += take[k];
            }
            packet.resize(length, '\0');
            data += packet;
        }
        if (scan.indexAndEmptyPackets)
            appendOtherPacket(data, 0, 32);
        e57::storeLittleEndian<quint64>(data.data() + lengthAt,
                                        quint64(qint64(data.size()) - start));

        QByteArray xml = "<vectorChild type=\"Structure\">";
        if (!scan.name.isEmpty())
            xml += "<name type=\"String\"><![CDATA[" + scan.name + "]]></name>";
        if (!scan.poseXml.isEmpty())
            xml += "<pose type=\"Structure\">" + scan.poseXml + "</pose>";
        xml += scan.moreXml;
        if (scan.withPoints) {
            qint64 records = scan.recordCount;
            if (records < 0 && !scan.fields.empty()) {
                const E57Field& f = scan.fields.front();
                records = qint64(f.type == "Float" ? f.floats.size() : f.integers.size());
            }
            xml += "<points type=\"CompressedVector\" fileOffset=\"" +
                   QByteArray::number(image.sectionOffsets.back()) + "\" recordCount=\"" +
                   QByteArray::number(std::max<qint64>(records, 0)) +
                   "\"><prototype type=\"Structure\">";
            for (const E57Field& f : scan.fields)
                xml += fieldXml(f);
            xml += "</prototype><codecs type=\"Vector\" allowHeterogeneousChildren=\"1\"/>"
                   "</points>";
        }
        scansXml += xml + "</vectorChild>\n";
    }
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<e57Root type=\"Structure\" "
                     "xmlns=\"http://www.astm.org/COMMIT/E57/2010-e57-v1.0\">\n"
                     "<formatName type=\"String\"><![CDATA[ASTM E57 3D Imaging Data "
                     "File]]></formatName>\n"
                     "<data3D type=\"Vector\" allowHeterogeneousChildren=\"1\">\n" +
                     scansXml +
                     "</data3D>\n"
                     "<images2D type=\"Vector\" allowHeterogeneousChildren=\"1\"/>\n"
                     "</e57Root>\n";
    if (plan.editXml)
        plan.editXml(xml);
    const qint64 xmlLogical = qint64(data.size());
    image.xmlOffset = e57Physical(xmlLogical);
    data.append(xml.constData(), std::size_t(xml.size()));

    const qint64 pages = (qint64(data.size()) + pageData - 1) / pageData;
    std::string header = "ASTM-E57";
    appendLittleEndian<quint32>(header, 1);
    appendLittleEndian<quint32>(header, 0);
    appendLittleEndian<quint64>(header, quint64(pages * 1024));
    appendLittleEndian<quint64>(header, quint64(image.xmlOffset));
    appendLittleEndian<quint64>(header, quint64(xml.size()));
    appendLittleEndian<quint64>(header, 1024);
    data.replace(0, header.size(), header);
    data.resize(std::size_t(pages * pageData), '\0');

    image.bytes.resize(pages * 1024);
    for (qint64 p = 0; p < pages; ++p)
        std::copy_n(data.data() + p * pageData, pageData, image.bytes.data() + p * 1024);
    e57FixChecksums(image.bytes);
    return image;
}

std::vector<E57Field> cartesianFields(const std::vector<cv::Vec3d>& points)
{
    std::vector<double> v[3];
    for (const cv::Vec3d& p : points) {
        for (int c = 0; c < 3; ++c)
            v[c].push_back(p[c]);
    }
    return {E57Field::floating("cartesianX", v[0]), E57Field::floating("cartesianY", v[1]),
            E57Field::floating("cartesianZ", v[2])};
}

QByteArray e57PoseXml(double w, double x, double y, double z, double tx, double ty, double tz)
{
    const auto value = [](const char* name, double v) {
        return "<" + QByteArray(name) + " type=\"Float\">" + number(v) + "</" + name + ">";
    };
    return "<rotation type=\"Structure\">" + value("w", w) + value("x", x) + value("y", y) +
           value("z", z) + "</rotation><translation type=\"Structure\">" + value("x", tx) +
           value("y", ty) + value("z", tz) + "</translation>";
}

} // namespace orthaven::test
