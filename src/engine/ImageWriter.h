#pragma once
// Writes finished images (output tiles, thumbnails, overview sheets) as PNG, JPEG or TIFF
// files. A file is replaced only when the whole image was written.

#include "engine/ImageFormats.h"

#include <QImage>
#include <QString>

#include <opencv2/core.hpp>

namespace orthaven {

class ImageWriter
{
public:
    // A path ending in ".tif" (lower case) is written by the TIFF writer with LZW
    // compression ("failed to write TIFF" on failure); any other path in the format its
    // suffix names, default quality. False when the image was not written whole.
    static bool saveQImage(const QString& path, const QImage& image);
    // Writes a CV_8UC1 image as indexed colour with a grey palette, or a CV_8UC3 image as
    // 24-bit RGB, the way saveQImage does ("USE WRITER" before a TIFF).
    static bool saveIplImage(const QString& path, const cv::Mat& image);
    // Writes image with the writer and options of format.
    static bool writeImage(const QString& path, const QImage& image, const ImageFormat& format);
    // The QImage saveIplImage writes (null for other image types).
    static QImage toQImage(const cv::Mat& image);
};

} // namespace orthaven
