#include "engine/HandOffFiles.h"

#include "engine/DxfDrawing.h"

#include <cmath>

namespace orthaven {

namespace {

QString tileName(const HandOffLayout& layout, int a, int b)
{
    return OutputTiles::tilePath({}, layout.baseName, a, b, layout.imageType).mid(1);
}

QByteArray xml(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray number(double value)
{
    return OutputTiles::fixedText(value);
}

} // namespace

QByteArray layoutDrawing(const HandOffLayout& layout)
{
    const ViewInfo& view = *layout.view;
    const auto at = [&](double u, double v) {
        return OutputTiles::planePoint(view, layout.frame, u, v);
    };
    const auto rectangle = [&](double u0, double v0, double u1, double v1) {
        return std::vector<PlanePoint>{at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)};
    };
    // What a tile image covers: its pixels, from the tile's lower-left corner as the world
    // files anchor them.
    const double covered = layout.tilePixels * layout.resolution;
    const double tileText = layout.tileSize / 20.0;
    const double scanText = layout.tileSize / 40.0;
    const double marker = layout.tileSize / 80.0;
    // Texts run along the picture's rows, also on a turned plan.
    const double rotation = view.view == Top ? layout.frame.azimuth : 0.0;

    std::vector<DxfDrawing::Layer> layers = {{"TILES", 8}, {"SCANS", 3}, {"FRAME", 1}};
    if (layout.facade)
        layers.push_back({"FACADE", 5});
    DxfDrawing drawing(layers);
    const int nOU = int(layout.grid.countU());
    const int nOV = int(layout.grid.countV());
    for (int a = 0; a < nOU; ++a) {
        for (int b = 0; b < nOV; ++b) {
            const cv::Mat corners = OutputTiles::cornerMatrix(layout.grid, a, b, layout.tileSize);
            const double u0 = corners.at<double>(0, 0);
            const double v0 = corners.at<double>(1, 0);
            drawing.polyline("TILES", rectangle(u0, v0, u0 + covered, v0 + covered), true);
            drawing.text("TILES", at(u0 + covered / 2, v0 + covered / 2), tileText,
                         tileName(layout, a, b), true, rotation);
        }
    }
    const cv::Mat first = OutputTiles::cornerMatrix(layout.grid, 0, 0, layout.tileSize);
    const cv::Mat last = OutputTiles::cornerMatrix(layout.grid, nOU - 1, nOV - 1, layout.tileSize);
    drawing.polyline("FRAME",
                     rectangle(first.at<double>(0, 0), first.at<double>(1, 0),
                               last.at<double>(0, 0) + covered, last.at<double>(1, 0) + covered),
                     true);

    for (const HandOffLayout::Scan& scan : layout.scans) {
        const cv::Mat q = layout.viewMatrix * (cv::Mat_<double>(4, 1) << scan.x, scan.y, scan.z, 1);
        const PlanePoint p = at(q.at<double>(0), q.at<double>(1));
        drawing.point("SCANS", p);
        drawing.circle("SCANS", p, marker);
        drawing.text("SCANS", {p.x + 1.5 * marker, p.y + 1.5 * marker}, scanText, scan.name, false,
                     rotation);
    }

    if (layout.facade) {
        // Where the elevation was cut, for the plan: the line from P1 to P2 and the band
        // between the clipping planes, in project coordinates.
        const FacadeLine& line = *layout.facade;
        const LayoutFrame& frame = layout.frame;
        drawing.polyline("FACADE", {line.from, line.to}, false);
        for (const double depth : {layout.clipLow, layout.clipHigh})
            drawing.polyline("FACADE",
                             {frame.toProject({line.extentLow(), depth}),
                              frame.toProject({line.extentHigh(), depth})},
                             false);
        drawing.text("FACADE", line.from, scanText, QStringLiteral("P1"), false, frame.azimuth);
        drawing.text("FACADE", line.to, scanText, QStringLiteral("P2"), false, frame.azimuth);
    }
    return drawing.file();
}

QByteArray mosaicVrt(const HandOffLayout& layout)
{
    const ViewInfo& view = *layout.view;
    const int m = layout.tilePixels;
    const int nOU = int(layout.grid.countU());
    const int nOV = int(layout.grid.countV());
    // Pixels from one tile's first column (row) to the next tile's: a whole number unless
    // the resolution does not divide the tile size.
    const double step = layout.tileSize / layout.resolution;
    const auto pixels = [&](int tiles) { return int(std::ceil((tiles - 1) * step + m - 1e-6)); };
    // The mosaic's upper-left pixel is that of the tile in its upper-left corner (the
    // rightmost column of a mirrored view).
    const auto [A, D, B, E, C, F] =
        OutputTiles::worldFile(view, layout.frame,
                               OutputTiles::cornerMatrix(layout.grid, view.mirrored ? nOU - 1 : 0,
                                                         nOV - 1, layout.tileSize),
                               layout.resolution, m);

    QByteArray text = "<VRTDataset rasterXSize=\"" + QByteArray::number(pixels(nOU)) +
                      "\" rasterYSize=\"" + QByteArray::number(pixels(nOV)) + "\">\n";
    if (layout.crs)
        text += "  <SRS>" + xml(QString::fromUtf8(layout.crs->wkt)) + "</SRS>\n";
    // Its origin is the upper-left corner of that pixel, the world file's its centre.
    text += "  <GeoTransform>" + number(C - A / 2 - B / 2) + ", " + number(A) + ", " + number(B) +
            ", " + number(F - D / 2 - E / 2) + ", " + number(D) + ", " + number(E) +
            "</GeoTransform>\n";
    const char* const grey[] = {"Gray"};
    const char* const colour[] = {"Red", "Green", "Blue"};
    const int bands = layout.colour ? 3 : 1;
    const QByteArray size =
        "xSize=\"" + QByteArray::number(m) + "\" ySize=\"" + QByteArray::number(m) + "\"";
    for (int band = 1; band <= bands; ++band) {
        text += "  <VRTRasterBand dataType=\"Byte\" band=\"" + QByteArray::number(band) + "\">\n";
        text += QByteArray("    <ColorInterp>") + (layout.colour ? colour[band - 1] : grey[0]) +
                "</ColorInterp>\n";
        for (int a = 0; a < nOU; ++a) {
            for (int b = 0; b < nOV; ++b) {
                const int column = view.mirrored ? nOU - 1 - a : a;
                text += "    <SimpleSource>\n"
                        "      <SourceFilename relativeToVRT=\"1\">" +
                        xml(tileName(layout, a, b)) +
                        "</SourceFilename>\n"
                        "      <SourceBand>" +
                        QByteArray::number(band) +
                        "</SourceBand>\n"
                        "      <SourceProperties RasterXSize=\"" +
                        QByteArray::number(m) + "\" RasterYSize=\"" + QByteArray::number(m) +
                        "\" DataType=\"Byte\"/>\n"
                        "      <SrcRect xOff=\"0\" yOff=\"0\" " +
                        size +
                        "/>\n"
                        "      <DstRect xOff=\"" +
                        number(column * step) + "\" yOff=\"" + number((nOV - 1 - b) * step) +
                        "\" " + size +
                        "/>\n"
                        "    </SimpleSource>\n";
            }
        }
        text += "  </VRTRasterBand>\n";
    }
    return text + "</VRTDataset>\n";
}

} // namespace orthaven
