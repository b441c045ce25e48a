#pragma once
// Writes scans as a LAS file: version 1.2 with point format 0, 1, 2 or 3, or version 1.4
// with point format 6, 7 or 8. LAS holds points in project coordinates and no scanner,
// so every return is written transformed by its scan's pose, on a grid of 0.1 mm about a
// whole-metre origin (the first scan's position rounded down), and missing returns are
// left out. Each scan's points carry its station number as point source ID.

#include "genscan/ScanWriter.h"

#include <array>
#include <cstdint>

namespace orthaven::genscan {

class LasWriter : public ScanWriter
{
public:
    static constexpr double gridStep = 0.0001; // the scale factor of every axis

    // The formats written, and whether one of them carries colour.
    static bool writesPointFormat(int format);
    static bool hasColour(int format);

    QString extension() const override { return QStringLiteral(".las"); }
    bool holdsSeveralScans() const override { return true; }
    bool beginFile(const QString& path) override;
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    bool endFile() override;

private:
    std::string header() const;

    BufferedFile out;
    ScanInfo scan;
    int format = -1; // of the file, from its first scan
    int recordLength = 0;
    std::array<double, 3> origin{};
    std::uint64_t points = 0;
    std::array<std::int32_t, 3> low{};
    std::array<std::int32_t, 3> high{};
    int columnsWritten = 0;
    bool inScan = false;
};

} // namespace orthaven::genscan
