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

constexpr std::size_t flushSize = std::size_t(1) << 20;
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
    appendLittleEndian<std::int32_t>(buffer, std::int32_t(length));
    buffer.append(key, length);
}

bool PtgWriter::beginFile(const QString& path)
{
    file = std::make_unique<QSaveFile>(path);
    buffer.clear();
    flushed = 0;
    inScan = false;
    scanWritten = false;
    if (!file->open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot create %1: %2").arg(path, file->errorString());
        file.reset();
        return false;
    }
    return true;
}

bool PtgWriter::beginScan(const ScanInfo& info)
{
    if (!file || inScan || scanWritten) {
        error = QStringLiteral("PTG writer used out of order (one scan per file)");
        return false;
    }
    scan = info;
    columnsWritten = 0;
    inScan = true;

    buffer.append("PTG", 4); // with its zero byte
    appendLittleEndian<std::uint32_t>(buffer, magicNumber);
    appendKey("%%header_begin");
    appendKey("%%version");
    appendLittleEndian<std::int32_t>(buffer, 1);
    appendKey("%%sw_name");
    appendString(buffer, "orthaven-genscan");
    appendKey("%%scan_name");
    appendString(buffer, QFileInfo(file->fileName()).completeBaseName().toUtf8());
    appendKey("%%scanner_name");
    appendString(buffer, "synthetic scanner");
    appendKey("%%cols");
    appendLittleEndian<std::int32_t>(buffer, info.columns);
    appendKey("%%rows");
    appendLittleEndian<std::int32_t>(buffer, info.pointsPerColumn);
    appendKey("%%rows_total");
    appendLittleEndian<std::int32_t>(buffer, info.pointsPerColumn);
    const ScannerModel model;
    appendKey("%%azim_min");
    appendLittleEndian<double>(buffer, 0.0);
    appendKey("%%azim_max");
    appendLittleEndian<double>(buffer, 2 * std::numbers::pi);
    appendKey("%%elev_min");
    appendLittleEndian<double>(buffer, model.elevationLow);
    appendKey("%%elev_max");
    appendLittleEndian<double>(buffer, model.elevationHigh);
    // d0 … d15 are the pose's columns one after the other (the file holds the transpose
    // of a row-major pose), so d12, d13, d14 are the translation.
    appendKey("%%transform");
    for (int k = 0; k < 16; ++k)
        appendLittleEndian<double>(buffer, info.pose[std::size_t(4 * (k % 4) + k / 4)]);
    appendKey("%%properties");
    std::int32_t properties = doubles ? 2 : 1;
    if (info.intensity)
        properties |= 4;
    if (info.colour)
        properties |= 8;
    appendLittleEndian<std::int32_t>(buffer, properties);
    appendKey("%%header_end");

    // The offsets are known once the columns are written; endScan fills the table in.
    tableOffset = flushed + qint64(buffer.size());
    columnOffsets.assign(std::size_t(std::max(info.columns, 0)), 0);
    buffer.append(columnOffsets.size() * 8, '\0');
    return flush(false);
}

bool PtgWriter::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("PTG writer got a column that does not fit the scan");
        return false;
    }
    columnOffsets[std::size_t(columnsWritten)] = flushed + qint64(buffer.size());
    // Row j is bit 7 - j % 8 of mask byte j / 8; missing returns have no record.
    const std::size_t maskAt = buffer.size();
    buffer.append((points.size() + 7) / 8, '\0');
    for (std::size_t j = 0; j < points.size(); ++j) {
        if (points[j].hit)
            buffer[maskAt + j / 8] = char(buffer[maskAt + j / 8] | (0x80 >> (j % 8)));
    }
    for (const ScanPoint& p : points) {
        if (!p.hit)
            continue;
        if (doubles) {
            appendLittleEndian<double>(buffer, p.x);
            appendLittleEndian<double>(buffer, p.y);
            appendLittleEndian<double>(buffer, p.z);
        } else {
            // Exact: the scanner model rounds every coordinate to a float value.
            appendLittleEndian<float>(buffer, static_cast<float>(p.x));
            appendLittleEndian<float>(buffer, static_cast<float>(p.y));
            appendLittleEndian<float>(buffer, static_cast<float>(p.z));
        }
        if (scan.intensity)
            appendLittleEndian<float>(buffer, p.intensity);
        if (scan.colour) {
            buffer += char(p.red);
            buffer += char(p.green);
            buffer += char(p.blue);
        }
    }
    ++columnsWritten;
    return flush(false);
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
    if (!flush(true))
        return false;
    std::string table;
    table.reserve(columnOffsets.size() * 8);
    for (const qint64 offset : columnOffsets)
        appendLittleEndian<std::int64_t>(table, offset);
    const bool ok = file->seek(tableOffset) &&
                    file->write(table.data(), qint64(table.size())) == qint64(table.size()) &&
                    file->seek(flushed);
    if (!ok)
        error = QStringLiteral("Cannot write %1: %2").arg(file->fileName(), file->errorString());
    return ok;
}

bool PtgWriter::endFile()
{
    if (!file)
        return false;
    const bool ok = !inScan && flush(true) && file->commit();
    if (!ok && error.isEmpty())
        error = QStringLiteral("Cannot write %1: %2").arg(file->fileName(), file->errorString());
    file.reset(); // an uncommitted save file removes its temporary copy
    buffer.clear();
    return ok;
}

bool PtgWriter::flush(bool always)
{
    if (buffer.empty() || (!always && buffer.size() < flushSize))
        return true;
    const qint64 written = file->write(buffer.data(), qint64(buffer.size()));
    if (written != qint64(buffer.size())) {
        error = QStringLiteral("Cannot write %1: %2").arg(file->fileName(), file->errorString());
        return false;
    }
    flushed += written;
    buffer.clear();
    return true;
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
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        error = QStringLiteral("Cannot write %1: %2").arg(path, out.errorString());
        return false;
    }
    return true;
}

} // namespace orthaven::genscan
