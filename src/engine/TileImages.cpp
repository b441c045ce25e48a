#include "engine/TileImages.h"

#include <cstdint>

namespace orthaven {

QImage tileImage(const cv::Mat& tile)
{
    return QImage(tile.data, tile.cols, tile.rows, qsizetype(tile.step),
                  tile.channels() == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
}

QImage withPrintScale(QImage image, int dotsPerMetre)
{
    if (dotsPerMetre > 0) {
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
    }
    return image;
}

QImage colourImage(const cv::Mat& tile)
{
    QImage image(tile.cols, tile.rows, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const bool colour = tile.channels() == 3;
    for (int r = 0; r < tile.rows; ++r) {
        const std::uint8_t* from = tile.ptr<std::uint8_t>(r);
        QRgb* to = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (int c = 0; c < tile.cols; ++c, from += colour ? 3 : 1)
            to[c] = colour ? qRgb(from[0], from[1], from[2]) : qRgb(from[0], from[0], from[0]);
    }
    return image;
}

} // namespace orthaven
