#include "genscan/RieglWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace orthaven::genscan {

namespace {

// The point-stream file of the scanifc stand-in: magic, version 1, header size 16, then
// one frame ("FRAM", point count) holding the scan's x, y, z floats, little-endian.
constexpr char streamMagic[8] = {'\x89', 'P', '3', 'S', '\r', '\n', '\x1a', '\n'};
constexpr char frameTag[4] = {'F', 'R', 'A', 'M'};
constexpr char streamExtension[] = ".p3s";

void appendUint32(std::string& out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}

void appendFloat(std::string& out, double value)
{
    appendUint32(out, std::bit_cast<std::uint32_t>(float(value)));
}

// Texts in the project are our own names; escaped all the same.
QByteArray xmlText(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

void RieglWriter::appendNumber(std::string& out, double value)
{
    // Like printf's %.17g: plain digits from 1E-004 up to 1E+017, an exponent outside,
    // but only as many digits as it takes to read back the same double.
    char text[64];
    std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    std::string_view written(text, std::size_t(r.ptr - text));
    const std::size_t e = written.find('e');
    int exponent10 = 0;
    std::from_chars(written.data() + e + 1 + (written[e + 1] == '+' ? 1 : 0),
                    written.data() + written.size(), exponent10);
    if (value == 0 || (exponent10 >= -4 && exponent10 < 17)) {
        r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
        out.append(text, r.ptr);
        return;
    }
    // "4.76e-05" → "4.76E-005": the exponent with its sign and three digits.
    out.append(written.substr(0, e));
    out += 'E';
    std::string_view exponent = written.substr(e + 1);
    char sign = '+';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
        sign = exponent[0];
        exponent.remove_prefix(1);
    }
    out += sign;
    for (std::size_t k = exponent.size(); k < 3; ++k)
        out += '0';
    out.append(exponent);
}

std::array<double, 3> RieglWriter::projectOffset(const std::vector<std::array<double, 16>>& poses)
{
    std::array<double, 3> offset{0.0, 0.0, 0.0};
    if (poses.empty())
        return offset;
    for (int axis = 0; axis < 3; ++axis) {
        const std::size_t at = std::size_t(4 * axis + 3);
        const double candidate = std::round(poses.front()[at] / 1000.0) * 1000.0;
        bool exact = std::isfinite(candidate);
        // The reader forms POP · SOP: SOP translation + offset, one rounding, as here.
        for (const auto& pose : poses) {
            const double inSop = pose[at] - candidate;
            exact = exact && inSop + candidate == pose[at];
        }
        offset[std::size_t(axis)] = exact ? candidate : 0.0;
    }
    return offset;
}

bool RieglWriter::beginFile(const QString& path)
{
    if (inFile) {
        error = QStringLiteral("Riegl writer used out of order");
        return false;
    }
    const QFileInfo info(path);
    projectPath = info.absoluteFilePath();
    projectFolder = info.absolutePath();
    projectName = info.completeBaseName();
    positions.clear();
    writtenStreams.clear();
    stream.discard();
    inScan = false;
    if (projectName.isEmpty()) {
        error = QStringLiteral("A Riegl project needs a file name: %1").arg(path);
        return false;
    }
    inFile = true;
    return true;
}

bool RieglWriter::beginScan(const ScanInfo& info)
{
    if (!inFile || inScan) {
        error = QStringLiteral("Riegl writer used out of order");
        return false;
    }
    const quint64 points =
        quint64(std::max(info.columns, 0)) * quint64(std::max(info.pointsPerColumn, 0));
    if (points > std::numeric_limits<std::uint32_t>::max()) {
        error = QStringLiteral("A Riegl scan frame holds at most %1 points")
                    .arg(std::numeric_limits<std::uint32_t>::max());
        return false;
    }
    Position position;
    const int number = int(positions.size()) + 1;
    position.name = QStringLiteral("ScanPos%1").arg(number, 3, 10, QLatin1Char('0'));
    position.streamFile = QStringLiteral("%1_%2%3")
                              .arg(projectName)
                              .arg(number, 3, 10, QLatin1Char('0'))
                              .arg(QLatin1String(streamExtension));
    position.pose = info.pose;

    const QString folder =
        projectFolder + QStringLiteral("/SCANS/") + position.name + QStringLiteral("/SINGLESCANS");
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Cannot create the folder %1").arg(folder);
        return false;
    }
    if (!stream.open(folder + QLatin1Char('/') + position.streamFile)) {
        error = stream.errorText();
        return false;
    }
    positions.push_back(position);
    scan = info;
    columnsWritten = 0;
    inScan = true;
    std::string& buffer = stream.data;
    buffer.append(streamMagic, sizeof streamMagic);
    appendUint32(buffer, 1);  // version
    appendUint32(buffer, 16); // header size
    buffer.append(frameTag, sizeof frameTag);
    appendUint32(buffer, std::uint32_t(points));
    return flushFile(stream);
}

bool RieglWriter::writeColumn(const std::vector<ScanPoint>& points)
{
    if (!inScan || columnsWritten >= scan.columns ||
        points.size() != std::size_t(scan.pointsPerColumn)) {
        error = QStringLiteral("Riegl writer got a column that does not fit the scan");
        return false;
    }
    for (const ScanPoint& p : points) {
        appendFloat(stream.data, p.x);
        appendFloat(stream.data, p.y);
        appendFloat(stream.data, p.z);
    }
    ++columnsWritten;
    return flushFile(stream);
}

bool RieglWriter::endScan()
{
    if (!inScan || columnsWritten != scan.columns) {
        error = QStringLiteral("Riegl scan ended after %1 of %2 columns")
                    .arg(columnsWritten)
                    .arg(scan.columns);
        return false;
    }
    inScan = false;
    if (!commitFile(stream))
        return false;
    writtenStreams.append(stream.fileName());
    return true;
}

bool RieglWriter::endFile()
{
    if (!inFile)
        return false;
    inFile = false;
    bool ok = !inScan;
    stream.discard(); // a scan left unfinished does not appear
    if (ok) {
        QString problem;
        ok = writeWholeFile(projectPath, projectText().toStdString(), problem);
        if (!ok && error.isEmpty())
            error = problem;
    }
    if (!ok)
        removeWrittenStreams(); // no stream files without their project
    inScan = false;
    return ok;
}

void RieglWriter::removeWrittenStreams()
{
    for (const QString& path : writtenStreams)
        QFile::remove(path);
    writtenStreams.clear();
}

QByteArray RieglWriter::projectText() const
{
    std::vector<std::array<double, 16>> poses;
    for (const Position& p : positions)
        poses.push_back(p.pose);
    const std::array<double, 3> offset = projectOffset(poses);

    const auto matrixText = [](const std::array<double, 16>& m) {
        // RiSCAN's layout: a blank, four numbers, three blanks, the next four, …
        std::string text = " ";
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                appendNumber(text, m[std::size_t(4 * r + c)]);
                text += c < 3 ? " " : "   ";
            }
        }
        return QByteArray::fromStdString(text);
    };
    std::array<double, 16> pop{1, 0, 0, offset[0], 0, 1, 0, offset[1],
                               0, 0, 1, offset[2], 0, 0, 0, 1};

    QByteArray xml;
    xml += "<?xml version=\"1.0\" standalone=\"no\"?>\n";
    xml += "<!DOCTYPE project SYSTEM \"./project.dtd\" [ <!-- written by orthaven-genscan --> ]>\n";
    xml += "<project name=\"" + xmlText(projectName) + "\" kind=\"ProjectX\" fold=\"" +
           xmlText(projectName) + ".RiSCAN\">\n";
    xml += "\t<app_caption>orthaven-genscan</app_caption>\n";
    xml += "\t<pop name=\"POP\" kind=\"POP\">\n\t\t<freeze>0</freeze>\n";
    xml += "\t\t<matrix rows=\"4\" cols=\"4\">" + matrixText(pop) + "</matrix>\n\t</pop>\n";
    xml += "\t<scanpositions name=\"SCANS\" kind=\"SCANS\" fold=\"SCANS\">\n";
    for (const Position& p : positions) {
        // The SOP keeps the rotation and what the POP does not add of the translation.
        std::array<double, 16> sop = p.pose;
        for (int axis = 0; axis < 3; ++axis)
            sop[std::size_t(4 * axis + 3)] -= offset[std::size_t(axis)];
        const QByteArray name = xmlText(p.name);
        const QString stem = QFileInfo(p.streamFile).completeBaseName();
        xml +=
            "\t\t<scanposition name=\"" + name + "\" kind=\"PositionX\" fold=\"" + name + "\">\n";
        xml += "\t\t\t<name>" + name + "</name>\n";
        xml +=
            "\t\t\t<singlescans name=\"SINGLESCANS\" kind=\"SINGLESCANS\" fold=\"SINGLESCANS\">\n";
        xml += "\t\t\t\t<scan name=\"" + xmlText(stem) + "\" kind=\"ScanAcquiredX\">\n";
        xml += "\t\t\t\t\t<file>" + xmlText(p.streamFile) + "</file>\n";
        xml += "\t\t\t\t\t<name>" + xmlText(stem) + "</name>\n";
        xml += "\t\t\t\t</scan>\n\t\t\t</singlescans>\n";
        xml += "\t\t\t<sop name=\"SOP\" kind=\"SOP\">\n\t\t\t\t<freeze>0</freeze>\n";
        xml += "\t\t\t\t<matrix rows=\"4\" cols=\"4\">" + matrixText(sop) + "</matrix>\n";
        xml += "\t\t\t</sop>\n\t\t</scanposition>\n";
    }
    xml += "\t</scanpositions>\n</project>\n";
    return xml;
}

} // namespace orthaven::genscan
