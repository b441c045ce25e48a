#pragma once
// The complete description of one layout job, and the view codes every part of the
// program switches on. A plain value: copying it copies every list and string.

#include <QBitArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace orthaven {

// Fixed code values: the engine, the log, the batch list and the sheets rely on them.
enum LayoutView : std::uint32_t {
    Top = 0,   // u, v, depth = x, y, z
    Left = 1,  // -y, z, x
    Back = 2,  // x, z, y, images mirrored
    Right = 3, // -y, z, x, images mirrored
    Front = 4, // x, z, y
};

struct layoutdef
{
    QStringList inputFiles;   // first entry decides the reader
    std::uint32_t view = Top; // a LayoutView
    QBitArray scanList;       // one flag per scan of the reader
    double clipLow = 0.0;     // metres along the view's depth axis
    double clipHigh = 0.0;
    QString outputFile; // full path of the layout log, ends in ".log"
    QString imageType;  // "png", "jpg" or "tif"
    // copies of the configuration file's values
    bool invertColor = false;
    double resolution = 0.0;
    double scannerDomain = 0.0;
    double tileSize = 0.0;
    bool grid = false;
    QColor gridColor;
    QColor textColor;
    QColor scanPosColor1;
    QColor scanPosColor2;
};

} // namespace orthaven
