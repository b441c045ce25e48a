#include "engine/OutputTiles.h"
#include "engine/RawTileFile.h"
#include "engine/TileNormalizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orthaven;

namespace {

// A raw tile of these weights in sums of 2^-4 units.
const SumScale sixteenths{4};

cv::Mat rawTile(int rows, int cols, const std::vector<double>& weights)
{
    cv::Mat raw = allocateImage(64, cols, rows);
    for (std::size_t k = 0; k < weights.size(); ++k)
        rawSums(raw, int(k) / cols)[int(k) % cols] = RawSum(std::ldexp(weights[k], 4));
    return raw;
}

} // namespace

TEST(TileNormalizer, GreyValuesAreTruncatedNeverRounded)
{
    const std::pair<float, int> cases[] = {
        {0.999f, 254},   {1.0f, 255},
        {0.0f, 0},       {0.5f, 127},
        {0.2f, 51},      {1.0f / 255.0f, 1},
        {0.99999f, 254}, {-0.25f, 0},
        {1.5f, 255},     {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& [value, grey] : cases)
        EXPECT_EQ(int(TileNormalizer::greyValue(value)), grey) << value;
}

TEST(TileNormalizer, UntouchedPixelsAreTheGroundAndTheDensestTheInk)
{
    const float top = 37.5f;
    const float L = TileNormalizer::log2Plus1(top);
    for (const bool reverse : {true, false}) {
        SCOPED_TRACE(reverse ? "dark on white" : "bright on black");
        const cv::Mat raw = rawTile(1, 10, {0, top, 3});
        cv::Mat grey(1, 10, CV_8UC1, cv::Scalar(99));
        const float sum = TileNormalizer::normalizeTile(raw, sixteenths, L, reverse, grey);
        EXPECT_EQ(grey.at<uchar>(0, 0), reverse ? 255 : 0);
        EXPECT_EQ(grey.at<uchar>(0, 1), reverse ? 0 : 255);
        const float K = TileNormalizer::log2Plus1(3.0f) / L;
        EXPECT_EQ(grey.at<uchar>(0, 2), TileNormalizer::greyValue(reverse ? 1.0f - K : K));
        EXPECT_EQ(sum, 1.0f + K);
        EXPECT_EQ(rawSums(raw, 0)[2], 48); // the raw tile is only read
    }
}

TEST(TileNormalizer, SumCountsOnePerDensestPixel)
{
    const float top = 8.0f;
    const cv::Mat raw = rawTile(10, 10, std::vector<double>(20, top));
    cv::Mat grey(10, 10, CV_8UC1);
    EXPECT_EQ(
        TileNormalizer::normalizeTile(raw, sixteenths, TileNormalizer::log2Plus1(top), true, grey),
        20.0f);
}

TEST(TileNormalizer, NoScaleMeansNoData)
{
    const cv::Mat raw = rawTile(2, 5, {});
    cv::Mat grey(2, 5, CV_8UC1);
    EXPECT_EQ(TileNormalizer::normalizeTile(raw, sixteenths, 0.0f, true, grey), 0.0f);
    EXPECT_EQ(cv::countNonZero(grey == 255), 10);
}

TEST(OutputTiles, OutputGridCoversTheKeptRawTiles)
{
    struct Case
    {
        TileRange raw;
        int tileSize;
        int minOU, maxOU, minOV, maxOV;
    };
    const Case cases[] = {
        {{3, 6, -2, 1}, 20, 1, 3, -1, 0},
        {{0, 0, 0, 0}, 10, 0, 0, 0, 0},
        {{-1, 2, -4, -3}, 30, -1, 0, -2, -1},
        {{-7, 9, 5, 5}, 40, -2, 2, 1, 1},
    };
    for (const Case& c : cases) {
        const OutputGrid g = OutputTiles::outputGrid(c.raw, c.tileSize);
        EXPECT_EQ(g.minOU, c.minOU);
        EXPECT_EQ(g.maxOU, c.maxOU);
        EXPECT_EQ(g.minOV, c.minOV);
        EXPECT_EQ(g.maxOV, c.maxOV);
    }
    const OutputGrid example = OutputTiles::outputGrid({3, 6, -2, 1}, 20);
    EXPECT_EQ(example.countU(), 3);
    EXPECT_EQ(example.countV(), 2);
}

TEST(OutputTiles, ThumbnailEdgePerTile)
{
    struct Case
    {
        int nOU, nOV;
        double resolution;
        int edge;
    };
    const Case cases[] = {
        {4, 1, 0.01, 750},  {7, 5, 0.01, 428},  {1, 1, 0.1, 3000},  {2, 3, 0.1, 1000},
        {3000, 1, 0.01, 1}, {3001, 2, 0.01, 0}, {25, 1, 0.01, 119}, // floor(1000 / (25000 / 3000))
                                                                    // in doubles: just under 120
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputTiles::thumbnailEdge(c.nOU, c.nOV, c.resolution), c.edge)
            << c.nOU << " x " << c.nOV;
}

TEST(OutputTiles, CornersOfAnOutputTile)
{
    const OutputGrid grid = OutputTiles::outputGrid({3, 6, -2, 1}, 20);
    const cv::Mat first = OutputTiles::cornerMatrix(grid, 0, 0, 20);
    const cv::Mat expected = (cv::Mat_<double>(4, 2) << 20, 40, -20, 0, 0, 0, 1, 1);
    EXPECT_EQ(cv::norm(first, expected, cv::NORM_INF), 0.0);
    const cv::Mat last = OutputTiles::cornerMatrix(grid, 2, 1, 20);
    EXPECT_EQ(last.at<double>(0, 0), 60.0);
    EXPECT_EQ(last.at<double>(1, 1), 20.0);
    EXPECT_EQ(OutputTiles::tilePath("/out", "site", 0, 2, "png"), QString("/out/site_0_2.png"));
}

TEST(OutputTiles, DrawingCopiesUnscaledAndCutsAtTheEdges)
{
    QImage target(5, 5, QImage::Format_RGB32);
    target.fill(qRgb(255, 255, 255));
    QImage source(4, 4, QImage::Format_Grayscale8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            source.setPixel(x, y, qRgb(10 * x + 40 * y, 10 * x + 40 * y, 10 * x + 40 * y));
    OutputTiles::drawOpaque(target, source, -2, 3);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool covered = x < 2 && y >= 3;
            const int g = covered ? 10 * (x + 2) + 40 * (y - 3) : 255;
            EXPECT_EQ(target.pixel(x, y), qRgb(g, g, g)) << x << "," << y;
        }
    }
    OutputTiles::drawOpaque(target, source, 7, 7); // entirely outside: nothing happens
}
