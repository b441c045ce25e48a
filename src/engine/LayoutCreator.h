#pragma once
// The layout engine: turns the selected scans of one scan source into square output tile
// images of one orthographic view, an overview thumbnail and a layout log. It runs on a
// worker thread; its StatusReporter part is what other threads poll and stop.

#include "creator/layoutdef.h"
#include "engine/ImageCache.h"
#include "engine/OutputCommit.h"
#include "engine/RawTileStore.h"
#include "engine/StatusReporter.h"
#include "engine/TileRange.h"

#include <QBitArray>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orthaven {

class ScanSource;
class RawTileRasterizer;

class LayoutCreator : public StatusReporter
{
public:
    static constexpr int rawTileSize = 10;     // metres; the internal tile grid
    static constexpr int thumbnailSize = 3000; // pixels on the thumbnail's longer edge
    static constexpr int maxColumnsPerChunk = 1000;
    // No tile image of a layout may have a longer edge (40 m tiles at 2 mm reach it).
    // Settings that would need larger images fail with NotEnoughMemory before anything
    // is allocated.
    static constexpr int maxImageEdge = 20000;

    // Makes the raw tile store of one run; the default keeps every tile in a file of the
    // run's session folder.
    using RawTileStoreFactory =
        std::function<std::unique_ptr<RawTileStore>(ImageCache& cache, int tilePixels)>;

    LayoutCreator();
    virtual ~LayoutCreator();

    // The source the next runs read (not owned; it must outlive them).
    void setScanSource(ScanSource* source) { scanSource = source; }
    ScanSource* source() const { return scanSource; }
    void setRawTileStoreFactory(RawTileStoreFactory factory);
    // Called on the running thread at every stop checkpoint of a run, just after the check:
    // a stop requested from it is seen by the next checkpoint. Tests use it to stop a run
    // at a chosen moment and to count the checkpoints of each stage (statusText() names
    // the stage).
    void setCheckpointObserver(std::function<void()> observer);

    // Takes the job's settings and resets everything a run accumulates. False when the
    // settings cannot give a layout (resolution not above 0 or above 10 m, tile size not a
    // whole multiple of 10 m, scanner domain not above 0, clipping planes or other numbers
    // not finite, unknown view, no output file, an image type that cannot be written, or
    // tile images larger than maxImageEdge); layout() then fails at once with
    // InvalidSettings (or NotEnoughMemory for the sizes) and writes nothing.
    bool setup(const layoutdef& job);

    // Runs one computation: rasterise, normalise, output tiles, thumbnail, log; then
    // removes the temporary files. The outcome is in the status record: success is
    // interrupted and failed both false, and then (only then) the tiles, the thumbnail and
    // the log are in the output folder, replacing an older layout of the same name whole.
    // An interrupted or failed run leaves the output folder as it was.
    //
    // Rules a faster engine must keep: stopRequested is looked at at least once per raw
    // tile a block touches, per chunk, per raw tile normalised, per output tile (before it
    // is assembled and before it is encoded) and per tile of the thumbnail; interrupted is
    // set exactly when the run leaves early because of it; the last checkpoint comes
    // before the output is committed, and a later request changes nothing.
    virtual void layout();

    // Bounds of the positions of the scans flagged in scanList, in the coordinates of the
    // inverse of M (3 × 3), widened by margin: minOut and maxOut become 3 × 1. False when M
    // cannot be inverted; scans without a usable pose are left out.
    static bool computeScanExtent(const ScanSource& source, const QBitArray& scanList,
                                  cv::Mat& minOut, cv::Mat& maxOut, double margin,
                                  const cv::Mat& M);

    // The 4 × 4 matrix that maps world (x, y, z) to view (u, v, depth) coordinates; the
    // identity for a code that is no view.
    static cv::Mat viewMatrixFor(std::uint32_t view);

    // Where the outputs of the current settings go.
    QString logFilePath() const;
    QString thumbnailPath() const;
    QString outputTilePath(int a, int b) const;

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

protected:
    // The stages; each returns whether the chain goes on.
    bool computeRawTiles();
    void rasterizeBlock(const cv::Mat& B, const cv::Mat& view, const cv::Mat& T);
    bool normalizeTilesClassic();
    bool writeImages();
    bool writeThumbnail();
    bool writeLogFile();
    bool commitOutput();
    // A checkpoint: true when a stop was requested; the run is then marked interrupted and
    // must end without putting its layout in place.
    bool leaveForStop();

private:
    int rawTilePixels() const;    // n
    int outputTilePixels() const; // m
    void runStages();
    QString sessionPath(const QString& name) const;
    // Whether the scan source caught an error since it had counted errorsBefore; such an
    // error fails the run (ScanSourceError), since a scan would be missing from the layout.
    bool readerFailedSince(int errorsBefore);

    ScanSource* scanSource = nullptr;
    ImageCache imageCache;
    OutputCommit output; // the layout's files until they are put in place
    RawTileStoreFactory storeFactory;
    std::function<void()> checkpointObserver;
    std::unique_ptr<RawTileStore> rawTiles;
    std::unique_ptr<RawTileRasterizer> rasterizer;
    ResultCode settingsCode = NoError; // why setup refused the settings
    std::string settingsProblem;
};

} // namespace orthaven
