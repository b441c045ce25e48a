#include "support/FakeScanSource.h"

#include <algorithm>
#include <cmath>

namespace orthaven::test {

FakeScanSource::FakeScanSource(std::vector<FakeScan> fakeScans, int chunk)
    : scans(std::move(fakeScans)), chunkPoints(chunk)
{
    numScans = int(scans.size());
}

QStringList FakeScanSource::calls() const
{
    const std::lock_guard<std::mutex> guard(callLock);
    return callLog;
}

void FakeScanSource::record(const QString& call) const
{
    const std::lock_guard<std::mutex> guard(callLock);
    callLog.append(call);
}

bool FakeScanSource::findScans(const QStringList& files)
{
    fileList = files;
    numScans = int(scans.size());
    return true;
}

void FakeScanSource::nameScans(QStringList& names) const
{
    names.clear();
    for (const FakeScan& s : scans)
        names.append(s.name);
}

bool FakeScanSource::open(int i)
{
    record(QStringLiteral("open %1").arg(i));
    if (i < 0 || i >= int(scans.size()) || !scans[i].opens)
        return false;
    openIndex = i;
    position = 0;
    chunksDelivered = 0;
    rewindPending = false;
    return true;
}

bool FakeScanSource::close(int i)
{
    record(QStringLiteral("close %1").arg(i));
    if (i == openIndex)
        openIndex = -1;
    return true;
}

bool FakeScanSource::positionKnown(int i) const
{
    return i < 0 || i >= int(scans.size()) || scans[std::size_t(i)].positioned;
}

bool FakeScanSource::isOpen(int i) const
{
    return i >= 0 && i == openIndex;
}

void FakeScanSource::rewound()
{
    record(QStringLiteral("rewind"));
}

ScanSource::ReadStep FakeScanSource::readNext(const ReadRequest& request, ScanChunk& piece)
{
    const int i = request.scan;
    record(QStringLiteral("read %1").arg(i));
    if (rewindPending) {
        rewindPending = false;
        position = 0;
    }
    if (i != openIndex || position >= scans[i].points.size())
        return ReadStep::End;
    const std::vector<cv::Vec3d>& points = scans[i].points;
    const std::size_t count = std::min<std::size_t>(chunkPoints, points.size() - position);
    cv::Mat chunk(4, int(count), CV_64F);
    for (std::size_t k = 0; k < count; ++k) {
        const cv::Vec3d& p = points[position + k];
        chunk.at<double>(0, int(k)) = p[0];
        chunk.at<double>(1, int(k)) = p[1];
        chunk.at<double>(2, int(k)) = p[2];
        chunk.at<double>(3, int(k)) = 1.0;
    }
    // Every point carries an intensity and a colour made from its place, when asked for.
    if (request.channels.intensity) {
        piece.intensity.create(1, int(count), CV_32F);
        for (std::size_t k = 0; k < count; ++k) {
            const cv::Vec3d& p = points[position + k];
            piece.intensity.at<float>(0, int(k)) = float(std::fmod(std::abs(p[0] + 2 * p[1]), 1.0));
        }
    }
    if (request.channels.colour) {
        piece.colour.create(3, int(count), CV_8U);
        for (std::size_t k = 0; k < count; ++k)
            for (int c = 0; c < 3; ++c)
                piece.colour.at<std::uint8_t>(c, int(k)) =
                    std::uint8_t(int(std::abs(points[position + k][c]) * (40 + 50 * c)) % 256);
    }
    position += count;
    if (onChunk)
        onChunk(i, chunksDelivered);
    ++chunksDelivered;
    piece.points = chunk;
    return placeholderAtEnd || position < points.size() ? ReadStep::Chunk : ReadStep::LastChunk;
}

bool FakeScanSource::poseOf(int i, cv::Mat& pose) const
{
    record(QStringLiteral("pose %1").arg(i));
    if (i < 0 || i >= int(scans.size()))
        return false;
    pose = scans[i].pose.clone();
    return true;
}

cv::Mat FakeScanSource::translation(double x, double y, double z)
{
    cv::Mat pose = cv::Mat::eye(4, 4, CV_64F);
    pose.at<double>(0, 3) = x;
    pose.at<double>(1, 3) = y;
    pose.at<double>(2, 3) = z;
    return pose;
}

} // namespace orthaven::test
