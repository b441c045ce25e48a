#include "genscan/ScannerModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orthaven::genscan {

namespace {

struct Surface
{
    double reflectance;
    std::uint8_t red, green, blue;
};

Surface surfaceOf(Material material)
{
    switch (material) {
    case Material::Floor:
        return {0.45, 150, 118, 88};
    case Material::Wall:
        return {0.65, 222, 214, 198};
    case Material::Ceiling:
        return {0.75, 240, 240, 236};
    case Material::Column:
        return {0.55, 128, 130, 140};
    }
    return {0.5, 128, 128, 128};
}

// Rounds to the nearest float. The volatile keeps the rounding: GCC 12's SLP vectoriser
// was seen to merge the x and y products into one packed multiply and drop the narrowing
// of both, which left coordinates that binary float formats cannot reproduce.
double asFloat(double value)
{
    volatile float narrowed = static_cast<float>(value);
    return static_cast<double>(narrowed);
}

} // namespace

Vec3 ScannerModel::beamDirection(int row, int column) const
{
    const double azimuth = 2 * std::numbers::pi * double(column) / double(std::max(columns, 1));
    const double elevation =
        pointsPerColumn > 1
            ? elevationLow + (elevationHigh - elevationLow) * double(row) / (pointsPerColumn - 1)
            : 0.0;
    const double c = std::cos(elevation);
    return {c * std::cos(azimuth), c * std::sin(azimuth), std::sin(elevation)};
}

void ScannerModel::scanColumn(const Scene& scene, const Station& station, int stationIndex,
                              int column, std::vector<ScanPoint>& out) const
{
    out.assign(std::size_t(std::max(pointsPerColumn, 0)), ScanPoint{});
    const std::uint64_t stationSeed = mix(seed) ^ mix(std::uint64_t(stationIndex) + 0x5157ULL);
    for (int row = 0; row < pointsPerColumn; ++row) {
        const Vec3 d = beamDirection(row, column);
        const Vec3 world = station.rotate(d);
        Hit hit;
        if (!scene.castRay(station.position, world, maxRange, hit))
            continue; // a missing return stays (0, 0, 0)
        const double noise =
            rangeNoise *
            (2 * unitRandom(stationSeed, std::uint64_t(column), std::uint64_t(row)) - 1);
        const double range = std::max(hit.distance + noise, 0.01);
        const double incidence = std::abs(dot(world, hit.normal));
        const Surface surface = surfaceOf(hit.material);
        ScanPoint& p = out[std::size_t(row)];
        p.hit = true;
        p.x = asFloat(range * d.x);
        p.y = asFloat(range * d.y);
        p.z = asFloat(range * d.z);
        const double intensity =
            surface.reflectance * (0.35 + 0.65 * incidence) * (1.0 - 0.004 * range);
        p.intensity = float(std::clamp(intensity, 0.02, 1.0));
        const double shade = 0.6 + 0.4 * incidence;
        p.red = std::uint8_t(std::lround(surface.red * shade));
        p.green = std::uint8_t(std::lround(surface.green * shade));
        p.blue = std::uint8_t(std::lround(surface.blue * shade));
    }
}

} // namespace orthaven::genscan
