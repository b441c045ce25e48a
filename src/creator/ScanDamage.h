#pragma once
// What went wrong with the scans of a layout that was written all the same: data a reader
// found damaged, truncated or skipped, and scans that could not be read and were left out.
// The front ends report it instead of a plain success.

#include <QBitArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace orthaven {

class ScanSource;

struct DamagedScan
{
    int index = -1;       // the scan's index; -1 for damage the reader tied to no scan
    QString name;         // the reader's display name
    QStringList notes;    // what the reader recorded, one English line each
    bool leftOut = false; // checked, but it could not be read and is not in the layout
};

// The checked scans (selected) with damage notes of the source or left out of the layout
// (checked but cleared in used, the engine's copy of the selection), in scan order; damage
// the reader tied to no scan comes first.
std::vector<DamagedScan> damagedScans(const ScanSource& source, const QBitArray& selected,
                                      const QBitArray& used);

// One line per damaged scan: its short name and index, then what happened ("station.ptx
// (000) [3]: …"). At most maxLines lines; a last one says how many more there are.
// Translated in the context "Layout" (the readers' notes stay as they are).
QStringList damagedScanLines(const std::vector<DamagedScan>& damaged, int maxLines = 1000);

} // namespace orthaven
