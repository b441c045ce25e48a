#include "genscan/Scene.h"

#include <algorithm>
#include <limits>

namespace orthaven::genscan {

namespace {

// Hits closer than this are the ray's own origin grazing a surface.
constexpr double minDistance = 1e-6;

} // namespace

Scene Scene::rooms(bool withCeiling, int storeys)
{
    Scene scene;
    scene.storeyCount = std::max(storeys, 1);
    const double h = wallHeight;
    scene.addBox({-0.1, -0.1, -slabThickness}, {14.1, 8.1, 0.0}, Material::Floor);
    for (int s = 0; s < scene.storeyCount; ++s) {
        const double base = s * storeyHeight;
        // The slab above the storey: its ceiling, and the floor of the next one.
        if (withCeiling || s + 1 < scene.storeyCount)
            scene.addBox({-0.1, -0.1, base + h}, {14.1, 8.1, base + storeyHeight},
                         Material::Ceiling);

        // Outer walls, centred on the outline 0..14 × 0..8.
        scene.addWall(true, 0.0, -0.1, 14.1, {}, base);
        scene.addWall(true, 8.0, -0.1, 14.1, {{2.0, 4.0, 1.0, 2.2}}, base); // window
        scene.addWall(false, 0.0, -0.1, 8.1, {{1.0, 1.9, 0.0, 2.1}}, base); // door to the outside
        scene.addWall(false, 14.0, -0.1, 8.1, {}, base);
        // Inner walls: room A (x < 8) | rooms B (y < 5) and C (y > 5).
        scene.addWall(false, 8.0, 0.0, 8.0, {{3.0, 3.9, 0.0, 2.1}}, base);
        scene.addWall(true, 5.0, 8.0, 14.0, {{10.0, 10.9, 0.0, 2.1}}, base);

        scene.addCylinder(2.5, 2.5, 0.2, base, base + h, Material::Column);
        scene.addCylinder(5.5, 5.5, 0.2, base, base + h, Material::Column);
        scene.addBox({12.5, 1.0, base}, {12.9, 1.4, base + h}, Material::Column);

        for (const Vec3& centre :
             {Vec3{4.0, 4.0, base}, Vec3{11.0, 2.5, base}, Vec3{11.0, 6.5, base}})
            scene.centres.push_back(centre);
    }
    scene.interiorLow = {0.1, 0.1, 0.0};
    scene.interiorHigh = {13.9, 7.9, (scene.storeyCount - 1) * storeyHeight + h};
    return scene;
}

void Scene::addBox(const Vec3& low, const Vec3& high, Material material)
{
    boxes.push_back({low, high, material});
}

void Scene::addCylinder(double x, double y, double radius, double zLow, double zHigh,
                        Material material)
{
    cylinders.push_back({x, y, radius, zLow, zHigh, material});
}

void Scene::addWall(bool alongX, double at, double from, double to,
                    const std::vector<Opening>& openings, double base)
{
    const double half = wallThickness / 2;
    auto add = [&](double u0, double u1, double z0, double z1) {
        if (u1 <= u0 || z1 <= z0)
            return;
        if (alongX)
            addBox({u0, at - half, base + z0}, {u1, at + half, base + z1}, Material::Wall);
        else
            addBox({at - half, u0, base + z0}, {at + half, u1, base + z1}, Material::Wall);
    };
    double cursor = from;
    for (const Opening& o : openings) {
        add(cursor, o.start, 0.0, wallHeight);
        add(o.start, o.end, 0.0, o.bottom);     // sill
        add(o.start, o.end, o.top, wallHeight); // lintel
        cursor = o.end;
    }
    add(cursor, to, 0.0, wallHeight);
}

bool Scene::castRay(const Vec3& origin, const Vec3& direction, double maxDistance, Hit& hit) const
{
    bool found = false;
    double best = maxDistance;
    const double o[3] = {origin.x, origin.y, origin.z};
    const double d[3] = {direction.x, direction.y, direction.z};

    for (const Box& box : boxes) {
        const double lo[3] = {box.low.x, box.low.y, box.low.z};
        const double hi[3] = {box.high.x, box.high.y, box.high.z};
        double enter = -std::numeric_limits<double>::infinity();
        double leave = std::numeric_limits<double>::infinity();
        int axis = -1;
        double sign = 0;
        bool miss = false;
        for (int a = 0; a < 3 && !miss; ++a) {
            if (std::abs(d[a]) < 1e-15) {
                miss = o[a] < lo[a] || o[a] > hi[a];
                continue;
            }
            double t1 = (lo[a] - o[a]) / d[a];
            double t2 = (hi[a] - o[a]) / d[a];
            if (t1 > t2)
                std::swap(t1, t2);
            if (t1 > enter) {
                enter = t1;
                axis = a;
                sign = d[a] > 0 ? -1.0 : 1.0;
            }
            leave = std::min(leave, t2);
            miss = enter > leave;
        }
        if (miss || axis < 0 || enter < minDistance || enter >= best)
            continue;
        best = enter;
        found = true;
        hit.distance = enter;
        hit.normal = {axis == 0 ? sign : 0.0, axis == 1 ? sign : 0.0, axis == 2 ? sign : 0.0};
        hit.material = box.material;
    }

    for (const Cylinder& c : cylinders) {
        const double ox = origin.x - c.x;
        const double oy = origin.y - c.y;
        const double a = direction.x * direction.x + direction.y * direction.y;
        if (a < 1e-18)
            continue;
        const double b = 2 * (ox * direction.x + oy * direction.y);
        const double cc = ox * ox + oy * oy - c.radius * c.radius;
        const double disc = b * b - 4 * a * cc;
        if (disc < 0)
            continue;
        const double t = (-b - std::sqrt(disc)) / (2 * a);
        if (t < minDistance || t >= best)
            continue;
        const double z = origin.z + t * direction.z;
        if (z < c.zLow || z > c.zHigh)
            continue;
        best = t;
        found = true;
        hit.distance = t;
        hit.normal = {(ox + t * direction.x) / c.radius, (oy + t * direction.y) / c.radius, 0.0};
        hit.material = c.material;
    }
    return found;
}

bool Scene::isFree(const Vec3& p, double clearance) const
{
    if (p.x < interiorLow.x + clearance || p.x > interiorHigh.x - clearance ||
        p.y < interiorLow.y + clearance || p.y > interiorHigh.y - clearance ||
        p.z < interiorLow.z + clearance || p.z > interiorHigh.z - clearance)
        return false;
    for (const Box& box : boxes) {
        if (p.x > box.low.x - clearance && p.x < box.high.x + clearance &&
            p.y > box.low.y - clearance && p.y < box.high.y + clearance &&
            p.z > box.low.z - clearance && p.z < box.high.z + clearance)
            return false;
    }
    for (const Cylinder& c : cylinders) {
        const double dx = p.x - c.x;
        const double dy = p.y - c.y;
        if (std::sqrt(dx * dx + dy * dy) < c.radius + clearance && p.z > c.zLow - clearance &&
            p.z < c.zHigh + clearance)
            return false;
    }
    return true;
}

} // namespace orthaven::genscan
