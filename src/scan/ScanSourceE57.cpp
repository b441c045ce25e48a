#include "scan/ScanSourceE57.h"

#include "diag/Diagnostics.h"
#include "scan/e57/Quaternion.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
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

cv::Mat poseMatrix(const e57::Scan& scan)
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

// An 8-bit colour from a colour field's value: its place in the field's range (0 … 1 for
// a float field that gives none).
std::uint8_t colourByte(double value, double low, double high)
{
    if (!(high > low) || !(value > low))
        return 0;
    if (value >= high)
        return 255;
    return static_cast<std::uint8_t>(std::lround((value - low) / (high - low) * 255.0));
}

bool sameHeader(const e57::FileHeader& a, const e57::FileHeader& b)
{
    return a.physicalLength == b.physicalLength && a.xmlPhysicalOffset == b.xmlPhysicalOffset &&
           a.xmlLogicalLength == b.xmlLogicalLength && a.pageSize == b.pageSize;
}

} // namespace

ScanSourceE57::ScanSourceE57() = default;

ScanSourceE57::~ScanSourceE57() = default;

bool ScanSourceE57::findScans(const QStringList& inputs)
{
    if (currentScan != -1)
        close(currentScan);
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
        std::vector<e57::ListNote> notes;
        if (!paged.open(path)) {
            diag::error(where + paged.error());
            noteFileWithoutScans(path);
            continue;
        }
        if (!e57::listScans(paged, found, error, notes)) {
            diag::error(where + error);
            noteFileWithoutScans(path);
            continue;
        }
        if (found.empty())
            noteFileWithoutScans(path);
        diag::info(where + std::to_string(found.size()) + (found.size() == 1 ? " scan" : " scans"));
        const int fileIndex = int(files.size());
        const int first = int(scans.size());
        files.push_back({path, paged.header()});
        for (std::size_t k = 0; k < found.size(); ++k) {
            poses.push_back(poseMatrix(found[k]));
            scans.push_back({fileIndex, int(k), std::move(found[k])});
        }
        for (const e57::ListNote& note : notes)
            noteDamage(first + note.scan, where + note.text);
    }
    numScans = int(scans.size());
    return true;
}

void ScanSourceE57::nameScans(QStringList& names) const
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

bool ScanSourceE57::poseOf(int i, cv::Mat& pose) const
{
    return storedPose(poses, i, pose);
}

bool ScanSourceE57::open(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (currentScan != -1 && currentScan != i)
        close(currentScan);

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
    }
    if (!ready) {
        // Nothing is open then, so isScanOpen does not claim a scan that cannot be read.
        file.reset();
        currentScan = -1;
        return false;
    }
    currentScan = i;
    // The points are decoded from the first read on, with the channels it asks for.
    reading = false;
    stageBegin = stageEnd = 0;
    readProblem.clear();
    endReported = false;
    rewindPending = false;
    return true;
}

bool ScanSourceE57::close(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    file.reset();
    reading = false;
    lastChunk.release();
    currentScan = -1;
    return true;
}

bool ScanSourceE57::isOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

bool ScanSourceE57::dimensionsOf(int i, int& rows, int& columns)
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
        close(i);
        open(i);
    }
    return file && currentScan == i;
}

bool ScanSourceE57::startReading(const PointChannels& channels)
{
    const ListedScan& listed = scans[std::size_t(currentScan)];
    if (!reader.open(*file, listed.scan, channels.intensity, channels.colour)) {
        readProblem = "scan " + std::to_string(listed.indexInFile) + ": " + reader.error();
        return false;
    }
    decoded.intensity = channels.intensity && reader.fields().intensity >= 0;
    decoded.colour = channels.colour && reader.fields().colour[0] >= 0;
    const std::size_t size = std::size_t(batchRecords) + 1;
    for (std::size_t v = 0; v < ValueCount; ++v) {
        const bool used =
            v <= Z || (v == Intensity && decoded.intensity) || (v >= Red && decoded.colour);
        stage[v].resize(used ? size : 0);
    }
    stageBegin = stageEnd = 0;
    reading = true;
    return true;
}

bool ScanSourceE57::refill()
{
    if (!readProblem.empty() || reader.recordsLeft() == 0)
        return false;
    // What is left (at most one point when called for) moves to the front.
    const std::int64_t left = staged();
    for (std::vector<double>& values : stage) {
        for (std::int64_t k = 0; k < left && !values.empty(); ++k)
            values[std::size_t(k)] = values[std::size_t(stageBegin + k)];
    }
    stageBegin = 0;
    stageEnd = left;
    const auto at = [this](Value v) {
        return stage[v].empty() ? nullptr : stage[v].data() + stageEnd;
    };
    e57::PointReader::Output out;
    out.x = at(X);
    out.y = at(Y);
    out.z = at(Z);
    out.intensity = at(Intensity);
    out.colour[0] = at(Red);
    out.colour[1] = at(Green);
    out.colour[2] = at(Blue);
    const std::int64_t records = std::min<std::int64_t>(
        {batchRecords, reader.recordsLeft(), std::int64_t(stage[X].size()) - stageEnd});
    const std::int64_t kept = reader.read(std::size_t(records), out);
    if (kept < 0) {
        readProblem = reader.error();
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
        noteDamage(currentScan,
                   QT_TRANSLATE_NOOP("ScanNote",
                                     "Scan %1: skipped %2 points whose coordinates are not finite"),
                   {std::to_string(currentScan), std::to_string(reader.nonFiniteRecords())});
    }
}

ScanSource::ReadStep ScanSourceE57::readNext(const ReadRequest& request, ScanChunk& piece)
{
    if (!restartIfPending(request.scan))
        return ReadStep::End;
    const std::string where = "E57 file " + printable(file->path()) + ": ";
    if (!reading && !startReading(request.channels))
        return readError(request.scan, where + readProblem);
    const std::int64_t capacity =
        std::min<std::int64_t>(maxChunkPoints, staged() + reader.recordsLeft());
    if (capacity == 0) {
        reportScanEnd();
        return ReadStep::End;
    }
    const bool withIntensity = decoded.intensity && request.channels.intensity;
    const bool withColour = decoded.colour && request.channels.colour;

    // The last full chunk is filled again when nobody but this reader holds it (the engine
    // lets go of each chunk before it asks for the next): that spares a fresh allocation
    // and its page faults. A chunk a caller still holds is never written again.
    cv::Mat points;
    if (lastChunk.u && lastChunk.cols == capacity && lastChunk.u->refcount == 1)
        points = lastChunk;
    else
        points.create(4, int(capacity), CV_64F);
    cv::Mat intensity;
    cv::Mat colour;
    if (withIntensity)
        intensity.create(1, int(capacity), CV_32F);
    if (withColour)
        colour.create(3, int(capacity), CV_8U);
    double* const rows[3] = {points.ptr<double>(0), points.ptr<double>(1), points.ptr<double>(2)};
    double low[3] = {0, 0, 0};
    double high[3] = {1, 1, 1};
    if (withColour) {
        const e57::Scan& scan = scans[std::size_t(currentScan)].scan;
        for (int c = 0; c < 3; ++c) {
            const e57::Field& f = scan.points.fields[std::size_t(reader.fields().colour[c])];
            if (!f.range(low[c], high[c])) {
                low[c] = 0.0;
                high[c] = 1.0;
            }
        }
    }

    std::int64_t n = 0;
    while (n < capacity) {
        if (staged() == 0) {
            // While a whole batch fits, its points go straight into the chunk; the staging
            // arrays take the batch that would overfill it, and the channels.
            if (!decoded.intensity && !decoded.colour && capacity - n >= batchRecords &&
                reader.recordsLeft() > 0 && readProblem.empty()) {
                e57::PointReader::Output out;
                out.x = rows[0] + n;
                out.y = rows[1] + n;
                out.z = rows[2] + n;
                const std::int64_t kept =
                    reader.read(std::size_t(std::min(batchRecords, reader.recordsLeft())), out);
                if (kept < 0) {
                    readProblem = reader.error();
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
        for (int c = 0; c < 3; ++c)
            std::memcpy(rows[c] + n, stage[std::size_t(c)].data() + from,
                        std::size_t(take) * sizeof(double));
        if (withIntensity) {
            float* to = intensity.ptr<float>(0) + n;
            for (std::int64_t k = 0; k < take; ++k)
                to[k] = float(stage[Intensity][from + std::size_t(k)]);
        }
        if (withColour) {
            for (int c = 0; c < 3; ++c) {
                std::uint8_t* to = colour.ptr<std::uint8_t>(c) + n;
                const double* values = stage[Red + std::size_t(c)].data() + from;
                for (std::int64_t k = 0; k < take; ++k)
                    to[k] = colourByte(values[k], low[c], high[c]);
            }
        }
        stageBegin += take;
        n += take;
    }
    if (!readProblem.empty())
        return readError(request.scan, where + readProblem);
    // After a full chunk, enough is decoded to tell whether a single point is left.
    if (n == capacity) {
        while (staged() < 2 && refill()) {
        }
        if (!readProblem.empty())
            return readError(request.scan, where + readProblem);
    }
    std::fill_n(points.ptr<double>(3), std::size_t(n), 1.0);

    const bool last = staged() == 0 && reader.recordsLeft() == 0;
    if (last)
        reportScanEnd();
    if (n > 0) {
        if (n == capacity) {
            lastChunk = points;
            piece.points = points;
        } else {
            piece.points = points.colRange(0, int(n)).clone(); // points were left out
        }
        const auto cut = [n](const cv::Mat& m) {
            return n == m.cols ? m : m.colRange(0, int(n)).clone();
        };
        if (withIntensity)
            piece.intensity = cut(intensity);
        if (withColour)
            piece.colour = cut(colour);
    }
    return last ? ReadStep::LastChunk : ReadStep::Chunk;
}

qint64 ScanSourceE57::pointsLeft(int i) const
{
    if (i != currentScan || !reading || !readProblem.empty())
        return -1;
    return reader.recordsLeft() == 0 ? staged() : -1;
}

} // namespace orthaven
