#include "engine/ImageWriter.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <iostream>

namespace orthaven {

namespace {

// Written beside the target and renamed over it: a full disk or a missing folder is a
// reported failure, never a cut-off file that looks like a tile.
bool write(const QString& path, const QImage& image, const QByteArray& format, int compression,
           int quality, bool tiffLines)
{
    if (image.isNull())
        return false;
    const auto fail = [tiffLines] {
        if (tiffLines)
            std::cout << "failed to write TIFF" << std::endl;
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    QImageWriter writer(&file, format);
    if (compression >= 0)
        writer.setCompression(compression);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return fail();
    }
    if (!file.commit())
        return fail();
    return true;
}

} // namespace

bool ImageWriter::saveQImage(const QString& path, const QImage& image)
{
    if (path.endsWith(QLatin1String(".tif"))) {
        const ImageFormat& tiff = *imageFormatFor(QStringLiteral("tif"));
        return write(path, image, tiff.writerFormat, tiff.compression, -1, true);
    }
    return write(path, image, QFileInfo(path).suffix().toLower().toLatin1(), -1, -1, false);
}

bool ImageWriter::writeImage(const QString& path, const QImage& image, const ImageFormat& format)
{
    return write(path, image, format.writerFormat, format.compression, format.quality,
                 QByteArray(format.writerFormat) == "tiff");
}

} // namespace orthaven
