#include "genscan/FwsWriter.h"

#include "scan/faro/FaroAxisAngle.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace orthaven::genscan {

namespace {

void appendLittleEndian(std::string& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLittleEndian(std::string& out, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    out.append(bytes, 8);
}

void appendNumbers(std::string& out, std::initializer_list<double> values)
{
    bool first = true;
    for (double v : values) {
        if (!first)
            out += ' ';
        appendNumber(out, v);
        first = false;
    }
}

} // namespace

bool FwsWriter::failWith(const QString& message)
{
    if (error.isEmpty())
        error = message;
    failed = true;
    return false;
}

void FwsWriter::discard()
{
    points.discard(); // nothing of an unfinished file appears
    workspace.discard();
    for (const QString& path : pointFiles)
        QFile::remove(path);
    pointFiles.clear();
}

bool FwsWriter::beginFile(const QString& path)
{
    error.clear();
    failed = false;
    inScan = false;
    scanIndex = 0;
    pointFiles.clear();
    points.discard();
    basePath = path.endsWith(QLatin1String(".fws")) ? path.chopped(4) : path;
    text = "orthaven-fws 1\n# written by orthaven-genscan\n";
    if (!workspace.open(path)) {
        error = workspace.errorText();
        failed = true;
        return false;
    }
    return true;
}

bool FwsWriter::beginScan(const ScanInfo& info)
{
    if (!workspace.isOpen() || inScan || failed)
        return failWith(QStringLiteral("FWS writer used out of order"));
    const std::array<double, 9> r =
        orthaven::faroAxisAngleRotation(info.axis[0], info.axis[1], info.axis[2], info.angle);
    // The reader builds the pose from the rotation, the position and a bottom row 0 0 0 1.
    bool exact = info.pose[12] == 0.0 && info.pose[13] == 0.0 && info.pose[14] == 0.0 &&
                 info.pose[15] == 1.0;
    for (int row = 0; row < 3; ++row) {
        exact = exact && std::memcmp(&info.pose[std::size_t(4 * row)], &r[std::size_t(3 * row)],
                                     3 * sizeof(double)) == 0;
    }
    if (!exact) {
        return failWith(QStringLiteral("The pose of scan %1 is not exactly what its axis and "
                                       "angle give; a workspace cannot hold it")
                            .arg(scanIndex));
    }
    scan = info;
    columnsWritten = 0;

    const QString name = QStringLiteral("%1_%2")
                             .arg(QFileInfo(basePath).fileName())
                             .arg(scanIndex, 3, 10, QLatin1Char('0'));
    const QString pointsPath =
        basePath + QStringLiteral("_%1.fwp").arg(scanIndex, 3, 10, QLatin1Char('0'));
    if (!points.open(pointsPath))
        return failWith(points.errorText());
    inScan = true;
    points.data.assign("ORTHFWP1", 8);
    appendLittleEndian(points.data, quint32(info.pointsPerColumn));
    appendLittleEndian(points.data, quint32(info.columns));

    const auto& m = info.pose;
    text += "scan\nname = " + name.toStdString() + "\nrows = ";
    appendNumber(text, static_cast<long long>(info.pointsPerColumn));
    text += "\ncolumns = ";
    appendNumber(text, static_cast<long long>(info.columns));
    text += "\nposition = ";
    appendNumbers(text, {m[3], m[7], m[11]});
    text += "\naxis = ";
    appendNumbers(text, {info.axis[0], info.axis[1], info.axis[2]});
    text += "\nangle = ";
    appendNumber(text, info.angle);
    text += "\npoints = " + QFileInfo(pointsPath).fileName().toStdString() + "\nend\n";
    return flushFile(points) || failWith(error);
}

bool FwsWriter::writeColumn(const std::vector<ScanPoint>& column)
{
    if (!inScan || failed || columnsWritten >= scan.columns ||
        column.size() != std::size_t(scan.pointsPerColumn))
        return failWith(QStringLiteral("FWS writer got a column that does not fit the scan"));
    for (const ScanPoint& p : column) {
        appendLittleEndian(points.data, p.x);
        appendLittleEndian(points.data, p.y);
        appendLittleEndian(points.data, p.z);
    }
    ++columnsWritten;
    return flushFile(points) || failWith(error);
}

bool FwsWriter::endScan()
{
    if (!inScan || failed || columnsWritten != scan.columns) {
        return failWith(QStringLiteral("FWS scan ended after %1 of %2 columns")
                            .arg(columnsWritten)
                            .arg(scan.columns));
    }
    if (!commitFile(points))
        return failWith(error);
    pointFiles.append(points.fileName());
    inScan = false;
    ++scanIndex;
    return true;
}

bool FwsWriter::endFile()
{
    if (!workspace.isOpen()) {
        discard();
        return false;
    }
    bool ok = !inScan && !failed;
    if (ok) {
        // The workspace goes to disk last, once every points file is complete.
        workspace.data = text;
        ok = commitFile(workspace) || failWith(error);
    }
    if (!ok)
        discard();
    workspace.discard();
    points.discard();
    pointFiles.clear();
    text.clear();
    return ok;
}

} // namespace orthaven::genscan
