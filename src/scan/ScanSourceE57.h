#pragma once
// The scan source for E57 files (ASTM E2807): every scan (`data3D` entry) of every input
// file, listed from the file's XML section, its points decoded from its binary section in
// chunks, with intensity and colour when asked for. The format itself is read by the
// pieces in e57/.

#include "scan/ScanSource.h"
#include "scan/e57/PagedFile.h"
#include "scan/e57/PointReader.h"
#include "scan/e57/XmlSection.h"

#include <array>
#include <memory>
#include <vector>

namespace orthaven {

class ScanSourceE57 : public ScanSource
{
public:
    ScanSourceE57();
    ~ScanSourceE57() override;

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
    // Values of a staged point, in this order: x, y, z, intensity, red, green, blue.
    enum Value : std::size_t
    {
        X,
        Y,
        Z,
        Intensity,
        Red,
        Green,
        Blue,
        ValueCount
    };

    // Files that cannot be listed (not E57, damaged) contribute no scan; false only for an
    // empty list.
    bool findScans(const QStringList& files) override;
    // "<path> (<scan name>)"; a scan without a name, or whose name occurs more than once
    // in its file, is told apart by its number in the file: "<path> (001)",
    // "<path> (Point Cloud, 002)".
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    // Structured scans: rows = rowIndex extent (points per column), columns = columnIndex
    // extent, when the grid has no more cells than the scan has records. Otherwise 0 × 0
    // and false.
    bool dimensionsOf(int i, int& rows, int& columns) override;
    // The record count of the scan's points.
    std::int64_t countOf(int i) override;
    // At most maxChunkPoints points per call, whatever maxColumns says.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;
    qint64 pointsLeft(int i) const override;

    bool restartIfPending(int i);
    // Starts decoding the open scan from its first record, with the channels asked for.
    bool startReading(const PointChannels& channels);
    std::int64_t staged() const { return stageEnd - stageBegin; }
    // Decodes the next batch of records behind the points still staged.
    bool refill();
    void reportScanEnd();

    std::vector<ListedFile> files;
    std::vector<ListedScan> scans;
    std::vector<cv::Mat> poses;

    int currentScan = -1;
    std::unique_ptr<e57::PagedFile> file;
    e57::PointReader reader;
    bool reading = false;  // reader started on the open scan
    PointChannels decoded; // the channels the reader decodes
    // Points decoded but not yet delivered: [stageBegin, stageEnd) of each array.
    std::array<std::vector<double>, ValueCount> stage;
    std::int64_t stageBegin = 0;
    std::int64_t stageEnd = 0;
    cv::Mat lastChunk; // the last full chunk handed out, filled again when nobody holds it
    std::string readProblem;
    bool endReported = false;
};

} // namespace orthaven
