#include "creator/ClippingDefaults.h"

#include "engine/LayoutCreator.h"

#include <cmath>

namespace orthaven {

ClipPlanes defaultClipPlanes(const ScanSource& source, const QBitArray& selection,
                             std::uint32_t view, double scannerDomain, const LayoutFrame& frame)
{
    // computeScanExtent works in the coordinates of the inverse of the matrix it gets; the
    // view rotation in the frame is orthonormal, so its transpose is that inverse.
    const cv::Mat R = viewMatrixFor(view, frame)(cv::Rect(0, 0, 3, 3)).t();
    cv::Mat low;
    cv::Mat high;
    ClipPlanes planes;
    if (!selection.count(true) ||
        !LayoutCreator::computeScanExtent(source, selection, low, high, scannerDomain, R))
        return planes;
    const double depthLow = low.at<double>(2);
    const double depthHigh = high.at<double>(2);
    // Nothing placed: the extent is still at its starting values.
    if (!(depthLow <= depthHigh) || !std::isfinite(depthLow) || !std::isfinite(depthHigh))
        return planes;
    planes.low = std::floor(depthLow) - 1.0;
    planes.high = std::ceil(depthHigh) + 1.0;
    return planes;
}

} // namespace orthaven
