#include "layout/LayoutFrame.h"

#include "layout/Views.h"

#include <cmath>
#include <numbers>

namespace orthaven {

namespace {

// The azimuth in [0, 360).
double reduced(double azimuth)
{
    double r = std::fmod(azimuth, 360.0);
    if (r < 0.0)
        r += 360.0;
    return r == 360.0 ? 0.0 : r;
}

// 4 × 4 rotation about the vertical axis by the angle of (c, s).
cv::Mat turn(double c, double s)
{
    cv::Mat R = cv::Mat::eye(4, 4, CV_64F);
    R.at<double>(0, 0) = c;
    R.at<double>(0, 1) = -s;
    R.at<double>(1, 0) = s;
    R.at<double>(1, 1) = c;
    return R;
}

} // namespace

bool LayoutFrame::isTurned() const
{
    return reduced(azimuth) != 0.0;
}

double LayoutFrame::cosine() const
{
    const double r = reduced(azimuth);
    if (r == 0.0)
        return 1.0;
    if (r == 90.0 || r == 270.0)
        return 0.0;
    if (r == 180.0)
        return -1.0;
    return std::cos(r * std::numbers::pi / 180.0);
}

double LayoutFrame::sine() const
{
    const double r = reduced(azimuth);
    if (r == 0.0 || r == 180.0)
        return 0.0;
    if (r == 90.0)
        return 1.0;
    if (r == 270.0)
        return -1.0;
    return std::sin(r * std::numbers::pi / 180.0);
}

PlanePoint LayoutFrame::toFrame(PlanePoint p) const
{
    const double c = cosine();
    const double s = sine();
    return {c * p.x + s * p.y, c * p.y - s * p.x};
}

PlanePoint LayoutFrame::toProject(PlanePoint f) const
{
    const double c = cosine();
    const double s = sine();
    return {c * f.x - s * f.y, s * f.x + c * f.y};
}

cv::Mat LayoutFrame::projectToFrame() const
{
    return turn(cosine(), -sine());
}

cv::Mat LayoutFrame::frameToProject() const
{
    return turn(cosine(), sine());
}

cv::Mat viewMatrixFor(std::uint32_t view, const LayoutFrame& frame)
{
    const cv::Mat M = viewMatrixFor(view);
    if (!frame.isTurned())
        return M;
    return M * frame.projectToFrame();
}

bool FacadeLine::isUsable() const
{
    const bool finite = std::isfinite(from.x) && std::isfinite(from.y) && std::isfinite(to.x) &&
                        std::isfinite(to.y);
    return finite && std::hypot(to.x - from.x, to.y - from.y) >= minimumLength;
}

double FacadeLine::azimuth() const
{
    return std::atan2(to.y - from.y, to.x - from.x) * 180.0 / std::numbers::pi;
}

LayoutFrame FacadeLine::frame() const
{
    return LayoutFrame{azimuth()};
}

double FacadeLine::depth() const
{
    // Both points lie at the same depth up to rounding; their mean splits it.
    const LayoutFrame f = frame();
    return (f.toFrame(from).y + f.toFrame(to).y) / 2.0;
}

double FacadeLine::extentLow() const
{
    return std::floor(frame().toFrame(from).x);
}

double FacadeLine::extentHigh() const
{
    return std::ceil(frame().toFrame(to).x);
}

} // namespace orthaven
