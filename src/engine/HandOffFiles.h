#pragma once
// The files a layout hands to CAD and GIS programs beside its tiles, all in the coordinates
// of its world files (OutputTiles::planePoint): the drawing <base>.dxf (every tile's frame
// with its name, the scan positions, the layout's outline, a facade's line on the plan) and
// the mosaic <base>.vrt (GDAL's virtual raster of every tile at its place, so the layout
// opens as one layer), with the coordinate system when the plan has one.

#include "engine/CoordinateSystem.h"
#include "engine/OutputTiles.h"
#include "layout/LayoutFrame.h"
#include "layout/Views.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace orthaven {

struct HandOffLayout
{
    struct Scan
    {
        QString name;
        double x = 0.0, y = 0.0, z = 0.0; // the scanner's position, project metres
    };

    const ViewInfo* view = nullptr;
    LayoutFrame frame;
    cv::Mat viewMatrix; // 4 × 4: project to view (u, v, depth)
    std::optional<FacadeLine> facade;
    double clipLow = 0.0; // depths in the frame
    double clipHigh = 0.0;
    double resolution = 0.0;
    int tileSize = 0;   // metres
    int tilePixels = 0; // m
    OutputGrid grid;
    QString baseName;
    QString imageType;
    bool colour = false;                 // three bands instead of one grey
    std::vector<Scan> scans;             // the used scans that have a position
    std::optional<CoordinateSystem> crs; // a plan's coordinate system
};

// The drawing: layer TILES (each tile's frame as a closed polyline, its name in its
// middle), SCANS (each scan's position as a point in a small circle, its name beside it),
// FRAME (the layout's outline) and, for a facade, FACADE: its line and the traces of its
// clipping planes on the plan, in project x and y.
QByteArray layoutDrawing(const HandOffLayout& layout);

// The mosaic: every tile as a source at its place in one raster, with the geotransform of
// the tiles' world files and the coordinate system's WKT when there is one.
QByteArray mosaicVrt(const HandOffLayout& layout);

} // namespace orthaven
