#pragma once
// Turns a raw tile of summed point weights into 8-bit grey on the layout's one
// logarithmic scale, and measures how much data the tile holds.

#include <opencv2/core.hpp>

#include <cstdint>

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

    // Writes the grey image of raw (grey must be CV_8UC1 of raw's size) and returns the
    // tile's sum of scale values K = log₂(p + 1) / scaleTop, added as floats in row order.
    // reverseIntensity gives dense areas dark on white (1 - K), otherwise bright on black (K). A
    // scale top that is not above 0 (no point reached any tile) gives K = 0 everywhere.
    static float normalizeTile(const cv::Mat& raw, float scaleTop, bool reverseIntensity,
                               cv::Mat& grey);
};

} // namespace orthaven
