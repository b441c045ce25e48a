#include "preview/PointSample.h"

#include <algorithm>
#include <cmath>

namespace orthaven {

PointSample::PointSample(std::size_t maxPoints) : limit(std::max<std::size_t>(maxPoints, 2)) {}

void PointSample::add(double x, double y, double z)
{
    if (seen++ % every != 0)
        return;
    if (!anchored) {
        anchored = true;
        originX = std::floor(x);
        originY = std::floor(y);
        originZ = std::floor(z);
    }
    xyz.push_back(float(x - originX));
    xyz.push_back(float(y - originY));
    xyz.push_back(float(z - originZ));
    if (size() < limit)
        return;
    // Full: the points kept at odd positions go, and from now on every 2k-th point is kept.
    std::size_t to = 0;
    for (std::size_t k = 0; k < size(); k += 2, ++to)
        std::copy_n(xyz.begin() + std::ptrdiff_t(3 * k), 3, xyz.begin() + std::ptrdiff_t(3 * to));
    xyz.resize(3 * to);
    every *= 2;
}

} // namespace orthaven
