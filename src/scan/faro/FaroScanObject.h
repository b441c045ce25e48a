#pragma once
// The scan object of the FARO scanner-data library: what the library hands out for one
// scan of a loaded workspace. The reader only asks it for the scan's name.

#include "scan/faro/FaroComError.h"

#include <QString>

namespace orthaven {

class FaroScanObject
{
public:
    virtual ~FaroScanObject();

    // Position 9 of the scan object interface: the scan's name.
    virtual HResult name(QString& name) = 0;
};

} // namespace orthaven
