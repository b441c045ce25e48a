#pragma once
// The coordinate system a plan's project coordinates are in, when the user has one: an
// EPSG code looked up in PROJ's database, with the texts the layout's files carry (the
// mosaic's WKT, the ESRI-flavoured WKT of .prj files) and the code GeoTIFF keys name.

#include <QByteArray>
#include <QString>

#include <optional>

namespace orthaven {

struct CoordinateSystem
{
    QString code;       // "EPSG:25832"
    int epsg = 0;       // 25832
    QString name;       // "ETRS89 / UTM zone 32N"
    QByteArray wkt;     // one line of WKT (GDAL's WKT1 where it can say it, else WKT2)
    QByteArray esriWkt; // one line of ESRI WKT1, as .prj files hold it
};

// The system of a code "EPSG:N" (the prefix in any letter case). Only projected systems
// whose axes are in metres can describe a layout's coordinates; for anything else (text
// that is no EPSG code, a code PROJ does not know, a geographic system, feet) nothing,
// with why saying it in a few words ("EPSG:4326 (WGS 84) is not a projected coordinate
// system").
std::optional<CoordinateSystem> coordinateSystem(const QString& code, QString* why = nullptr);

} // namespace orthaven
