#pragma once
// A plan's TIFF tile made a GeoTIFF: its place (the numbers of its world file) and its
// coordinate system written into the file as GeoTIFF tags and keys (libgeotiff), next to
// the pixels exactly as the image writer encoded them.

#include "engine/CoordinateSystem.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace orthaven {

// Adds the tags to the TIFF file held in tiff. An unturned tile gets ModelPixelScale and
// ModelTiepoint, a turned one ModelTransformation; both anchor the upper-left corner of the
// upper-left pixel (PixelIsArea). False, with failure (when given) saying why, when the
// bytes are no TIFF or the tags cannot be written.
bool addGeoTiffTags(QByteArray& tiff, const std::array<double, 6>& worldFile,
                    const CoordinateSystem& crs, QString* failure = nullptr);

} // namespace orthaven
