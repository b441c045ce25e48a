// orthaven-layout's intensity and colour layers: pixels of hand-placed points against
// their weighted means, a generated scene in its colours and the same bytes for any
// threads and memory, and the refusal of scans without the layer's values.

#include "LayoutProgram.h"
#include "genscan/GenScanJob.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace orthaven;
using namespace orthaven::test;

namespace {

struct Point
{
    double x, y, z;
    float intensity;
    int red, green, blue;
};

// One scan at the origin (identity pose) with a line per point: x y z intensity, and red
// green blue when colour is asked for.
void writePtx(const QString& path, const std::vector<Point>& points, bool colour)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QByteArray text = QByteArray::number(qsizetype(points.size())) +
                      "\n1\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
                      "1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";
    for (const Point& p : points) {
        text += QByteArray::number(p.x) + ' ' + QByteArray::number(p.y) + ' ' +
                QByteArray::number(p.z) + ' ' + QByteArray::number(double(p.intensity));
        if (colour)
            text += ' ' + QByteArray::number(p.red) + ' ' + QByteArray::number(p.green) + ' ' +
                    QByteArray::number(p.blue);
        text += '\n';
    }
    ASSERT_EQ(file.write(text), text.size());
}

// A layout of the layer test: the program's run and the files of its output folder.
struct LayerRun : ProgramRun
{
    std::map<QString, QByteArray> files;
};

LayerRun runLayer(const QStringList& arguments, const QString& outFolder)
{
    LayerRun run{runLayout(arguments), {}};
    run.files = filesIn(outFolder);
    return run;
}

// A 4 m square of points every 0.25 m, one point per pixel at 0.25 m: intensity 0.2 and
// red left of x = 3 m, 0.8 and blue from there; the pixel at (2, 2) gets a second point of
// intensity 0.65 and green, the pixel at (4, 4) an outlier of intensity 1.
std::vector<Point> handPlacedPoints()
{
    std::vector<Point> points;
    for (int i = 0; i <= 16; ++i) {
        for (int j = 0; j <= 16; ++j) {
            const double x = 1.0 + 0.25 * i, y = 1.0 + 0.25 * j;
            const bool left = x < 3.0;
            const float intensity = x == 4.0 && y == 4.0 ? 1.0f : left ? 0.2f : 0.8f;
            points.push_back({x, y, 0.0, intensity, left ? 200 : 40, 40, left ? 40 : 200});
        }
    }
    points.push_back({2.0, 2.0, 1.0, 0.65f, 40, 200, 40});
    return points;
}

QStringList handPlacedArguments(const QString& scan, const QString& log, const char* layer)
{
    return {scan,
            QStringLiteral("--resolution"),
            QStringLiteral("0.25"),
            "--tile",
            "10",
            "--domain",
            "50",
            "--clip-low",
            "-5",
            "--clip-high",
            "5",
            "--layer",
            QLatin1String(layer),
            "--out",
            log};
}

// The pixel of point (x, y) in the one 10 m tile at 0.25 m (40 pixels, y upward).
QRgb pixelOf(const QImage& tile, double x, double y)
{
    return tile.pixel(int(x * 4), 39 - int(y * 4));
}

} // namespace

TEST(Layers, PixelsAreTheWeightedMeansOfTheirPoints)
{
    TempAppData appData;
    QTemporaryDir dir;
    const QString scan = dir.filePath(QStringLiteral("hand.ptx"));
    writePtx(scan, handPlacedPoints(), true);

    const QString intensityDir = dir.filePath(QStringLiteral("intensity"));
    const QString colourDir = dir.filePath(QStringLiteral("colour"));
    const QString densityDir = dir.filePath(QStringLiteral("density"));
    const QString log = QStringLiteral("/site.log");
    const LayerRun intensity =
        runLayer(handPlacedArguments(scan, intensityDir + log, "intensity"), intensityDir);
    const LayerRun colour =
        runLayer(handPlacedArguments(scan, colourDir + log, "colour"), colourDir);
    const LayerRun density =
        runLayer(handPlacedArguments(scan, densityDir + log, "density"), densityDir);
    ASSERT_EQ(intensity.exitCode, 0) << intensity.err.toStdString();
    ASSERT_EQ(colour.exitCode, 0) << colour.err.toStdString();
    ASSERT_EQ(density.exitCode, 0) << density.err.toStdString();

    // Grey from the 1st percentile (0.2) to the 99th (0.8; the one outlier is above it).
    const QImage grey = QImage::fromData(intensity.files.at(QStringLiteral("site_0_0.png")));
    ASSERT_EQ(grey.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(grey.size(), QSize(40, 40));
    EXPECT_EQ(qGray(pixelOf(grey, 1.5, 3.0)), 0);   // 0.2
    EXPECT_GE(qGray(pixelOf(grey, 3.5, 3.0)), 254); // 0.8
    EXPECT_EQ(qGray(pixelOf(grey, 4.0, 4.0)), 255); // 1.0, held at white
    EXPECT_EQ(qGray(pixelOf(grey, 2.0, 2.0)), 95);  // (0.2 + 0.65) / 2 → 0.375 · 255
    EXPECT_EQ(qGray(pixelOf(grey, 0.5, 0.5)), 255); // no point: the white background

    const QImage rgb = QImage::fromData(colour.files.at(QStringLiteral("site_0_0.png")));
    EXPECT_EQ(pixelOf(rgb, 1.5, 3.0), qRgb(200, 40, 40));
    EXPECT_EQ(pixelOf(rgb, 3.5, 3.0), qRgb(40, 40, 200));
    EXPECT_EQ(pixelOf(rgb, 2.0, 2.0), qRgb(120, 120, 40));
    EXPECT_EQ(pixelOf(rgb, 0.5, 0.5), qRgb(255, 255, 255));

    // The layers keep the density's tiles and corners; the log names the layer.
    const QByteArray densityLog = density.files.at(QStringLiteral("site.log"));
    QByteArray intensityLog = intensity.files.at(QStringLiteral("site.log"));
    QByteArray colourLog = colour.files.at(QStringLiteral("site.log"));
    EXPECT_FALSE(densityLog.contains("Layer"));
    EXPECT_EQ(intensityLog.replace("Layer = intensity\n", ""), densityLog);
    EXPECT_EQ(colourLog.replace("Layer = colour\n", ""), densityLog);
}

TEST(Layers, GeneratedSceneInItsColoursWhateverTheThreadsAndMemory)
{
    TempAppData appData;
    QTemporaryDir dir;
    genscan::GenScanOptions options;
    options.outputFolder = dir.filePath(QStringLiteral("scans"));
    options.stations = 2;
    options.pointsPerColumn = 150;
    options.columns = 400;
    options.colour = true;
    options.ceiling = false;
    genscan::GenScanJob job(options);
    ASSERT_TRUE(job.run());
    const QStringList scans = {options.outputFolder + QStringLiteral("/scan_000.ptx"),
                               options.outputFolder + QStringLiteral("/scan_001.ptx")};

    // The density as JPEG, whose overview pictures start from the pixels of the thumbnail's
    // file.
    for (const char* layer : {"intensity", "colour", "density"}) {
        SCOPED_TRACE(layer);
        const QStringList jpeg = {"--type", "jpg"};
        // Spilled to files with 1 MB, read ahead and worked on by 4 threads: the same bytes,
        // tiles, thumbnail and sheet.
        std::vector<LayerRun> runs;
        for (const QStringList& machine :
             {QStringList{"--threads", "1"}, QStringList{"--threads", "4", "--memory", "1"}}) {
            const QString out = dir.filePath(QStringLiteral("%1%2").arg(layer).arg(runs.size()));
            runs.push_back(runLayer(
                scans + machine + (QLatin1String(layer) == "density" ? jpeg : QStringList{}) +
                    QStringList{"--resolution", "0.02", "--layer", QLatin1String(layer), "--out",
                                out + QStringLiteral("/site.log")},
                out));
            ASSERT_EQ(runs.back().exitCode, 0) << runs.back().err.toStdString();
        }
        EXPECT_EQ(runs[0].files, runs[1].files);
        for (const char* picture : {"site_overview_scan_positions", "site_overview"})
            EXPECT_EQ(runs[0].files.count(picture + QStringLiteral(".jpg")) +
                          runs[0].files.count(picture + QStringLiteral(".png")),
                      1u)
                << picture;
        if (QLatin1String(layer) != QLatin1String("colour"))
            continue;

        // Seen from above the floor (brown) fills the rooms; wall tops and columns are few.
        int pixels = 0, brown = 0;
        for (const auto& [name, bytes] : runs[0].files) {
            if (!name.endsWith(QLatin1String(".png")) || name.contains(QLatin1String("overview")))
                continue;
            const QImage tile = QImage::fromData(bytes);
            for (int y = 0; y < tile.height(); ++y) {
                for (int x = 0; x < tile.width(); ++x) {
                    const QRgb p = tile.pixel(x, y);
                    if (p == qRgb(255, 255, 255))
                        continue;
                    ++pixels;
                    brown += qRed(p) > qGreen(p) + 10 && qGreen(p) > qBlue(p) + 10;
                }
            }
        }
        ASSERT_GT(pixels, 10000);
        EXPECT_GT(brown, pixels * 8 / 10);
    }
}

TEST(Layers, ScansWithoutTheValuesAreRefusedOrLeftOut)
{
    TempAppData appData;
    QTemporaryDir dir;
    const QString grey = dir.filePath(QStringLiteral("grey.ptx"));
    const QString coloured = dir.filePath(QStringLiteral("coloured.ptx"));
    writePtx(grey, handPlacedPoints(), false);
    writePtx(coloured, handPlacedPoints(), true);

    const QString refused = dir.filePath(QStringLiteral("refused"));
    const LayerRun none =
        runLayer(handPlacedArguments(grey, refused + QStringLiteral("/r.log"), "colour"), refused);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains("None of the chosen scans holds")) << none.err.toStdString();
    EXPECT_TRUE(none.files.empty());

    const QString mixed = dir.filePath(QStringLiteral("mixed"));
    QStringList arguments =
        handPlacedArguments(coloured, mixed + QStringLiteral("/m.log"), "colour");
    arguments.prepend(grey);
    const LayerRun some = runLayer(arguments, mixed);
    ASSERT_EQ(some.exitCode, 0) << some.err.toStdString();
    EXPECT_TRUE(some.err.contains("holds no colour values: skipped")) << some.err.toStdString();
    // Only the coloured scan is drawn: its colours are not mixed with black.
    const QImage rgb = QImage::fromData(some.files.at(QStringLiteral("m_0_0.png")));
    EXPECT_EQ(pixelOf(rgb, 1.5, 3.0), qRgb(200, 40, 40));
}
