#pragma once
// What a layout log tells about a finished layout, as LogReader reads it back.

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

namespace orthaven {

struct LayoutLogInfo
{
    QString path;    // the file read
    QString version; // "1.1"
    int tilesU = 0;
    int tilesV = 0;
    int view = 0; // a LayoutView; a word the reader does not know leaves it at 0
    // Settings of the layout. Kept as double: a clipping plane of a georeferenced layout
    // needs more digits than a float holds.
    double tileSize = 0.0;
    double scanDomain = 0.0;
    double resolution = 0.0;
    double clipLow = 0.0;
    double clipHigh = 0.0;
    bool reverseIntensity = true; // true when the line is missing
    int printScale = 0;           // "Print Scale": 50 for 1:50; 0 when the line is missing
    QString layer;                // "Layer": "intensity", "colour"; empty (density) when missing
    double azimuth = 0.0;         // "Azimuth": the frame's turn, degrees; 0 when missing
    QString crs;                  // "Crs": "EPSG:25832"; empty when no system was claimed
    // The files handed on ("DXF", "VRT", "PDF": file names); empty when the line is missing.
    QString drawing, mosaic, print;
    cv::Mat projection;             // 4 × 4: world → view coordinates, the turn included
    QString thumbnail;              // file name, without folder
    std::vector<cv::Mat> scanPoses; // 4 × 4 per scan, in file (scan index) order
    QStringList tileNames;          // file names, without folder
    // 4 × 1 (x, y, z, 1) per tile: world (project) corners, and the same in view
    // coordinates (in the frame)
    std::vector<cv::Mat> cornersLB, cornersRU, cornersLBView, cornersRUView;
    // bounds (u, v) of all view-plane corners of the layout's tiles
    double extentMin[2] = {2147483647.0, 2147483647.0};
    double extentMax[2] = {-2147483648.0, -2147483648.0};
};

} // namespace orthaven
