#pragma once
// An evenly thinned sample of the points of a pass, in bounded memory: every k-th point is
// kept, and k doubles (every other kept point dropped) whenever the sample is full. The
// same points in the same order give the same sample. Depth profiles of any view and frame
// and the tile grid a layout would get are made from it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orthaven {

class PointSample
{
public:
    explicit PointSample(std::size_t limit = std::size_t(1) << 20);

    // A point in project metres.
    void add(double x, double y, double z);

    std::size_t size() const { return xyz.size() / 3; }
    // Point k in project metres.
    double x(std::size_t k) const { return originX + double(xyz[3 * k]); }
    double y(std::size_t k) const { return originY + double(xyz[3 * k + 1]); }
    double z(std::size_t k) const { return originZ + double(xyz[3 * k + 2]); }
    // How many points of the pass one kept point stands for.
    std::uint64_t stride() const { return every; }

private:
    std::size_t limit;
    std::uint64_t every = 1;
    std::uint64_t seen = 0;
    bool anchored = false;
    // Kept relative to the first point (whole metres), so that floats keep millimetres
    // also far from the project's origin.
    double originX = 0.0, originY = 0.0, originZ = 0.0;
    std::vector<float> xyz;
};

} // namespace orthaven
