#include "scan/ScanSource.h"

#include "diag/Diagnostics.h"

#include <algorithm>

namespace orthaven {

namespace {

int pointCount(const ScanChunk& chunk)
{
    return chunk.points.empty() ? 0 : chunk.points.cols;
}

ScanChunk placeholderScanChunk()
{
    ScanChunk chunk;
    chunk.points = ScanSource::placeholderChunk();
    return chunk;
}

// A channel goes along only when both sides carry it for all of their points.
cv::Mat joinChannel(const cv::Mat& a, int countA, const cv::Mat& b, int countB)
{
    if (a.empty() || b.empty() || a.cols != countA || b.cols != countB || a.rows != b.rows ||
        a.type() != b.type())
        return {};
    cv::Mat joined;
    cv::hconcat(a, b, joined);
    return joined;
}

// Appends piece to gathered. Copies only when both hold points, which the chunk rules need
// rarely (a lone point, a lone last point).
void append(ScanChunk& gathered, ScanChunk&& piece)
{
    const int have = pointCount(gathered);
    const int more = pointCount(piece);
    if (more == 0)
        return;
    if (have == 0) {
        gathered = std::move(piece);
        return;
    }
    ScanChunk joined;
    cv::hconcat(gathered.points, piece.points, joined.points);
    joined.intensity = joinChannel(gathered.intensity, have, piece.intensity, more);
    joined.colour = joinChannel(gathered.colour, have, piece.colour, more);
    gathered = std::move(joined);
}

// Columns [from, to) of a channel, continuous, or nothing when the channel is absent.
cv::Mat columns(const cv::Mat& m, int from, int to)
{
    if (m.empty() || m.cols < to)
        return {};
    return m.colRange(from, to).clone();
}

ScanChunk slice(const ScanChunk& chunk, int from, int to)
{
    ScanChunk part;
    part.points = columns(chunk.points, from, to);
    part.intensity = columns(chunk.intensity, from, to);
    part.colour = columns(chunk.colour, from, to);
    return part;
}

} // namespace

ScanSource::~ScanSource() = default;

void ScanSource::recordError(const char* operation, int scan, std::string_view what) const
{
    // Nothing may leave from here either: the door promised its caller no exception.
    try {
        ++errors;
        std::string line = std::string("ScanSource::") + operation + " failed";
        if (scan >= 0)
            line += " for scan " + std::to_string(scan);
        line += ": ";
        line += what;
        lastErrorText = std::string(what);
        diag::error(line);
    } catch (...) {
    }
}

ScanSource::ReadStep ScanSource::readError(int scan, std::string_view text)
{
    recordError("readPoints", scan, text);
    return ReadStep::Error;
}

void ScanSource::noteDamage(int scan, std::string text)
{
    diag::warning(text);
    ScanNote note(scan, std::move(text));
    if (std::find(scanNotes.begin(), scanNotes.end(), note) == scanNotes.end())
        scanNotes.push_back(std::move(note));
}

void ScanSource::noteDamage(int scan, const char* format,
                            std::initializer_list<std::string> arguments)
{
    // "%1" … "%9" in one pass, so an argument holding "%2" stays as it is.
    const std::vector<std::string> values(arguments);
    std::string text;
    for (const char* p = format; *p; ++p) {
        const int k = p[0] == '%' && p[1] >= '1' && p[1] <= '9' ? p[1] - '1' : -1;
        if (k >= 0 && std::size_t(k) < values.size()) {
            text += values[std::size_t(k)];
            ++p;
        } else {
            text += *p;
        }
    }
    diag::warning(text);
    ScanNote note(scan, std::move(text), format, values);
    if (std::find(scanNotes.begin(), scanNotes.end(), note) == scanNotes.end())
        scanNotes.push_back(std::move(note));
}

void ScanSource::resetReading()
{
    reading = ReadState();
}

bool ScanSource::fetchFiles(const QStringList& files)
{
    resetReading();
    scanNotes.clear();
    emptyFiles.clear();
    bool found = false;
    if (!guard("fetchFiles", -1, [&] { found = findScans(files); })) {
        numScans = 0; // half a listing is no listing
        return false;
    }
    return found;
}

int ScanSource::scanCount() const
{
    return numScans;
}

bool ScanSource::scanNames(QStringList& names) const
{
    QStringList found = names;
    if (!guard("scanNames", -1, [&] { nameScans(found); })) {
        names.clear();
        return false;
    }
    names = found;
    return true;
}

bool ScanSource::openScan(int i)
{
    resetReading();
    bool opened = false;
    return guard("openScan", i, [&] { opened = open(i); }) && opened;
}

bool ScanSource::closeScan(int i)
{
    resetReading();
    bool closed = false;
    return guard("closeScan", i, [&] { closed = close(i); }) && closed;
}

bool ScanSource::isScanOpen(int i) const
{
    bool answer = false;
    return guard("isScanOpen", i, [&] { answer = isOpen(i); }) && answer;
}

void ScanSource::rewindPoints()
{
    rewindPending = true;
    resetReading();
    guard("rewindPoints", -1, [&] { rewound(); });
}

bool ScanSource::scanDimensions(int i, int& rows, int& columns)
{
    bool known = false;
    if (!guard("scanDimensions", i, [&] { known = dimensionsOf(i, rows, columns); })) {
        rows = 0;
        columns = 0;
        return false;
    }
    return known;
}

bool ScanSource::scanPose(int i, cv::Mat& pose) const
{
    bool known = false;
    return guard("scanPose", i, [&] { known = poseOf(i, pose); }) && known;
}

bool ScanSource::scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const
{
    cv::Mat pose;
    if (!scanPose(i, pose) || pose.rows != 4 || pose.cols != 4 || pose.type() != CV_64F)
        return false;
    splitPose(pose, rotation, translation);
    return true;
}

bool ScanSource::hasPosition(int i) const
{
    bool known = true;
    return !guard("hasPosition", i, [&] { known = positionKnown(i); }) || known;
}

bool ScanSource::scanBounds(int i, cv::Vec3d& low, cv::Vec3d& high) const
{
    cv::Vec3d a;
    cv::Vec3d b;
    bool known = false;
    if (!guard("scanBounds", i, [&] { known = boundsOf(i, a, b); }) || !known)
        return false;
    low = a;
    high = b;
    return true;
}

bool ScanSource::readPoints(int i, cv::Mat& chunk, int maxColumns)
{
    ScanChunk out;
    const bool more = readPoints(i, out, maxColumns, {});
    chunk = out.points;
    return more;
}

bool ScanSource::readPoints(int i, ScanChunk& chunk, int maxColumns, PointChannels channels)
{
    bool more = false;
    if (!guard("readPoints", i, [&] { more = readChunk(i, chunk, maxColumns, channels); })) {
        // A scan whose reading failed ends here; its position is not to be trusted.
        reading.scan = i;
        reading.ended = true;
        reading.tail = {};
        chunk = placeholderScanChunk();
        return false;
    }
    return more;
}

bool ScanSource::readChunk(int i, ScanChunk& chunk, int maxColumns, PointChannels channels)
{
    if (reading.scan != i) {
        resetReading();
        reading.scan = i;
    }
    if (reading.ended) {
        chunk = placeholderScanChunk();
        return false;
    }
    if (pointCount(reading.tail) >= 2) {
        chunk = std::move(reading.tail);
        reading.tail = {};
        const bool more = reading.tailMore;
        reading.ended = !more;
        return more;
    }

    const ReadRequest request{i, maxColumns, channels};
    ScanChunk gathered;
    int largestPiece = 0;   // the most points one step delivered: the reader's chunk size
    bool lastChunk = false; // the reader said these are the scan's last points
    bool ended = false;     // ... or that nothing follows
    bool loneLastPoint = false;
    for (;;) {
        ScanChunk piece;
        const ReadStep step = readNext(request, piece);
        if (step == ReadStep::Error) {
            reading.ended = true;
            chunk = placeholderScanChunk();
            return false;
        }
        if (step == ReadStep::End) {
            ended = true;
            break;
        }
        largestPiece = std::max(largestPiece, pointCount(piece));
        append(gathered, std::move(piece));
        if (step == ReadStep::LastChunk) {
            lastChunk = true;
            ended = true;
            break;
        }
        if (loneLastPoint)
            break;
        // Fewer than two points would end the scan for the caller: read on.
        if (pointCount(gathered) < 2)
            continue;
        if (pointsLeft(i) != 1)
            break;
        loneLastPoint = true;
    }

    const int n = pointCount(gathered);
    if (n < 2) {
        // Nothing, or a scan of a single point in all: no chunk can carry it.
        reading.ended = true;
        chunk = placeholderScanChunk();
        return false;
    }
    // Joined pieces may hold more than the reader hands out at once: the rest waits for
    // the next call, and at least two points of it, so that it is never a lone point.
    int deliver = n;
    if (largestPiece >= 2 && n > largestPiece) {
        deliver = n - largestPiece == 1 ? largestPiece - 1 : largestPiece;
        if (deliver < 2)
            deliver = n;
    }
    if (deliver < n) {
        chunk = slice(gathered, 0, deliver);
        reading.tail = slice(gathered, deliver, n);
        reading.tailMore = !lastChunk;
        return true;
    }
    chunk = std::move(gathered);
    reading.ended = ended;
    return !lastChunk;
}

bool ScanSource::dimensionsOf(int, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    return false;
}

bool ScanSource::positionKnown(int) const
{
    return true;
}

bool ScanSource::boundsOf(int, cv::Vec3d&, cv::Vec3d&) const
{
    return false;
}

qint64 ScanSource::pointsLeft(int) const
{
    return -1;
}

void ScanSource::rewound() {}

GridScanSource* ScanSource::grid()
{
    return dynamic_cast<GridScanSource*>(this);
}

const GridScanSource* ScanSource::grid() const
{
    return dynamic_cast<const GridScanSource*>(this);
}

cv::Mat ScanSource::placeholderChunk()
{
    return cv::Mat::ones(4, 1, CV_64F);
}

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

bool ScanSource::storedPose(const std::vector<cv::Mat>& poses, int i, cv::Mat& pose)
{
    if (i < 0 || std::size_t(i) >= poses.size())
        return false;
    pose = poses[std::size_t(i)];
    return true;
}

// GridScanSource

bool GridScanSource::readPolarDataFromScan(int i, cv::Mat& polar, int columns)
{
    // The scan's position moves under the chunk rules: what they held back is stale.
    resetReading();
    bool more = false;
    return guard("readPolarDataFromScan", i, [&] { more = polarColumns(i, polar, columns); }) &&
           more;
}

bool GridScanSource::readPointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    resetReading();
    bool more = false;
    return guard("readPointList", i, [&] { more = pointList(i, list, maxColumns); }) && more;
}

bool GridScanSource::readPolarPointList(int i, std::vector<cv::Mat>& list, int maxColumns)
{
    resetReading();
    bool more = false;
    return guard("readPolarPointList", i, [&] { more = polarPointList(i, list, maxColumns); }) &&
           more;
}

bool GridScanSource::polarPointList(int, std::vector<cv::Mat>&, int)
{
    return false;
}

bool GridScanSource::readColumnSample(int i, cv::Mat& points, int stride, int maxColumns)
{
    resetReading();
    bool more = false;
    const bool done = guard("readColumnSample", i, [&] {
        more = sampleColumns(i, points, std::max(stride, 1), std::max(maxColumns, 1));
    });
    // The position moved under the chunk rules, as with the polar reads.
    resetReading();
    return done && more;
}

bool GridScanSource::sampleColumns(int i, cv::Mat& points, int stride, int maxColumns)
{
    std::vector<cv::Mat> taken;
    bool more = true;
    for (int c = 0; c < maxColumns && more; ++c) {
        cv::Mat column;
        more = readPoints(i, column, 1);
        if (column.cols >= 2)
            taken.push_back(column);
        for (int k = 1; k < stride && more; ++k) {
            cv::Mat passed;
            more = readPoints(i, passed, 1);
        }
    }
    if (taken.empty())
        points = cv::Mat(4, 0, CV_64F);
    else
        cv::hconcat(taken, points);
    return more;
}

bool GridScanSource::computeScanDepthImage(int i, cv::Mat& depth)
{
    const int errorsBefore = errorCount();
    if (!openScan(i))
        return false;
    diag::debug("Compute ScanDepthImage");
    int rows = 0;
    int columns = 0;
    scanDimensions(i, rows, columns);
    cv::Mat image;
    if (rows > 0 && columns > 0)
        image = cv::Mat::zeros(rows, columns, CV_64F);

    cv::Mat polar;
    for (int c = 0; c < columns && rows > 0 && errorCount() == errorsBefore; ++c) {
        polar.release();
        readPolarDataFromScan(i, polar, 1);
        // A column that came back short leaves the rest of its ranges at 0.
        const int available = polar.rows >= 1 ? std::min(rows, polar.cols) : 0;
        for (int j = 0; j < available; ++j)
            image.at<double>(j, c) = polar.at<double>(0, j);
    }
    rewindPoints();
    // A reader that failed on the way gives no half image.
    if (errorCount() != errorsBefore)
        return false;
    depth = image;
    return true;
}

} // namespace orthaven
