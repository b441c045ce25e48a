// The site preview of generated buildings read back through the real readers: levels where
// the generator put floors and ceilings, the same levels from a sampled pass, and the plan's
// grid and overlay where the layout would put them.

#include "engine/StatusReporter.h"
#include "genscan/GenScanJob.h"
#include "preview/SitePreview.h"
#include "scan/ScanSource.h"
#include "scan/ScanSourceFactory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::genscan;

namespace {

// Two storeys, four stations (two on each), small grids.
struct Building
{
    QTemporaryDir dir;
    std::unique_ptr<ScanSource> source;

    explicit Building(const QString& format, Vec3 offset = {})
    {
        GenScanOptions o;
        o.outputFolder = dir.path();
        o.format = format;
        o.storeys = 2;
        o.stations = 4;
        o.pointsPerColumn = 240;
        o.columns = 360;
        o.offset = offset;
        GenScanJob job(o);
        EXPECT_TRUE(job.run()) << job.errorText().toStdString();
        source = createScanSource(job.files().first());
        EXPECT_TRUE(source && source->fetchFiles(job.files()));
    }

    std::shared_ptr<SitePreview> preview(int columnStride = 0)
    {
        PreviewOptions options;
        options.scans = QBitArray(source->scanCount(), true);
        options.scannerDomain = 30.0;
        options.columnStride = columnStride;
        StatusReporter status;
        return makeSitePreview(*source, options, status);
    }
};

const Level* levelNear(const std::vector<Level>& levels, double height)
{
    for (const Level& l : levels) {
        if (std::abs(l.height - height) <= 0.02)
            return &l;
    }
    return nullptr;
}

} // namespace

TEST(SitePreview, FindsEveryFloorAndCeilingOfTwoStoreysWithinTwoCentimetres)
{
    const struct
    {
        const char* format;
        Vec3 offset;
        bool positioned; // LAS records no scanner: no facing
    } cases[] = {
        {"ptx", {}, true},
        {"ptx", {500000.0, 5400000.0, 312.45}, true}, // georeferenced, far from the origin
        {"e57", {}, true},
        {"las", {2000.0, 3000.0, 100.0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " at height " + std::to_string(c.offset.z));
        Building building(QString::fromLatin1(c.format), c.offset);
        const std::shared_ptr<SitePreview> preview = building.preview();
        ASSERT_TRUE(preview);
        const double z = c.offset.z;
        // Floors at 0 and 3.3 m, ceilings at 3.0 and 6.3 m above the ground floor.
        EXPECT_EQ(preview->levels.size(), 4u);
        for (const auto& [height, facing] : {std::pair{0.0, Facing::Up},
                                             {3.0, Facing::Down},
                                             {3.3, Facing::Up},
                                             {6.3, Facing::Down}}) {
            const Level* level = levelNear(preview->levels, z + height);
            ASSERT_NE(level, nullptr) << height;
            EXPECT_EQ(level->facing, c.positioned ? facing : Facing::Unknown) << height;
        }
        for (std::size_t k = 1; k < preview->levels.size(); ++k)
            EXPECT_GE(preview->levels[k - 1].share, preview->levels[k].share);
        // The upper storey's slab: from just above its floor to just below its ceiling.
        const std::size_t upper =
            std::size_t(levelNear(preview->levels, z + 3.3) - preview->levels.data());
        const Slab slab = storeySlab(preview->levels, upper);
        EXPECT_NEAR(slab.low, z + 3.35, 0.02);
        EXPECT_NEAR(slab.high, z + 6.25, 0.02);
        EXPECT_NEAR(planCut(preview->levels[upper]).high, z + 4.3, 0.02);
    }
}

TEST(SitePreview, ASampledPassFindsTheLevelsOfAFullOne)
{
    Building building("ptx");
    const std::shared_ptr<SitePreview> full = building.preview(1);
    const std::shared_ptr<SitePreview> sampled = building.preview(6);
    ASSERT_TRUE(full && sampled);
    EXPECT_EQ(sampled->columnStride, 6);
    EXPECT_LT(sampled->points * 5, full->points) << "every sixth column was read";
    ASSERT_EQ(sampled->levels.size(), full->levels.size());
    for (std::size_t k = 0; k < full->levels.size(); ++k) {
        EXPECT_NEAR(sampled->levels[k].height, full->levels[k].height, 0.01);
        EXPECT_NEAR(sampled->levels[k].share, full->levels[k].share, 0.02);
    }
}

TEST(SitePreview, ThePlanTakesEveryPointAtTheFinestCellThatHoldsTheSite)
{
    // 3001 points along 30 m of a line: 1 cm cells would need 3000 of them a side, 2 cm 1500,
    // so the plan ends at 4 cm.
    PlanDensity plan;
    for (int k = 0; k <= 3000; ++k)
        plan.add(500000.0 + 0.01 * k, 5400000.0 - 0.005 * k);
    EXPECT_DOUBLE_EQ(plan.cellSize(), 0.04);
    std::uint64_t total = 0;
    for (int r = 0; r < plan.height(); ++r) {
        for (int c = 0; c < plan.width(); ++c)
            total += plan.count(c, r);
    }
    EXPECT_EQ(total, 3001u);
    EXPECT_LE(plan.west(), 500000.0);
    EXPECT_GE(plan.west() + plan.width() * plan.cellSize(), 500030.0);
    EXPECT_GE(plan.north(), 5400000.0);
    // The first point lies in the top-left cell.
    EXPECT_GT(plan.count(0, 0), 0u);
}

TEST(SitePreview, TheOverlayPutsTheLayoutsPlanesAndTilesWhereTheyCut)
{
    Building building("ptx");
    const std::shared_ptr<SitePreview> preview = building.preview();
    ASSERT_TRUE(preview);
    // A facade along the inner face of the south wall of room A (y = 0.1), seen from the
    // room: the planes run parallel to it, 2 m into the room and 0.5 m behind the wall.
    LayoutJob facade;
    facade.tileSize = 10;
    setFacade(facade, FacadeLine{{7.0, 0.1}, {1.0, 0.1}});
    const PlanOverlay overlay = planOverlay(*preview, facade);
    ASSERT_EQ(overlay.planes.size(), 2u);
    EXPECT_NEAR(overlay.planes[0].from.y, 2.1, 1e-9);
    EXPECT_NEAR(overlay.planes[0].to.y, 2.1, 1e-9);
    EXPECT_NEAR(overlay.planes[1].from.y, -0.4, 1e-9);
    EXPECT_NEAR(overlay.planes[0].from.x, 7.0, 1e-9); // along the segment, whole metres
    EXPECT_NEAR(overlay.planes[0].to.x, 1.0, 1e-9);
    // x' from -7 to -1; heights from the floor (its points a little below 0 m as well) to
    // 6.3 m: one column of two 10 m tiles.
    EXPECT_EQ(overlay.tiles, 2);

    // A top view turned by 30°: the edges of its tiles lie on whole tiles of the frame.
    LayoutJob top;
    top.tileSize = 20;
    top.azimuth = 30.0;
    top.clipLow = 3.35;
    top.clipHigh = 6.25;
    const PlanOverlay grid = planOverlay(*preview, top);
    EXPECT_GE(grid.tiles, 1);
    const LayoutFrame frame{30.0};
    for (const PlanSegment& edge : grid.tileEdges) {
        for (const PlanePoint& p : {edge.from, edge.to}) {
            const PlanePoint f = frame.toFrame(p);
            EXPECT_NEAR(std::remainder(f.x, 20.0) * std::remainder(f.y, 20.0), 0.0, 1e-6);
        }
    }
}
