#include "layoutlog/LayoutLogWriter.h"

#include "Version.h"
#include "layout/LayoutFrame.h"
#include "layout/Views.h"
#include "layoutlog/LayoutFiles.h"
#include "platform/DurableFile.h"

#include <charconv>

namespace orthaven {

namespace {

const char* viewName(std::uint32_t view)
{
    const ViewInfo* info = viewInfo(view);
    return info ? info->name : viewInfo(Top)->name;
}

QByteArray number(double value)
{
    return QByteArray::fromStdString(formatLogNumber(value));
}

QByteArray integer(long long value)
{
    return QByteArray::number(value);
}

cv::Mat asDouble(const cv::Mat& m)
{
    if (m.type() == CV_64FC1)
        return m;
    cv::Mat converted;
    m.convertTo(converted, CV_64F);
    return converted;
}

} // namespace

std::string formatLogNumber(double value)
{
    if (value == 0.0)
        return "0";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 12);
    return std::string(buffer, result.ptr);
}

QByteArray layoutLogText(const LayoutLogContent& c)
{
    QByteArray text;
    const auto line = [&text](const QByteArray& content) {
        text += content;
        text += '\n';
    };
    const cv::Mat M = c.viewMatrix.empty() ? cv::Mat::eye(4, 4, CV_64F) : asDouble(c.viewMatrix);

    line("Brandmoor Layout");
    line(QByteArray("Version = ") + version::text);
    line("Number of Tiles U = " + integer(c.tilesU));
    line("Number of Tiles V = " + integer(c.tilesV));
    line(QByteArray("View = ") + viewName(c.view));
    line("Resolution = " + number(c.resolution));
    line("Tile Size = " + integer(c.tileSize));
    line("Scan Domain = " + number(c.scannerDomain));
    line(QByteArray("ReverseIntensity = ") + (c.reverseIntensity ? "1" : "0"));
    line("Clipping Low = " + number(c.clipLow));
    line("Clipping High = " + number(c.clipHigh));
    // Optional lines: a layout without them is a plain density layout without a scale.
    if (c.printScale > 0)
        line("Print Scale = " + integer(c.printScale));
    if (!c.layer.isEmpty() && c.layer != QLatin1String("density"))
        line("Layer = " + c.layer.toUtf8());
    if (LayoutFrame{c.azimuth}.isTurned())
        line("Azimuth = " + number(c.azimuth));
    if (!c.crs.isEmpty())
        line("Crs = " + c.crs.toUtf8());
    if (c.drawing)
        line("DXF = " + drawingFileName(c.baseName).toUtf8());
    if (c.mosaic)
        line("VRT = " + mosaicFileName(c.baseName).toUtf8());
    if (c.print)
        line("PDF = " + printFileName(c.baseName).toUtf8());

    QByteArray projection = "Projection Motion = ";
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            projection += number(M.at<double>(r, k)) + ' ';
    line(projection);

    const QByteArray type = c.imageType.toUtf8();
    const QByteArray base = c.baseName.toUtf8();
    line("Thumbnail = " + base + "_overview." + type);

    for (std::size_t i = 0; i < c.scanPoses.size(); ++i) {
        const cv::Mat P = c.scanPoses[i].rows == 4 && c.scanPoses[i].cols == 4
                              ? asDouble(c.scanPoses[i])
                              : cv::Mat::eye(4, 4, CV_64F);
        QByteArray pose = "Scan Motion = " + integer(static_cast<long long>(i));
        for (int k = 0; k < 4; ++k)
            for (int r = 0; r < 4; ++r)
                pose += ' ' + number(P.at<double>(r, k));
        line(pose);
    }

    QByteArray usedScans;
    for (int i = 0; i < c.usedScans.size(); ++i)
        if (c.usedScans.testBit(i))
            usedScans += integer(i) + ' ';

    // The view matrices, turned or not, are orthonormal, so their inverse is their
    // transpose: no rounding noise from an inversion in the corner coordinates.
    const cv::Mat inverse = M.t();
    const ViewInfo* info = viewInfo(c.view);
    const bool mirrored = info && info->mirrored;
    const int tilesV = std::max(c.tilesV, 1);
    for (std::size_t i = 0; i < c.tileCorners.size(); ++i) {
        const int a = int(i) / tilesV;
        const int b = int(i) % tilesV;
        // The corners of the image as it is seen: a mirrored image's left edge is the
        // tile's right edge in the view plane. Turned back into the project.
        const cv::Mat T = asDouble(c.tileCorners[i]);
        const double uLeft = T.at<double>(0, 0), uRight = T.at<double>(0, 1);
        const double left = mirrored ? uRight : uLeft;
        const double right = mirrored ? uLeft : uRight;
        const cv::Mat seen = (cv::Mat_<double>(4, 2) << left, right, T.at<double>(1, 0),
                              T.at<double>(1, 1), c.planeDepth, c.planeDepth, 1.0, 1.0);
        const cv::Mat C = inverse * seen;
        const auto corner = [&C](int k) {
            return number(C.at<double>(0, k)) + ' ' + number(C.at<double>(1, k)) + ' ' +
                   number(C.at<double>(2, k));
        };
        const QByteArray leftBottom = corner(0);
        const QByteArray rightUpper = corner(1);
        const bool used =
            a < c.tileUsed.rows && b < c.tileUsed.cols && c.tileUsed.at<std::int32_t>(a, b) == 1;
        line("# comment: Tile " + integer(a) + ' ' + integer(b));
        line("Tile Name = " + base + '_' + integer(a) + '_' + integer(b) + '.' + type);
        line("# comment: X Y Z image coordinates left bottom corner (LB),right upper corner (RU)");
        line("Left Bottom = " + leftBottom);
        line("Right Upper = " + rightUpper);
        line("Scans used = " + (used ? usedScans : QByteArray()));
    }
    line("Layout END");
    return text;
}

bool writeLayoutLog(const QString& path, const LayoutLogContent& content, QString* failure)
{
    return writeFileDurably(path, layoutLogText(content), QStringLiteral("log"), true, failure);
}

} // namespace orthaven
