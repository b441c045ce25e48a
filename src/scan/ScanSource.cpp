#include "scan/ScanSource.h"

#include <algorithm>
#include <iostream>

namespace orthaven {

ScanSource::~ScanSource() = default;

bool ScanSource::fetchFiles(const QStringList& files)
{
    fileList = files;
    return false;
}

int ScanSource::scanCount() const { return numScans; }

void ScanSource::scanNames(QStringList&) const {}

bool ScanSource::openScan(int) { return false; }

bool ScanSource::closeScan(int) { return false; }

bool ScanSource::isScanOpen(int i) const
{
    return i >= 0 && i < numScans && i < openFlags.size() && openFlags.testBit(i);
}

void ScanSource::rewindPoints() { rewindPending = true; }

bool ScanSource::scanDimensions(int, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    return false;
}

bool ScanSource::readPoints(int, cv::Mat&, int) { return false; }

bool ScanSource::readPointList(int, std::vector<cv::Mat>&, int) { return false; }

bool ScanSource::readPolarDataFromScan(int, cv::Mat&, int) { return false; }

bool ScanSource::readPolarPointList(int, std::vector<cv::Mat>&, int) { return false; }

void ScanSource::scanPoseParts(int, cv::Mat&, cv::Mat&) const {}

void ScanSource::scanPose(int, cv::Mat&) const {}

bool ScanSource::computeScanDepthImage(int i, cv::Mat& depth)
{
    if (!openScan(i))
        return false;
    std::cout << "Compute ScanDepthImage" << std::endl;
    int rows = 0;
    int columns = 0;
    scanDimensions(i, rows, columns);
    if (rows > 0 && columns > 0)
        depth = cv::Mat::zeros(rows, columns, CV_64F);
    else
        depth = cv::Mat();

    cv::Mat polar;
    for (int c = 0; c < columns && rows > 0; ++c) {
        polar.release();
        readPolarDataFromScan(i, polar, 1);
        // A column that came back short leaves the rest of its ranges at 0.
        const int available = polar.rows >= 1 ? std::min(rows, polar.cols) : 0;
        for (int j = 0; j < available; ++j)
            depth.at<double>(j, c) = polar.at<double>(0, j);
    }
    rewindPoints();
    return true;
}

cv::Mat ScanSource::placeholderChunk() { return cv::Mat::ones(4, 1, CV_64F); }

void ScanSource::splitPose(const cv::Mat& pose, cv::Mat& rotation, cv::Mat& translation)
{
    if (pose.rows != 4 || pose.cols != 4 || pose.type() != CV_64F)
        return;
    // Callers pass both parts allocated, and then create() keeps them (and whatever shares
    // their data); an unallocated or misshapen part is made the right shape instead of
    // being written past its end.
    rotation.create(3, 3, CV_64F);
    translation.create(3, 1, CV_64F);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            rotation.at<double>(r, c) = pose.at<double>(r, c);
        translation.at<double>(r, 0) = pose.at<double>(r, 3);
    }
}

void ScanSource::storedPose(const std::vector<cv::Mat>& poses, int i, cv::Mat& pose)
{
    if (i >= 0 && std::size_t(i) < poses.size())
        pose = poses[std::size_t(i)];
}

void ScanSource::storedPoseParts(const std::vector<cv::Mat>& poses, int i, cv::Mat& rotation,
                                 cv::Mat& translation)
{
    if (i >= 0 && std::size_t(i) < poses.size())
        splitPose(poses[std::size_t(i)], rotation, translation);
}

} // namespace orthaven
