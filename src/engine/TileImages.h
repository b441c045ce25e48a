#pragma once
// A tile of the layout as the images made from it: the image its file is written from, the
// same with the resolution of a print scale, and the 32-bit image the thumbnail scales.

#include <QImage>

#include <opencv2/core.hpp>

namespace orthaven {

// A tile as the image its file is written from, sharing its pixels: 8-bit grey, or 24-bit
// colour for a colour layer.
QImage tileImage(const cv::Mat& tile);

// The image as written: at a print scale it carries the resolution that prints it so.
QImage withPrintScale(QImage image, int dotsPerMetre);

// A tile as a 32-bit image (grey g: red, green and blue g, opaque; a colour tile's red,
// green and blue), as the thumbnail scales it.
QImage colourImage(const cv::Mat& tile);

} // namespace orthaven
