#pragma once
// The frame a layout is made in: the project turned by an azimuth counter-clockwise about
// the vertical axis through the project origin. A project point p has frame coordinates
// Rz(-azimuth) · p; views, clipping planes, the tile grid and the tile names all live in
// the frame, while logs and world files turn what they say back into the project.
// Also the facade of two points: the vertical plane through them, seen from the right-hand
// side of the line from the first to the second.

#include <opencv2/core.hpp>

#include <cstdint>

namespace orthaven {

// A point of the ground plane, metres: project (x, y) or frame (x', y').
struct PlanePoint
{
    double x = 0.0;
    double y = 0.0;

    bool operator==(const PlanePoint&) const = default;
};

struct LayoutFrame
{
    double azimuth = 0.0; // degrees, counter-clockwise seen from above

    // Whether the frame differs from the project's axes (360° does not).
    bool isTurned() const;
    // cos and sin of the azimuth, exact at whole multiples of 90°.
    double cosine() const;
    double sine() const;

    PlanePoint toFrame(PlanePoint project) const;
    PlanePoint toProject(PlanePoint frame) const;
    // 4 × 4: Rz(-azimuth), project to frame; and its inverse Rz(azimuth).
    cv::Mat projectToFrame() const;
    cv::Mat frameToProject() const;
};

// The view's matrix in the frame: world (project) coordinates to view (u, v, depth), the
// view's rows times Rz(-azimuth). At azimuth 0 exactly viewMatrixFor(view).
cv::Mat viewMatrixFor(std::uint32_t view, const LayoutFrame& frame);

// A facade: the elevation of the vertical plane through two project points. Its frame is
// turned to the line's direction, so the picture is a front view in which the first point
// lies left of the second; its tiles cover the segment between them, rounded outward to
// whole metres; its clipping planes are distances from the line along the view's depth
// axis (negative: in front of the line, towards the viewer).
struct FacadeLine
{
    // The band a facade keeps unless told otherwise: 2 m in front of the line (balconies,
    // sills, pipes) to 0.5 m behind it (window and door reveals).
    static constexpr double defaultLow = -2.0;
    static constexpr double defaultHigh = 0.5;
    // Shorter lines have no direction worth the name.
    static constexpr double minimumLength = 0.01;

    PlanePoint from; // P1, project metres
    PlanePoint to;   // P2

    // Finite points at least minimumLength apart.
    bool isUsable() const;
    // The line's direction, degrees counter-clockwise from the project's x axis,
    // in (-180, 180].
    double azimuth() const;
    LayoutFrame frame() const;
    // The line's depth in the front view of its frame (frame y'), where the picture plane
    // stands.
    double depth() const;
    // The segment along the frame's x' axis, from P1 to P2, rounded outward to whole
    // metres: the u range the facade's tiles cover.
    double extentLow() const;
    double extentHigh() const;

    bool operator==(const FacadeLine&) const = default;
};

} // namespace orthaven
