#pragma once
// A scene for synthetic scans: boxes and upright cylinders with a surface material each,
// and the ray cast that a scanner model uses to find what a laser beam hits.

#include "genscan/Geometry.h"

#include <cstdint>
#include <vector>

namespace orthaven::genscan {

enum class Material : std::uint8_t
{
    Floor,
    Wall,
    Ceiling,
    Column
};

struct Hit
{
    double distance = 0; // along the unit ray direction
    Vec3 normal;         // unit normal of the surface hit
    Material material = Material::Wall;
};

class Scene
{
public:
    // Three rooms on one floor (8 × 8 m, 6 × 5 m and 6 × 3 m, 3 m high) with doors between
    // them, a door and a window to the outside, two round columns and a square one.
    // Rays leaving through the openings (or upwards, without a ceiling) hit nothing. With
    // more storeys the floor repeats storeyHeight higher each, on a slab of slabThickness
    // (ground floor 0 m, its ceiling 3 m, the next floor 3.3 m, its ceiling 6.3 m, ...).
    static Scene rooms(bool withCeiling, int storeys = 1);

    static constexpr double wallHeight = 3.0;
    static constexpr double slabThickness = 0.3;
    static constexpr double storeyHeight = wallHeight + slabThickness;

    void addBox(const Vec3& low, const Vec3& high, Material material);
    void addCylinder(double x, double y, double radius, double zLow, double zHigh,
                     Material material);

    // The nearest surface hit by the ray within maxDistance; false when nothing is hit.
    // direction must have unit length.
    bool castRay(const Vec3& origin, const Vec3& direction, double maxDistance, Hit& hit) const;

    // Whether a scanner may stand at p: inside the building and clear of every solid by
    // at least clearance.
    bool isFree(const Vec3& p, double clearance) const;

    // Centres of the rooms at their floor's height, storey by storey, where stations are
    // placed.
    const std::vector<Vec3>& roomCentres() const { return centres; }
    int storeys() const { return storeyCount; }

private:
    struct Box
    {
        Vec3 low;
        Vec3 high;
        Material material;
    };
    struct Cylinder
    {
        double x, y, radius, zLow, zHigh;
        Material material;
    };

    // A wall along x (alongX) or along y from `from` to `to`, centred on `at`, with openings
    // [start, end] × [bottom, top] along its length.
    struct Opening
    {
        double start, end, bottom, top;
    };
    void addWall(bool alongX, double at, double from, double to,
                 const std::vector<Opening>& openings, double base);

    std::vector<Box> boxes;
    std::vector<Cylinder> cylinders;
    std::vector<Vec3> centres;
    Vec3 interiorLow;
    Vec3 interiorHigh;
    int storeyCount = 1;
    double wallThickness = 0.2;
};

} // namespace orthaven::genscan
