#pragma once
// The settings of one run as the engine uses them, derived from a job: the view and its
// frame, the geometry of the tiles, the files of the layout and what goes beside them.

#include "engine/CoordinateSystem.h"
#include "engine/StatusReporter.h"
#include "layout/LayoutJob.h"
#include "layout/LayoutLimits.h"

#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace orthaven {

// The settings of one run, as the engine uses them, made from a job.
struct RunSettings
{
    static constexpr int rawTileSize = limits::rawTileSize; // metres; the internal tile grid
    static constexpr int thumbnailSize = 3000;              // pixels on the thumbnail's longer edge
    static constexpr int maxColumnsPerChunk = 1000;
    static constexpr int maxImageEdge = limits::maxImageEdge;

    // Derives the settings; a job that cannot give a layout leaves problemCode set
    // (InvalidSettings, or NotEnoughMemory for tile images beyond maxImageEdge) and says
    // why in problem.
    static RunSettings fromJob(const LayoutJob& job);

    std::int32_t view = Top;
    LayoutFrame frame;             // the turned frame the view looks in
    cv::Mat viewMatrix;            // 4 × 4: project to view coordinates, the turn included
    bool mirrorHorizontal = false; // Back and Right: images mirrored left-right
    bool reverseIntensity = true;  // dense areas dark on white
    double resolution = 0.01;      // metres per pixel
    double scannerDomain = 0.0;    // metres
    std::int32_t tileSize = 20;    // metres
    double clipLow = -2147483648.0;
    double clipHigh = 2147483647.0;
    // The u range points are drawn in (a facade's segment; everything otherwise), and the
    // depth of the picture plane the log's corners lie in (a facade's line; 0 otherwise).
    double extentLow = -std::numeric_limits<double>::infinity();
    double extentHigh = std::numeric_limits<double>::infinity();
    double planeDepth = 0.0;
    std::optional<FacadeLine> facade;
    float dataThreshold = 0.0f; // a tile's sum of scale values must exceed it
    QString outputDir;
    QString baseName;
    QString imageType;
    bool worldFiles = true;              // and with them the mosaic
    int printScale = 0;                  // 0: the images carry no resolution of their own
    bool drawing = true;                 // the DXF beside the log
    bool print = false;                  // a PDF is drawn (by the front end) and named by the log
    std::optional<CoordinateSystem> crs; // a plan's coordinate system
    LayoutLayer layer = LayoutLayer::Density;
    int threads = 1;                    // worker threads, at least 1
    std::int64_t memoryBudgetBytes = 0; // tiles held in memory

    ResultCode problemCode = NoError;
    std::string problem;

    int rawTilePixels() const;    // n
    int outputTilePixels() const; // m
    QString logFilePath() const;
    QString thumbnailPath() const;
    QString outputTilePath(int a, int b) const;
    QString worldFilePath(int a, int b) const;
    QString projectionFilePath(int a, int b) const; // the tile's .prj
    QString drawingPath() const;
    QString mosaicPath() const;
    // Pixels per metre of paper at the print scale; 0 without one.
    int dotsPerMetre() const;
    // The raw tile stores a layer adds beside the density: its weights and one store per
    // value (intensity: 2, colour: 4, density: none).
    int layerStoreCount() const;
    // The grey of a pixel without points (white on the usual white background).
    std::uint8_t backgroundGrey() const { return reverseIntensity ? 255 : 0; }
};

} // namespace orthaven
