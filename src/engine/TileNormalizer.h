#pragma once
// Turns a raw tile of summed point weights into 8-bit grey on the layout's one
// logarithmic scale, and measures how much data the tile holds; turns the raw tiles of an
// intensity or colour layer (weights and weighted value sums) into grey or colour pixels.

#include "engine/RawSums.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace orthaven {

class TileNormalizer
{
public:
    // log₂(value + 1), computed as ln(value + 1) / ln 2 in double and kept as float. The
    // same function makes the scale top and every pixel, so the densest pixel is
    // exactly 1 on the scale.
    static float log2Plus1(float value);

    // The integer part of 255 × value (never rounded up); values outside 0 … 1 (and NaN)
    // are held at the ends.
    static std::uint8_t greyValue(float value);

    // Writes the grey image of raw (RawSums of the given scale; grey must be CV_8UC1 of
    // raw's size) and returns sumSoFar plus the sum of its scale values
    // K = log₂(p + 1) / scaleTop, p the pixel's weight as a float, added as floats in row
    // order: the strips of a tile, one after another, give the whole tile's sum.
    // reverseIntensity gives dense areas dark on white (1 - K), otherwise bright on black (K). A
    // scale top that is not above 0 (no point reached any tile) gives K = 0 everywhere.
    static float normalizeTile(const cv::Mat& raw, SumScale scale, float scaleTop,
                               bool reverseIntensity, cv::Mat& grey, float sumSoFar = 0.0f);

    // Counts of the weighted mean values of a layer's pixels over a fixed range cut into
    // equal bins. Counts are whole numbers, so histograms of tiles added in any order give
    // the same counts.
    class Histogram
    {
    public:
        static constexpr int bins = 65536;
        Histogram(float low, float high);
        // Counts the mean of every pixel with weight (weight: RawSums, sum: WideSums of
        // the intensities in their fixed point, one size).
        void addTile(const cv::Mat& weight, const cv::Mat& sum);
        void add(const Histogram& other);
        // The lower edge of the bin in which the share-th part of the counts is reached
        // (share in 0 … 1); with upper, the bin's upper edge.
        double quantile(double share, bool upper) const;
        std::int64_t total() const { return count; }

    private:
        double low, width;
        std::vector<std::int64_t> counts;
        std::int64_t count = 0;
    };

    // The weighted mean intensity of a pixel: sum / weight in the intensities' fixed point.
    static double meanIntensity(WideSum sum, RawSum weight);
    // Grey pixels of an intensity layer: the weighted mean intensity stretched from black
    // at low to white at high (clamped); pixels without weight get background.
    static void intensityTile(const cv::Mat& weight, const cv::Mat& sum, double low, double high,
                              std::uint8_t background, cv::Mat& grey);
    // Colour pixels (CV_8UC3: red, green, blue) of a colour layer: the weighted mean of each
    // channel (RawSums of units · value), rounded; pixels without weight get background.
    static void colourTile(const cv::Mat& weight, const cv::Mat& red, const cv::Mat& green,
                           const cv::Mat& blue, std::uint8_t background, cv::Mat& rgb);
};

} // namespace orthaven
