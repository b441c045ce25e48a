#pragma once
// The rotation of an E57 scan pose from its quaternion (w, x, y, z). Kept in one place,
// without Qt or OpenCV, because the scan generator chooses its station headings with it:
// an E57 file and a PTX file of the same station then carry bit-identical poses.

#include <array>
#include <cmath>

namespace orthaven::e57 {

// Row-major 3 × 3. A quaternion whose squared length differs from 1 by more than 1e-9
// (written with single precision, say) is scaled to length 1 first; one of length 0 or
// with a value that is not finite gives no rotation (false). The order of every operation
// is part of the result, and no element comes out as -0.
inline bool quaternionRotation(double w, double x, double y, double z, std::array<double, 9>& r)
{
    const double norm2 = w * w + x * x + y * y + z * z;
    if (!std::isfinite(norm2) || !(norm2 > 0.0))
        return false;
    if (std::abs(norm2 - 1.0) > 1e-9) {
        const double length = std::sqrt(norm2);
        w /= length;
        x /= length;
        y /= length;
        z /= length;
    }
    r = {1.0 - 2.0 * (y * y + z * z), 2.0 * (x * y - w * z),       2.0 * (x * z + w * y),
         2.0 * (x * y + w * z),       1.0 - 2.0 * (x * x + z * z), 2.0 * (y * z - w * x),
         2.0 * (x * z - w * y),       2.0 * (y * z + w * x),       1.0 - 2.0 * (x * x + y * y)};
    for (double& v : r)
        v += 0.0; // -0 + 0 is +0; a log should not show "-0"
    return true;
}

} // namespace orthaven::e57
