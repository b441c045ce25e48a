#pragma once
// A terrestrial laser scanner turning about its vertical axis: each scan column is one
// azimuth, each row one elevation, and every beam is cast into the scene. Points come
// out in the scanner's own frame, column by column, elevation rising within a column.

#include "genscan/Scene.h"
#include "genscan/Station.h"

#include <cstdint>
#include <vector>

namespace orthaven::genscan {

struct ScanPoint
{
    // Scanner frame, metres, each coordinate a value a 32-bit float holds exactly, so that
    // every format (text or binary float) delivers the same doubles. (0, 0, 0) when the
    // beam hit nothing, as scanners export missing returns.
    double x = 0;
    double y = 0;
    double z = 0;
    float intensity = 0.5f; // 0..1; 0.5 for missing returns
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool hit = false;
};

class ScannerModel
{
public:
    int pointsPerColumn = 500;
    int columns = 1000;
    double elevationLow = -1.0471975511965976; // -60 degrees
    double elevationHigh = 1.5707963267948966; // straight up
    double maxRange = 80.0;
    double rangeNoise = 0.002; // metres, uniform ±
    std::uint64_t seed = 1;

    // Column `column` (0 … columns - 1) of the scan of station number stationIndex.
    void scanColumn(const Scene& scene, const Station& station, int stationIndex, int column,
                    std::vector<ScanPoint>& out) const;

    // Unit beam direction of a grid cell in the scanner's frame.
    Vec3 beamDirection(int row, int column) const;
};

} // namespace orthaven::genscan
