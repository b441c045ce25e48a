#include "genscan/PtxWriter.h"

namespace orthaven::genscan {

bool PtxWriter::beginFile(const QString& path)
{
    inScan = false;
    if (!out.open(path)) {
        error = out.errorText();
        return false;
    }
    return true;
}

bool PtxWriter::beginScan(const ScanInfo& info)
{
    if (!out.isOpen() || inScan) {
        error = QStringLiteral("PTX writer used out of order");
        return false;
    }
    scan = info;
    columnsWritten = 0;
    inScan = true;
    const auto& m = info.pose;
    // Line 1: columns, line 2: points per column, as scanners export them.
    appendNumber(out.data, static_cast<long long>(info.columns));
    out.data += '\n';
    appendNumber(out.data, static_cast<long long>(info.pointsPerColumn));
    out.data += '\n';
    // Lines 3-6: scanner position and its three axes in project coordinates.
    appendNumber(out.data, m[3]);
    out.data += ' ';
    appendNumber(out.data, m[7]);
    out.data += ' ';
    appendNumber(out.data, m[11]);
    out.data += '\n';
    for (int axis = 0; axis < 3; ++axis) {
        for (int r = 0; r < 3; ++r) {
            appendNumber(out.data, m[std::size_t(4 * r + axis)]);
            out.data += r < 2 ? ' ' : '\n';
        }
    }
    // Lines 7-10: the pose, line 7 + k holding its column k.
    for (int k = 0; k < 4; ++k) {
        for (int r = 0; r < 4; ++r) {
            appendNumber(out.data, m[std::size_t(4 * r + k)]);
            out.data += r < 3 ? ' ' : '\n';
        }
    }
    return flushFile(out);
}

bool PtxWriter::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("PTX writer got a column that does not fit the scan");
        return false;
    }
    for (const ScanPoint& p : points) {
        appendNumber(out.data, p.x);
        out.data += ' ';
        appendNumber(out.data, p.y);
        out.data += ' ';
        appendNumber(out.data, p.z);
        if (scan.intensity) {
            out.data += ' ';
            appendNumber(out.data, p.intensity);
        }
        if (scan.colour) {
            out.data += ' ';
            appendNumber(out.data, static_cast<long long>(p.red));
            out.data += ' ';
            appendNumber(out.data, static_cast<long long>(p.green));
            out.data += ' ';
            appendNumber(out.data, static_cast<long long>(p.blue));
        }
        out.data += '\n';
    }
    ++columnsWritten;
    return flushFile(out);
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
    if (!out.isOpen())
        return false;
    if (inScan) {
        out.discard();
        error = QStringLiteral("PTX file %1 ended inside a scan").arg(out.fileName());
        return false;
    }
    return commitFile(out);
}

} // namespace orthaven::genscan
