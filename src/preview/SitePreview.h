#pragma once
// One quick look at the chosen scans of a job before its layout: the site's height profile
// and its levels, a top-view density picture of the whole site with the scan positions, and
// an evenly thinned sample of the points from which depth profiles and the tile grid of any
// view are made. makeSitePreview reads the scans once through the scan source, on the
// calling thread, with a status record of its own for progress and stopping; gridded scans
// may be read every k-th column (docs/site-preview.md).

#include "layout/LayoutJob.h"
#include "preview/HeightProfile.h"
#include "preview/PlanDensity.h"
#include "preview/PointSample.h"

#include <QBitArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orthaven {

class ScanSource;
class StatusReporter;

struct PreviewScan
{
    int index = -1;
    QString name;
    double x = 0.0; // project metres
    double y = 0.0;
    double z = 0.0;
};

struct SitePreview
{
    explicit SitePreview(std::size_t sampleLimit = std::size_t(1) << 20) : sample(sampleLimit) {}

    HeightProfile heights;     // project z of every point read
    std::vector<Level> levels; // of heights, the largest share first
    PlanDensity plan;
    PointSample sample;
    std::vector<PreviewScan> positions; // of the chosen scans read that have one
    QBitArray used;                     // the chosen scans, without those that could not be read
    std::uint64_t points = 0;           // points read within the scan radius
    int columnStride = 1;               // the largest column stride used (1: every column)
};

struct PreviewOptions
{
    // A gridded scan is read every k-th column with k so that about this many of its points
    // are read; a smaller scan is read whole.
    static constexpr std::int64_t sampledPointsPerScan = 1000000;

    QBitArray scans;            // the chosen scans
    double scannerDomain = 0.0; // metres; points further from their scanner are left out
    int columnStride = 0;       // 0: chosen per scan as above; 1: every column; k: every k-th
    int threads = 1;            // threads the readers may use
    std::size_t sampleLimit = std::size_t(1) << 20;
};

// Reads the chosen scans of source (listed already). Null when the pass was stopped
// (status.interrupted) or the reader failed (status.failed, ScanSourceError); a scan that
// cannot be opened is left out of used, as in a layout. status.finished is set last.
std::shared_ptr<SitePreview> makeSitePreview(ScanSource& source, const PreviewOptions& options,
                                             StatusReporter& status);

// The column stride a gridded scan of rows × columns is read with (options.columnStride 0).
int autoColumnStride(std::int64_t rows, std::int64_t columns);

// The profile along the depth axis of job's view, where its clipping planes cut: the
// heights for a top view; for an elevation the depths of the sample in the job's frame
// (for a facade, distances from its line).
HeightProfile depthProfile(const SitePreview& preview, const LayoutJob& job);

// What the plan shows of a job: a top view's tile grid; an elevation's two clipping planes
// and the tile edges between them; a facade's line.
struct PlanSegment
{
    PlanePoint from; // project metres
    PlanePoint to;
};

struct PlanOverlay
{
    std::vector<PlanSegment> tileEdges;
    std::vector<PlanSegment> planes;
    std::optional<FacadeLine> facade;
    std::int64_t tiles = 0; // output tiles of the grid
};

// The output tiles are those of the sample's points between the job's planes (10 m raw
// tiles gathered into tiles of the job's size, as the layout gathers them; the layout also
// drops raw tiles with too little data, which a sample cannot judge).
PlanOverlay planOverlay(const SitePreview& preview, const LayoutJob& job);

// The points a job's planes keep: their depth along its view's axis lies between the planes
// and, for a facade, their u along its segment. Project metres in, view metres out.
class JobSlab
{
public:
    explicit JobSlab(const LayoutJob& job);
    bool keeps(double x, double y, double z) const;
    double u(double x, double y, double z) const;
    double v(double x, double y, double z) const;
    // The depth as the job's planes are given (a facade's from its line).
    double depth(double x, double y, double z) const;

private:
    double rows[3][4];
    double offset;
    double low, high;
    double uLow, uHigh;
};

} // namespace orthaven
