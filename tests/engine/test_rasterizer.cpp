#include "engine/FileRawTileStore.h"
#include "engine/MemoryRawTileStore.h"
#include "engine/RawTileRasterizer.h"
#include "engine/SessionFolder.h"
#include "platform/AppPaths.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// The pixels of a raw tile that hold a sum.
int pixelsSet(const cv::Mat& t)
{
    int count = 0;
    for (int r = 0; r < t.rows; ++r)
        for (int c = 0; c < t.cols; ++c)
            count += rawSums(t, r)[c] != 0 ? 1 : 0;
    return count;
}

bool sameBits(const cv::Mat& a, const cv::Mat& b)
{
    return a.type() == b.type() && a.size == b.size && a.isContinuous() && b.isContinuous() &&
           std::memcmp(a.data, b.data, a.total() * a.elemSize()) == 0;
}

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
        maxAccumulated = 0;
    }

    RawTileRasterizer::Result rasterize(const std::vector<cv::Vec3d>& points,
                                        const cv::Mat& T = cv::Mat::eye(4, 4, CV_64F),
                                        bool fromScanner = true)
    {
        RawTileRasterizer rasterizer(*store, settings);
        const cv::Mat B = block(points);
        return rasterizer.rasterizeBlock(B, T, range, maxAccumulated, {}, fromScanner);
    }

    cv::Mat tile(int U, int V) { return store->loadTile(U, V); }
    // The weight a pixel's sum stands for.
    double weight(const cv::Mat& t, int row, int col) const
    {
        return settings.sumScale().weight(rawSums(t, row)[col]);
    }

    TempAppData appData;
    std::unique_ptr<SessionFolder> session;
    std::unique_ptr<FileRawTileStore> store;
    RasterSettings settings;
    TileRange range;
    RawSum maxAccumulated = 0;
};

} // namespace

TEST_F(Rasterize, WeightIsSquaredDistanceForTopItsRootForOtherViewsAndOneWithoutScanner)
{
    // 2 m from the scanner, on a pixel corner: the whole weight on one pixel. A scan without
    // a position has no scanner to measure from: 1, and no domain (of 1 m here) cuts it.
    const std::tuple<bool, bool, double> cases[] = {
        {true, true, 4.0}, {false, true, std::sqrt(2.0)}, {true, false, 1.0}};
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
        // Within half a unit of the sums: 2^-24 for the root, 4 and 1 exactly.
        EXPECT_NEAR(this->weight(t, 79, 16), weight, std::ldexp(1.0, -24));
        EXPECT_EQ(pixelsSet(t), 1);
    }
}

TEST_F(Rasterize, SharesGoToTheFourNearestPixels)
{
    // Scanner 2 m to the left: weight 4. Pixel position (16.25, 3.5).
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}}, FakeScanSource::translation(0.03125, 0.4375, 0.0)),
              RawTileRasterizer::Result::Done);
    const cv::Mat t = tile(0, 0);
    EXPECT_EQ(weight(t, 76, 16), 1.5); // (1 - fx)(1 - fy) w
    EXPECT_EQ(weight(t, 75, 16), 1.5); // (1 - fx) fy w
    EXPECT_EQ(weight(t, 75, 17), 0.5); // fx fy w
    EXPECT_EQ(weight(t, 76, 17), 0.5); // fx (1 - fy) w
    EXPECT_EQ(pixelsSet(t), 4);
    EXPECT_EQ(settings.sumScale().weight(maxAccumulated), 1.5);
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
        EXPECT_NEAR(weight(t, c.row, c.col), q, std::ldexp(1.0, -13));
        EXPECT_EQ(pixelsSet(t), 1);
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
    EXPECT_EQ(pixelsSet(tile(0, 0)), 1);
    EXPECT_EQ(pixelsSet(tile(10, 0)), 1);

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
    EXPECT_NE(weight(t, 71, 8), 0.0);
    EXPECT_NE(weight(t, 71, 16), 0.0);
    EXPECT_EQ(pixelsSet(t), 2);
}

TEST_F(Rasterize, BlocksAddUpInTheSameTileFile)
{
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}, {4.0, 0.0, 0.0}}), RawTileRasterizer::Result::Done);
    ASSERT_EQ(rasterize({{2.0, 0.0, 0.0}, {-3.0, 0.0, 0.0}}), RawTileRasterizer::Result::Done);
    const cv::Mat t = tile(0, 0);
    EXPECT_EQ(weight(t, 79, 16), 8.0);
    EXPECT_EQ(weight(t, 79, 32), 16.0);
    EXPECT_EQ(settings.sumScale().weight(maxAccumulated), 16.0);
    EXPECT_EQ(range, (TileRange{-1, 0, 0, 0}));
}

TEST_F(Rasterize, AnyOrderOfTheSamePointsGivesTheSameBits)
{
    // Points spread over four tiles with intensities and colours, drawn whole and then
    // reversed, in blocks of 7, and placed with each set of instructions the processor
    // has: every sum of the density and of both layers bit for bit.
    cv::RNG random(7);
    std::vector<cv::Vec3d> points;
    for (int j = 0; j < 400; ++j)
        points.emplace_back(random.uniform(-1.0, 1.0), random.uniform(-1.0, 1.0), 0.0);
    cv::Mat intensity(1, 400, CV_32F), colour8(3, 400, CV_8U), colour;
    random.fill(intensity, cv::RNG::UNIFORM, -2.0, 3.0);
    random.fill(colour8, cv::RNG::UNIFORM, 0, 256);
    colour8.convertTo(colour, CV_32F);
    const cv::Mat T = FakeScanSource::translation(0.3, -0.2, 0.0);
    MemoryBudget memory(std::int64_t(1) << 30);
    std::vector<std::vector<cv::Mat>> results;
    using Instructions = RawTileRasterizer::Instructions;
    const Instructions runs[] = {Instructions::Widest, Instructions::Widest, Instructions::Avx2,
                                 Instructions::Baseline};
    for (const int run : {0, 1, 2, 3}) {
        const bool reversed = run == 1;
        RawTileRasterizer::useInstructions(runs[run]);
        const auto widest =
            qScopeGuard([] { RawTileRasterizer::useInstructions(Instructions::Widest); });
        restart();
        std::vector<std::unique_ptr<FileRawTileStore>> layers;
        std::vector<RawTileStore*> stores;
        for (const int cell : {8, 16, 8, 8, 8, 8}) { // intensity: weight, sum; colour: 4
            layers.push_back(std::make_unique<FileRawTileStore>(
                session->tempPath(), 80, QStringLiteral("l%1_").arg(layers.size()), 0, cell));
            stores.push_back(layers.back().get());
        }
        RawTileRasterizer ofIntensity(*store, settings, nullptr, {stores[0], stores[1]});
        RawTileRasterizer ofColour(*store, settings, nullptr,
                                   {stores[2], stores[3], stores[4], stores[5]});
        for (int start = 0; start < 400; start += 7) {
            std::vector<int> order;
            for (int j = start; j < std::min(start + 7, 400); ++j)
                order.push_back(reversed ? 399 - j : j);
            std::vector<cv::Vec3d> part;
            cv::Mat i(1, int(order.size()), CV_32F), c(3, int(order.size()), CV_32F);
            for (std::size_t k = 0; k < order.size(); ++k) {
                part.push_back(points[std::size_t(order[k])]);
                intensity.col(order[k]).copyTo(i.col(int(k)));
                colour.col(order[k]).copyTo(c.col(int(k)));
            }
            const cv::Mat B = block(part);
            // The density twice over (two rasterisers of one store) adds up all the same.
            ASSERT_EQ(ofIntensity.rasterizeBlock(B, T, range, maxAccumulated, i),
                      RawTileRasterizer::Result::Done);
            ASSERT_EQ(ofColour.rasterizeBlock(B, T, range, maxAccumulated, c),
                      RawTileRasterizer::Result::Done);
        }
        results.emplace_back();
        stores.push_back(store.get());
        for (RawTileStore* from : stores)
            for (const RawTileStore::Index& t : from->storedTiles())
                results.back().push_back(from->loadTile(t.first, t.second));
    }
    ASSERT_EQ(results[0].size(), 28u); // four tiles in each of seven stores
    for (std::size_t k = 0; k < results[0].size(); ++k)
        for (const std::size_t run : {1, 2, 3})
            EXPECT_TRUE(sameBits(results[0][k], results[run][k])) << k << " of run " << run;
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
    ASSERT_EQ(rasterizer.rasterizeBlock(B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
              RawTileRasterizer::Result::Done);
    EXPECT_TRUE(capture.lines().isEmpty()) << "no line per point";
    EXPECT_EQ(rasterizer.outOfBoundPoints(), 15);
    EXPECT_EQ(pixelsSet(tile(0, 0)), 4); // only the point inside the image
}

namespace {

class BrokenStore : public RawTileStore
{
public:
    explicit BrokenStore(bool withoutImage) : RawTileStore(80), noImage(withoutImage) {}
    cv::Mat getStrip(int, int, int) override { return noImage ? cv::Mat() : emptyStrip(0); }
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
    RawSum maxAccumulated = 0;
    {
        BrokenStore store(true);
        RawTileRasterizer rasterizer(store, settings);
        CaptureDiagnostics capture;
        EXPECT_EQ(rasterizer.rasterizeBlock(B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
                  RawTileRasterizer::Result::NoImage);
        EXPECT_EQ(capture.lines(), QStringList({"Get Image 1 -1", "ERROR: Image Pointer is NULL"}));
    }
    {
        BrokenStore store(false);
        RawTileRasterizer rasterizer(store, settings);
        CaptureDiagnostics capture;
        EXPECT_EQ(rasterizer.rasterizeBlock(B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
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
        EXPECT_EQ(rasterizer.rasterizeBlock(B, cv::Mat::eye(4, 4, CV_64F), range, maxAccumulated),
                  RawTileRasterizer::Result::Stopped);
        EXPECT_EQ(store.visits, 1);
        EXPECT_EQ(store.storedTiles().size(), 1u) << "the tile in hand is stored back";
    }
}
