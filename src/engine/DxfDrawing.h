#pragma once
// A small ASCII DXF drawing (release 12, which every CAD program and GDAL reads) in metres:
// layers, closed outlines, lines, points, circles and texts on the model space, written as
// the DXF reference of release 12 describes them, with the units declared in the header.

#include "layout/LayoutFrame.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace orthaven {

class DxfDrawing
{
public:
    struct Layer
    {
        QByteArray name;
        int colour = 7; // the CAD colour number: 1 red, 3 green, 5 blue, 7 black/white, 8 grey
    };
    explicit DxfDrawing(std::vector<Layer> drawingLayers);

    void polyline(const QByteArray& layer, const std::vector<PlanePoint>& points, bool closed);
    void point(const QByteArray& layer, PlanePoint at);
    void circle(const QByteArray& layer, PlanePoint centre, double radius);
    // A text of the given height; centred on at, or starting there. rotation: degrees
    // counter-clockwise.
    void text(const QByteArray& layer, PlanePoint at, double height, const QString& text,
              bool centred, double rotation = 0.0);

    // The whole file: header (units metres, extents), layer table, entities.
    QByteArray file() const;

private:
    void group(int code, const QByteArray& value);
    void coordinates(PlanePoint p, int first = 10);
    void extend(PlanePoint p);

    std::vector<Layer> layers;
    QByteArray entities;
    PlanePoint low{1e300, 1e300};
    PlanePoint high{-1e300, -1e300};
};

} // namespace orthaven
