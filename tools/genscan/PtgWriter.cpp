#include "genscan/PtgWriter.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numbers>

namespace orthaven::genscan {

namespace {

constexpr std::uint32_t magicNumber = 0x928FA3C7u;

template <class T> void appendLittleEndian(std::string& out, T value)
{
    std::array<char, sizeof(T)> b;
    std::memcpy(b.data(), &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(b.begin(), b.end());
    out.append(b.data(), b.size());
}

void appendString(std::string& out, const QByteArray& text)
{
    appendLittleEndian<std::int32_t>(out, std::int32_t(text.size()));
    out.append(text.constData(), std::size_t(text.size()));
}

} // namespace

PtgWriter::PtgWriter(bool doubleCoordinates) : doubles(doubleCoordinates) {}

void PtgWriter::appendKey(const char* key)
{
    // The length counts the terminating zero byte, which is written too.
    const std::size_t length = std::strlen(key) + 1;
    appendLittleEndian<std::int32_t>(out.data, std::int32_t(length));
    out.data.append(key, length);
}

bool PtgWriter::beginFile(const QString& path)
{
    inScan = false;
    scanWritten = false;
    if (!out.open(path)) {
        error = out.errorText();
        return false;
    }
    return true;
}

bool PtgWriter::beginScan(const ScanInfo& info)
{
    if (!out.isOpen() || inScan || scanWritten) {
        error = QStringLiteral("PTG writer used out of order (one scan per file)");
        return false;
    }
    scan = info;
    columnsWritten = 0;
    inScan = true;

    out.data.append("PTG", 4); // with its zero byte
    appendLittleEndian<std::uint32_t>(out.data, magicNumber);
    appendKey("%%header_begin");
    appendKey("%%version");
    appendLittleEndian<std::int32_t>(out.data, 1);
    appendKey("%%sw_name");
    appendString(out.data, "orthaven-genscan");
    appendKey("%%scan_name");
    appendString(out.data, QFileInfo(out.fileName()).completeBaseName().toUtf8());
    appendKey("%%scanner_name");
    appendString(out.data, "synthetic scanner");
    appendKey("%%cols");
    appendLittleEndian<std::int32_t>(out.data, info.columns);
    appendKey("%%rows");
    appendLittleEndian<std::int32_t>(out.data, info.pointsPerColumn);
    appendKey("%%rows_total");
    appendLittleEndian<std::int32_t>(out.data, info.pointsPerColumn);
    const ScannerModel model;
    appendKey("%%azim_min");
    appendLittleEndian<double>(out.data, 0.0);
    appendKey("%%azim_max");
    appendLittleEndian<double>(out.data, 2 * std::numbers::pi);
    appendKey("%%elev_min");
    appendLittleEndian<double>(out.data, model.elevationLow);
    appendKey("%%elev_max");
    appendLittleEndian<double>(out.data, model.elevationHigh);
    // d0 … d15 are the pose's columns one after the other (the file holds the transpose
    // of a row-major pose), so d12, d13, d14 are the translation.
    appendKey("%%transform");
    for (int k = 0; k < 16; ++k)
        appendLittleEndian<double>(out.data, info.pose[std::size_t(4 * (k % 4) + k / 4)]);
    appendKey("%%properties");
    std::int32_t properties = doubles ? 2 : 1;
    if (info.intensity)
        properties |= 4;
    if (info.colour)
        properties |= 8;
    appendLittleEndian<std::int32_t>(out.data, properties);
    appendKey("%%header_end");

    // The offsets are known once the columns are written; endScan fills the table in.
    tableOffset = out.position();
    columnOffsets.assign(std::size_t(std::max(info.columns, 0)), 0);
    out.data.append(columnOffsets.size() * 8, '\0');
    return flushFile(out);
}

bool PtgWriter::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("PTG writer got a column that does not fit the scan");
        return false;
    }
    columnOffsets[std::size_t(columnsWritten)] = out.position();
    // Row j is bit 7 - j % 8 of mask byte j / 8; missing returns have no record.
    const std::size_t maskAt = out.data.size();
    out.data.append((points.size() + 7) / 8, '\0');
    for (std::size_t j = 0; j < points.size(); ++j) {
        if (points[j].hit)
            out.data[maskAt + j / 8] = char(out.data[maskAt + j / 8] | (0x80 >> (j % 8)));
    }
    for (const ScanPoint& p : points) {
        if (!p.hit)
            continue;
        if (doubles) {
            appendLittleEndian<double>(out.data, p.x);
            appendLittleEndian<double>(out.data, p.y);
            appendLittleEndian<double>(out.data, p.z);
        } else {
            // Exact: the scanner model rounds every coordinate to a float value.
            appendLittleEndian<float>(out.data, static_cast<float>(p.x));
            appendLittleEndian<float>(out.data, static_cast<float>(p.y));
            appendLittleEndian<float>(out.data, static_cast<float>(p.z));
        }
        if (scan.intensity)
            appendLittleEndian<float>(out.data, p.intensity);
        if (scan.colour) {
            out.data += char(p.red);
            out.data += char(p.green);
            out.data += char(p.blue);
        }
    }
    ++columnsWritten;
    return flushFile(out);
}

bool PtgWriter::endScan()
{
    if (!inScan || columnsWritten != scan.columns) {
        error = QStringLiteral("PTG scan ended after %1 of %2 columns")
                    .arg(columnsWritten)
                    .arg(scan.columns);
        return false;
    }
    inScan = false;
    scanWritten = true;
    // The column offsets are known only now: they go into the table left free for them.
    std::string table;
    table.reserve(columnOffsets.size() * 8);
    for (const qint64 offset : columnOffsets)
        appendLittleEndian<std::int64_t>(table, offset);
    if (out.overwrite(tableOffset, table))
        return true;
    error = out.errorText();
    return false;
}

bool PtgWriter::endFile()
{
    if (!out.isOpen())
        return false;
    if (inScan) {
        out.discard();
        error = QStringLiteral("PTG file %1 ended inside its scan").arg(out.fileName());
        return false;
    }
    return commitFile(out);
}

bool PtgWriter::writeIndexFile(const QString& path, const QStringList& scanFiles)
{
    // As written on Windows: CRLF line ends, names relative to the index file's folder
    // with '\' between folders.
    QByteArray text = "PTG index file\r\n";
    const QDir folder = QFileInfo(path).absoluteDir();
    for (const QString& scanFile : scanFiles) {
        QString name = folder.relativeFilePath(QFileInfo(scanFile).absoluteFilePath());
        name.replace(QLatin1Char('/'), QLatin1Char('\\'));
        text += name.toUtf8() + "\r\n";
    }
    return writeWholeFile(path, text.toStdString(), error);
}

} // namespace orthaven::genscan
