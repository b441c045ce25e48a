#pragma once
// Scan selections and scan poses as the engine and the clipping defaults use them.

#include <QBitArray>

#include <opencv2/core.hpp>

#include <cmath>

namespace orthaven {

// Whether scan i is selected; indices beyond the list are not.
inline bool bitSet(const QBitArray& bits, int i)
{
    return i >= 0 && i < bits.size() && bits.testBit(i);
}

// A pose as the engine can use it: 4 × 4 doubles with finite values, or no matrix.
inline cv::Mat usablePose(const cv::Mat& pose)
{
    if (pose.rows != 4 || pose.cols != 4 || pose.channels() != 1)
        return {};
    cv::Mat P;
    pose.convertTo(P, CV_64F);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(P.at<double>(r, c)))
                return {};
    return P;
}

} // namespace orthaven
