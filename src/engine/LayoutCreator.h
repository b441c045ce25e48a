#pragma once
// The engine as the front ends hold it: a status record that other threads poll and stop,
// the job of the next run, and what the last run left (the tiles' corners, the scans it
// used). layout() runs the engine (LayoutEngine::run) on the calling thread with the
// program's temporary folder as its work folder.

#include "engine/LayoutEngine.h"
#include "engine/StatusReporter.h"
#include "engine/TileRange.h"
#include "layout/LayoutJob.h"

#include <QBitArray>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven {

class ScanSource;

class LayoutCreator : public StatusReporter
{
public:
    static constexpr int rawTileSize = RunSettings::rawTileSize;
    static constexpr int thumbnailSize = RunSettings::thumbnailSize;
    static constexpr int maxColumnsPerChunk = RunSettings::maxColumnsPerChunk;
    static constexpr int maxImageEdge = RunSettings::maxImageEdge;
    using RawTileStoreFactory = LayoutEngine::RawTileStoreFactory;

    LayoutCreator();
    virtual ~LayoutCreator();

    // The source the next runs read (not owned; it must outlive them).
    void setScanSource(ScanSource* source) { scanSource = source; }
    ScanSource* source() const { return scanSource; }
    // The raw tile store of the next runs (default: the engine's own).
    void setRawTileStoreFactory(RawTileStoreFactory factory);
    // What the next runs add to their layout before it is put in place (see
    // LayoutEngine::BeforeCommit); called on the thread of layout().
    void setBeforeCommit(LayoutEngine::BeforeCommit callback)
    {
        beforeCommit = std::move(callback);
    }

    // Takes the job and resets everything a run accumulates. False when the settings
    // cannot give a layout (see RunSettings::fromJob); layout() then fails at once with
    // InvalidSettings (or NotEnoughMemory for the sizes) and writes nothing.
    bool setup(const layoutdef& job);

    // Runs one computation of the job (see LayoutEngine::run). The outcome is in the
    // status record: success is interrupted and failed both false.
    virtual void layout();

    // Bounds of the positions of the scans flagged in scanList, in the coordinates of the
    // inverse of M (3 × 3), widened by margin: minOut and maxOut become 3 × 1. A scan
    // without a position counts with the box of its points (scanBounds), not widened. False
    // when M cannot be inverted; scans without a usable pose or box are left out.
    static bool computeScanExtent(const ScanSource& source, const QBitArray& scanList,
                                  cv::Mat& minOut, cv::Mat& maxOut, double margin,
                                  const cv::Mat& M);

    // The 4 × 4 matrix that maps world (x, y, z) to view (u, v, depth) coordinates; the
    // identity for a code that is no view.
    static cv::Mat viewMatrixFor(std::uint32_t view);

    // Where the outputs of the current settings go.
    QString logFilePath() const { return settings.logFilePath(); }
    QString thumbnailPath() const { return settings.thumbnailPath(); }
    QString outputTilePath(int a, int b) const { return settings.outputTilePath(a, b); }

    // Settings and results. Written by setup and layout; read them only while layout() is
    // not running.
    QBitArray scanList; // selected scans; scans that fail to open are cleared
    std::int32_t view = Top;
    cv::Mat viewMatrix;            // 4 × 4
    bool mirrorHorizontal = false; // Back and Right: images mirrored left-right
    bool reverseIntensity = true;  // dense areas dark on white
    double resolution = 0.01;      // metres per pixel
    double scannerDomain = 0.0;    // metres
    std::int32_t tileSize = 20;    // metres
    double clipLow = -2147483648.0;
    double clipHigh = 2147483647.0;
    float dataThreshold = 0.0f;       // a tile's sum of scale values must exceed it
    float maxAccumulated = 0.0f;      // largest raw pixel value, then the scale top
    TileRange tileRange;              // raw tiles in stages 1 and 2, output tiles after stage 3
    std::vector<cv::Mat> tileCorners; // 4 × 2 per output tile, in writing order
    cv::Mat tileUsed;                 // nOU × nOV int32: 1 when raw data was drawn into the tile
    QString outputDir;
    QString baseName;
    QString imageType;

private:
    ScanSource* scanSource = nullptr;
    RawTileStoreFactory storeFactory;
    LayoutEngine::BeforeCommit beforeCommit;
    layoutdef job;
    RunSettings settings;
};

} // namespace orthaven
