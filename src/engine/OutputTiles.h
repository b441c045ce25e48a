#pragma once
// The arithmetic of the output tiles and the overview thumbnail: which output tiles a
// layout has, where they lie, how large the thumbnail is, and how tile images are put
// together without scaling.

#include "engine/TileRange.h"
#include "layout/LayoutFrame.h"
#include "layout/Views.h"

#include <QImage>
#include <QString>

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>

namespace orthaven {

struct OutputGrid
{
    std::int32_t minOU = 0, maxOU = -1, minOV = 0, maxOV = -1;

    std::int64_t countU() const { return std::int64_t(maxOU) - minOU + 1; } // nOU
    std::int64_t countV() const { return std::int64_t(maxOV) - minOV + 1; } // nOV
};

class OutputTiles
{
public:
    // Output tiles covering the raw tile range: minOU = floor(10 · minU / tileSize) and so
    // on, computed in double.
    static OutputGrid outputGrid(const TileRange& rawTiles, int tileSize, int rawTileSize = 10);

    // Edge of one output tile in the thumbnail: floor(g / (max(nOU · g, nOV · g) / size))
    // with g = rawTileSize / resolution, in double. 0 when the grid is wider than size.
    static int thumbnailEdge(std::int64_t nOU, std::int64_t nOV, double resolution,
                             int rawTileSize = 10, int thumbnailSize = 3000);

    // 4 × 2 doubles: column 0 = (u left, v bottom, 0, 1), column 1 = (u right, v top, 0, 1)
    // of output tile (a, b), metres in view coordinates.
    static cv::Mat cornerMatrix(const OutputGrid& grid, int a, int b, int tileSize);

    // The six numbers of the world file of a tile image m pixels a side whose view-plane
    // corners are `corners` (as cornerMatrix gives them): pixel width, two rotation terms,
    // pixel height (negative: rows run downward), then the centre of the image's upper-left
    // pixel. A top view places its pixels at their project x and y: in a turned frame the
    // rotation terms turn the image back into the project. An elevation speaks its own
    // plane: the distance along the frame's axis that the overview pictures name under the
    // view, and height; its rotation terms are 0. Pixels are anchored at the tile's
    // lower-left corner, as the raw tiles fill it; mirrored images and axes that run
    // against u get a negative pixel width.
    static std::array<double, 6> worldFile(const ViewInfo& view, const LayoutFrame& frame,
                                           const cv::Mat& corners, double resolution, int m);
    // The six numbers, one a line ("\n"), each as fixedText writes it.
    static QByteArray worldFileText(const std::array<double, 6>& numbers);
    // A number in fixed notation with 12 significant digits (millimetres at millions of
    // metres), no trailing zeros and no negative zero: what world files, the drawing and the
    // mosaic carry.
    static QByteArray fixedText(double value);

    // The point of a view's plane (u, v) in the coordinates its world files speak: a top view
    // its project x and y (turned back from the frame), an elevation the distance along the
    // axis the overview pictures name under it (negated where that axis runs against u), and
    // height. The drawing and the mosaic beside the tiles use the same coordinates.
    static PlanePoint planePoint(const ViewInfo& view, const LayoutFrame& frame, double u,
                                 double v);

    // dir + "/" + base + "_" + a + "_" + b + "." + type
    static QString tilePath(const QString& dir, const QString& base, int a, int b,
                            const QString& type);

    // Copies source (any format; drawn as opaque RGB) into target (RGB32) with its top-left
    // corner at (x, y), unscaled; what lies outside target is cut off.
    static void drawOpaque(QImage& target, const QImage& source, int x, int y);
};

} // namespace orthaven
