#include "genscan/LasWriter.h"

#include "scan/e57/Endian.h"

#include <cmath>
#include <limits>

namespace orthaven::genscan {

namespace {

using e57::appendLittleEndian;
using e57::storeLittleEndian;

// Record lengths of the formats written (0 to 3, then 6 to 8; 0 for the others).
int lengthOf(int format)
{
    constexpr int lengths[] = {20, 28, 26, 34, 0, 0, 30, 36, 38};
    return format >= 0 && format < int(std::size(lengths)) ? lengths[format] : 0;
}

void appendText(std::string& out, const char* text, std::size_t size)
{
    std::string field(text);
    field.resize(size, '\0');
    out += field;
}

} // namespace

bool LasWriter::writesPointFormat(int f)
{
    return lengthOf(f) > 0;
}

bool LasWriter::hasColour(int f)
{
    return f == 2 || f == 3 || f == 7 || f == 8;
}

bool LasWriter::beginFile(const QString& path)
{
    inScan = false;
    format = -1;
    points = 0;
    if (!out.open(path)) {
        error = out.errorText();
        return false;
    }
    return true;
}

bool LasWriter::beginScan(const ScanInfo& info)
{
    if (!out.isOpen() || inScan) {
        error = QStringLiteral("LAS writer used out of order");
        return false;
    }
    if (format < 0) {
        if (!writesPointFormat(info.pointFormat)) {
            error = QStringLiteral("LAS point format %1 is not written").arg(info.pointFormat);
            return false;
        }
        format = info.pointFormat;
        recordLength = lengthOf(format);
        for (int a = 0; a < 3; ++a)
            origin[std::size_t(a)] = std::floor(info.pose[std::size_t(4 * a + 3)]);
        out.data = header(); // filled in at the end
    }
    scan = info;
    columnsWritten = 0;
    inScan = true;
    return true;
}

bool LasWriter::writeColumn(const std::vector<ScanPoint>& column)
{
    if (!inScan || columnsWritten >= scan.columns ||
        column.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("LAS writer got a column that does not fit the scan");
        return false;
    }
    const auto& m = scan.pose;
    const bool extended = format >= 6;
    for (const ScanPoint& p : column) {
        if (!p.hit)
            continue; // LAS has no missing returns
        std::array<std::int32_t, 3> xyz;
        for (std::size_t a = 0; a < 3; ++a) {
            const double world =
                m[4 * a] * p.x + m[4 * a + 1] * p.y + m[4 * a + 2] * p.z + m[4 * a + 3];
            const double steps = std::round((world - origin[a]) / gridStep);
            if (!(std::abs(steps) <= std::numeric_limits<std::int32_t>::max())) {
                error = QStringLiteral("LAS writer: a point lies too far from the file's origin");
                return false;
            }
            xyz[a] = std::int32_t(steps);
            low[a] = points == 0 ? xyz[a] : std::min(low[a], xyz[a]);
            high[a] = points == 0 ? xyz[a] : std::max(high[a], xyz[a]);
        }
        char record[40] = {};
        for (std::size_t a = 0; a < 3; ++a)
            storeLittleEndian(record + 4 * a, xyz[a]);
        if (scan.intensity)
            storeLittleEndian(record + 12,
                              std::uint16_t(std::lround(double(p.intensity) * 65535.0)));
        // First of one return; GPS time, classification and scan angle stay 0.
        record[14] = extended ? char(0x11) : char(0x09);
        storeLittleEndian(record + (extended ? 20 : 18), std::uint16_t(scan.station));
        if (scan.colour && hasColour(format)) {
            const int at = extended ? 30 : format == 2 ? 20 : 28;
            const std::uint8_t rgb[3] = {p.red, p.green, p.blue};
            for (int c = 0; c < 3; ++c)
                storeLittleEndian(record + at + 2 * c, std::uint16_t(rgb[c] * 257));
        }
        out.data.append(record, std::size_t(recordLength));
        ++points;
    }
    ++columnsWritten;
    return flushFile(out);
}

bool LasWriter::endScan()
{
    if (!inScan || columnsWritten != scan.columns) {
        error = QStringLiteral("LAS scan ended after %1 of %2 columns")
                    .arg(columnsWritten)
                    .arg(scan.columns);
        return false;
    }
    inScan = false;
    return true;
}

bool LasWriter::endFile()
{
    if (!out.isOpen())
        return false;
    if (inScan || format < 0) {
        out.discard();
        error =
            QStringLiteral("LAS file %1 ended inside a scan or without one").arg(out.fileName());
        return false;
    }
    if (!out.overwrite(0, header())) {
        error = out.errorText();
        out.discard();
        return false;
    }
    return commitFile(out);
}

std::string LasWriter::header() const
{
    const bool v14 = format >= 6;
    const std::uint16_t size = v14 ? 375 : 227;
    std::string h = "LASF";
    appendLittleEndian<std::uint16_t>(h, 0); // file source ID
    appendLittleEndian<std::uint16_t>(h, 0); // global encoding
    h.append(16, '\0');                      // project ID
    h += char(1);
    h += char(v14 ? 4 : 2);
    appendText(h, "orthaven-genscan", 32);   // system identifier
    appendText(h, "orthaven-genscan", 32);   // generating software
    appendLittleEndian<std::uint16_t>(h, 0); // creation day and year: none, so that the same
    appendLittleEndian<std::uint16_t>(h, 0); // options give the same bytes
    appendLittleEndian<std::uint16_t>(h, size);
    appendLittleEndian<std::uint32_t>(h, size); // the points follow the header
    appendLittleEndian<std::uint32_t>(h, 0);    // no variable length records
    h += char(format);
    appendLittleEndian<std::uint16_t>(h, std::uint16_t(recordLength));
    // Formats 6 and above count in the 64-bit fields of version 1.4 only.
    const bool legacy = !v14 && points <= std::numeric_limits<std::uint32_t>::max();
    appendLittleEndian<std::uint32_t>(h, legacy ? std::uint32_t(points) : 0);
    appendLittleEndian<std::uint32_t>(h, legacy ? std::uint32_t(points) : 0);
    h.append(16, '\0');
    for (int a = 0; a < 3; ++a)
        appendLittleEndian<double>(h, gridStep);
    for (double o : origin)
        appendLittleEndian<double>(h, o);
    for (std::size_t a = 0; a < 3; ++a) {
        appendLittleEndian<double>(h, double(high[a]) * gridStep + origin[a]);
        appendLittleEndian<double>(h, double(low[a]) * gridStep + origin[a]);
    }
    if (v14) {
        appendLittleEndian<std::uint64_t>(h, 0); // no waveform data
        appendLittleEndian<std::uint64_t>(h, 0); // no extended records
        appendLittleEndian<std::uint32_t>(h, 0);
        appendLittleEndian<std::uint64_t>(h, points);
        appendLittleEndian<std::uint64_t>(h, points); // all first returns
        h.append(14 * 8, '\0');
    }
    return h;
}

} // namespace orthaven::genscan
