#include "genscan/PtxWriter.h"

namespace orthaven::genscan {

namespace {

constexpr std::size_t flushSize = std::size_t(1) << 20;

} // namespace

bool PtxWriter::beginFile(const QString& path)
{
    file = std::make_unique<QSaveFile>(path);
    buffer.clear();
    inScan = false;
    if (!file->open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot create %1: %2").arg(path, file->errorString());
        file.reset();
        return false;
    }
    return true;
}

bool PtxWriter::beginScan(const ScanInfo& info)
{
    if (!file || inScan) {
        error = QStringLiteral("PTX writer used out of order");
        return false;
    }
    scan = info;
    columnsWritten = 0;
    inScan = true;
    const auto& m = info.pose;
    // Line 1: columns, line 2: points per column, as scanners export them.
    appendNumber(buffer, static_cast<long long>(info.columns));
    buffer += '\n';
    appendNumber(buffer, static_cast<long long>(info.pointsPerColumn));
    buffer += '\n';
    // Lines 3-6: scanner position and its three axes in project coordinates.
    appendNumber(buffer, m[3]);
    buffer += ' ';
    appendNumber(buffer, m[7]);
    buffer += ' ';
    appendNumber(buffer, m[11]);
    buffer += '\n';
    for (int axis = 0; axis < 3; ++axis) {
        for (int r = 0; r < 3; ++r) {
            appendNumber(buffer, m[std::size_t(4 * r + axis)]);
            buffer += r < 2 ? ' ' : '\n';
        }
    }
    // Lines 7-10: the pose, line 7 + k holding its column k.
    for (int k = 0; k < 4; ++k) {
        for (int r = 0; r < 4; ++r) {
            appendNumber(buffer, m[std::size_t(4 * r + k)]);
            buffer += r < 3 ? ' ' : '\n';
        }
    }
    return flush(false);
}

bool PtxWriter::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("PTX writer got a column that does not fit the scan");
        return false;
    }
    for (const ScanPoint& p : points) {
        appendNumber(buffer, p.x);
        buffer += ' ';
        appendNumber(buffer, p.y);
        buffer += ' ';
        appendNumber(buffer, p.z);
        if (scan.intensity) {
            buffer += ' ';
            appendNumber(buffer, p.intensity);
        }
        if (scan.colour) {
            buffer += ' ';
            appendNumber(buffer, static_cast<long long>(p.red));
            buffer += ' ';
            appendNumber(buffer, static_cast<long long>(p.green));
            buffer += ' ';
            appendNumber(buffer, static_cast<long long>(p.blue));
        }
        buffer += '\n';
    }
    ++columnsWritten;
    return flush(false);
}

bool PtxWriter::endScan()
{
    if (!inScan || columnsWritten != scan.columns) {
        error = QStringLiteral("PTX scan ended after %1 of %2 columns")
                    .arg(columnsWritten)
                    .arg(scan.columns);
        return false;
    }
    inScan = false;
    return true;
}

bool PtxWriter::endFile()
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

bool PtxWriter::flush(bool always)
{
    if (buffer.empty() || (!always && buffer.size() < flushSize))
        return true;
    const qint64 written = file->write(buffer.data(), qint64(buffer.size()));
    if (written != qint64(buffer.size())) {
        error = QStringLiteral("Cannot write %1: %2").arg(file->fileName(), file->errorString());
        return false;
    }
    buffer.clear();
    return true;
}

} // namespace orthaven::genscan
