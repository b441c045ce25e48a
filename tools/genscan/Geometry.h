#pragma once
// The little vector algebra the scan generator needs: points, directions and the
// rotation of a station about the vertical axis.

#include <cmath>

namespace orthaven::genscan {

struct Vec3
{
    double x = 0;
    double y = 0;
    double z = 0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, const Vec3& a)
{
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double length(const Vec3& a)
{
    return std::sqrt(dot(a, a));
}

} // namespace orthaven::genscan
