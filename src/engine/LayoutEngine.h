#pragma once
// The layout engine as one entry point: run(job, source, reporter, workFolder) turns the
// selected scans of a scan source into square output tile images of one orthographic
// view, an overview thumbnail and a layout log, reporting its stage, its progress and its
// outcome through the status reporter it is given and keeping its temporary files in a
// session folder of the work folder it is given.
//
// Rules every stage keeps: the reporter's checkpoint() is asked at least once per chunk
// and per raw tile a chunk touches, per raw tile normalised, per output tile (before it
// is assembled and before it is encoded, which also scales it into the thumbnail); interrupted is
// set exactly when the run leaves early because of a stop request; the last checkpoint
// comes after the log is written, and a later request changes nothing; nothing reaches
// the output folder except through one OutputCommit after that checkpoint.

#include "engine/MemoryBudget.h"
#include "engine/RawTileStore.h"
#include "engine/RunSettings.h"
#include "engine/StatusReporter.h"
#include "engine/TileRange.h"
#include "layout/LayoutJob.h"
#include "layout/LayoutLimits.h"

#include <QBitArray>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orthaven {

class ScanSource;
struct PointChannels;

// What a run leaves besides its files and its status record.
struct LayoutResult
{
    bool interrupted = false;
    bool failed = false;
    std::int32_t errorCode = NoError;
    QBitArray scanList;               // the selection, without the scans that could not be read
    TileRange tileRange;              // output tiles after a complete run, raw tiles before
    float scaleTop = 0.0f;            // the largest raw pixel value, then its logarithm
    std::vector<cv::Mat> tileCorners; // 4 × 2 per output tile, in the order of the log
    cv::Mat tileUsed;                 // nOU × nOV int32: 1 when raw data was drawn into the tile
};

// A layout that is complete but not yet in place: what a front end may add to it (the
// overview pictures) before it is committed with everything else.
struct StagedOutput
{
    QString logPath;    // the log as written; the thumbnail lies beside it under its name
    QByteArray logText; // the log's bytes
    // The thumbnail's pixels as its file shows them (RGB32). Its file is written after
    // the callback unless the callback put a picture of its own there.
    QImage thumbnail;
    bool thumbnailTaken = false; // set by the callback that staged the thumbnail's file
    QBitArray scanList;          // the selection, without the scans that could not be read
    int threads = 1;             // the run's threads: the callback keeps to them
    // Where a further file of the layout (given by its final path, beside the log) is to
    // be written; a file given here is put in place with the layout and must exist then.
    std::function<QString(const QString& finalPath)> stage;
    // Set by the callback that fails: the final path of the file and the cause.
    QString failedPath;
    QString failure;
};

class LayoutEngine
{
public:
    // Called on the run's thread after its last checkpoint, before the layout is put in
    // place. False fails the run (OutputFolderAccess); the output folder stays as it was.
    using BeforeCommit = std::function<bool(StagedOutput& staged)>;

    // Makes the raw tile store of one run inside folder (the session folder, ending with
    // "/") for tiles of tilePixels a side, keeping in memory what budget allows.
    using RawTileStoreFactory = std::function<std::unique_ptr<RawTileStore>(
        const QString& folder, int tilePixels, MemoryBudget& budget)>;

    // One computation: rasterise, normalise, output tiles, thumbnail, log; then removes
    // the temporary files. The outcome is also in reporter (failed, errorCode,
    // interrupted, finished last); success is interrupted and failed both false, and
    // then (only then) the tiles, the thumbnail and the log are in the output folder,
    // replacing an older layout of the same name whole. storeFactory: the raw tile store
    // (default: tiles in memory within the job's budget, spilled to files beyond it).
    // The run holds the layout's name in the output folder from its start to its end and
    // first settles what runs killed there left (OutputCommit); another run of the same
    // name fails with OutputLocked.
    static LayoutResult run(const LayoutJob& job, ScanSource& source, StatusReporter& reporter,
                            const QString& workFolder, const RawTileStoreFactory& storeFactory = {},
                            const BeforeCommit& beforeCommit = {});

    // Several jobs of the same scans computed at once from one reading of them (see
    // engine/SharedScans.h) share the machine in equal parts: each gets its share of the
    // first job's threads and memory budget (0: as run() takes them).
    static void shareMachine(std::vector<LayoutJob*> jobs);
    // The channels any of the jobs reads beside the points.
    static PointChannels channelsRead(const std::vector<LayoutJob*>& jobs);
    // Points a shared reading holds ahead of its slowest job at most.
    static std::int64_t sharedReadingPoints();

    // The memory budget of a job that names none: a quarter of the physical memory.
    static std::int64_t defaultMemoryBudget();
};

} // namespace orthaven
