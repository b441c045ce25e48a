#include "layoutlog/LogReader.h"

#include "Version.h"
#include "layout/Views.h"

#include <QBuffer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace orthaven {

namespace {

// The first version whose logs this reader knows; 1.0 logs differ.
constexpr double firstLogVersion = 1.1;

QStringList words(const QString& line)
{
    return line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The value of a "key = value" line: everything after the first " = ", so names holding
// blanks (or " = ") come back whole.
QString valueOf(const QString& line)
{
    const qsizetype at = line.indexOf(QLatin1String(" = "));
    return at < 0 ? QString() : line.mid(at + 3);
}

std::optional<double> toReal(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok); // C notation whatever the locale
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<int> toInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// count numbers from words[first …], or nothing when one is missing or not a number.
std::optional<std::vector<double>> numbers(const QStringList& parts, int first, int count)
{
    if (parts.size() < first + count)
        return std::nullopt;
    std::vector<double> values;
    for (int k = 0; k < count; ++k) {
        const std::optional<double> v = toReal(parts[first + k]);
        if (!v)
            return std::nullopt;
        values.push_back(*v);
    }
    return values;
}

} // namespace

LogReader::LogReader(const QString& path)
{
    result.path = path;
    QFile file(path);
    success = file.open(QIODevice::ReadOnly) ? parse(path, file)
                                             : fail(QStringLiteral("cannot be opened"));
}

LogReader::LogReader(const QString& path, const QByteArray& text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    success = parse(path, buffer);
}

bool LogReader::read(const QString& path, LayoutLogInfo& info)
{
    const LogReader reader(path);
    info = reader.info();
    return reader.ok();
}

bool LogReader::fail(const QString& why)
{
    error = why;
    return false;
}

bool LogReader::parse(const QString& path, QIODevice& file)
{
    result = LayoutLogInfo();
    result.path = path;

    QStringList lines;
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        lines.append(QString::fromUtf8(bytes));
    }

    bool versionSeen = false;
    bool projectionSeen = false;
    // The corner line named key of the tile that starts before line i, or nothing when
    // the tile's block ends (or the file does) before it.
    const auto cornerLine = [&lines](qsizetype& i, const char* key) -> std::optional<cv::Mat> {
        for (++i; i < lines.size(); ++i) {
            const QString& line = lines[i];
            if (line.startsWith(QLatin1String(key))) {
                const auto v = numbers(words(line), 3, 3);
                if (!v)
                    return std::nullopt;
                return cv::Mat((cv::Mat_<double>(4, 1) << (*v)[0], (*v)[1], (*v)[2], 1.0));
            }
            if (line.startsWith(QLatin1String("Tile Name")) ||
                line.startsWith(QLatin1String("Layout END")))
                return std::nullopt;
        }
        return std::nullopt;
    };
    const auto readReal = [](const QString& line, double& target) {
        const std::optional<double> v = toReal(valueOf(line));
        if (v)
            target = *v;
        return v.has_value();
    };

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const auto starts = [&line](const char* key) {
            return line.startsWith(QLatin1String(key));
        };
        if (starts("Version")) {
            result.version = valueOf(line);
            const std::optional<double> v = toReal(result.version);
            // The log carries the version of the program that wrote it. Its lines are
            // those of version 1.1 (later versions only add optional lines), so logs of
            // every version from 1.1 up to this program's are read; older and newer ones
            // are refused.
            if (!v || *v < firstLogVersion || *v > version::number)
                return fail(
                    QStringLiteral("version is not between %1 and %2")
                        .arg(QString::number(firstLogVersion), QLatin1String(version::text)));
            versionSeen = true;
        } else if (starts("View")) {
            const QByteArray word = valueOf(line).trimmed().toLatin1();
            if (const ViewInfo* info = viewByOptionName(word.constData(), std::size_t(word.size())))
                result.view = int(info->view);
        } else if (starts("Thumbnail")) {
            result.thumbnail = valueOf(line);
        } else if (starts("Projection Motion")) {
            auto v = numbers(words(line), 3, 16);
            if (!v)
                return fail(QStringLiteral("bad projection line"));
            result.projection = cv::Mat(4, 4, CV_64F, v->data()).clone();
            projectionSeen = true;
        } else if (starts("Scan Motion")) {
            auto v = numbers(words(line), 4, 16);
            if (!v)
                return fail(QStringLiteral("bad scan pose line"));
            // written column by column: read row by row, then transposed
            result.scanPoses.push_back(cv::Mat(cv::Mat(4, 4, CV_64F, v->data()).t()));
        } else if (starts("Tile Name")) {
            result.tileNames.append(valueOf(line));
            const std::optional<cv::Mat> lb = cornerLine(i, "Left Bottom");
            if (!lb)
                return fail(QStringLiteral("a tile has no left bottom corner"));
            const std::optional<cv::Mat> ru = cornerLine(i, "Right Upper");
            if (!ru)
                return fail(QStringLiteral("a tile has no right upper corner"));
            result.cornersLB.push_back(*lb);
            result.cornersRU.push_back(*ru);
        } else if (starts("Number of Tiles U") || starts("Number of Tiles V")) {
            const std::optional<int> v = toInteger(valueOf(line));
            if (!v || *v < 0)
                return fail(QStringLiteral("bad tile count"));
            (starts("Number of Tiles U") ? result.tilesU : result.tilesV) = *v;
        } else if (starts("Tile Size")) {
            if (!readReal(line, result.tileSize))
                return fail(QStringLiteral("bad tile size"));
        } else if (starts("Resolution")) {
            if (!readReal(line, result.resolution))
                return fail(QStringLiteral("bad resolution"));
        } else if (starts("Scan Domain")) {
            if (!readReal(line, result.scanDomain))
                return fail(QStringLiteral("bad scan domain"));
        } else if (starts("ReverseIntensity")) {
            const std::optional<int> v = toInteger(valueOf(line));
            if (!v)
                return fail(QStringLiteral("bad ReverseIntensity"));
            result.reverseIntensity = *v != 0;
        } else if (starts("Clipping Low")) {
            if (!readReal(line, result.clipLow))
                return fail(QStringLiteral("bad lower clipping plane"));
        } else if (starts("Clipping High")) {
            if (!readReal(line, result.clipHigh))
                return fail(QStringLiteral("bad upper clipping plane"));
        } else if (starts("Print Scale")) {
            const std::optional<int> v = toInteger(valueOf(line));
            if (!v || *v < 0)
                return fail(QStringLiteral("bad print scale"));
            result.printScale = *v;
        } else if (starts("Layer")) {
            result.layer = valueOf(line).trimmed();
        } else if (starts("Crs")) {
            result.crs = valueOf(line).trimmed();
        } else if (starts("DXF")) {
            result.drawing = valueOf(line);
        } else if (starts("VRT")) {
            result.mosaic = valueOf(line);
        } else if (starts("PDF")) {
            result.print = valueOf(line);
        } else if (starts("Azimuth")) {
            if (!readReal(line, result.azimuth) || !std::isfinite(result.azimuth))
                return fail(QStringLiteral("bad azimuth"));
        } else if (starts("Layout END")) {
            if (!versionSeen)
                return fail(QStringLiteral("no version line"));
            if (!projectionSeen)
                return fail(QStringLiteral("no projection line"));
            const std::size_t tiles = std::size_t(result.tilesU) * std::size_t(result.tilesV);
            if (result.cornersLB.size() < tiles)
                return fail(QStringLiteral("fewer tiles than the tile counts say"));
            for (std::size_t t = 0; t < tiles; ++t) {
                const cv::Mat lb = result.projection * result.cornersLB[t];
                const cv::Mat ru = result.projection * result.cornersRU[t];
                result.cornersLBView.push_back(lb);
                result.cornersRUView.push_back(ru);
                for (int axis = 0; axis < 2; ++axis) {
                    const double low = std::min(lb.at<double>(axis), ru.at<double>(axis));
                    const double high = std::max(lb.at<double>(axis), ru.at<double>(axis));
                    result.extentMin[axis] = std::min(result.extentMin[axis], low);
                    result.extentMax[axis] = std::max(result.extentMax[axis], high);
                }
            }
            return true;
        }
    }
    return fail(QStringLiteral("the file ends before \"Layout END\""));
}

} // namespace orthaven
