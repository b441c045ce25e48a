#pragma once
// The scan source for E57 files (ASTM E2807): every scan (`data3D` entry) of every input
// file, listed from the file's XML section, its points decoded from its binary section in
// chunks. The format itself is read by the pieces in e57/.

#include "scan/ScanSource.h"
#include "scan/e57/PagedFile.h"
#include "scan/e57/PointReader.h"
#include "scan/e57/XmlSection.h"

#include <memory>
#include <vector>

namespace orthaven {

class ScanSourceE57 : public ScanSource
{
public:
    ScanSourceE57();
    ~ScanSourceE57() override;

    // Files that cannot be listed (not E57, damaged) contribute no scan; false only for an
    // empty list.
    bool fetchFiles(const QStringList& files) override;
    // "<path> (<scan name>)"; a scan without a name, or whose name occurs more than once
    // in its file, is told apart by its number in the file: "<path> (001)",
    // "<path> (Point Cloud, 002)".
    void scanNames(QStringList& names) const override;
    bool openScan(int i) override;
    bool closeScan(int i) override;
    bool isScanOpen(int i) const override;
    // Structured scans: rows = rowIndex extent (points per column), columns = columnIndex
    // extent, when the grid has no more cells than the scan has records. Otherwise 0 × 0
    // and false.
    bool scanDimensions(int i, int& rows, int& columns) override;
    // At most maxChunkPoints points per call, whatever maxColumns says.
    bool readPoints(int i, cv::Mat& chunk, int maxColumns) override;
    void scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const override;
    void scanPose(int i, cv::Mat& pose) const override;

private:
    struct ListedFile
    {
        QString path;
        e57::FileHeader header;
    };
    struct ListedScan
    {
        int file = 0;
        int indexInFile = 0;
        e57::Scan scan;
    };

    bool restartIfPending(int i);
    std::int64_t staged() const { return stageEnd - stageBegin; }
    // Decodes the next batch of records behind the points still staged.
    bool refill();
    void fail(const std::string& text);
    void reportScanEnd();

    std::vector<ListedFile> files;
    std::vector<ListedScan> scans;
    std::vector<cv::Mat> poses;

    int currentScan = -1;
    std::unique_ptr<e57::PagedFile> file;
    e57::PointReader reader;
    // Points decoded but not yet delivered: [stageBegin, stageEnd) of the three arrays.
    std::vector<double> stageX;
    std::vector<double> stageY;
    std::vector<double> stageZ;
    std::int64_t stageBegin = 0;
    std::int64_t stageEnd = 0;
    cv::Mat lastChunk; // the last full chunk handed out, filled again when nobody holds it
    bool readFailed = false;
    bool endReported = false;
};

} // namespace orthaven
