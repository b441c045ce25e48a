#pragma once
// An in-memory scan source for engine tests: scans given as point lists and poses, a
// configurable chunk size, scans that fail to open, a hook on every delivered chunk, and
// a record of the calls the engine made.

#include "scan/ScanSource.h"

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <functional>
#include <mutex>
#include <vector>

namespace orthaven::test {

struct FakeScan
{
    QString name;
    cv::Mat pose = cv::Mat::eye(4, 4, CV_64F);
    std::vector<cv::Vec3d> points; // scanner frame
    bool opens = true;
    bool positioned = true; // false: a scan without a position
};

class FakeScanSource : public ScanSource
{
public:
    explicit FakeScanSource(std::vector<FakeScan> scans = {}, int chunkPoints = 1000);

    // How many points a chunk holds at most.
    void setChunkPoints(int n) { chunkPoints = n; }
    // false (the default): the chunk with the last points returns false, like the PTX
    // reader; true: it returns true and the next call delivers the placeholder and false,
    // like the PTG reader.
    void setPlaceholderAtEnd(bool on) { placeholderAtEnd = on; }
    // Called (on the reading thread) before a chunk with points is handed out.
    std::function<void(int scan, int chunk)> onChunk;

    // "open 1", "pose 1", "read 1", "rewind", "close 1", in call order.
    QStringList calls() const;

    // A pose that only moves the scanner to (x, y, z).
    static cv::Mat translation(double x, double y, double z);

protected:
    // Tests that need to hold the listing up override this and call it.
    bool findScans(const QStringList& files) override;

private:
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    bool positionKnown(int i) const override;
    void rewound() override;
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;

    void record(const QString& call) const;

    std::vector<FakeScan> scans;
    int chunkPoints;
    bool placeholderAtEnd = false;
    int openIndex = -1;
    std::size_t position = 0;
    int chunksDelivered = 0;
    mutable std::mutex callLock;
    mutable QStringList callLog;
};

} // namespace orthaven::test
