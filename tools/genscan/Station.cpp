#include "genscan/Station.h"

#include "scan/e57/Quaternion.h"
#include "scan/faro/FaroAxisAngle.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace orthaven::genscan {

std::uint64_t mix(std::uint64_t value)
{
    value += 0x9e3779b97f4a7c15ULL;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

double unitRandom(std::uint64_t seed, std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    const std::uint64_t h = mix(mix(mix(mix(seed) ^ a) ^ b) ^ c);
    return double(h >> 11) * 0x1.0p-53;
}

namespace {

bool sameRotation(const std::array<double, 16>& pose, const std::array<double, 9>& r)
{
    for (int row = 0; row < 3; ++row) {
        if (std::memcmp(&pose[std::size_t(4 * row)], &r[std::size_t(3 * row)],
                        3 * sizeof(double)) != 0)
            return false;
    }
    return true;
}

// Whether the rotation of pose() for this heading is, bit for bit, the one a FARO workspace
// gives when it stores the heading as angle about the axis (0, 0, 1), and the one an E57
// file gives when it stores the quaternion (cos(h/2), 0, 0, sin(h/2)). Mostly the first is
// (for some headings beyond ±90° the element c + (1 - c) comes out one bit below 1); the
// second holds for about one heading in three.
bool storesExactly(double yaw)
{
    Station station;
    station.yaw = yaw;
    const std::array<double, 16> pose = station.pose();
    if (!sameRotation(pose, orthaven::faroAxisAngleRotation(0.0, 0.0, 1.0, yaw)))
        return false;
    std::array<double, 9> r;
    return orthaven::e57::quaternionRotation(std::cos(yaw / 2), 0.0, 0.0, std::sin(yaw / 2), r) &&
           sameRotation(pose, r);
}

// The seeded heading, moved on by the first multiple of a picoradian that makes it store
// exactly as axis and angle and as a quaternion, so that a workspace, an E57 file and a
// PTX file of the same station give the same layout pixel for pixel. Most headings move,
// by a few picoradians (rarely more than a nanoradian).
double exactHeading(double yaw)
{
    for (int k = 0; k < 1000000; ++k) {
        const double candidate = yaw + k * 1e-12;
        if (storesExactly(candidate))
            return candidate;
    }
    return yaw;
}

} // namespace

std::array<double, 16> Station::pose() const
{
    const double c = std::cos(yaw);
    const double s = std::sin(yaw);
    // The place turned with the scene (exactly the place when the scene is not turned).
    const double tc = std::cos(turn);
    const double ts = std::sin(turn);
    const double x = tc * position.x - ts * position.y;
    const double y = ts * position.x + tc * position.y;
    return {c,   -s,  0.0, x + offset.x,          //
            s,   c,   0.0, y + offset.y,          //
            0.0, 0.0, 1.0, position.z + offset.z, //
            0.0, 0.0, 0.0, 1.0};
}

Vec3 Station::rotate(const Vec3& d) const
{
    // Rays are cast in the scene, which the turn does not move.
    const double c = std::cos(yaw - turn);
    const double s = std::sin(yaw - turn);
    return {c * d.x - s * d.y, s * d.x + c * d.y, d.z};
}

Vec3 Station::toScene(const Vec3& p) const
{
    return rotate(p) + position;
}

std::vector<Station> placeStations(const Scene& scene, int count, std::uint64_t seed,
                                   const Vec3& offset, double turn)
{
    std::vector<Station> stations;
    const std::vector<Vec3>& centres = scene.roomCentres();
    if (centres.empty())
        return stations;
    // Storey by storey, then room by room: station k stands on storey k mod storeys.
    const auto storeys = std::size_t(std::max(scene.storeys(), 1));
    const std::size_t rooms = std::max<std::size_t>(centres.size() / storeys, 1);
    for (int k = 0; k < count; ++k) {
        const auto n = std::size_t(k);
        const Vec3& centre =
            centres[((n % storeys) * rooms + (n / storeys) % rooms) % centres.size()];
        Station station;
        station.offset = offset;
        station.turn = turn;
        station.yaw =
            exactHeading(2 * std::numbers::pi * unitRandom(seed, 1, std::uint64_t(k)) + turn);
        station.position = {centre.x, centre.y, centre.z + 1.5};
        // Try seeded places within 0.8 m of the centre; the centre itself is the fallback.
        for (std::uint64_t attempt = 0; attempt < 64; ++attempt) {
            const Vec3 p{centre.x + 1.6 * (unitRandom(seed, 2, std::uint64_t(k), attempt) - 0.5),
                         centre.y + 1.6 * (unitRandom(seed, 3, std::uint64_t(k), attempt) - 0.5),
                         centre.z + 1.4 + 0.2 * unitRandom(seed, 4, std::uint64_t(k), attempt)};
            if (scene.isFree(p, 0.5)) {
                station.position = p;
                break;
            }
        }
        stations.push_back(station);
    }
    return stations;
}

} // namespace orthaven::genscan
