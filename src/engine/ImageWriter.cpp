#include "engine/ImageWriter.h"

#include "diag/Diagnostics.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

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
            diag::error("failed to write TIFF");
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
    // A suffix of the format table, as written there, gets its writer and options; any
    // other is left to the writer its lower-cased suffix names (so ".TIF" is no LZW TIFF).
    const QString suffix = QFileInfo(path).suffix();
    for (const ImageFormat& format : imageFormats())
        if (suffix == QLatin1String(format.suffix))
            return writeImage(path, image, format);
    return write(path, image, suffix.toLower().toLatin1(), -1, -1, false);
}

bool ImageWriter::writeImage(const QString& path, const QImage& image, const ImageFormat& format)
{
    return write(path, image, format.writerFormat, format.compression, format.quality,
                 QByteArray(format.writerFormat) == "tiff");
}

} // namespace orthaven
