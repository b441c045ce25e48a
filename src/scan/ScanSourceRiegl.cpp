#include "scan/ScanSourceRiegl.h"

#include "scan/riegl/RieglPath.h"
#include "scan/riegl/RieglProject.h"

#include <algorithm>
#include <cstring>
#include <iostream>

namespace orthaven {

namespace {

// The lines the vendor's reader wrote to its wide-character console; here they are the
// same UTF-8 lines on standard output as everything else.
void printWide(const QString& line)
{
    std::cout << line.toStdString() << std::endl;
}

// A read-ahead that can always hand out one full chunk and still keep two points back.
constexpr int pendingCapacity = 2 * ScanSourceRiegl::chunkPoints + 2;

} // namespace

ScanSourceRiegl::ScanSourceRiegl() : ScanSourceRiegl(linkedScanifc()) {}

ScanSourceRiegl::ScanSourceRiegl(const ScanifcApi& library) : scanifc(library)
{
    rewindPending = false;
}

ScanSourceRiegl::~ScanSourceRiegl()
{
    closeStream();
}

bool ScanSourceRiegl::fetchFiles(const QStringList& files)
{
    closeStream();
    currentScan = -1;
    fileList.clear();
    poses.clear();
    numScans = 0;
    if (files.isEmpty())
        return false;

    RieglProject project;
    if (!project.read(files.first())) {
        std::cout << "Error parsing rsp file" << std::endl;
        return false;
    }
    fileList = project.scanPaths();
    poses = project.scanPoses();
    numScans = int(poses.size());
    for (const QString& path : fileList) {
        std::cout << "Found riegl Scan File: " << path.toStdString() << std::endl;
        printWide(QStringLiteral("Found riegl Scan File:") + path);
    }
    return true;
}

int ScanSourceRiegl::scanCount() const
{
    return int(poses.size());
}

void ScanSourceRiegl::scanNames(QStringList& names) const
{
    names.clear();
    for (int i = 0; i < scanCount() && i < fileList.size(); ++i)
        names.append(fileList[i].mid(fileList[i].lastIndexOf(QLatin1Char('/')) + 1));
}

void ScanSourceRiegl::closeStream()
{
    if (streamHandle != 0 && scanifc.close)
        scanifc.close(streamHandle);
    streamHandle = 0;
    pendingCount = 0;
    streamEnded = false;
}

bool ScanSourceRiegl::openScan(int i)
{
    if (i < 0 || i >= scanCount() || i >= fileList.size())
        return false;
    std::cout << "Load Scan" << std::endl;
    // Opening the open scan again starts it over; its old stream must not be left open.
    closeStream();
    currentScan = -1;
    rewindPending = false;

    const QString uri = QStringLiteral("file:") + fileList[i];
    printWide(uri);
    const QByteArray uri8 = rieglScanUri(fileList[i]);
    if (uri8.isEmpty()) {
        std::cout << "Riegl scan path with characters outside Latin-1, which the scan "
                     "library cannot take"
                  << std::endl;
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    if (!scanifc.open || !scanifc.read) {
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    ScanifcStream handle = 0;
    if (scanifc.open(uri8.constData(), 0, &handle) != 0 || handle == 0) {
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    streamHandle = handle;
    currentScan = i;
    if (pending.empty()) {
        pending.resize(pendingCapacity);
        attributes.resize(chunkPoints);
        times.resize(chunkPoints);
    }
    return true;
}

bool ScanSourceRiegl::closeScan(int i)
{
    if (i != currentScan || currentScan == -1)
        return true;
    closeStream();
    currentScan = -1;
    return true;
}

bool ScanSourceRiegl::isScanOpen(int i) const
{
    return currentScan != -1 && i == currentScan && streamHandle != 0;
}

void ScanSourceRiegl::fillPending()
{
    int emptyReads = 0;
    while (!streamEnded && pendingCount < chunkPoints + 2) {
        std::uint32_t got = 0;
        std::int32_t endOfFrame = 0;
        const int result =
            scanifc.read(streamHandle, std::uint32_t(chunkPoints), pending.data() + pendingCount,
                         attributes.data(), times.data(), &got, &endOfFrame);
        if (result != 0) {
            std::cout << "No more data" << std::endl;
            streamEnded = true;
            break;
        }
        // Never more than was asked for, whatever the library claims.
        pendingCount += int(std::min<std::uint32_t>(got, chunkPoints));
        if (endOfFrame != 0) {
            streamEnded = true;
        } else if (got == 0 && ++emptyReads >= maxEmptyReads) {
            std::cout << "Riegl stream delivered nothing " << maxEmptyReads
                      << " times in a row; the scan ends here" << std::endl;
            streamEnded = true;
        } else if (got > 0) {
            emptyReads = 0;
        }
    }
}

bool ScanSourceRiegl::readPoints(int i, cv::Mat& chunk, int)
{
    if (rewindPending) {
        rewindPending = false;
        closeScan(i);
        openScan(i);
    }
    if (!isScanOpen(i)) {
        chunk = placeholderChunk();
        return false;
    }
    fillPending();

    int n = std::min(pendingCount, int(chunkPoints));
    // A last chunk of one point would look like the end-of-scan placeholder and its
    // point would be lost: stop this chunk one point earlier.
    if (streamEnded && pendingCount - n == 1)
        --n;
    if (n < 2) {
        pendingCount = 0;
        chunk = placeholderChunk();
        return false;
    }
    // A fresh matrix on every call: a caller may still hold the previous chunk.
    cv::Mat points(4, n, CV_64F);
    double* const xs = points.ptr<double>(0);
    double* const ys = points.ptr<double>(1);
    double* const zs = points.ptr<double>(2);
    double* const ws = points.ptr<double>(3);
    for (int k = 0; k < n; ++k) {
        const ScanifcPoint& p = pending[std::size_t(k)];
        xs[k] = double(p.x);
        ys[k] = double(p.y);
        zs[k] = double(p.z);
        ws[k] = 1.0;
    }
    pendingCount -= n;
    if (pendingCount > 0)
        std::memmove(pending.data(), pending.data() + n, sizeof(ScanifcPoint) * pendingCount);
    chunk = points;
    return !(streamEnded && pendingCount == 0);
}

void ScanSourceRiegl::scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const
{
    storedPoseParts(poses, i, rotation, translation);
}

void ScanSourceRiegl::scanPose(int i, cv::Mat& pose) const
{
    storedPose(poses, i, pose);
}

} // namespace orthaven
