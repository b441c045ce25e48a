#pragma once
// The scan source for LAS files (versions 1.0 to 1.4, point formats 0 to 10): the points of
// a file in project coordinates, scaled and offset in double precision, with intensity and
// colour when asked for, streamed from the file in chunks. A LAS file records no scanner,
// so its scans have no position. A file whose points all carry one point source ID is one
// scan; a file of several IDs is one scan per ID, in the order the IDs first appear, and
// such a scan is read by picking its points out of the file's records.

#include "scan/BinaryBlockReader.h"
#include "scan/ScanSource.h"
#include "scan/las/LasHeader.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orthaven {

class ScanSourceLAS : public ScanSource
{
public:
    ScanSourceLAS();
    ~ScanSourceLAS() override;

private:
    struct ListedFile
    {
        QString path;
        las::Header header;
        // No colour value of the file exceeds 255: the writer put 8-bit colour into the
        // 16-bit fields, as many do, and the values are taken as they are.
        bool eightBitColour = false;
    };
    struct ListedScan
    {
        int file = 0;
        bool wholeFile = true; // every point of the file, whatever its source ID
        std::uint16_t sourceId = 0;
        std::uint64_t points = 0; // withheld points left out
        // The records [firstRecord, endRecord) hold all of its points.
        std::uint64_t firstRecord = 0;
        std::uint64_t endRecord = 0;
        bool bounded = false; // low and high hold the box of its points
        cv::Vec3d low;
        cv::Vec3d high;
    };

    // Files that cannot be listed (not LAS, compressed, damaged) contribute no scan; false
    // only for an empty list.
    bool findScans(const QStringList& files) override;
    // The file's path for a scan that is the whole file, "<path> (source <id>)" for a scan
    // of one point source ID.
    void nameScans(QStringList& names) const override;
    // The identity: the points are in project coordinates.
    bool poseOf(int i, cv::Mat& pose) const override;
    bool positionKnown(int i) const override;
    // The points the listing found (withheld ones left out).
    std::int64_t countOf(int i) override;
    bool boundsOf(int i, cv::Vec3d& low, cv::Vec3d& high) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    // At most maxChunkPoints points per call, whatever maxColumns says.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;
    qint64 pointsLeft(int i) const override;

    // Reads the header and passes once over the point records (their source IDs, withheld
    // flags, coordinates and colours) to find the file's scans. False with a line printed
    // when the file gives none.
    bool listFile(const QString& path);
    bool restartIfPending(int i);

    std::vector<ListedFile> files;
    std::vector<ListedScan> scans;

    int currentScan = -1;
    std::unique_ptr<BinaryBlockReader> file; // of the open scan
    std::uint64_t nextRecord = 0;            // of the open scan's file
    std::uint64_t delivered = 0; // points of the open scan since it was opened or rewound
};

} // namespace orthaven
