#include "engine/RunSettings.h"

#include "engine/LayoutEngine.h"
#include "engine/OutputTiles.h"
#include "layout/ImageFormats.h"
#include "layout/Views.h"
#include "layoutlog/LayoutFiles.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

std::string utf8(const QString& s)
{
    return s.toStdString();
}

} // namespace

RunSettings RunSettings::fromJob(const LayoutJob& job)
{
    RunSettings s;
    s.scannerDomain = job.scannerDomain;
    s.resolution = job.resolution;
    const bool tileSizeFits = std::isfinite(job.tileSize) && std::abs(job.tileSize) < 1.0e6;
    s.tileSize = tileSizeFits ? static_cast<std::int32_t>(job.tileSize) : 0; // toward zero
    s.dataThreshold = static_cast<float>(2.0 / s.resolution);
    s.reverseIntensity = !job.invertColor;
    const ViewInfo* view = viewInfo(job.view);
    s.mirrorHorizontal = view && view->mirrored;
    s.frame = layoutFrame(job);
    s.viewMatrix = viewMatrixFor(job.view, s.frame);
    if (job.facade) {
        s.extentLow = job.facade->extentLow();
        s.extentHigh = job.facade->extentHigh();
        s.planeDepth = job.facade->depth();
        s.facade = job.facade;
    }
    s.view = static_cast<std::int32_t>(job.view);
    s.clipLow = job.clipLow;
    s.clipHigh = job.clipHigh;
    const QFileInfo output(job.outputFile);
    s.outputDir = output.absolutePath();
    s.baseName = output.baseName();
    s.imageType = job.imageType;
    s.worldFiles = job.worldFiles;
    s.printScale = job.printScale;
    s.drawing = job.dxf;
    s.print = job.pdfPaper.has_value();
    s.layer = job.layer;
    s.threads = job.threads > 0 ? job.threads : std::max(1, QThread::idealThreadCount());
    s.memoryBudgetBytes =
        job.memoryBudgetBytes > 0 ? job.memoryBudgetBytes : LayoutEngine::defaultMemoryBudget();

    // What no layout can be made of.
    s.problemCode = InvalidSettings;
    const auto refuse = [&s](const std::string& why) {
        s.problem = why;
        return s;
    };
    if (!view)
        return refuse("unknown view " + std::to_string(job.view));
    if (!std::isfinite(s.resolution) || s.resolution <= 0.0 || s.resolution > rawTileSize)
        return refuse("the resolution must be above 0 m and at most 10 m per pixel");
    if (!std::isfinite(s.scannerDomain) || s.scannerDomain <= 0.0)
        return refuse("the scanner domain must be above 0 m");
    if (!tileSizeFits || s.tileSize < rawTileSize || s.tileSize % rawTileSize != 0)
        return refuse("the tile size must be a whole multiple of 10 m");
    if (!std::isfinite(s.clipLow) || !std::isfinite(s.clipHigh))
        return refuse("the clipping planes must be numbers");
    if (!std::isfinite(s.frame.azimuth))
        return refuse("the azimuth must be a number");
    if (job.facade && (!job.facade->isUsable() || job.view != Front))
        return refuse("a facade needs two points at least 1 cm apart and the front view");
    if (job.outputFile.isEmpty())
        return refuse("no output file");
    const ImageFormat* format = imageFormatFor(s.imageType);
    if (!format || !QImageWriter::supportedImageFormats().contains(format->writerFormat))
        return refuse("image type \"" + utf8(s.imageType) + "\" cannot be written");
    if (s.printScale < 0 || s.printScale > 100000)
        return refuse("the print scale must be 1:1 to 1:100000");
    if (s.print && s.printScale == 0)
        return refuse("a PDF is printed at the print scale: there is none");
    if (!job.crs.isEmpty()) {
        // Only a plan lies in a map's plane; an elevation's distances and heights do not.
        if (job.view != Top)
            return refuse("a coordinate system places plans only, not elevations");
        QString why;
        s.crs = coordinateSystem(job.crs, &why);
        if (!s.crs)
            return refuse(utf8(why));
    }
    const double outputEdge = std::floor(double(s.tileSize) / s.resolution);
    if (outputEdge > maxImageEdge) {
        s.problemCode = NotEnoughMemory;
        return refuse("tile images of " + std::to_string(std::int64_t(outputEdge)) +
                      " pixels a side exceed the limit of " + std::to_string(maxImageEdge));
    }
    s.problemCode = NoError;
    return s;
}

int RunSettings::rawTilePixels() const
{
    return static_cast<int>(double(rawTileSize) / resolution);
}

int RunSettings::outputTilePixels() const
{
    return static_cast<int>(double(tileSize) / resolution);
}

QString RunSettings::logFilePath() const
{
    return outputDir + QLatin1Char('/') + baseName + QStringLiteral(".log");
}

QString RunSettings::thumbnailPath() const
{
    return outputDir + QLatin1Char('/') + baseName + QStringLiteral("_overview.") + imageType;
}

QString RunSettings::outputTilePath(int a, int b) const
{
    return OutputTiles::tilePath(outputDir, baseName, a, b, imageType);
}

QString RunSettings::worldFilePath(int a, int b) const
{
    return outputDir + QLatin1Char('/') +
           worldFileName(OutputTiles::tilePath({}, baseName, a, b, imageType).mid(1));
}

QString RunSettings::projectionFilePath(int a, int b) const
{
    return outputDir + QLatin1Char('/') +
           projectionFileName(OutputTiles::tilePath({}, baseName, a, b, imageType).mid(1));
}

QString RunSettings::drawingPath() const
{
    return outputDir + QLatin1Char('/') + drawingFileName(baseName);
}

QString RunSettings::mosaicPath() const
{
    return outputDir + QLatin1Char('/') + mosaicFileName(baseName);
}

int RunSettings::dotsPerMetre() const
{
    if (printScale <= 0)
        return 0;
    const double dots = std::round(double(printScale) / resolution);
    return dots >= 1.0 && dots <= 2.0e9 ? int(dots) : 0;
}

int RunSettings::layerStoreCount() const
{
    switch (layer) {
    case LayoutLayer::Intensity:
        return 2;
    case LayoutLayer::Colour:
        return 4;
    case LayoutLayer::Density:
        break;
    }
    return 0;
}

} // namespace orthaven
