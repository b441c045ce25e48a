#pragma once
// The scan source for Riegl projects: reads the ".rsp" project file for its scan files and
// their poses (POP · SOP), and streams the points of one scan at a time through Riegl's
// scan interface library (scan/riegl/Scanifc.h), 30,000 points per chunk.

#include "scan/ScanSource.h"
#include "scan/riegl/Scanifc.h"

#include <vector>

namespace orthaven {

class ScanSourceRiegl : public ScanSource
{
public:
    // Points asked of the library per call, and the most a chunk holds.
    static constexpr int chunkPoints = 30000;
    // Reads in a row that deliver nothing before a stream counts as stuck.
    static constexpr int maxEmptyReads = 10000;

    ScanSourceRiegl();
    // Reads through the given library functions instead of the linked ones.
    explicit ScanSourceRiegl(const ScanifcApi& library);
    ~ScanSourceRiegl() override;

    // Reads the first path, a project file. False when it cannot be read or a scan has no
    // sound pose; then there is no scan.
    bool fetchFiles(const QStringList& files) override;
    int scanCount() const override;
    // The file names of the scan files, without folders.
    void scanNames(QStringList& names) const override;
    bool openScan(int i) override;
    bool closeScan(int i) override;
    bool isScanOpen(int i) const override;
    bool readPoints(int i, cv::Mat& chunk, int maxColumns) override;
    void scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const override;
    void scanPose(int i, cv::Mat& pose) const override;

private:
    void closeStream();
    void fillPending();

    ScanifcApi scanifc;
    int currentScan = -1;
    std::vector<cv::Mat> poses;
    ScanifcStream streamHandle = 0;

    // Points read from the stream but not yet delivered. The reader reads ahead so that
    // neither a short read of the library nor the last point of a scan ever makes a
    // chunk of fewer than two columns, which would end the scan early or lose the point.
    std::vector<ScanifcPoint> pending;
    std::vector<ScanifcAttributes> attributes;
    std::vector<ScanifcTime> times;
    int pendingCount = 0;
    bool streamEnded = false;
};

} // namespace orthaven
