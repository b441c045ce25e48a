#pragma once
// The scan source for FARO workspaces (".fws"): it reads nothing itself but drives the
// FARO scanner-data library (FaroLibrary), which loads the workspace and its scans and
// hands out grids, poses and points one scan column at a time.
//
// Library errors (negative result codes, or any call when the library could not be
// created) leave the reader's steps as FaroComError; the doors of ScanSource catch them,
// so a caller sees a failed call and an error line, never the exception.

#include "scan/ScanSource.h"
#include "scan/faro/FaroComError.h"
#include "scan/faro/FaroLibrary.h"

#include <QBitArray>

#include <memory>

namespace orthaven {

class ScanSourceFaro : public GridScanSource
{
public:
    // Uses the library object of createFaroLibrary().
    ScanSourceFaro();
    // Uses the given library; null stands for one that could not be created.
    explicit ScanSourceFaro(std::unique_ptr<FaroLibrary> library);
    ~ScanSourceFaro() override;

    // Status the library answered to the last scan load or column call.
    int lastLibraryStatus() const { return lastStatus; }

private:
    struct ColumnRange
    {
        int rows = 0;
        int columns = 0;
        int start = 0;
        int end = 0; // one past the last column of the chunk; end <= start: nothing to read
    };

    bool findScans(const QStringList& files) override;
    // Each scan's name as the library gives it, followed by ".fls".
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    // Loads scan i into the library; other loaded scans stay loaded.
    bool open(int i) override;
    bool close(int i) override;
    // Whether scan i is loaded in the library.
    bool isOpen(int i) const override;
    // Loads the scan first when needed.
    bool dimensionsOf(int i, int& rows, int& columns) override;
    // At most maxColumns scan columns and at most maxChunkPoints points per call.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;
    qint64 pointsLeft(int i) const override;
    bool polarColumns(int i, cv::Mat& polar, int columns) override;
    bool pointList(int i, std::vector<cv::Mat>& list, int maxColumns) override;
    bool polarPointList(int i, std::vector<cv::Mat>& list, int maxColumns) override;

    FaroLibrary& lib() const;
    // Raises FaroComError for a negative result code.
    void check(HResult hresult, const char* interfaceId = faro::libraryInterfaceId) const;
    bool restartAndOpen(int i);
    // The columns the next chunked read covers: at most `wanted` columns from the cursor,
    // and at most maxChunkPoints points.
    ColumnRange nextColumns(int i, int wanted);
    // Reads scan column `column` through the Cartesian (or polar) call into values; false
    // when the library delivered nothing for it.
    bool readColumn(int i, int column, int rows, bool polar, std::vector<double>& values,
                    std::vector<std::int32_t>& flags);
    template <class Take>
    bool readListColumns(int i, std::vector<cv::Mat>& list, int maxColumns, bool polar, Take take);

    bool workspaceFound = false;
    int lastStatus = 0;
    std::unique_ptr<FaroLibrary> library;
    QBitArray openFlags;  // one bit per scan: loaded in the library
    int columnCursor = 0; // next scan column of a chunked read, shared by all scans
    // The grid of the scan the last chunked read went through, for pointsLeft.
    int lastGridScan = -1;
    ColumnRange lastGrid;
    qint64 undeliveredColumns = 0; // by the library, since the cursor was last at column 0
};

} // namespace orthaven
