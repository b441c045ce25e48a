#pragma once
// Our stand-in for the FARO scanner-data library: it opens workspaces of our own format
// (FaroWorkspaceFile) and reads each scan's points column by column from its points file,
// never holding a whole scan in memory. Keys of the workspace file make chosen calls
// fail, so that tests can drive every failure path with real files.
//
// Points file: the 8 bytes "ORTHFWP1", rows and columns as unsigned 32-bit little-endian
// integers, then rows × columns points column by column, each x, y, z as 64-bit
// little-endian IEEE doubles, scanner frame, metres.

#include "scan/faro/FaroLibrary.h"
#include "scan/faro/FaroWorkspaceFile.h"

#include <QFile>

#include <memory>
#include <vector>

namespace orthaven {

class FaroStandInLibrary : public FaroLibrary
{
public:
    static constexpr char pointsMagic[9] = "ORTHFWP1";
    static constexpr qint64 pointsHeaderSize = 16;
    static constexpr qint64 bytesPerPoint = 24;

    // Status values of loadScan besides 0 (a "load-status" key answers its own value).
    enum ScanLoadStatus
    {
        PointsFileMissing = 1,   // cannot be opened
        PointsFileMismatch = 2,  // not a points file, or of another grid
        PointsFileWrongSize = 3, // truncated, or longer than its grid
    };
    // Status values of the column calls besides 0.
    enum ColumnStatus
    {
        ScanNotLoaded = 1,
        ColumnUnreadable = 4, // the points file ended or failed since the scan was loaded
    };

    FaroStandInLibrary();
    ~FaroStandInLibrary() override;

    HResult loadWorkspace(const QString& path, std::int32_t& status) override;
    HResult scanCount(std::int32_t& count) override;
    HResult loadScan(std::int32_t scan, std::int32_t& status) override;
    HResult unloadScan(std::int32_t scan, std::int32_t& status) override;
    HResult scanRows(std::int32_t scan, std::int32_t& rows) override;
    HResult scanColumns(std::int32_t scan, std::int32_t& columns) override;
    HResult scanPosition(std::int32_t scan, double& x, double& y, double& z,
                         std::int32_t& status) override;
    HResult scanOrientation(std::int32_t scan, double& ax, double& ay, double& az, double& angle,
                            std::int32_t& status) override;
    HResult scanObject(std::int32_t scan, std::unique_ptr<FaroScanObject>& object) override;
    HResult cartesianColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                            std::int32_t rowCount, double* xyz, std::int32_t* flags,
                            std::int32_t& status) override;
    HResult polarColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                        std::int32_t rowCount, double* values, std::int32_t* flags,
                        std::int32_t& status) override;
    HResult prepareScanLoad(std::int32_t value) override;

private:
    // E_INVALIDARG for an index outside the workspace, else the injected result of call
    // (0 when none).
    HResult scanCallResult(std::int32_t scan, const char* call) const;
    HResult workspaceCallResult(const char* call) const;
    HResult readColumn(std::int32_t scan, std::int32_t firstRow, std::int32_t column,
                       std::int32_t rowCount, double* xyz, std::int32_t* flags,
                       std::int32_t& status, const char* call);

    FaroWorkspaceFile workspace;
    std::vector<std::unique_ptr<QFile>> loaded; // per scan: its open points file, if loaded
    std::vector<char> columnBytes;
};

} // namespace orthaven
