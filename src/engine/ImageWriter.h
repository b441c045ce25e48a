#pragma once
// Writes finished images (output tiles, thumbnails, overview sheets) as PNG, JPEG or TIFF
// files. A file is replaced only when the whole image was written and synced to the disk
// (DurableFile).

#include "layout/ImageFormats.h"

#include <QImage>
#include <QString>

namespace orthaven {

class ImageWriter
{
public:
    // A path ending in a suffix of the format table (lower case: ".png", ".jpg", ".tif") is
    // written with that format's writer and options (TIFF: LZW, "failed to write TIFF" on
    // failure); any other path in the format its suffix names, default settings. False
    // when the image was not written whole; failure (when given) then says why. kind
    // labels the file for the fault seam of DurableFile.
    static bool saveQImage(const QString& path, const QImage& image,
                           const QString& kind = QStringLiteral("image"),
                           QString* failure = nullptr);
    // Writes image with the writer and options of format ("failed to write TIFF" on
    // failure of a TIFF). False when the image was not written whole.
    static bool writeImage(const QString& path, const QImage& image, const ImageFormat& format,
                           const QString& kind = QStringLiteral("image"),
                           QString* failure = nullptr);
    // The bytes writeImage would write, in memory (for a file that gets more than the
    // encoder writes before it goes to the disk). False when the image cannot be encoded.
    static bool encodeImage(const QImage& image, const ImageFormat& format, QByteArray& bytes,
                            QString* failure = nullptr);
};

} // namespace orthaven
