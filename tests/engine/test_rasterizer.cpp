#include "engine/FileRawTileStore.h"
#include "engine/MemoryRawTileStore.h"
#include "engine/RawTileRasterizer.h"
#include "engine/SessionFolder.h"
#include "platform/AppPaths.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

using namespace orthaven;
using namespace orthaven::test;

namespace {

cv::Mat block(const std::vector<cv::Vec3d>& points)
{
    cv::Mat B(4, int(points.size()), CV_64F);
    for (int j = 0; j < B.cols; ++j) {
        for (int r = 0; r < 3; ++r)
            B.at<double>(r, j) = points[j][r];
        B.at<double>(3, j) = 1.0;
    }
    return B;
}

// Raw tiles of 80 × 80 pixels at 0.125 m: every coordinate used here is exact in binary.
class Rasterize : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.resolution = 0.125;
        settings.scannerDomain = 100.0;
        settings.tilePixels = 80;
        restart();
    }
    void TearDown() override
    {
        CaptureDiagnostics quiet;
        session.reset();
    }
    // A fresh session and store for tiles of n × n pixels.
    void restart(int n = 80)
    {
        CaptureDiagnostics quiet;
        store.reset();
        session = std::make_unique<SessionFolder>(tempFolder());
        ASSERT_TRUE(session->createSession());
        store = std::make_unique<FileRawTileStore>(session->tempPath(), n);
        range = TileRange();
        maxAccumulated = 0.0f;
    }

    RawTileRasterizer::Result rasterize(const std::vector<cv::Vec3d>& points,
                                        const cv::Mat& T = cv::Mat::eye(4, 4, CV_64F),
                                        bool fromScanner = true)
    {
        RawTileRasterizer rasterizer(*store, settings);
        const cv::Mat B = block(points);
        return rasterizer.rasterizeBlock(B, T * B, T, range, maxAccumulated, {}, fromScanner);
    }

    cv::Mat tile(int U, int V) { return store->loadTile(U, V); }

    TempAppData appData;
    std::unique_ptr<SessionFolder> session;
    std::unique_ptr<FileRawTileStore> store;
    RasterSettings settings;
    TileRange range;
    float maxAccumulated = 0.0f;
};

} // namespace

TEST_F(Rasterize, WeightIsSquaredDistanceForTopItsRootForOtherViewsAndOneWithoutScanner)
{
    // 2 m from the scanner, on a pixel corner: the whole weight on one pixel. A scan without
    // a position has no scanner to measure from: 1, and no domain (of 1 m here) cuts it.
    const std::tuple<bool, bool, float> cases[] = {
        {true, true, 4.0f}, {false, true, float(std::sqrt(2.0))}, {true, false, 1.0f}};
    for (const auto& [top, scanner, weight] : cases) {
        SCOPED_TRACE(top ? "top" : "vertical");
        settings.topView = top;
        settings.scannerDomain = scanner ? 100.0 : 1.0;
        restart();
        CaptureDiagnostics quiet;
        ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}}, cv::Mat::eye(4, 4, CV_64F), scanner),
                  RawTileRasterizer::Result::Done);
        const cv::Mat t = tile(0, 0);
        ASSERT_FALSE(t.empty());
        EXPECT_EQ(t.at<float>(79, 16), weight);
        EXPECT_EQ(cv::countNonZero(t), 1);
    }
}

TEST_F(Rasterize, SharesGoToTheFourNearestPixels)
{
    // Scanner 2 m to the left: weight 4. Pixel position (16.25, 3.5).
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}}, FakeScanSource::translation(0.03125, 0.4375, 0.0)),
              RawTileRasterizer::Result::Done);
    const cv::Mat t = tile(0, 0);
    EXPECT_EQ(t.at<float>(76, 16), 1.5f); // (1 - fx)(1 - fy) w
    EXPECT_EQ(t.at<float>(75, 16), 1.5f); // (1 - fx) fy w
    EXPECT_EQ(t.at<float>(75, 17), 0.5f); // fx fy w
    EXPECT_EQ(t.at<float>(76, 17), 0.5f); // fx (1 - fy) w
    EXPECT_EQ(cv::countNonZero(t), 4);
    EXPECT_EQ(maxAccumulated, 1.5f);
}

TEST_F(Rasterize, TileEdgesAndBoundaries)
{
    struct Case
    {
        const char* name;
        cv::Vec3d point;
        int U, V, row, col;
    };
    const Case cases[] = {
        {"on a tile boundary: next tile, column 0", {10.0, 0.0, 0.0}, 1, 0, 79, 0},
        {"right pixel column: one pixel, nothing next door", {9.9375, 1.0, 0.0}, 0, 0, 71, 79},
        {"top pixel row: one pixel", {1.0, 9.95, 0.0}, 0, 0, 0, 8},
        {"below and left of the origin", {-0.0625, -0.0625, 5.0}, -1, -1, 0, 79},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        CaptureDiagnostics quiet;
        ASSERT_EQ(rasterize({c.point}), RawTileRasterizer::Result::Done);
        const std::vector<RawTileStore::Index> expectedTiles{{c.U, c.V}};
        EXPECT_EQ(store->storedTiles(), expectedTiles);
        EXPECT_EQ(range, (TileRange{c.U, c.U, c.V, c.V}));
        const cv::Mat t = tile(c.U, c.V);
        const double q = c.point[0] * c.point[0] + c.point[1] * c.point[1];
        EXPECT_EQ(t.at<float>(c.row, c.col), float(q));
        EXPECT_EQ(cv::countNonZero(t), 1);
    }
}

TEST_F(Rasterize, KeepsOnlyPointsBetweenTwoPixelsAndTheDomain)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ASSERT_EQ(rasterize({
                  {0.0, 0.0, 0.0},     // a missing measurement at the scanner
                  {0.1, 0.1, 0.0},     // nearer than √2 pixels
                  {0.125, 0.125, 0.0}, // exactly √2 pixels: kept
                  {100.0, 0.0, 0.0},   // exactly at the domain: kept
                  {100.0, 0.001, 0.0}, // beyond it
                  {nan, 1.0, 1.0},     // no position
                  {3.0, std::numeric_limits<double>::infinity(), 0.0},
              }),
              RawTileRasterizer::Result::Done);
    const std::vector<RawTileStore::Index> expected{{0, 0}, {10, 0}};
    EXPECT_EQ(store->storedTiles(), expected);
    EXPECT_EQ(cv::countNonZero(tile(0, 0)), 1);
    EXPECT_EQ(cv::countNonZero(tile(10, 0)), 1);

    // The origin never counts, whatever the domain.
    settings.scannerDomain = 1.0e9;
    restart();
    ASSERT_EQ(rasterize({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}), RawTileRasterizer::Result::Done);
    EXPECT_TRUE(store->storedTiles().empty());
}

TEST_F(Rasterize, PointsTooFarFromTheViewOriginAreNotPlaced)
{
    settings.scannerDomain = 10.0;
    CaptureDiagnostics quiet;
    ASSERT_EQ(rasterize({{1.0, 0.0, 0.0}, {2.0, 0.0, 0.0}},
                        FakeScanSource::translation(1.0e12, 0.0, 0.0)),
              RawTileRasterizer::Result::Done);
    EXPECT_TRUE(store->storedTiles().empty());
    EXPECT_TRUE(range.isEmpty());
}

TEST_F(Rasterize, ClippingPlanesBelongToTheKeptRegion)
{
    settings.clipLow = -1.0;
    settings.clipHigh = 2.0;
    ASSERT_EQ(
        rasterize(
            {{1.0, 1.0, -1.0}, {2.0, 1.0, 2.0}, {3.0, 1.0, -1.0000001}, {4.0, 1.0, 2.0000001}}),
        RawTileRasterizer::Result::Done);
    const cv::Mat t = tile(0, 0);
    EXPECT_NE(t.at<float>(71, 8), 0.0f);
    EXPECT_NE(t.at<float>(71, 16), 0.0f);
    EXPECT_EQ(cv::countNonZero(t), 2);
}

TEST_F(Rasterize, BlocksAddUpInTheSameTileFile)
{
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}, {4.0, 0.0, 0.0}}), RawTileRasterizer::Result::Done);
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}, {-3.0, 0.0, 0.0}}), RawTileRasterizer::Result::Done);
    const cv::Mat t = tile(0, 0);
    EXPECT_EQ(t.at<float>(79, 16), 8.0f);
    EXPECT_EQ(t.at<float>(79, 32), 16.0f);
    EXPECT_EQ(maxAccumulated, 16.0f);
    EXPECT_EQ(range, (TileRange{-1, 0, 0, 0}));
}

TEST_F(Rasterize, PointOutsideItsTileImageIsCountedAndNotDrawn)
{
    // At 0.03 m a tile image covers 333 pixels = 9.99 m: the last centimetre is outside.
    settings.resolution = 0.03;
    settings.tilePixels = 333;
    restart(333);
    RawTileRasterizer rasterizer(*store, settings);
    std::vector<cv::Vec3d> points(15, cv::Vec3d(9.995, 0.5, 0.0));
    points.emplace_back(5.0, 5.0, 0.0);
    const cv::Mat B = block(points);
    CaptureDiagnostics capture;
    ASSERT_EQ(rasterizer.rasterizeBlock(B, B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
              RawTileRasterizer::Result::Done);
    EXPECT_TRUE(capture.lines().isEmpty()) << "no line per point";
    EXPECT_EQ(rasterizer.outOfBoundPoints(), 15);
    EXPECT_EQ(cv::countNonZero(tile(0, 0)), 4); // only the point inside the image
}

namespace {

class BrokenStore : public RawTileStore
{
public:
    explicit BrokenStore(bool withoutImage) : RawTileStore(80), noImage(withoutImage) {}
    cv::Mat getStrip(int, int, int) override
    {
        return noImage ? cv::Mat() : cv::Mat(80, 80, CV_32FC1, cv::Scalar(0));
    }
    bool releaseStrip(int, int, int, const cv::Mat&) override { return false; }
    cv::Mat loadStrip(int, int, int) override { return {}; }
    std::vector<Index> storedTiles() const override { return {}; }

private:
    bool noImage;
};

} // namespace

TEST(RasterizeFailures, MissingImageOrLostTileEndsTheBlock)
{
    RasterSettings settings;
    settings.resolution = 0.125;
    settings.scannerDomain = 100.0;
    settings.tilePixels = 80;
    const cv::Mat B = block({{12.0, -3.0, 0.0}, {2.0, 0.0, 0.0}});
    TileRange range;
    float maxAccumulated = 0.0f;
    {
        BrokenStore store(true);
        RawTileRasterizer rasterizer(store, settings);
        CaptureDiagnostics capture;
        EXPECT_EQ(
            rasterizer.rasterizeBlock(B, B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
            RawTileRasterizer::Result::NoImage);
        EXPECT_EQ(capture.lines(), QStringList({"Get Image 1 -1", "ERROR: Image Pointer is NULL"}));
    }
    {
        BrokenStore store(false);
        RawTileRasterizer rasterizer(store, settings);
        CaptureDiagnostics capture;
        EXPECT_EQ(
            rasterizer.rasterizeBlock(B, B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
            RawTileRasterizer::Result::TileLost);
        EXPECT_EQ(capture.lines(), QStringList{"ERROR: raw tile 1 -1 could not be stored"});
    }
    {
        // A stop asked for while the first tile of a block is worked on: the second tile
        // of the block is not visited.
        std::atomic<bool> stop{false};
        QTemporaryDir spill;
        MemoryBudget memory(std::int64_t(1) << 30);
        struct StoppingStore : MemoryRawTileStore
        {
            std::atomic<bool>& stop;
            int visits = 0;
            StoppingStore(std::atomic<bool>& flag, const QString& folder, MemoryBudget& memory)
                : MemoryRawTileStore(folder, 80, memory), stop(flag)
            {
            }
            cv::Mat getStrip(int U, int V, int strip) override
            {
                ++visits;
                stop = true;
                return MemoryRawTileStore::getStrip(U, V, strip);
            }
        } store(stop, spill.path() + "/", memory);
        RawTileRasterizer rasterizer(store, settings, &stop);
        EXPECT_EQ(
            rasterizer.rasterizeBlock(B, B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
            RawTileRasterizer::Result::Stopped);
        EXPECT_EQ(store.visits, 1);
        EXPECT_EQ(store.storedTiles().size(), 1u) << "the tile in hand is stored back";
    }
}
