#include "FaroTestFiles.h"

#include "PtxTestFiles.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QtEndian>

#include <cstring>

namespace orthaven::test {

namespace {

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 17);
}

} // namespace

QByteArray faroPointsFile(int rows, int columns, const std::vector<cv::Vec3d>& points)
{
    QByteArray bytes("ORTHFWP1");
    char word[8];
    qToLittleEndian(quint32(rows), word);
    bytes.append(word, 4);
    qToLittleEndian(quint32(columns), word);
    bytes.append(word, 4);
    for (const cv::Vec3d& p : points) {
        for (int c = 0; c < 3; ++c) {
            quint64 bits = 0;
            std::memcpy(&bits, &p[c], 8);
            qToLittleEndian(bits, word);
            bytes.append(word, 8);
        }
    }
    return bytes;
}

QByteArray faroWorkspaceText(const std::vector<FaroTestScan>& scans,
                             const QStringList& workspaceLines)
{
    QByteArray text = "orthaven-fws 1\n";
    for (const QString& line : workspaceLines)
        text += line.toUtf8() + '\n';
    for (const FaroTestScan& s : scans) {
        text += "scan\n";
        text += "name = " + s.name.toUtf8() + '\n';
        text += "rows = " + QByteArray::number(s.rows) + '\n';
        text += "columns = " + QByteArray::number(s.columns) + '\n';
        text += "position = " + number(s.position[0]) + ' ' + number(s.position[1]) + ' ' +
                number(s.position[2]) + '\n';
        text += "axis = " + number(s.axis[0]) + ' ' + number(s.axis[1]) + ' ' + number(s.axis[2]) +
                '\n';
        text += "angle = " + number(s.angle) + '\n';
        text += "points = " + s.name.toUtf8() + ".fwp\n";
        for (const QString& line : s.extraLines)
            text += line.toUtf8() + '\n';
        text += "end\n";
    }
    return text;
}

QString faroPointsPath(const QString& folder, const FaroTestScan& scan)
{
    return QDir(folder).filePath(scan.name + QStringLiteral(".fwp"));
}

QString writeFaroWorkspace(const QString& folder, const std::vector<FaroTestScan>& scans,
                           const QStringList& workspaceLines, const QString& fileName)
{
    for (const FaroTestScan& s : scans)
        writeFile(faroPointsPath(folder, s), faroPointsFile(s.rows, s.columns, s.points));
    return writeFile(QDir(folder).filePath(fileName), faroWorkspaceText(scans, workspaceLines));
}

FaroTestScan faroScan(const QString& name, int rows, int columns, double base)
{
    FaroTestScan scan;
    scan.name = name;
    scan.rows = rows;
    scan.columns = columns;
    scan.points = distinctPoints(rows * columns, base);
    return scan;
}

} // namespace orthaven::test
