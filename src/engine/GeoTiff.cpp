#include "engine/GeoTiff.h"

#include <geotiff.h>
#include <geovalues.h>
#include <xtiffio.h>

#include <algorithm>
#include <cstring>

namespace orthaven {

namespace {

// The file in memory, as libtiff reads and rewrites it through its client procedures.
struct MemoryFile
{
    QByteArray* bytes;
    toff_t position = 0;
};

tsize_t readMemory(thandle_t handle, tdata_t buffer, tsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t available = file->position < toff_t(file->bytes->size())
                                 ? toff_t(file->bytes->size()) - file->position
                                 : 0;
    const tsize_t count = tsize_t(std::min<toff_t>(toff_t(size), available));
    if (count <= 0)
        return 0;
    std::memcpy(buffer, file->bytes->constData() + file->position, std::size_t(count));
    file->position += toff_t(count);
    return count;
}

tsize_t writeMemory(thandle_t handle, tdata_t buffer, tsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t end = file->position + toff_t(size);
    if (end > toff_t(file->bytes->size()))
        file->bytes->resize(qsizetype(end));
    std::memcpy(file->bytes->data() + file->position, buffer, std::size_t(size));
    file->position = end;
    return size;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(handle);
    if (whence == SEEK_CUR)
        offset += file->position;
    else if (whence == SEEK_END)
        offset += toff_t(file->bytes->size());
    file->position = offset;
    return offset;
}

int closeMemory(thandle_t)
{
    return 0;
}

toff_t sizeOfMemory(thandle_t handle)
{
    return toff_t(static_cast<MemoryFile*>(handle)->bytes->size());
}

int mapNothing(thandle_t, tdata_t*, toff_t*)
{
    return 0;
}

void unmapNothing(thandle_t, tdata_t, toff_t) {}

bool fail(QString* failure, const char* why)
{
    if (failure)
        *failure = QString::fromLatin1(why);
    return false;
}

} // namespace

bool addGeoTiffTags(QByteArray& tiff, const std::array<double, 6>& worldFile,
                    const CoordinateSystem& crs, QString* failure)
{
    // GeoTIFF keys are 16-bit; KvUserDefined and beyond name no EPSG system.
    if (crs.epsg <= 0 || crs.epsg >= KvUserDefined)
        return fail(failure, "the coordinate system has no code a GeoTIFF key can hold");
    // libtiff learns the GeoTIFF tags once, before any thread opens a file with them.
    static const bool tagsKnown = (XTIFFInitialize(), true);
    static_cast<void>(tagsKnown);
    MemoryFile file{&tiff};
    TIFF* tif = XTIFFClientOpen("tile", "r+", &file, readMemory, writeMemory, seekMemory,
                                closeMemory, sizeOfMemory, mapNothing, unmapNothing);
    if (!tif)
        return fail(failure, "the tile is no TIFF");

    const auto [A, D, B, E, C, F] = worldFile;
    // The world file names the centre of the upper-left pixel, GeoTIFF its corner.
    const double x0 = C - A / 2 - B / 2;
    const double y0 = F - D / 2 - E / 2;
    bool written = true;
    if (B == 0.0 && D == 0.0) {
        double scale[3] = {A, -E, 0.0};
        double tiepoint[6] = {0.0, 0.0, 0.0, x0, y0, 0.0};
        written = TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale) &&
                  TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
    } else {
        double matrix[16] = {A, B, 0, x0, D, E, 0, y0, 0, 0, 0, 0, 0, 0, 0, 1};
        written = TIFFSetField(tif, TIFFTAG_GEOTRANSMATRIX, 16, matrix);
    }
    GTIF* keys = written ? GTIFNew(tif) : nullptr;
    if (keys) {
        const QByteArray citation = crs.name.toLatin1();
        written = GTIFKeySet(keys, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected) &&
                  GTIFKeySet(keys, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea) &&
                  GTIFKeySet(keys, GTCitationGeoKey, TYPE_ASCII, 0, citation.constData()) &&
                  GTIFKeySet(keys, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, crs.epsg) &&
                  GTIFWriteKeys(keys);
        GTIFFree(keys);
    }
    // The directory goes to the end of the file; the strips stay where the encoder put them.
    written = keys && written && TIFFRewriteDirectory(tif);
    XTIFFClose(tif);
    return written || fail(failure, "the GeoTIFF tags cannot be written");
}

} // namespace orthaven
