#include "scan/ScanSourceRiegl.h"

#include "diag/Diagnostics.h"
#include "platform/RegularFile.h"
#include "scan/riegl/RieglPath.h"
#include "scan/riegl/RieglProject.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace orthaven {

namespace {

// The lines the vendor's reader wrote to its wide-character console; here they are the
// same UTF-8 lines on standard output as everything else.
void printWide(const QString& line)
{
    diag::debug(line.toStdString());
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

bool ScanSourceRiegl::findScans(const QStringList& files)
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
        diag::error("Error parsing rsp file");
        return false;
    }
    fileList = project.scanPaths();
    poses = project.scanPoses();
    numScans = int(poses.size());
    for (const QString& path : fileList) {
        diag::debug("Found riegl Scan File: ", path.toStdString());
        printWide(QStringLiteral("Found riegl Scan File:") + path);
    }
    return true;
}

void ScanSourceRiegl::nameScans(QStringList& names) const
{
    names.clear();
    for (int i = 0; i < numScans && i < fileList.size(); ++i)
        names.append(fileList[i].mid(fileList[i].lastIndexOf(QLatin1Char('/')) + 1));
}

void ScanSourceRiegl::closeStream()
{
    if (streamHandle != 0 && scanifc.close)
        scanifc.close(streamHandle);
    streamHandle = 0;
    pendingCount = 0;
    streamEnded = false;
    pointsRead = 0;
}

bool ScanSourceRiegl::open(int i)
{
    if (i < 0 || i >= numScans || i >= fileList.size())
        return false;
    diag::debug("Load Scan");
    // Opening the open scan again starts it over; its old stream must not be left open.
    closeStream();
    currentScan = -1;
    rewindPending = false;

    const QString uri = QStringLiteral("file:") + fileList[i];
    printWide(uri);
    const QByteArray uri8 = rieglScanUri(fileList[i]);
    if (uri8.isEmpty()) {
        diag::error("Riegl scan path with characters outside Latin-1, which the scan "
                    "library cannot take");
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    if (!scanifc.open || !scanifc.read) {
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    // A pipe or a device would hold the scan library in its open call for good: such a
    // path never reaches it.
    if (const QString problem = regularFileProblem(fileList[i]); !problem.isEmpty()) {
        diag::error("Riegl scan file ", fileList[i].toStdString(), ": ", problem.toStdString());
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        return false;
    }
    ScanifcStream handle = 0;
    if (scanifc.open(uri8.constData(), 0, &handle) != 0 || handle == 0) {
        printWide(QStringLiteral("Cannot open Riegl File ") + uri);
        // The usual cause: a project copied without its scan files.
        const std::string path = QDir::toNativeSeparators(fileList[i]).toStdString();
        if (!QFileInfo::exists(fileList[i]))
            noteDamage(i, QT_TRANSLATE_NOOP("ScanNote", "the scan file %1 is missing"), {path});
        else
            noteDamage(i, QT_TRANSLATE_NOOP("ScanNote", "the scan library cannot open %1"), {path});
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

bool ScanSourceRiegl::close(int i)
{
    if (i != currentScan || currentScan == -1)
        return true;
    closeStream();
    currentScan = -1;
    return true;
}

bool ScanSourceRiegl::isOpen(int i) const
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
            diag::debug("No more data");
            streamEnded = true;
            noteDamage(currentScan,
                       QT_TRANSLATE_NOOP("ScanNote",
                                         "Riegl scan %1: the scan library reported no more data "
                                         "after %2 points, before the end of the scan"),
                       {std::to_string(currentScan), std::to_string(pointsRead + pendingCount)});
            break;
        }
        // Never more than was asked for, whatever the library claims.
        pendingCount += int(std::min<std::uint32_t>(got, chunkPoints));
        if (endOfFrame != 0) {
            streamEnded = true;
        } else if (got == 0 && ++emptyReads >= maxEmptyReads) {
            streamEnded = true;
            noteDamage(currentScan,
                       QT_TRANSLATE_NOOP("ScanNote", "Riegl stream delivered nothing %1 times "
                                                     "in a row; the scan ends here"),
                       {std::to_string(maxEmptyReads)});
        } else if (got > 0) {
            emptyReads = 0;
        }
    }
}

ScanSource::ReadStep ScanSourceRiegl::readNext(const ReadRequest& request, ScanChunk& piece)
{
    const int i = request.scan;
    if (rewindPending) {
        rewindPending = false;
        close(i);
        open(i);
    }
    if (!isOpen(i))
        return ReadStep::End;
    fillPending();

    const int n = std::min(pendingCount, int(chunkPoints));
    if (n > 0) {
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
        pointsRead += n;
        if (pendingCount > 0)
            std::memmove(pending.data(), pending.data() + n,
                         sizeof(ScanifcPoint) * std::size_t(pendingCount));
        piece.points = points;
    }
    return streamEnded && pendingCount == 0 ? ReadStep::LastChunk : ReadStep::Chunk;
}

qint64 ScanSourceRiegl::pointsLeft(int i) const
{
    if (!isOpen(i) || !streamEnded)
        return -1;
    return pendingCount;
}

bool ScanSourceRiegl::poseOf(int i, cv::Mat& pose) const
{
    return storedPose(poses, i, pose);
}

} // namespace orthaven
