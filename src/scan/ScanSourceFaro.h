#pragma once
// The scan source for FARO workspaces (".fws"): it reads nothing itself but drives the
// FARO scanner-data library (FaroLibrary), which loads the workspace and its scans and
// hands out grids, poses and points one scan column at a time.
//
// Library errors (negative result codes, or any call when the library could not be
// created) leave every operation as FaroComError; the layout task catches them.

#include "scan/ScanSource.h"
#include "scan/faro/FaroComError.h"
#include "scan/faro/FaroLibrary.h"

#include <memory>

namespace orthaven {

class ScanSourceFaro : public ScanSource
{
public:
    // Uses the library object of createFaroLibrary().
    ScanSourceFaro();
    // Uses the given library; null stands for one that could not be created.
    explicit ScanSourceFaro(std::unique_ptr<FaroLibrary> library);
    ~ScanSourceFaro() override;

    bool fetchFiles(const QStringList& files) override;
    // Each scan's name as the library gives it, followed by ".fls".
    void scanNames(QStringList& names) const override;
    // Loads scan i into the library; other loaded scans stay loaded.
    bool openScan(int i) override;
    bool closeScan(int i) override;
    // Loads the scan first when needed.
    bool scanDimensions(int i, int& rows, int& columns) override;
    bool readPoints(int i, cv::Mat& chunk, int maxColumns) override;
    bool readPointList(int i, std::vector<cv::Mat>& list, int maxColumns) override;
    bool readPolarDataFromScan(int i, cv::Mat& polar, int columns) override;
    bool readPolarPointList(int i, std::vector<cv::Mat>& list, int maxColumns) override;
    void scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const override;
    void scanPose(int i, cv::Mat& pose) const override;

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

    FaroLibrary& lib() const;
    // Raises FaroComError for a negative result code.
    void check(HResult hresult, const char* interfaceId = faro::libraryInterfaceId) const;
    bool restartAndOpen(int i);
    // The columns the next chunked read covers: at most `wanted` columns from the cursor,
    // and at most maxChunkPoints points.
    ColumnRange nextColumns(int i, int wanted, bool avoidLonePoint);
    // Reads scan column `column` through the Cartesian (or polar) call into values; false
    // when the library delivered nothing for it.
    bool readColumn(int i, int column, int rows, bool polar, std::vector<double>& values,
                    std::vector<std::int32_t>& flags);
    template <class Take>
    bool readListColumns(int i, std::vector<cv::Mat>& list, int maxColumns, bool polar, Take take);

    bool workspaceFound = false;
    int lastStatus = 0;
    std::unique_ptr<FaroLibrary> library;
    int columnCursor = 0; // next scan column of a chunked read, shared by all scans
};

} // namespace orthaven
