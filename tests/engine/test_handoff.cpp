// What a layout hands to CAD and GIS, read back by GDAL's own tools: the drawing's frames
// lie on the world files' extents, the mosaic holds every tile where its world file puts
// it, and a coordinate system reaches the .prj files, the mosaic and GeoTIFF tiles.

#include "LayoutRun.h"

#include "engine/CoordinateSystem.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"
#include "support/ExternalTool.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const cv::Vec3d site(5412340.0, 5801230.0, 312.0); // millimetres count here

// A layout of several tiles in every view: the surface of a 14 m box on a georeferenced
// site, with world files and the drawing.
LayoutRun& boxLayout(LayoutRun& run, std::uint32_t view, double azimuth)
{
    run.job.view = view;
    run.job.azimuth = azimuth;
    run.job.worldFiles = run.job.dxf = true;
    run.job.clipLow = -1.0e8; // the site's depths are georeferenced too
    run.job.clipHigh = 1.0e8;
    return run;
}

FakeScan boxScan()
{
    FakeScan scan;
    scan.name = QStringLiteral("/scans/station 1.ptx");
    scan.pose = FakeScanSource::translation(site[0], site[1], site[2]);
    scan.points = box(1.0, 14.5, 1.0, 14.5, 1.0, 14.5);
    return scan;
}

// Where a world file puts the corner (i, j) of its image's pixel grid.
cv::Point2d placed(const std::array<double, 6>& w, double i, double j)
{
    const auto [A, D, B, E, C, F] = w;
    return {A * (i - 0.5) + B * (j - 0.5) + C, D * (i - 0.5) + E * (j - 0.5) + F};
}

// Within a hundredth of a millimetre: both files carry twelve significant digits.
bool near(const QJsonArray& xy, cv::Point2d p)
{
    return std::abs(xy[0].toDouble() - p.x) < 1e-5 && std::abs(xy[1].toDouble() - p.y) < 1e-5;
}

} // namespace

// The drawing's TILES frames run exactly round the images as the world files place them,
// the scanner stands in the layout's plane (a scan without a position nowhere), and the mosaic
// holds every tile, pixel for pixel, where its world file puts it: plans, a turned plan and
// mirrored and negated elevations alike. Without a coordinate system nothing claims one.
TEST(HandOff, DrawingAndMosaicLieOnTheWorldFilesInEveryKindOfView)
{
    const std::pair<std::uint32_t, double> cases[] = {
        {Top, 0.0}, {Top, 30.0}, {Back, 0.0}, {Left, 0.0}};
    for (const auto& [view, azimuth] : cases) {
        SCOPED_TRACE(std::string(viewInfo(view)->name) + " " + std::to_string(azimuth));
        FakeScan unplaced = boxScan(); // a scan without a position is drawn nowhere
        unplaced.positioned = false;
        LayoutRun run({boxScan(), unplaced});
        boxLayout(run, view, azimuth);
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        const std::optional<QByteArray> drawing =
            toolOutput("ogr2ogr", {"-f", "GeoJSON", "/vsistdout/", run.outputPath("site.dxf")});
        if (!drawing)
            GTEST_SKIP() << "GDAL's tools are not installed (scripts/setup.sh)";
        const QJsonArray features = jsonOf(drawing)["features"].toArray();
        const LogReader reader(run.outputPath("site.log"));
        ASSERT_TRUE(reader.ok());
        const LayoutLogInfo& log = reader.info();
        const int nU = log.tilesU, nV = log.tilesV, m = 100;
        ASSERT_GE(nU * nV, 4);

        // Each tile's frame, and its name in its middle.
        for (const QString& tile : log.tileNames) {
            const auto w = readWorldFile(run.outputPath(worldFileName(tile)));
            const cv::Point2d corners[4] = {placed(w, 0, 0), placed(w, m, 0), placed(w, m, m),
                                            placed(w, 0, m)};
            int frames = 0, names = 0;
            for (const QJsonValue& f : features) {
                const QString layer = f["properties"]["Layer"].toString();
                const QJsonArray xy = f["geometry"]["coordinates"].toArray();
                if (layer == "TILES" && f["geometry"]["type"].toString() == "LineString" &&
                    xy.size() == 5) {
                    int matched = 0;
                    for (const cv::Point2d& corner : corners)
                        for (int k = 0; k < 4; ++k)
                            matched += near(xy[k].toArray(), corner) ? 1 : 0;
                    frames += matched == 4 ? 1 : 0;
                }
                names += layer == "TILES" && f["properties"]["Text"].toString() == tile &&
                         near(xy, placed(w, m / 2.0, m / 2.0));
            }
            EXPECT_EQ(frames, 1) << tile.toStdString();
            EXPECT_EQ(names, 1) << tile.toStdString();
        }
        const auto [h, v] = planeAxes(view);
        int scans = 0;
        for (const QJsonValue& f : features)
            scans += f["properties"]["Layer"].toString() == "SCANS" &&
                     f["geometry"]["type"].toString() == "Point" &&
                     near(f["geometry"]["coordinates"].toArray(), {site[h], site[v]});
        EXPECT_EQ(scans, 1);
        EXPECT_EQ(features.size(), nU * nV * 2 + 1 + 3) << "frames with names, outline, scan";

        // The mosaic: one raster whose geotransform places every tile's pixels as its world
        // file does, and whose pixels are the tiles'.
        const QJsonObject info =
            jsonOf(toolOutput("gdalinfo", {"-json", run.outputPath("site.vrt")}));
        const QJsonArray gt = info["geoTransform"].toArray();
        ASSERT_EQ(gt.size(), 6);
        EXPECT_EQ(info["size"].toArray(), QJsonArray({nU * m, nV * m}));
        EXPECT_TRUE(info["coordinateSystem"]["wkt"].toString().isEmpty());
        toolOutput("gdal_translate",
                   {"-q", "-of", "PNG", run.outputPath("site.vrt"), run.outputPath("mosaic.png")});
        const QImage mosaic = run.image("mosaic.png").convertToFormat(QImage::Format_Grayscale8);
        ASSERT_FALSE(mosaic.isNull());
        for (int t = 0; t < nU * nV; ++t) {
            const int a = t / nV, b = t % nV;
            const int X = (viewInfo(view)->mirrored ? nU - 1 - a : a) * m, Y = (nV - 1 - b) * m;
            const auto w = readWorldFile(run.outputPath(worldFileName(log.tileNames[t])));
            const cv::Point2d corner = placed(w, 0, 0);
            EXPECT_NEAR(gt[0].toDouble() + gt[1].toDouble() * X + gt[2].toDouble() * Y, corner.x,
                        1e-5);
            EXPECT_NEAR(gt[3].toDouble() + gt[4].toDouble() * X + gt[5].toDouble() * Y, corner.y,
                        1e-5);
            EXPECT_TRUE(mosaic.copy(X, Y, m, m) ==
                        run.image(log.tileNames[t]).convertToFormat(QImage::Format_Grayscale8))
                << log.tileNames[t].toStdString();
        }
        EXPECT_FALSE(run.outputFiles().join(' ').contains(".prj"));
    }
}

// A plan under a coordinate system: a .prj beside each world file, the system in the
// mosaic, and GeoTIFF tiles whose own georeferencing agrees with their world files (a
// turned plan's too) and whose pixels are those of the plain TIFF. The log names it.
TEST(HandOff, ACoordinateSystemReachesPrjFilesTheMosaicAndGeoTiffTiles)
{
    const std::optional<CoordinateSystem> utm = coordinateSystem("epsg:25832");
    ASSERT_TRUE(utm);
    EXPECT_EQ(utm->code, "EPSG:25832");
    EXPECT_TRUE(utm->esriWkt.startsWith("PROJCS[\"ETRS_1989_UTM_Zone_32N\""));
    for (const double azimuth : {0.0, 30.0}) {
        SCOPED_TRACE(azimuth);
        LayoutRun run({boxScan()});
        boxLayout(run, Top, azimuth).job.imageType = QStringLiteral("tif");
        ASSERT_TRUE(run.run());
        const QImage plain = run.image("site_0_0.tif");
        run.job.crs = QStringLiteral("EPSG:25832");
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(run.succeeded());
        EXPECT_TRUE(run.image("site_0_0.tif") == plain) << "the pixels are the encoder's";
        const LogReader log(run.outputPath("site.log"));
        EXPECT_EQ(log.info().crs, "EPSG:25832");
        const std::optional<QByteArray> mosaic =
            toolOutput("gdalinfo", {"-json", run.outputPath("site.vrt")});
        if (!mosaic)
            GTEST_SKIP() << "GDAL's tools are not installed (scripts/setup.sh)";
        EXPECT_TRUE(
            jsonOf(mosaic)["coordinateSystem"]["wkt"].toString().contains("ID[\"EPSG\",25832]"));
        for (const QString& tile : log.info().tileNames) {
            EXPECT_EQ(readFile(run.outputPath(projectionFileName(tile))), utm->esriWkt);
            const QJsonObject info =
                jsonOf(toolOutput("gdalinfo", {"-json", run.outputPath(tile)}));
            EXPECT_TRUE(info["coordinateSystem"]["wkt"].toString().contains("ID[\"EPSG\",25832]"));
            const auto [A, D, B, E, C, F] = readWorldFile(run.outputPath(worldFileName(tile)));
            const cv::Point2d corner = placed({A, D, B, E, C, F}, 0, 0);
            const double expected[6] = {corner.x, A, B, corner.y, D, E};
            const QJsonArray gt = info["geoTransform"].toArray();
            ASSERT_EQ(gt.size(), 6);
            for (int k = 0; k < 6; ++k)
                EXPECT_NEAR(gt[k].toDouble(), expected[k],
                            1e-9 * std::max(1.0, std::abs(expected[k])));
        }
    }
}

// Only projected systems in metres that PROJ knows describe a layout; an elevation takes
// none, a layout without a drawing or mosaic takes the older ones away, and a facade's
// drawing shows its line for the plan.
TEST(HandOff, UnusableCoordinateSystemsAreRefusedAndOlderFilesGoWithTheLayout)
{
    const std::pair<const char*, const char*> refused[] = {
        {"EPSG:4326", "EPSG:4326 (WGS 84) is not a projected coordinate system"},
        {"EPSG:2263", "is not in metres"},
        {"EPSG:999999", "EPSG:999999 is not a coordinate system PROJ knows"},
        {"25832", "is no EPSG code"}};
    for (const auto& [code, reason] : refused) {
        QString why;
        EXPECT_FALSE(coordinateSystem(QString::fromLatin1(code), &why)) << code;
        EXPECT_TRUE(why.contains(QLatin1String(reason))) << why.toStdString();
    }
    LayoutRun run({boxScan()});
    boxLayout(run, Front, 0.0).job.crs = QStringLiteral("EPSG:25832");
    run.run();
    EXPECT_TRUE(run.creator.failed);
    EXPECT_EQ(run.creator.errorCode, InvalidSettings);

    run.job.crs.clear();
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.outputFiles().contains("site.dxf") && run.outputFiles().contains("site.vrt"));
    run.job.dxf = run.job.worldFiles = false;
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(run.succeeded());
    EXPECT_FALSE(run.outputFiles().contains("site.dxf") || run.outputFiles().contains("site.vrt"));

    // A facade's drawing carries its line for the plan, from P1 to P2 in project x and y.
    const FacadeLine line{{site[0] + 1.0, site[1] + 1.0}, {site[0] + 14.0, site[1] + 1.0}};
    setFacade(run.job, line, -0.5, 0.5);
    run.job.dxf = true;
    ASSERT_TRUE(run.run());
    const auto drawing =
        toolOutput("ogr2ogr", {"-f", "GeoJSON", "/vsistdout/", run.outputPath("site.dxf")});
    int lines = 0;
    for (const QJsonValue& f : jsonOf(drawing)["features"].toArray()) {
        const QJsonArray xy = f["geometry"]["coordinates"].toArray();
        lines += f["properties"]["Layer"].toString() == "FACADE" && xy.size() == 2 &&
                 near(xy[0].toArray(), {line.from.x, line.from.y}) &&
                 near(xy[1].toArray(), {line.to.x, line.to.y});
    }
    EXPECT_EQ(lines, drawing ? 1 : 0);
}
