#include "engine/TileNormalizer.h"

#include <algorithm>
#include <cmath>

namespace orthaven {

float TileNormalizer::log2Plus1(float value)
{
    return static_cast<float>(std::log(double(value) + 1.0) / std::log(2.0));
}

std::uint8_t TileNormalizer::greyValue(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    // The product of a float and 255 is exact in double, so this truncates the true value.
    return static_cast<std::uint8_t>(static_cast<int>(255.0 * double(value)));
}

float TileNormalizer::normalizeTile(const cv::Mat& raw, SumScale scale, float scaleTop,
                                    bool reverseIntensity, cv::Mat& grey, float sumSoFar)
{
    const bool hasScale = scaleTop > 0.0f;
    // A pixel no point reached (most of a sparse tile) has the scale value 0: its grey is
    // fixed and adding it changes no sum.
    const std::uint8_t emptyGrey = greyValue(reverseIntensity ? 1.0f : 0.0f);
    float sum = sumSoFar;
    for (int r = 0; r < raw.rows; ++r) {
        const RawSum* p = rawSums(raw, r);
        std::uint8_t* g = grey.ptr<std::uint8_t>(r);
        for (int c = 0; c < raw.cols; ++c) {
            if (p[c] == 0) {
                g[c] = emptyGrey;
                continue;
            }
            const float K = hasScale ? log2Plus1(float(scale.weight(p[c]))) / scaleTop : 0.0f;
            sum += K;
            g[c] = greyValue(reverseIntensity ? 1.0f - K : K);
        }
    }
    return sum;
}

TileNormalizer::Histogram::Histogram(float lowValue, float highValue)
    : low(lowValue), width(highValue > lowValue ? (double(highValue) - lowValue) / bins : 0.0),
      counts(std::size_t(bins), 0)
{
}

void TileNormalizer::Histogram::addTile(const cv::Mat& weight, const cv::Mat& sum)
{
    for (int r = 0; r < weight.rows; ++r) {
        const RawSum* w = rawSums(weight, r);
        const WideSum* v = wideSums(sum, r);
        for (int c = 0; c < weight.cols; ++c) {
            if (w[c] <= 0)
                continue;
            const double mean = meanIntensity(v[c], w[c]);
            const double bin = width > 0.0 ? std::floor((mean - low) / width) : 0.0;
            ++counts[std::size_t(std::clamp(bin, 0.0, double(bins - 1)))];
            ++count;
        }
    }
}

void TileNormalizer::Histogram::add(const Histogram& other)
{
    for (int b = 0; b < bins; ++b)
        counts[std::size_t(b)] += other.counts[std::size_t(b)];
    count += other.count;
}

double TileNormalizer::Histogram::quantile(double share, bool upper) const
{
    const std::int64_t wanted =
        std::max<std::int64_t>(1, std::int64_t(std::ceil(share * double(count))));
    std::int64_t seen = 0;
    for (int b = 0; b < bins; ++b) {
        seen += counts[std::size_t(b)];
        if (seen >= wanted)
            return low + width * (upper ? b + 1 : b);
    }
    return low + width * bins;
}

double TileNormalizer::meanIntensity(WideSum sum, RawSum weight)
{
    return double(sum) / double(weight) / double(1 << SumScale::valueBits);
}

void TileNormalizer::intensityTile(const cv::Mat& weight, const cv::Mat& sum, double low,
                                   double high, std::uint8_t background, cv::Mat& grey)
{
    const double span = high - low;
    for (int r = 0; r < weight.rows; ++r) {
        const RawSum* w = rawSums(weight, r);
        const WideSum* v = wideSums(sum, r);
        std::uint8_t* g = grey.ptr<std::uint8_t>(r);
        for (int c = 0; c < weight.cols; ++c) {
            if (w[c] <= 0) {
                g[c] = background;
                continue;
            }
            // A layout of one intensity throughout is shown mid-grey.
            const double mean = meanIntensity(v[c], w[c]);
            g[c] = span > 0.0 ? greyValue(float((mean - low) / span)) : 128;
        }
    }
}

void TileNormalizer::colourTile(const cv::Mat& weight, const cv::Mat& red, const cv::Mat& green,
                                const cv::Mat& blue, std::uint8_t background, cv::Mat& rgb)
{
    const auto channel = [](RawSum sum, RawSum w) {
        return std::uint8_t(std::clamp(std::lround(double(sum) / double(w)), 0L, 255L));
    };
    for (int r = 0; r < weight.rows; ++r) {
        const RawSum* w = rawSums(weight, r);
        const RawSum* R = rawSums(red, r);
        const RawSum* G = rawSums(green, r);
        const RawSum* B = rawSums(blue, r);
        std::uint8_t* out = rgb.ptr<std::uint8_t>(r);
        for (int c = 0; c < weight.cols; ++c, out += 3) {
            if (w[c] <= 0) {
                out[0] = out[1] = out[2] = background;
                continue;
            }
            out[0] = channel(R[c], w[c]);
            out[1] = channel(G[c], w[c]);
            out[2] = channel(B[c], w[c]);
        }
    }
}

} // namespace orthaven
