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

private:
    // Reads the first path, a project file. False when it cannot be read or a scan has no
    // sound pose; then there is no scan.
    bool findScans(const QStringList& files) override;
    // The file names of the scan files, without folders.
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    // At most chunkPoints points per call, whatever the hint.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;
    // Known once the stream's frame has ended.
    qint64 pointsLeft(int i) const override;

    void closeStream();
    void fillPending();

    ScanifcApi scanifc;
    int currentScan = -1;
    std::vector<cv::Mat> poses;
    ScanifcStream streamHandle = 0;

    // Points read from the stream but not yet delivered. The reader reads ahead so that a
    // short read of the library does not make a short chunk, and so that it knows how many
    // points are left once the frame has ended.
    std::vector<ScanifcPoint> pending;
    std::vector<ScanifcAttributes> attributes;
    std::vector<ScanifcTime> times;
    int pendingCount = 0;
    bool streamEnded = false;
    qint64 pointsRead = 0; // of the open scan, since it was opened
};

} // namespace orthaven
