#pragma once
// The one reader interface through which the rest of the program sees the laser scans
// of a job. Scans are numbered 0 … scanCount() - 1 in discovery order; the job's scan
// selection and the engine use that numbering.
//
// Data crossing the interface (all cv::Mat of CV_64F, one channel, continuous):
//  - point chunk: 4 × N, column j = (x, y, z, 1) of one point in the scanner's own frame,
//    metres, in the order the source stores them (points at the origin included);
//  - placeholder chunk: fewer than two columns; it carries no points and ends a scan;
//  - pose: 4 × 4, column-vector convention, maps scanner to project coordinates.

#include <QBitArray>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

namespace orthaven {

class ScanSource
{
public:
    // No reader delivers more points than this in one call.
    static constexpr int maxChunkPoints = 1000000;

    ScanSource() = default;
    virtual ~ScanSource();
    ScanSource(const ScanSource&) = delete;
    ScanSource& operator=(const ScanSource&) = delete;

    // Finds the scans of the given input files. Called once, before anything else.
    virtual bool fetchFiles(const QStringList& files);
    virtual int scanCount() const;
    // Replaces names with one display name per scan, in scan order.
    virtual void scanNames(QStringList& names) const;
    // Prepares scan i for reading from its first point; at most one scan is open.
    virtual bool openScan(int i);
    virtual bool closeScan(int i);
    virtual bool isScanOpen(int i) const;
    // The next read of the open scan starts again at its first point.
    virtual void rewindPoints();
    virtual bool scanDimensions(int i, int& rows, int& columns);
    // Next chunk of scan i. False when no further call can deliver points; true does not
    // promise that the next call delivers any.
    virtual bool readPoints(int i, cv::Mat& chunk, int maxColumns);
    virtual bool readPointList(int i, std::vector<cv::Mat>& list, int maxColumns);
    // 3 × N: range, then two angles (radians), one column per point.
    virtual bool readPolarDataFromScan(int i, cv::Mat& polar, int columns);
    virtual bool readPolarPointList(int i, std::vector<cv::Mat>& list, int maxColumns);
    // rotation (3 × 3) and translation (3 × 1) come allocated; their elements are written.
    virtual void scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const;
    virtual void scanPose(int i, cv::Mat& pose) const;
    // rows × columns ranges of scan i: element (j, c) is the range of row j of column c.
    virtual bool computeScanDepthImage(int i, cv::Mat& depth);

    // The 4 × 1 chunk a reader hands out when it has nothing to deliver.
    static cv::Mat placeholderChunk();
    // Rotation and translation of a 4 × 4 pose, as scanPoseParts delivers them.
    static void splitPose(const cv::Mat& pose, cv::Mat& rotation, cv::Mat& translation);

protected:
    // scanPose and scanPoseParts of a reader that keeps one pose per scan in a list: an
    // index outside the list leaves the outputs untouched.
    static void storedPose(const std::vector<cv::Mat>& poses, int i, cv::Mat& pose);
    static void storedPoseParts(const std::vector<cv::Mat>& poses, int i, cv::Mat& rotation,
                                cv::Mat& translation);

    QStringList fileList;
    int numScans = 0;
    QBitArray openFlags;       // one bit per scan: loaded in the vendor library (FARO)
    bool rewindPending = true; // set by rewindPoints; the next read restarts the scan
};

} // namespace orthaven
