#pragma once
// The rotation of a FARO scan pose from the axis and angle the library delivers. Kept in
// one place, without Qt or OpenCV, because the scan generator builds its station headings
// with it as well: a workspace and a PTX file of the same station then carry bit-identical
// poses.

#include <array>
#include <cmath>

namespace orthaven {

// Row-major 3 × 3. The axis is used as delivered, not normalised. The order of every
// operation is part of the result.
inline std::array<double, 9> faroAxisAngleRotation(double ax, double ay, double az, double angle)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double t = 1.0 - c;
    return {c + t * ax * ax,      t * ax * ay - s * az, t * ax * az + s * ay,
            t * ax * ay + s * az, c + t * ay * ay,      t * ay * az - s * ax,
            t * ax * az - s * ay, t * ay * az + s * ax, c + t * az * az};
}

} // namespace orthaven
