#pragma once
// The sums a raw tile holds: whole numbers of a fixed unit, so that the same points added
// in any order (one thread or many, any chunks, several runs merged) give the same bits.
//
// A point's weight w is shared bilinearly over four pixels; each share is turned into
// units once, on its own: round(share · 2^f) to the nearest unit, and at least one unit
// for a share above zero (a pixel a point reaches is never left empty). f is fixed per
// run by the largest weight a point can have, W (the scanner domain squared for Top, its
// square root for the other views, at least 1, the weight of a point without a scanner):
// f = 27 - ceil(log2 W), so no share exceeds 2^27 units. The sums are signed 64-bit
// integers: a pixel holds 2^36 (68 billion) shares of the largest weight before it could
// overflow, far beyond what any site puts into one pixel. With a 30 m domain (Top) the
// unit is 2^-17 ≈ 7.6e-6, finer than a float sum's rounding once a pixel holds 64.
//
// A layer's value sums use the same share units: a colour channel (0 … 255) adds
// units · value to a 64-bit sum (2^28 shares of the largest weight per pixel); an
// intensity adds units · round(value · 2^24), the value held within ±2^20, to a 128-bit
// sum (2^56 shares), so a value of any reader keeps 24 bits below its point.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/core.hpp>

namespace orthaven {

using RawSum = std::int64_t;
__extension__ using WideSum = __int128;

// The OpenCV type of a raw tile of cells of cellBytes (8: RawSum, 16: WideSum): the
// integers' bytes in two or four 32-bit channels, so the pixels are plain memory.
inline int rawCellType(int cellBytes)
{
    return cellBytes == 16 ? CV_32SC4 : CV_32SC2;
}

// The sums of a row of a raw tile.
inline RawSum* rawSums(cv::Mat& strip, int row)
{
    return reinterpret_cast<RawSum*>(strip.ptr(row));
}
inline const RawSum* rawSums(const cv::Mat& strip, int row)
{
    return reinterpret_cast<const RawSum*>(strip.ptr(row));
}
inline WideSum* wideSums(cv::Mat& strip, int row)
{
    return reinterpret_cast<WideSum*>(strip.ptr(row));
}
inline const WideSum* wideSums(const cv::Mat& strip, int row)
{
    return reinterpret_cast<const WideSum*>(strip.ptr(row));
}

// The unit of one run's sums.
struct SumScale
{
    static constexpr int shareBits = 27;          // no share exceeds 2^27 units
    static constexpr int valueBits = 24;          // an intensity's bits below its point
    static constexpr double valueLimit = 1 << 20; // intensities are held within ±2^20

    // A unit of 2^-bits of a weight; bits from -64 to 64.
    explicit SumScale(int bits = 0)
        : fractionBits(bits), factor(std::ldexp(1.0, bits)), inverse(std::ldexp(1.0, -bits))
    {
    }

    // The scale of a run whose points weigh at most maxWeight.
    static SumScale forLargestWeight(double maxWeight)
    {
        const double w = std::isfinite(maxWeight) && maxWeight > 1.0 ? maxWeight : 1.0;
        int exponent = 0;
        std::frexp(w, &exponent); // w < 2^exponent; exact powers of two one above
        const int bits = shareBits - (std::ldexp(1.0, exponent - 1) == w ? exponent - 1 : exponent);
        return SumScale(bits < -64 ? -64 : bits);
    }

    int fractionBits;
    double factor;  // 2^fractionBits: multiplying by it is exact
    double inverse; // 2^-fractionBits

    // A share in units, given as product = share · 2^f: round(product), halves up, at
    // least 1 for a share above 0, as a double holding a whole number of at most 2^27
    // units. Only comparisons, selections and a conversion, so that a loop over many
    // points can be vectorised, and the same value on every instruction set.
    static double unitsOf(double product)
    {
        constexpr double cap = double(RawSum(1) << shareBits);
        const double positive = product > 0.0 ? product : 0.0; // NaN too
        const double scaled = positive < cap ? positive : cap;
        const double whole = double(std::int32_t(scaled));
        const double rounded = whole + (scaled - whole >= 0.5 ? 1.0 : 0.0);
        const double least = scaled > 0.0 ? 1.0 : 0.0;
        return rounded > least ? rounded : least;
    }
    // An intensity in its fixed point, held within ±valueLimit.
    static std::int64_t valueUnits(float value)
    {
        const double v = std::clamp(double(value), -valueLimit, valueLimit);
        return std::llround(v * double(1 << valueBits));
    }
    // A sum as the weight it stands for.
    double weight(RawSum sum) const { return double(sum) * inverse; }
};

} // namespace orthaven
