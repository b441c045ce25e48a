#include "engine/TileNormalizer.h"

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

float TileNormalizer::normalizeTile(const cv::Mat& raw, float scaleTop, bool reverseIntensity,
                                    cv::Mat& grey)
{
    const bool hasScale = scaleTop > 0.0f;
    // A pixel no point reached (most of a sparse tile) has the scale value 0: its grey is
    // fixed and adding it changes no sum.
    const std::uint8_t emptyGrey = greyValue(reverseIntensity ? 1.0f : 0.0f);
    float sum = 0.0f;
    for (int r = 0; r < raw.rows; ++r) {
        const float* p = raw.ptr<float>(r);
        std::uint8_t* g = grey.ptr<std::uint8_t>(r);
        for (int c = 0; c < raw.cols; ++c) {
            if (p[c] == 0.0f) {
                g[c] = emptyGrey;
                continue;
            }
            const float K = hasScale ? log2Plus1(p[c]) / scaleTop : 0.0f;
            sum += K;
            g[c] = greyValue(reverseIntensity ? 1.0f - K : K);
        }
    }
    return sum;
}

} // namespace orthaven
