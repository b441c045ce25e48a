#include "engine/ImageWriter.h"

#include "diag/Diagnostics.h"
#include "platform/DurableFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace orthaven {

namespace {

// The encoder for device with the format's options.
void configure(QImageWriter& writer, int compression, int quality)
{
    if (compression >= 0)
        writer.setCompression(compression);
    if (quality >= 0)
        writer.setQuality(quality);
}

// Written beside the target, synced and renamed over it: a full disk or a missing folder
// is a reported failure, never a cut-off file that looks like a tile.
bool write(const QString& path, const QImage& image, const QByteArray& format, int compression,
           int quality, bool tiffLines, const QString& kind, QString* failure)
{
    QString why;
    const auto fail = [&] {
        if (tiffLines)
            diag::error("failed to write TIFF");
        if (failure)
            *failure = why;
        return false;
    };
    if (image.isNull()) {
        why = QStringLiteral("no image");
        return fail();
    }
    DurableFile file(path, kind);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.failure();
        return fail();
    }
    QImageWriter writer(&file, format);
    configure(writer, compression, quality);
    // The file's own cause comes first: the encoder only learns that a write failed.
    if (!writer.write(image)) {
        why = file.failure().isEmpty() ? writer.errorString() : file.failure();
        return fail();
    }
    if (!file.finish()) {
        why = file.failure();
        return fail();
    }
    return true;
}

} // namespace

bool ImageWriter::saveQImage(const QString& path, const QImage& image, const QString& kind,
                             QString* failure)
{
    // A suffix of the format table, as written there, gets its writer and options; any
    // other is left to the writer its lower-cased suffix names (so ".TIF" is no LZW TIFF).
    const QString suffix = QFileInfo(path).suffix();
    for (const ImageFormat& format : imageFormats())
        if (suffix == QLatin1String(format.suffix))
            return writeImage(path, image, format, kind, failure);
    return write(path, image, suffix.toLower().toLatin1(), -1, -1, false, kind, failure);
}

bool ImageWriter::writeImage(const QString& path, const QImage& image, const ImageFormat& format,
                             const QString& kind, QString* failure)
{
    return write(path, image, format.writerFormat, format.compression, format.quality,
                 QByteArray(format.writerFormat) == "tiff", kind, failure);
}

bool ImageWriter::encodeImage(const QImage& image, const ImageFormat& format, QByteArray& bytes,
                              QString* failure)
{
    bytes.clear();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format.writerFormat);
    configure(writer, format.compression, format.quality);
    if (!image.isNull() && writer.write(image))
        return true;
    if (failure)
        *failure = image.isNull() ? QStringLiteral("no image") : writer.errorString();
    return false;
}

} // namespace orthaven
