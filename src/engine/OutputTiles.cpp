#include "engine/OutputTiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace orthaven {

OutputGrid OutputTiles::outputGrid(const TileRange& raw, int tileSize, int rawTileSize)
{
    const auto outputIndex = [&](std::int32_t rawIndex) {
        return static_cast<std::int32_t>(
            std::floor(double(rawTileSize) * double(rawIndex) / double(tileSize)));
    };
    OutputGrid grid;
    grid.minOU = outputIndex(raw.minU);
    grid.maxOU = outputIndex(raw.maxU);
    grid.minOV = outputIndex(raw.minV);
    grid.maxOV = outputIndex(raw.maxV);
    return grid;
}

int OutputTiles::thumbnailEdge(std::int64_t nOU, std::int64_t nOV, double resolution,
                               int rawTileSize, int thumbnailSize)
{
    const double g = double(rawTileSize) / resolution;
    const double longest = std::max(double(nOU) * g, double(nOV) * g);
    const double edge = std::floor(g / (longest / double(thumbnailSize)));
    return edge >= 1.0 && edge <= double(thumbnailSize) ? int(edge) : 0;
}

cv::Mat OutputTiles::cornerMatrix(const OutputGrid& grid, int a, int b, int tileSize)
{
    const double left = double(tileSize) * (double(grid.minOU) + a);
    const double bottom = double(tileSize) * (double(grid.minOV) + b);
    cv::Mat corners = (cv::Mat_<double>(4, 2) << left, left + tileSize, //
                       bottom, bottom + tileSize,                       //
                       0.0, 0.0,                                        //
                       1.0, 1.0);
    return corners;
}

std::array<double, 6> OutputTiles::worldFile(const ViewInfo& view, const LayoutFrame& frame,
                                             const cv::Mat& corners, double resolution, int m)
{
    const double uLeft = corners.at<double>(0, 0);
    const double vBottom = corners.at<double>(1, 0);
    const double sign = view.negatedAxis ? -1.0 : 1.0;
    // u of the centre of the image's first column, and how u changes along a row.
    const double u0 = view.mirrored ? uLeft + (m - 0.5) * resolution : uLeft + 0.5 * resolution;
    const double du = view.mirrored ? -resolution : resolution;
    const double v0 = vBottom + (m - 0.5) * resolution;
    if (view.view != Top || !frame.isTurned())
        return {sign * du, 0.0, 0.0, -resolution, sign * u0, v0};
    // A step along a row moves du along the frame's x' axis, a step down a column
    // -resolution along its y' axis; both turned into the project.
    const double c = frame.cosine();
    const double s = frame.sine();
    const PlanePoint origin = frame.toProject({u0, v0});
    return {c * du, s * du, s * resolution, -c * resolution, origin.x, origin.y};
}

QByteArray OutputTiles::worldFileText(const std::array<double, 6>& numbers)
{
    QByteArray text;
    for (double value : numbers)
        text += fixedText(value) + '\n';
    return text;
}

QByteArray OutputTiles::fixedText(double value)
{
    value += 0.0; // no negative zero
    const double magnitude = std::abs(value);
    const int before = magnitude >= 1.0 ? int(std::floor(std::log10(magnitude))) + 1 : 1;
    const int decimals = std::clamp(12 - before, 0, 15);
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
            .ptr;
    QByteArray number(buffer, int(end - buffer));
    if (number.contains('.')) {
        while (number.endsWith('0'))
            number.chop(1);
        if (number.endsWith('.'))
            number.chop(1);
    }
    if (number == "-0")
        number = "0";
    return number;
}

PlanePoint OutputTiles::planePoint(const ViewInfo& view, const LayoutFrame& frame, double u,
                                   double v)
{
    if (view.view == Top)
        return frame.toProject({u, v});
    return {view.negatedAxis ? -u : u, v};
}

QString OutputTiles::tilePath(const QString& dir, const QString& base, int a, int b,
                              const QString& type)
{
    return dir + QLatin1Char('/') + base + QLatin1Char('_') + QString::number(a) +
           QLatin1Char('_') + QString::number(b) + QLatin1Char('.') + type;
}

void OutputTiles::drawOpaque(QImage& target, const QImage& source, int x, int y)
{
    const QImage rgb = source.format() == QImage::Format_RGB32
                           ? source
                           : source.convertToFormat(QImage::Format_RGB32);
    const int left = std::max(0, x);
    const int top = std::max(0, y);
    const int right = std::min(target.width(), x + rgb.width());
    const int bottom = std::min(target.height(), y + rgb.height());
    if (left >= right || top >= bottom)
        return;
    const std::size_t bytes = std::size_t(right - left) * 4;
    for (int ty = top; ty < bottom; ++ty) {
        const uchar* from = rgb.constScanLine(ty - y) + std::size_t(left - x) * 4;
        uchar* to = target.scanLine(ty) + std::size_t(left) * 4;
        std::memcpy(to, from, bytes);
    }
}

} // namespace orthaven
