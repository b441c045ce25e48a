#pragma once
// The complete description of one layout job: what the engine computes and how much of
// the machine it may use. A plain value: copying it copies every list and string. The
// front ends know it by its old name, layoutdef.

#include "layout/LayoutFrame.h"
#include "layout/PaperSizes.h"
#include "layout/Views.h"

#include <QBitArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orthaven {

// What the pixels of a layout show.
enum class LayoutLayer : std::uint8_t
{
    Density,   // how densely the points cover the plane (grey, logarithmic)
    Intensity, // the points' mean intensity (grey, stretched over the layout's values)
    Colour,    // the points' mean colour (true colour)
};

// The layer's name on the command line, in job files and in the log: "density",
// "intensity", "colour".
inline const char* layerName(LayoutLayer layer)
{
    switch (layer) {
    case LayoutLayer::Intensity:
        return "intensity";
    case LayoutLayer::Colour:
        return "colour";
    case LayoutLayer::Density:
        break;
    }
    return "density";
}

// The layer of a name as layerName gives it; false for any other text.
inline bool layerByName(const QString& name, LayoutLayer& layer)
{
    for (LayoutLayer l : {LayoutLayer::Density, LayoutLayer::Intensity, LayoutLayer::Colour}) {
        if (name == QLatin1String(layerName(l))) {
            layer = l;
            return true;
        }
    }
    return false;
}

struct LayoutJob
{
    QStringList inputFiles;   // first entry decides the reader
    std::uint32_t view = Top; // a LayoutView
    // The frame the view looks in: the project turned by this many degrees
    // counter-clockwise about the vertical axis (0: the project's own axes).
    double azimuth = 0.0;
    // A facade: then the view is Front, the frame is the line's (azimuth follows it) and
    // the tiles cover the line's segment only.
    std::optional<FacadeLine> facade;
    QBitArray scanList;   // one flag per scan of the reader
    double clipLow = 0.0; // metres along the view's depth axis, in the frame
    double clipHigh = 0.0;
    QString outputFile; // full path of the layout log, ends in ".log"
    QString imageType;  // a suffix of the image format table: "png", "jpg" or "tif"
    // copies of the configuration file's values
    bool invertColor = false;
    double resolution = 0.0;
    double scannerDomain = 0.0;
    double tileSize = 0.0;
    bool grid = false;
    QColor gridColor;
    QColor textColor;
    QColor scanPosColor1;
    QColor scanPosColor2;
    int coordSystemSize = 150; // pixels of the coordinate symbol's arrows on the pictures
    // What the tiles carry besides their pixels.
    bool worldFiles = true; // a world file beside every tile (".pgw", ".jgw", ".tfw")
    int printScale = 0;     // 50: printed at 100 % a tile shows 1:50; 0: no resolution set
    // What goes to CAD, GIS and the printer beside the tiles: the drawing of the tile frames
    // and scan positions (<base>.dxf), with the world files the mosaic of all tiles
    // (<base>.vrt), the plan's coordinate system ("EPSG:25832"; empty: none is claimed) and
    // the layout at its print scale on paper (<base>.pdf; none: no PDF).
    bool dxf = true;
    QString crs;
    std::optional<Paper> pdfPaper;
    LayoutLayer layer = LayoutLayer::Density;
    // How the engine may run; neither changes a byte of the layout.
    int threads = 0;                    // worker threads; 0: one per processor core
    std::int64_t memoryBudgetBytes = 0; // tiles held in memory; 0: a quarter of the memory
};

using layoutdef = LayoutJob;

// The frame a job is laid out in: its facade's, or the one its azimuth turns.
inline LayoutFrame layoutFrame(const LayoutJob& job)
{
    return job.facade ? job.facade->frame() : LayoutFrame{job.azimuth};
}

// Makes job the facade of line: a front view in the line's frame, clipped low to high
// metres from the line (negative: in front of it).
inline void setFacade(LayoutJob& job, const FacadeLine& line, double low = FacadeLine::defaultLow,
                      double high = FacadeLine::defaultHigh)
{
    job.facade = line;
    job.view = Front;
    job.azimuth = line.azimuth();
    job.clipLow = line.depth() + low;
    job.clipHigh = line.depth() + high;
}

} // namespace orthaven
