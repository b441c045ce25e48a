#include "scan/ScanSourceE57.h"

#include "diag/Diagnostics.h"
#include "scan/e57/Quaternion.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace orthaven {

namespace {

// Records decoded at a time: enough to make each step cheap, small enough for the cache.
constexpr std::int64_t batchRecords = 32768;

std::string printable(const QString& path)
{
    return path.toStdString();
}

cv::Mat poseOf(const e57::Scan& scan)
{
    std::array<double, 9> r;
    if (!e57::quaternionRotation(scan.rotation[0], scan.rotation[1], scan.rotation[2],
                                 scan.rotation[3], r))
        r = {1, 0, 0, 0, 1, 0, 0, 0, 1}; // listScans refuses such a file
    cv::Mat pose = cv::Mat::eye(4, 4, CV_64F);
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c)
            pose.at<double>(row, c) = r[std::size_t(3 * row + c)];
        pose.at<double>(row, 3) = scan.translation[std::size_t(row)];
    }
    return pose;
}

bool sameHeader(const e57::FileHeader& a, const e57::FileHeader& b)
{
    return a.physicalLength == b.physicalLength && a.xmlPhysicalOffset == b.xmlPhysicalOffset &&
           a.xmlLogicalLength == b.xmlLogicalLength && a.pageSize == b.pageSize;
}

} // namespace

ScanSourceE57::ScanSourceE57() = default;

ScanSourceE57::~ScanSourceE57() = default;

bool ScanSourceE57::fetchFiles(const QStringList& inputs)
{
    if (currentScan != -1)
        closeScan(currentScan);
    fileList = inputs;
    files.clear();
    scans.clear();
    poses.clear();
    numScans = 0;
    if (inputs.isEmpty())
        return false;

    for (const QString& path : inputs) {
        const std::string where = "E57 file " + printable(path) + ": ";
        e57::PagedFile paged(std::size_t(64) << 10); // the XML section sits at the end
        std::vector<e57::Scan> found;
        std::string error;
        std::vector<std::string> notes;
        if (!paged.open(path)) {
            diag::error(where + paged.error());
            continue;
        }
        if (!e57::listScans(paged, found, error, notes)) {
            diag::error(where + error);
            continue;
        }
        for (const std::string& note : notes)
            diag::warning(where + note);
        diag::info(where + std::to_string(found.size()) + (found.size() == 1 ? " scan" : " scans"));
        const int fileIndex = int(files.size());
        files.push_back({path, paged.header()});
        for (std::size_t k = 0; k < found.size(); ++k) {
            poses.push_back(poseOf(found[k]));
            scans.push_back({fileIndex, int(k), std::move(found[k])});
        }
    }
    numScans = int(scans.size());
    return true;
}

void ScanSourceE57::scanNames(QStringList& names) const
{
    names.clear();
    QHash<QPair<int, QString>, int> uses;
    for (const ListedScan& s : scans)
        ++uses[{s.file, s.scan.name}];
    for (const ListedScan& s : scans) {
        const QString number = QStringLiteral("%1").arg(s.indexInFile, 3, 10, QLatin1Char('0'));
        QString label;
        if (s.scan.name.isEmpty())
            label = number;
        else if (uses.value({s.file, s.scan.name}) > 1)
            label = s.scan.name + QStringLiteral(", ") + number;
        else
            label = s.scan.name;
        names.append(files[std::size_t(s.file)].path + QStringLiteral(" (") + label +
                     QStringLiteral(")"));
    }
}

void ScanSourceE57::fail(const std::string& text)
{
    diag::error("E57 file " + printable(file ? file->path() : QString()) + ", scan " +
                std::to_string(currentScan) + ": " + text);
    readFailed = true;
}

bool ScanSourceE57::openScan(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (currentScan != -1 && currentScan != i)
        closeScan(currentScan);

    const ListedScan& listed = scans[std::size_t(i)];
    const ListedFile& source = files[std::size_t(listed.file)];
    const std::string where = "E57 file " + printable(source.path) + ": ";
    file = std::make_unique<e57::PagedFile>();
    bool ready = file->open(source.path);
    if (!ready) {
        diag::error(where + file->error());
    } else if (!sameHeader(file->header(), source.header)) {
        diag::error(where + "the file changed since it was listed");
        ready = false;
    } else if (!reader.open(*file, listed.scan)) {
        diag::error(where + "scan " + std::to_string(listed.indexInFile) + ": " + reader.error());
        ready = false;
    }
    if (!ready) {
        // Nothing is open then, so isScanOpen does not claim a scan that cannot be read.
        file.reset();
        currentScan = -1;
        return false;
    }
    currentScan = i;
    const std::size_t stage = std::size_t(batchRecords) + 2;
    stageX.resize(stage);
    stageY.resize(stage);
    stageZ.resize(stage);
    stageBegin = stageEnd = 0;
    readFailed = false;
    endReported = false;
    rewindPending = false;
    return true;
}

bool ScanSourceE57::closeScan(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    file.reset();
    lastChunk.release();
    currentScan = -1;
    return true;
}

bool ScanSourceE57::isScanOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

bool ScanSourceE57::scanDimensions(int i, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (i < 0 || i >= numScans)
        return false;
    const e57::Scan& scan = scans[std::size_t(i)].scan;
    const e57::ScanFields fields = e57::scanFields(scan.points);
    if (!scan.hasPoints || fields.rowIndex < 0 || fields.columnIndex < 0)
        return false;
    // The index bounds of the scan, else the largest index its fields can hold.
    const auto extent = [&](std::int64_t bound, int field) -> std::int64_t {
        const std::int64_t maximum =
            bound >= 0 ? bound : scan.points.fields[std::size_t(field)].maximum;
        return maximum >= 0 && maximum < std::numeric_limits<int>::max() ? maximum + 1 : 0;
    };
    const std::int64_t r = extent(scan.rowMaximum, fields.rowIndex);
    const std::int64_t c = extent(scan.columnMaximum, fields.columnIndex);
    // A grid of more cells than records is not sized by: a damaged bound would size a
    // depth image beyond anything the file holds.
    if (r == 0 || c == 0 || r > scan.points.recordCount / c)
        return false;
    rows = int(r);
    columns = int(c);
    return true;
}

bool ScanSourceE57::restartIfPending(int i)
{
    if (rewindPending) {
        rewindPending = false;
        closeScan(i);
        openScan(i);
    }
    return file && currentScan == i;
}

bool ScanSourceE57::refill()
{
    if (readFailed || reader.recordsLeft() == 0)
        return false;
    // What is left (at most one point when called for) moves to the front.
    const std::int64_t left = staged();
    for (std::int64_t k = 0; k < left; ++k) {
        stageX[std::size_t(k)] = stageX[std::size_t(stageBegin + k)];
        stageY[std::size_t(k)] = stageY[std::size_t(stageBegin + k)];
        stageZ[std::size_t(k)] = stageZ[std::size_t(stageBegin + k)];
    }
    stageBegin = 0;
    stageEnd = left;
    e57::PointReader::Output out;
    out.x = stageX.data() + stageEnd;
    out.y = stageY.data() + stageEnd;
    out.z = stageZ.data() + stageEnd;
    const std::int64_t records = std::min<std::int64_t>(
        {batchRecords, reader.recordsLeft(), std::int64_t(stageX.size()) - stageEnd});
    const std::int64_t kept = reader.read(std::size_t(records), out);
    if (kept < 0) {
        fail(reader.error());
        return false;
    }
    stageEnd += kept;
    return true;
}

void ScanSourceE57::reportScanEnd()
{
    if (endReported)
        return;
    endReported = true;
    if (reader.nonFiniteRecords() > 0) {
        diag::warning("Scan " + std::to_string(currentScan) + ": skipped " +
                      std::to_string(reader.nonFiniteRecords()) +
                      " points whose coordinates are not finite");
    }
}

bool ScanSourceE57::readPoints(int i, cv::Mat& chunk, int)
{
    if (!restartIfPending(i)) {
        chunk = placeholderChunk();
        return false;
    }
    const std::int64_t capacity =
        std::min<std::int64_t>(maxChunkPoints, staged() + reader.recordsLeft());
    if (capacity < 2 || readFailed) {
        reportScanEnd();
        chunk = placeholderChunk();
        return false;
    }
    // The last full chunk is filled again when nobody but this reader and the matrix it is
    // read into holds it (the engine reads into one matrix over and over): that spares a
    // fresh allocation and its page faults. A caller that still holds a chunk gets a new one.
    cv::Mat points;
    const bool reusable =
        lastChunk.u && lastChunk.cols == capacity &&
        (lastChunk.u->refcount == 1 || (chunk.u == lastChunk.u && lastChunk.u->refcount == 2));
    if (reusable)
        points = lastChunk;
    else
        points.create(4, int(capacity), CV_64F);
    double* const rows[3] = {points.ptr<double>(0), points.ptr<double>(1), points.ptr<double>(2)};
    std::int64_t n = 0;
    while (n < capacity) {
        if (staged() == 0) {
            // While a whole batch fits, its points go straight into the chunk; the staging
            // arrays take the batch that would overfill it.
            if (capacity - n >= batchRecords && reader.recordsLeft() > 0 && !readFailed) {
                e57::PointReader::Output out;
                out.x = rows[0] + n;
                out.y = rows[1] + n;
                out.z = rows[2] + n;
                const std::int64_t kept =
                    reader.read(std::size_t(std::min(batchRecords, reader.recordsLeft())), out);
                if (kept < 0) {
                    fail(reader.error());
                    break;
                }
                n += kept;
                continue;
            }
            if (!refill())
                break;
            continue;
        }
        const std::int64_t take = std::min(staged(), capacity - n);
        const std::size_t from = std::size_t(stageBegin);
        std::memcpy(rows[0] + n, stageX.data() + from, std::size_t(take) * sizeof(double));
        std::memcpy(rows[1] + n, stageY.data() + from, std::size_t(take) * sizeof(double));
        std::memcpy(rows[2] + n, stageZ.data() + from, std::size_t(take) * sizeof(double));
        stageBegin += take;
        n += take;
    }
    // A full chunk must not leave a single point for the next call, which would be the
    // end-of-scan placeholder: the point would be lost. Then this chunk gives one back.
    if (n == capacity) {
        while (staged() < 2 && refill()) {
        }
        if (staged() == 1 && reader.recordsLeft() == 0 && !readFailed && n > 2) {
            if (stageBegin == 0) {
                stageX[1] = stageX[0];
                stageY[1] = stageY[0];
                stageZ[1] = stageZ[0];
                stageBegin = 1;
                stageEnd = 2;
            }
            --n;
            --stageBegin;
            stageX[std::size_t(stageBegin)] = rows[0][n];
            stageY[std::size_t(stageBegin)] = rows[1][n];
            stageZ[std::size_t(stageBegin)] = rows[2][n];
        }
    }
    std::fill_n(points.ptr<double>(3), std::size_t(n), 1.0);

    const bool more = !readFailed && (staged() > 0 || reader.recordsLeft() > 0);
    if (!more)
        reportScanEnd();
    if (n < 2) {
        chunk = placeholderChunk();
        return false;
    }
    if (n == capacity) {
        lastChunk = points;
        chunk = points;
    } else {
        chunk = points.colRange(0, int(n)).clone(); // points were left out: keep it continuous
    }
    return more;
}

void ScanSourceE57::scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const
{
    storedPoseParts(poses, i, rotation, translation);
}

void ScanSourceE57::scanPose(int i, cv::Mat& pose) const
{
    storedPose(poses, i, pose);
}

} // namespace orthaven
