#include "layout/LayoutLimits.h"

#include "layout/NumberText.h"

#include <QCoreApplication>

#include <cmath>

namespace orthaven {

double tileImageEdge(double resolution, double tileSize)
{
    if (!(resolution > 0.0))
        return INFINITY;
    return std::floor(tileSize / resolution);
}

bool tileImagesTooLarge(double resolution, double tileSize)
{
    return !(tileImageEdge(resolution, tileSize) <= limits::maxImageEdge);
}

QString tileLimitMessage(double resolution, double tileSize)
{
    const double edge = tileImageEdge(resolution, tileSize);
    const QString pixels =
        std::isfinite(edge) ? QString::number(edge, 'f', 0) : QString(QChar(0x221E)); // ∞
    return QCoreApplication::translate("Layout",
                                       "Tile images of %1 pixels a side exceed the limit of %2!\n\n"
                                       "An image resolution of %3 mm and tiles of %4 m give them.\n"
                                       "Please choose a coarser resolution or smaller tiles.")
        .arg(pixels, QString::number(limits::maxImageEdge), formatUserReal(resolution * 1000.0),
             formatUserReal(tileSize));
}

QString tileLimitHint()
{
    return QCoreApplication::translate("Layout", "(Modules > Layout Preferences)");
}

const char* GeometryProblem::key() const
{
    switch (field) {
    case Resolution:
        return "Resolution";
    case ScanRadius:
        return "ScannerDomain";
    case TileSize:
        return "TileSize";
    case None:
        break;
    }
    return "";
}

GeometryProblem layoutGeometryProblem(double resolution, double scannerDomain, double tileSize)
{
    const auto problem = [](GeometryProblem::Field field, const QString& message) {
        return GeometryProblem{field, message};
    };
    if (!std::isfinite(resolution) || resolution <= 0.0 || resolution > limits::rawTileSize)
        return problem(GeometryProblem::Resolution,
                       QCoreApplication::translate("LayoutPrefForm",
                                                   "Image Resolution: %1 mm cannot make a layout; "
                                                   "it must be above 0 and at most %2 mm!")
                           .arg(formatUserReal(resolution * 1000.0),
                                formatUserReal(limits::rawTileSize * 1000.0)));
    if (!std::isfinite(scannerDomain) || scannerDomain <= 0.0)
        return problem(GeometryProblem::ScanRadius,
                       QCoreApplication::translate(
                           "LayoutPrefForm", "Scan Radius: %1 m cannot make a layout; it must be "
                                             "above 0 m!")
                           .arg(formatUserReal(scannerDomain)));
    const double tiles = tileSize / limits::rawTileSize;
    if (!std::isfinite(tiles) || tiles < 1.0 || tiles != std::floor(tiles))
        return problem(GeometryProblem::TileSize,
                       QCoreApplication::translate(
                           "LayoutPrefForm",
                           "Image Size: tiles are cut in whole multiples of %1 m; %2 m is not one!")
                           .arg(limits::rawTileSize)
                           .arg(formatUserReal(tileSize)));
    if (tileImagesTooLarge(resolution, tileSize))
        return problem(GeometryProblem::Resolution,
                       QCoreApplication::translate("LayoutPrefForm", "Image Resolution: %1")
                           .arg(tileLimitMessage(resolution, tileSize)));
    return {};
}

} // namespace orthaven
