#include "engine/ImageFormats.h"

#include <QtGlobal>

namespace orthaven {

namespace {

const std::array<ImageFormat, 3> table = {{
    {"png", QT_TRANSLATE_NOOP("LayoutForm", "PNG (*.png)"), "png", -1, -1},
    {"jpg", QT_TRANSLATE_NOOP("LayoutForm", "JPEG (*.jpg)"), "jpeg", -1, -1},
    {"tif", QT_TRANSLATE_NOOP("LayoutForm", "Tiff (*.tif)"), "tiff", 1, -1}, // 1: LZW
}};

} // namespace

const std::array<ImageFormat, 3>& imageFormats()
{
    return table;
}

const ImageFormat* imageFormatFor(const QString& suffix)
{
    for (const ImageFormat& format : table)
        if (suffix.compare(QLatin1String(format.suffix), Qt::CaseInsensitive) == 0)
            return &format;
    return nullptr;
}

QStringList imageFormatSuffixes()
{
    QStringList suffixes;
    for (const ImageFormat& format : table)
        suffixes.append(QLatin1String(format.suffix));
    return suffixes;
}

} // namespace orthaven
