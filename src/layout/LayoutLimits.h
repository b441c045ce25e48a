#pragma once
// Which tile geometry a layout can be made of, checked by the front ends before a run, so
// that a user hears the true cause at once and in the words of the fields they set.

#include <QString>

namespace orthaven {

namespace limits {
// The engine's internal tile grid, metres: output tiles are whole multiples of it.
inline constexpr int rawTileSize = 10;
// No tile image of a layout may have a longer edge (40 m tiles at 2 mm reach it).
inline constexpr int maxImageEdge = 20000;
} // namespace limits

// Pixels along a side of one output tile image: the tile size over the resolution, as the
// engine cuts it. Infinite for a resolution that is not above 0.
double tileImageEdge(double resolution, double tileSize);

// True when the tile images would be larger than the engine makes them.
bool tileImagesTooLarge(double resolution, double tileSize);

// "Tile images of N pixels a side exceed the limit of 20000!" with the resolution and tile
// size that give them and what to change. Translated in the context "Layout".
// tileLimitHint() tells a user outside the preferences where to change them.
QString tileLimitMessage(double resolution, double tileSize);
QString tileLimitHint();

// The preference whose value cannot make a layout, with the message that names it.
struct GeometryProblem
{
    enum Field
    {
        None,
        Resolution, // "Image Resolution"
        ScanRadius, // "Scan Radius"
        TileSize,   // "Image Size"
    };
    Field field = None;
    QString message; // translated in the context "LayoutPrefForm"
    // The configuration file's key of the field: "Resolution", "ScannerDomain", "TileSize".
    const char* key() const;
};

// The first of resolution (metres per pixel), scanner domain and tile size (metres) that
// no layout can be made with, checked in that order; field None when all can.
GeometryProblem layoutGeometryProblem(double resolution, double scannerDomain, double tileSize);

} // namespace orthaven
