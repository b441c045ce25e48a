#pragma once
// A scanner station: where the scanner stood and how it was turned. Its pose maps the
// scanner's own frame to project coordinates, with an optional georeferenced offset.

#include "genscan/Geometry.h"
#include "genscan/Scene.h"

#include <array>
#include <cstdint>
#include <vector>

namespace orthaven::genscan {

struct Station
{
    double yaw = 0;  // rotation about the vertical axis in the project, radians (the pose's)
    double turn = 0; // how far the whole scene is turned in the project, radians
    Vec3 position;   // in the scene's own frame, where rays are cast
    Vec3 offset;     // added to the translation only (e.g. 500000, 5400000, 0)

    // 4 × 4, row-major, column-vector convention: project = pose · (x, y, z, 1); the
    // scene turned by turn about the project's vertical axis, then moved by offset.
    std::array<double, 16> pose() const;
    // Scanner frame → scene frame (without the turn and the offset).
    Vec3 toScene(const Vec3& scannerPoint) const;
    Vec3 rotate(const Vec3& direction) const;
};

// count stations spread over the rooms of the scene in turn, at a seeded place near each
// room's centre, 1.4-1.6 m above the floor, with a seeded heading; the scene turned by
// turn radians counter-clockwise about the project's vertical axis.
std::vector<Station> placeStations(const Scene& scene, int count, std::uint64_t seed,
                                   const Vec3& offset, double turn = 0.0);

// A well-mixed 64-bit hash (splitmix64), the generator's only source of randomness, so
// that every value depends on its seed and indices alone, never on generation order.
std::uint64_t mix(std::uint64_t value);
// A value in [0, 1) from a seed and up to three indices.
double unitRandom(std::uint64_t seed, std::uint64_t a, std::uint64_t b = 0, std::uint64_t c = 0);

} // namespace orthaven::genscan
