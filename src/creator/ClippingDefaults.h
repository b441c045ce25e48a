#pragma once
// The clipping planes a job starts with: the depth range of the selected scan positions,
// widened by the scanner domain, rounded outward to whole metres and then by one more.

#include "layout/LayoutFrame.h"
#include "scan/ScanSource.h"

#include <QBitArray>

#include <cstdint>

namespace orthaven {

struct ClipPlanes
{
    double low = -1.0;
    double high = 1.0;
};

// For the scans flagged in selection, in the view's depth axis of the frame (z for Top,
// y' for Front and Back, x' for Left and Right): floor(min depth - scannerDomain) - 1 and
// ceil(max depth + scannerDomain) + 1, where a scan without a position gives the depths of
// the box of its points, not widened by the domain. With no flagged scan that has a
// usable pose the planes are -1 and 1.
ClipPlanes defaultClipPlanes(const ScanSource& source, const QBitArray& selection,
                             std::uint32_t view, double scannerDomain,
                             const LayoutFrame& frame = {});

} // namespace orthaven
