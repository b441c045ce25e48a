#include "engine/LayoutCreator.h"

#include "diag/Diagnostics.h"
#include "engine/ScanPoses.h"
#include "platform/AppPaths.h"
#include "scan/ScanSource.h"

#include <cmath>

namespace orthaven {

LayoutCreator::LayoutCreator() : viewMatrix(cv::Mat::eye(4, 4, CV_64F)) {}

LayoutCreator::~LayoutCreator() = default;

void LayoutCreator::setRawTileStoreFactory(RawTileStoreFactory factory)
{
    storeFactory = std::move(factory);
}

cv::Mat LayoutCreator::viewMatrixFor(std::uint32_t view)
{
    return orthaven::viewMatrixFor(view);
}

bool LayoutCreator::setup(const layoutdef& newJob)
{
    maxAccumulated = 0.0f;
    stopRequested = false;
    interrupted = false;
    finished = false;
    job = newJob;
    settings = RunSettings::fromJob(job);
    scannerDomain = settings.scannerDomain;
    resolution = settings.resolution;
    tileSize = settings.tileSize;
    dataThreshold = settings.dataThreshold;
    reverseIntensity = settings.reverseIntensity;
    mirrorHorizontal = settings.mirrorHorizontal;
    viewMatrix = settings.viewMatrix;
    view = settings.view;
    clipLow = settings.clipLow;
    clipHigh = settings.clipHigh;
    scanList = job.scanList;
    tileRange = TileRange();
    outputDir = settings.outputDir;
    baseName = settings.baseName;
    imageType = settings.imageType;
    tileCorners.clear();
    tileUsed.release();
    return settings.problemCode == NoError;
}

void LayoutCreator::layout()
{
    if (!scanSource) {
        clearFailure();
        interrupted = false;
        const bool refused = settings.problemCode != NoError;
        diag::error("ERROR: invalid layout settings: ",
                    (refused ? settings.problem : std::string("no scan source")));
        reportFailure(refused ? ResultCode(settings.problemCode) : InvalidSettings);
        finished = true;
        return;
    }
    LayoutResult result =
        LayoutEngine::run(job, *scanSource, *this, tempFolder(), storeFactory, beforeCommit);
    scanList = result.scanList;
    tileRange = result.tileRange;
    maxAccumulated = result.scaleTop;
    tileCorners = std::move(result.tileCorners);
    tileUsed = result.tileUsed;
}

bool LayoutCreator::computeScanExtent(const ScanSource& source, const QBitArray& scanList,
                                      cv::Mat& minOut, cv::Mat& maxOut, double margin,
                                      const cv::Mat& M)
{
    minOut = cv::Mat(3, 1, CV_64F, cv::Scalar(2147483647.0));
    maxOut = cv::Mat(3, 1, CV_64F, cv::Scalar(-2147483648.0));
    if (M.rows != 3 || M.cols != 3 || M.channels() != 1)
        return false;
    cv::Mat full = cv::Mat::eye(4, 4, CV_64F);
    M.convertTo(full(cv::Rect(0, 0, 3, 3)), CV_64F);
    cv::Mat A;
    if (cv::invert(full, A, cv::DECOMP_LU) == 0.0)
        return false;
    const int count = source.scanCount();
    for (int i = 0; i < count; ++i) {
        if (!bitSet(scanList, i))
            continue;
        cv::Mat pose;
        source.scanPose(i, pose);
        const cv::Mat P = usablePose(pose);
        if (P.empty())
            continue;
        const cv::Mat AP = A * P;
        const auto widen = [&](const cv::Mat& p, double by) {
            for (int axis = 0; axis < 3; ++axis) {
                const double v = p.at<double>(axis);
                minOut.at<double>(axis) = std::min(minOut.at<double>(axis), v - by);
                maxOut.at<double>(axis) = std::max(maxOut.at<double>(axis), v + by);
            }
        };
        if (source.hasPosition(i)) {
            widen(AP.col(3), margin);
            continue;
        }
        cv::Vec3d low;
        cv::Vec3d high;
        if (!source.scanBounds(i, low, high))
            continue;
        for (int corner = 0; corner < 8; ++corner) {
            const cv::Mat c = (cv::Mat_<double>(4, 1) << (corner & 1 ? high : low)[0],
                               (corner & 2 ? high : low)[1], (corner & 4 ? high : low)[2], 1.0);
            widen(AP * c, 0.0);
        }
    }
    return true;
}

} // namespace orthaven
