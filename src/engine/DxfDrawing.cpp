#include "engine/DxfDrawing.h"

#include "engine/OutputTiles.h"

#include <algorithm>

namespace orthaven {

namespace {

// A group: its code right-aligned in three columns as CAD programs write it, then its value.
QByteArray groupText(int code, const QByteArray& value)
{
    return QByteArray::number(code).rightJustified(3) + '\n' + value + '\n';
}

QByteArray number(double value)
{
    return OutputTiles::fixedText(value);
}

// Text of a release 12 file is in the ANSI code page: anything beyond ASCII is written as
// the \U+XXXX escape that CAD programs and GDAL read back; line breaks cannot stand in a
// TEXT at all.
QByteArray dxfText(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        if (c.unicode() >= 32 && c.unicode() < 127)
            bytes += char(c.unicode());
        else if (c.unicode() >= 160 && !c.isSurrogate())
            bytes += "\\U+" + QByteArray::number(c.unicode(), 16).toUpper().rightJustified(4, '0');
        else
            bytes += c.isSurrogate() ? "?" : " ";
    }
    return bytes;
}

} // namespace

DxfDrawing::DxfDrawing(std::vector<Layer> drawingLayers) : layers(std::move(drawingLayers)) {}

void DxfDrawing::group(int code, const QByteArray& value)
{
    entities += groupText(code, value);
}

void DxfDrawing::coordinates(PlanePoint p, int first)
{
    group(first, number(p.x));
    group(first + 10, number(p.y));
    group(first + 20, "0");
    extend(p);
}

void DxfDrawing::extend(PlanePoint p)
{
    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
}

void DxfDrawing::polyline(const QByteArray& layer, const std::vector<PlanePoint>& points,
                          bool closed)
{
    // Release 12 knows only the POLYLINE with its VERTEX entities and a closing SEQEND.
    group(0, "POLYLINE");
    group(8, layer);
    group(66, "1");
    group(10, "0");
    group(20, "0");
    group(30, "0");
    group(70, closed ? "1" : "0");
    for (const PlanePoint& p : points) {
        group(0, "VERTEX");
        group(8, layer);
        coordinates(p);
    }
    group(0, "SEQEND");
    group(8, layer);
}

void DxfDrawing::point(const QByteArray& layer, PlanePoint at)
{
    group(0, "POINT");
    group(8, layer);
    coordinates(at);
}

void DxfDrawing::circle(const QByteArray& layer, PlanePoint centre, double radius)
{
    group(0, "CIRCLE");
    group(8, layer);
    coordinates(centre);
    group(40, number(radius));
}

void DxfDrawing::text(const QByteArray& layer, PlanePoint at, double height, const QString& text,
                      bool centred, double rotation)
{
    group(0, "TEXT");
    group(8, layer);
    coordinates(at);
    group(40, number(height));
    group(1, dxfText(text));
    if (rotation != 0.0)
        group(50, number(rotation));
    if (centred) {
        // Centred horizontally (72 = 1) and vertically (73 = 2) on the alignment point.
        group(72, "1");
        coordinates(at, 11);
        group(73, "2");
    }
}

QByteArray DxfDrawing::file() const
{
    QByteArray out;
    const auto add = [&out](int code, const QByteArray& value) { out += groupText(code, value); };
    const auto variable = [&add](const char* name, int code, const QByteArray& value) {
        add(9, name);
        add(code, value);
    };
    const bool empty = low.x > high.x;
    const PlanePoint from = empty ? PlanePoint{} : low;
    const PlanePoint to = empty ? PlanePoint{} : high;

    add(0, "SECTION");
    add(2, "HEADER");
    variable("$ACADVER", 1, "AC1009");
    variable("$DWGCODEPAGE", 3, "ANSI_1252");
    variable("$INSUNITS", 70, "6"); // metres
    variable("$MEASUREMENT", 70, "1");
    variable("$LUNITS", 70, "2"); // decimal
    for (const auto& [name, p] : {std::pair{"$EXTMIN", from}, std::pair{"$EXTMAX", to}}) {
        add(9, name);
        add(10, number(p.x));
        add(20, number(p.y));
        add(30, "0");
    }
    add(0, "ENDSEC");

    add(0, "SECTION");
    add(2, "TABLES");
    add(0, "TABLE");
    add(2, "LTYPE");
    add(70, "1");
    add(0, "LTYPE");
    add(2, "CONTINUOUS");
    add(70, "0");
    add(3, "Solid line");
    add(72, "65");
    add(73, "0");
    add(40, "0");
    add(0, "ENDTAB");
    add(0, "TABLE");
    add(2, "LAYER");
    add(70, QByteArray::number(qsizetype(layers.size()) + 1));
    std::vector<Layer> all{{"0", 7}}; // every drawing has the layer 0
    all.insert(all.end(), layers.begin(), layers.end());
    for (const Layer& layer : all) {
        add(0, "LAYER");
        add(2, layer.name);
        add(70, "0");
        add(62, QByteArray::number(layer.colour));
        add(6, "CONTINUOUS");
    }
    add(0, "ENDTAB");
    add(0, "ENDSEC");

    add(0, "SECTION");
    add(2, "BLOCKS");
    add(0, "ENDSEC");

    add(0, "SECTION");
    add(2, "ENTITIES");
    out += entities;
    add(0, "ENDSEC");
    add(0, "EOF");
    return out;
}

} // namespace orthaven
