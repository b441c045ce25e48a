#include "genscan/E57Writer.h"

#include "scan/e57/Crc32c.h"
#include "scan/e57/Endian.h"
#include "scan/e57/PagedFile.h"
#include "scan/e57/Quaternion.h"
#include "scan/e57/XmlSection.h"

#include <QFileInfo>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orthaven::genscan {

namespace {

using orthaven::e57::appendLittleEndian;

constexpr std::uint64_t pageSize = 1024;
constexpr std::uint64_t pageData = pageSize - 4;
constexpr std::uint64_t sectionHeaderSize = 32;
constexpr std::uint64_t maxPacket = 65536;

QString text(double value)
{
    std::string s;
    appendNumber(s, value);
    return QString::fromStdString(s);
}

QString text(long long value)
{
    return QString::number(value);
}

// The quaternion of an axis and angle (the file shows 0, never -0).
std::array<double, 4> quaternion(const ScanInfo& info)
{
    const double s = std::sin(info.angle / 2);
    return {std::cos(info.angle / 2) + 0.0, info.axis[0] * s + 0.0, info.axis[1] * s + 0.0,
            info.axis[2] * s + 0.0};
}

} // namespace

bool E57Writer::failWith(const QString& message)
{
    if (error.isEmpty())
        error = message;
    failed = true;
    return false;
}

bool E57Writer::beginFile(const QString& path)
{
    error.clear();
    failed = false;
    inScan = false;
    page.clear();
    pagesDone = 0;
    retained.clear();
    scans.clear();
    if (!out.open(path)) {
        error = out.errorText();
        failed = true;
        return false;
    }
    // The file header comes first; its values are known at the end.
    retain(0, e57::PagedFile::headerSize);
    append(std::string(std::size_t(e57::PagedFile::headerSize), '\0'));
    return true;
}

std::uint64_t E57Writer::position() const
{
    return pagesDone * pageData + page.size();
}

std::uint64_t E57Writer::physical(std::uint64_t logical) const
{
    return logical / pageData * pageSize + logical % pageData;
}

void E57Writer::emitPage()
{
    page.resize(std::size_t(pageData), '\0');
    const auto found = retained.find(pagesDone);
    if (found != retained.end())
        found->second = page;
    char checksum[4];
    e57::storeBigEndian32(checksum, e57::crc32c(page.data(), page.size()));
    out.data += page;
    out.data.append(checksum, 4);
    ++pagesDone;
    page.clear();
}

void E57Writer::append(const char* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t take = std::min(size, std::size_t(pageData) - page.size());
        page.append(data, take);
        data += take;
        size -= take;
        if (page.size() == pageData)
            emitPage();
    }
}

void E57Writer::retain(std::uint64_t logical, std::size_t size)
{
    for (std::uint64_t p = logical / pageData; p <= (logical + size - 1) / pageData; ++p)
        retained.emplace(p, std::string());
}

bool E57Writer::patch(std::uint64_t logical, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t p = (logical + done) / pageData;
        const std::size_t within = std::size_t((logical + done) % pageData);
        const std::size_t take = std::min(bytes.size() - done, std::size_t(pageData) - within);
        if (p == pagesDone) {
            page.replace(within, take, bytes, done, take); // the page being filled
        } else {
            std::string& copy = retained.at(p);
            copy.replace(within, take, bytes, done, take);
            char checksum[4];
            e57::storeBigEndian32(checksum, e57::crc32c(copy.data(), copy.size()));
            if (!out.overwrite(qint64(p * pageSize), copy + std::string(checksum, 4)))
                return failWith(out.errorText());
        }
        done += take;
    }
    return true;
}

bool E57Writer::beginScan(const ScanInfo& info)
{
    if (!out.isOpen() || inScan || failed)
        return failWith(QStringLiteral("E57 writer used out of order"));
    // The reader makes the rotation from the quaternion: the pose must come back exactly.
    const std::array<double, 4> q = quaternion(info);
    std::array<double, 9> r;
    bool exact = e57::quaternionRotation(q[0], q[1], q[2], q[3], r) && info.pose[12] == 0.0 &&
                 info.pose[13] == 0.0 && info.pose[14] == 0.0 && info.pose[15] == 1.0;
    for (int row = 0; exact && row < 3; ++row)
        exact = std::memcmp(&info.pose[std::size_t(4 * row)], &r[std::size_t(3 * row)],
                            3 * sizeof(double)) == 0;
    if (!exact)
        return failWith(QStringLiteral("The pose of scan %1 is not exactly what its quaternion "
                                       "gives; an E57 file cannot hold it")
                            .arg(scans.size()));
    scan = info;
    columnsWritten = 0;
    inScan = true;

    // x, y, z, invalid state, row, column, then intensity and colour.
    const auto widthFor = [](long long maximum) {
        int bits = 0;
        while (bits < 63 && (1LL << bits) <= maximum)
            ++bits;
        return bits;
    };
    streams.assign(3, Stream());
    streams.push_back({{}, 0, 2, {}});
    streams.push_back({{}, 0, widthFor(info.pointsPerColumn - 1), {}});
    streams.push_back({{}, 0, widthFor(info.columns - 1), {}});
    if (info.intensity)
        streams.push_back(Stream());
    if (info.colour) {
        for (int c = 0; c < 3; ++c)
            streams.push_back({{}, 0, 8, {}});
    }

    // Sections start on a 4-byte boundary; the header is filled in at the end of the scan.
    while (position() % 4 != 0)
        append("", 1);
    sectionStart = position();
    retain(sectionStart, sectionHeaderSize);
    append(std::string(std::size_t(sectionHeaderSize), '\0'));
    return flushFile(out);
}

bool E57Writer::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || failed || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn))
        return failWith(QStringLiteral("E57 writer got a column that does not fit the scan"));
    for (std::size_t j = 0; j < points.size(); ++j) {
        const ScanPoint& p = points[j];
        // Exact: the scanner model rounds every coordinate to a float value.
        appendLittleEndian<float>(streams[0].bytes, static_cast<float>(p.x));
        appendLittleEndian<float>(streams[1].bytes, static_cast<float>(p.y));
        appendLittleEndian<float>(streams[2].bytes, static_cast<float>(p.z));
        // A missing return keeps its grid cell, marked as no point (2).
        streams[3].packer.put(streams[3].bytes, p.hit ? 0 : 2, 2);
        streams[4].packer.put(streams[4].bytes, j, streams[4].bits);
        streams[5].packer.put(streams[5].bytes, std::uint64_t(columnsWritten), streams[5].bits);
        std::size_t k = 6;
        if (scan.intensity)
            appendLittleEndian<float>(streams[k++].bytes, p.intensity);
        if (scan.colour) {
            for (const std::uint8_t value : {p.red, p.green, p.blue}) {
                Stream& s = streams[k++];
                s.packer.put(s.bytes, value, 8);
            }
        }
    }
    ++columnsWritten;
    emitPackets(false);
    return flushFile(out);
}

void E57Writer::emitPackets(bool final)
{
    const std::uint64_t count = streams.size();
    // A packet is at most 64 KiB: header, one length per bytestream, bytes, padding to 4.
    const std::uint64_t budget = maxPacket - 6 - 2 * count - 3;
    for (;;) {
        std::uint64_t total = 0;
        for (const Stream& s : streams)
            total += s.bytes.size() - s.taken;
        if (total == 0 || (!final && total < budget))
            break;
        // Every bytestream gets its share, so that they stay in step; a value may then
        // run on into the next packet.
        std::vector<std::uint64_t> take(count);
        std::uint64_t bytes = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint64_t pending = streams[k].bytes.size() - streams[k].taken;
            take[k] = total <= budget ? pending : pending * budget / total;
            bytes += take[k];
        }
        const std::uint64_t unpadded = 6 + 2 * count + bytes;
        const std::uint64_t length = (unpadded + 3) / 4 * 4;
        std::string packet;
        packet.reserve(std::size_t(length));
        packet += char(1); // data packet
        packet += char(0); // flags
        appendLittleEndian<std::uint16_t>(packet, std::uint16_t(length - 1));
        appendLittleEndian<std::uint16_t>(packet, std::uint16_t(count));
        for (const std::uint64_t t : take)
            appendLittleEndian<std::uint16_t>(packet, std::uint16_t(t));
        for (std::size_t k = 0; k < count; ++k) {
            Stream& s = streams[k];
            packet.append(s.bytes, s.taken, std::size_t(take[k]));
            s.taken += std::size_t(take[k]);
        }
        packet.append(std::size_t(length - unpadded), '\0');
        append(packet);
    }
    for (Stream& s : streams) {
        if (s.taken > (std::size_t(1) << 16)) {
            s.bytes.erase(0, s.taken);
            s.taken = 0;
        }
    }
}

bool E57Writer::endScan()
{
    if (!inScan || failed || columnsWritten != scan.columns)
        return failWith(QStringLiteral("E57 scan ended after %1 of %2 columns")
                            .arg(columnsWritten)
                            .arg(scan.columns));
    inScan = false;
    for (Stream& s : streams)
        s.packer.flush(s.bytes);
    emitPackets(true);
    const std::uint64_t length = position() - sectionStart;
    std::string header;
    header += char(1); // compressed vector section
    header.append(7, '\0');
    appendLittleEndian<std::uint64_t>(header, length);
    appendLittleEndian<std::uint64_t>(header, physical(sectionStart + sectionHeaderSize));
    appendLittleEndian<std::uint64_t>(header, 0); // no index packet
    WrittenScan written;
    written.info = scan;
    written.sectionPhysical = physical(sectionStart);
    written.records = std::int64_t(scan.columns) * scan.pointsPerColumn;
    scans.push_back(written);
    streams.clear();
    return patch(sectionStart, header) && flushFile(out);
}

QByteArray E57Writer::xmlSection() const
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("e57Root"));
    w.writeDefaultNamespace(QString::fromLatin1(e57::e57Namespace));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("Structure"));
    const auto element = [&w](const QString& name, const QString& type, const QString& value) {
        w.writeStartElement(name);
        w.writeAttribute(QStringLiteral("type"), type);
        if (!value.isEmpty())
            w.writeCharacters(value);
        w.writeEndElement();
    };
    const auto structure = [&w](const QString& name) {
        w.writeStartElement(name);
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("Structure"));
    };
    const auto field = [&w](const QString& name, const QString& type, long long minimum,
                            long long maximum) {
        w.writeStartElement(name);
        w.writeAttribute(QStringLiteral("type"), type);
        if (type == QLatin1String("Float")) {
            w.writeAttribute(QStringLiteral("precision"), QStringLiteral("single"));
        } else {
            w.writeAttribute(QStringLiteral("minimum"), text(minimum));
            w.writeAttribute(QStringLiteral("maximum"), text(maximum));
        }
        w.writeEndElement();
    };
    const QString String = QStringLiteral("String");
    const QString Integer = QStringLiteral("Integer");
    const QString Float = QStringLiteral("Float");
    const QString base = QFileInfo(out.fileName()).completeBaseName();

    element(QStringLiteral("formatName"), String, QStringLiteral("ASTM E57 3D Imaging Data File"));
    element(QStringLiteral("guid"), String, QStringLiteral("{orthaven-genscan:%1}").arg(base));
    element(QStringLiteral("versionMajor"), Integer, QStringLiteral("1"));
    element(QStringLiteral("versionMinor"), Integer, QStringLiteral("0"));
    element(QStringLiteral("e57LibraryVersion"), String, QStringLiteral("orthaven-genscan"));
    element(QStringLiteral("coordinateMetadata"), String, QString());

    w.writeStartElement(QStringLiteral("data3D"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("Vector"));
    w.writeAttribute(QStringLiteral("allowHeterogeneousChildren"), QStringLiteral("1"));
    for (std::size_t k = 0; k < scans.size(); ++k) {
        const ScanInfo& info = scans[k].info;
        structure(QStringLiteral("vectorChild"));
        element(QStringLiteral("guid"), String,
                QStringLiteral("{orthaven-genscan:%1:%2}").arg(base).arg(k));
        const QString name =
            info.name.isEmpty() ? QStringLiteral("%1 %2").arg(base).arg(k) : info.name;
        element(QStringLiteral("name"), String, name);
        element(QStringLiteral("sensorModel"), String, QStringLiteral("synthetic scanner"));

        structure(QStringLiteral("pose"));
        const std::array<double, 4> q = quaternion(info);
        structure(QStringLiteral("rotation"));
        element(QStringLiteral("w"), Float, text(q[0]));
        element(QStringLiteral("x"), Float, text(q[1]));
        element(QStringLiteral("y"), Float, text(q[2]));
        element(QStringLiteral("z"), Float, text(q[3]));
        w.writeEndElement();
        structure(QStringLiteral("translation"));
        element(QStringLiteral("x"), Float, text(info.pose[3]));
        element(QStringLiteral("y"), Float, text(info.pose[7]));
        element(QStringLiteral("z"), Float, text(info.pose[11]));
        w.writeEndElement();
        w.writeEndElement();

        structure(QStringLiteral("indexBounds"));
        element(QStringLiteral("rowMinimum"), Integer, QStringLiteral("0"));
        element(QStringLiteral("rowMaximum"), Integer, text(info.pointsPerColumn - 1LL));
        element(QStringLiteral("columnMinimum"), Integer, QStringLiteral("0"));
        element(QStringLiteral("columnMaximum"), Integer, text(info.columns - 1LL));
        element(QStringLiteral("returnMinimum"), Integer, QStringLiteral("0"));
        element(QStringLiteral("returnMaximum"), Integer, QStringLiteral("0"));
        w.writeEndElement();
        if (info.intensity) {
            structure(QStringLiteral("intensityLimits"));
            element(QStringLiteral("intensityMinimum"), Float, QStringLiteral("0"));
            element(QStringLiteral("intensityMaximum"), Float, QStringLiteral("1"));
            w.writeEndElement();
        }
        if (info.colour) {
            structure(QStringLiteral("colorLimits"));
            for (const char* colour : {"Red", "Green", "Blue"}) {
                element(QStringLiteral("color%1Minimum").arg(QLatin1String(colour)), Integer,
                        QStringLiteral("0"));
                element(QStringLiteral("color%1Maximum").arg(QLatin1String(colour)), Integer,
                        QStringLiteral("255"));
            }
            w.writeEndElement();
        }

        w.writeStartElement(QStringLiteral("points"));
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("CompressedVector"));
        w.writeAttribute(QStringLiteral("fileOffset"),
                         text(static_cast<long long>(scans[k].sectionPhysical)));
        w.writeAttribute(QStringLiteral("recordCount"),
                         text(static_cast<long long>(scans[k].records)));
        structure(QStringLiteral("prototype"));
        field(QStringLiteral("cartesianX"), Float, 0, 0);
        field(QStringLiteral("cartesianY"), Float, 0, 0);
        field(QStringLiteral("cartesianZ"), Float, 0, 0);
        field(QStringLiteral("cartesianInvalidState"), Integer, 0, 2);
        field(QStringLiteral("rowIndex"), Integer, 0, info.pointsPerColumn - 1LL);
        field(QStringLiteral("columnIndex"), Integer, 0, info.columns - 1LL);
        if (info.intensity)
            field(QStringLiteral("intensity"), Float, 0, 0);
        if (info.colour) {
            field(QStringLiteral("colorRed"), Integer, 0, 255);
            field(QStringLiteral("colorGreen"), Integer, 0, 255);
            field(QStringLiteral("colorBlue"), Integer, 0, 255);
        }
        w.writeEndElement(); // prototype
        w.writeStartElement(QStringLiteral("codecs"));
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("Vector"));
        w.writeAttribute(QStringLiteral("allowHeterogeneousChildren"), QStringLiteral("1"));
        w.writeEndElement();
        w.writeEndElement(); // points
        w.writeEndElement(); // vectorChild
    }
    w.writeEndElement(); // data3D
    w.writeStartElement(QStringLiteral("images2D"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("Vector"));
    w.writeAttribute(QStringLiteral("allowHeterogeneousChildren"), QStringLiteral("1"));
    w.writeEndElement();
    w.writeEndElement(); // e57Root
    w.writeEndDocument();
    return xml;
}

bool E57Writer::endFile()
{
    if (!out.isOpen())
        return false;
    if (inScan || failed) {
        out.discard();
        if (inScan)
            failWith(QStringLiteral("E57 file %1 ended inside a scan").arg(out.fileName()));
        return false;
    }
    const QByteArray xml = xmlSection();
    const std::uint64_t xmlOffset = physical(position());
    append(xml.constData(), std::size_t(xml.size()));
    if (!page.empty())
        emitPage();
    std::string header = e57::PagedFile::signature;
    appendLittleEndian<std::uint32_t>(header, 1); // version 1.0
    appendLittleEndian<std::uint32_t>(header, 0);
    appendLittleEndian<std::uint64_t>(header, pagesDone * pageSize);
    appendLittleEndian<std::uint64_t>(header, xmlOffset);
    appendLittleEndian<std::uint64_t>(header, std::uint64_t(xml.size()));
    appendLittleEndian<std::uint64_t>(header, pageSize);
    if (!patch(0, header)) {
        out.discard();
        return false;
    }
    return commitFile(out);
}

} // namespace orthaven::genscan
