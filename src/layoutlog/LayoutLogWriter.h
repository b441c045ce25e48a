#pragma once
// Writes the layout log: the text file that records a finished layout's grid, view,
// settings, matrices, thumbnail, scan poses and, per output tile, its file name, world
// corners and the scans that fed it.

#include <QBitArray>
#include <QByteArray>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven {

// What the log is written from (the engine fills it at the end of a run).
struct LayoutLogContent
{
    int tilesU = 0;         // output tile columns
    int tilesV = 0;         // output tile rows
    std::uint32_t view = 0; // a LayoutView
    double resolution = 0.0;
    int tileSize = 0;
    double scannerDomain = 0.0;
    bool reverseIntensity = true;
    double clipLow = 0.0;
    double clipHigh = 0.0;
    cv::Mat viewMatrix;      // 4 × 4: project to view, the frame's turn included
    double azimuth = 0.0;    // "Azimuth = A" unless the frame is the project's
    double planeDepth = 0.0; // depth of the picture plane the corners lie in
    QString baseName;        // names the thumbnail and the tiles
    QString imageType;       // "png", "jpg", "tif"
    int printScale = 0;      // "Print Scale = N" when above 0
    QString layer;           // "Layer = name" unless empty or "density"
    QString crs;             // "Crs = EPSG:N" unless empty
    // "DXF = <base>.dxf", "VRT = <base>.vrt", "PDF = <base>.pdf": files handed on beside it
    bool drawing = false;
    bool mosaic = false;
    bool print = false;
    std::vector<cv::Mat> scanPoses;   // 4 × 4, one per scan of the source, selected or not
    std::vector<cv::Mat> tileCorners; // 4 × 2 view-plane corners, tile (a, b) at a · tilesV + b
    cv::Mat tileUsed;                 // tilesU × tilesV int32: 1 when raw data was drawn
    QBitArray usedScans;              // selected scans that could be read
};

// A real number of the log: the shortest form with at most 12 significant digits
// (0.01, 25, 1e-05, 5412345.67), in the C notation whatever the locale; negative zero
// is written as 0. Twelve digits keep millimetres at millions of metres.
std::string formatLogNumber(double value);

// The whole text of the log, lines ended by "\n".
QByteArray layoutLogText(const LayoutLogContent& content);

// Writes the text to path; the old file is replaced only when the new one was written
// completely and synced to the disk. False when the file cannot be created or written;
// failure (when given) then says why.
bool writeLayoutLog(const QString& path, const LayoutLogContent& content,
                    QString* failure = nullptr);

} // namespace orthaven
