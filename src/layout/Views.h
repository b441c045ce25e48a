#pragma once
// Everything the program knows about a view direction, in one table: its names, the
// matrix from world to view coordinates, whether its images are mirrored, the axis labels
// of its overview pictures, the names of its clipping planes and its default log name.
// The engine, the log, the dock, the batch list, the overview sheet and the command line
// all look views up here.

#include "layout/LayoutFrame.h"

#include <QString>

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>

namespace orthaven {

// Fixed code values: the engine, the log, the batch list and the sheets rely on them.
enum LayoutView : std::uint32_t
{
    Top = 0,   // u, v, depth = x, y, z
    Left = 1,  // -y, z, x
    Back = 2,  // x, z, y, images mirrored
    Right = 3, // -y, z, x, images mirrored
    Front = 4, // x, z, y
};

struct ViewInfo
{
    LayoutView view;
    const char* name;       // "Top": the log; shown translated (context "orthaven::BatchLayout")
    const char* optionName; // "top": the command line and job files
    // Upper-left 3 × 3 block of the view matrix, row by row: rows give u, v and depth.
    double rows[9];
    // Every image of the view is mirrored left-right, so it shows the scene from the other
    // side (Back and Right share the matrices of Front and Left).
    bool mirrored;
    // u is the negative of the world axis the pictures name (u = -y).
    bool negatedAxis;
    const char* horizontalAxis; // axis labels of the overview pictures
    const char* verticalAxis;
    const char* lowerPlane; // the dock's names of the clipping planes (context "LayoutForm")
    const char* upperPlane;
    const char* defaultLogName;
};

// The five views, in code order.
const std::array<ViewInfo, 5>& views();
// The entry of a view code; null for a code that is no view.
const ViewInfo* viewInfo(std::uint32_t view);
// The entry whose optionName is name (compared without regard to case); null for none.
const ViewInfo* viewByOptionName(const char* name, std::size_t length);

// The 4 × 4 matrix that maps world (x, y, z) to view (u, v, depth) coordinates; the
// identity for a code that is no view.
cv::Mat viewMatrixFor(std::uint32_t view);

// The log file a layout of the view is named by when no name is given ("Layout.log" for a
// code that is no view).
QString defaultLogName(std::uint32_t view);

// An axis name of the table as the pictures of a layout in frame show it: the horizontal
// axes of a turned frame are primed ("X'", "Y'"), for they are not the project's; "Z" stays.
QString frameAxisName(const char* axis, const LayoutFrame& frame);

// Whether the world axis named under the pictures runs from right to left in them.
inline bool axisRunsLeftward(const ViewInfo& info)
{
    return info.mirrored != info.negatedAxis;
}

} // namespace orthaven
