#pragma once
// The calls ScanSourceFaro makes into the FARO scanner-data library, one virtual per
// method of the library interface it uses (the comments give the method's position in the
// COM interface, IUnknown's three methods counted). Every call answers a COM result code;
// the reader turns negative ones into FaroComError. On Windows the COM component may
// back this interface; here our stand-in does (FaroStandInLibrary).

#include "scan/faro/FaroComError.h"
#include "scan/faro/FaroScanObject.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace orthaven {

class FaroLibrary
{
public:
    virtual ~FaroLibrary();

    // 9: loads a workspace; status 0 = loaded.
    virtual HResult loadWorkspace(const QString& path, std::int32_t& status) = 0;
    // 14: number of scans of the loaded workspace.
    virtual HResult scanCount(std::int32_t& count) = 0;
    // 16: loads one scan; status 0 = loaded.
    virtual HResult loadScan(std::int32_t scan, std::int32_t& status) = 0;
    // 17: unloads one scan.
    virtual HResult unloadScan(std::int32_t scan, std::int32_t& status) = 0;
    // 18: points per scan column.
    virtual HResult scanRows(std::int32_t scan, std::int32_t& rows) = 0;
    // 19: number of scan columns.
    virtual HResult scanColumns(std::int32_t scan, std::int32_t& columns) = 0;
    // 21: scanner position in project coordinates.
    virtual HResult scanPosition(std::int32_t scan, double& x, double& y, double& z,
                                 std::int32_t& status) = 0;
    // 22: scanner orientation as rotation axis (not necessarily of unit length) and angle
    // in radians.
    virtual HResult scanOrientation(std::int32_t scan, double& ax, double& ay, double& az,
                                    double& angle, std::int32_t& status) = 0;
    // 26: the scan object; may come back null.
    virtual HResult scanObject(std::int32_t scan, std::unique_ptr<FaroScanObject>& object) = 0;
    // 28: rowCount points of one scan column from firstRow on, x y z per point into xyz
    // (3 × rowCount doubles); flags receives one integer per point. Status 0 = delivered.
    virtual HResult cartesianColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                                    std::int32_t rowCount, double* xyz, std::int32_t* flags,
                                    std::int32_t& status) = 0;
    // 29: the same as polar values, three per point, range first.
    virtual HResult polarColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                                std::int32_t rowCount, double* values, std::int32_t* flags,
                                std::int32_t& status) = 0;
    // 53: called with 0 immediately before every scan load.
    virtual HResult prepareScanLoad(std::int32_t value) = 0;
};

// The library object the readers use, or null when it cannot be created. This is where a
// Windows build would create the COM component (CoInitialize, CoCreateInstance of the
// library class with all server contexts, OleRun, QueryInterface for the library
// interface) and return null when any step fails.
std::unique_ptr<FaroLibrary> createFaroLibrary();

} // namespace orthaven
