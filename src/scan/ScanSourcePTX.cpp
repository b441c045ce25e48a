#include "scan/ScanSourcePTX.h"

#include "scan/TextLineReader.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <string_view>

namespace orthaven {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

const char* skipBlanks(const char* p, const char* end)
{
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

// One number of a PTX line: optional blanks, then a finite decimal number that ends at a
// blank or at the end of the line ("1.5x" and "1,5" are not numbers here).
bool parseNumber(const char*& p, const char* end, double& value)
{
    const char* start = skipBlanks(p, end);
    if (start < end && *start == '+') {
        ++start; // the C++ stream accepts a leading plus; fast_float does not
        if (start < end && *start == '-')
            return false;
    }
    const fast_float::from_chars_result r = fast_float::from_chars(start, end, value);
    if (r.ec != std::errc() || r.ptr == start)
        return false;
    if (r.ptr < end && !isBlank(*r.ptr))
        return false;
    if (!std::isfinite(value))
        return false;
    p = r.ptr;
    return true;
}

// x, y, z are the first three numbers of a point line; intensity and colour may follow.
bool parsePoint(std::string_view line, double& x, double& y, double& z)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    return parseNumber(p, end, x) && parseNumber(p, end, y) && parseNumber(p, end, z);
}

// A count line holds one whole number from 0 to the largest int, blanks around it allowed.
bool parseCount(std::string_view line, int& count)
{
    const char* p = skipBlanks(line.data(), line.data() + line.size());
    const char* const end = line.data() + line.size();
    if (p < end && *p == '+')
        ++p;
    if (p == end || *p < '0' || *p > '9')
        return false;
    qint64 value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > std::numeric_limits<int>::max())
            return false;
        ++p;
    }
    if (skipBlanks(p, end) != end)
        return false;
    count = int(value);
    return true;
}

// A pose line holds exactly four numbers.
bool parsePoseLine(std::string_view line, double (&values)[4])
{
    const char* p = line.data();
    const char* const end = p + line.size();
    for (double& v : values) {
        if (!parseNumber(p, end, v))
            return false;
    }
    return skipBlanks(p, end) == end;
}

std::string printable(const QString& path)
{
    return path.toStdString();
}

} // namespace

ScanSourcePTX::ScanSourcePTX() = default;

ScanSourcePTX::~ScanSourcePTX() = default;

ScanSourcePTX::HeaderResult ScanSourcePTX::readHeader(TextLineReader& in, Header& header,
                                                      qint64& position) const
{
    // Blank lines before a header (or after the last scan) are not a header.
    if (!in.skipWhitespace()) {
        std::cout << "EOF detect" << std::endl;
        return HeaderResult::AtEnd;
    }
    position = in.offset();
    const std::string where =
        " at byte " + std::to_string(position) + " of " + printable(in.path());

    std::string_view line;
    int counts[2] = {0, 0};
    for (int& count : counts) {
        const TextLineReader::LineStatus status = in.nextLine(line);
        if (status == TextLineReader::LineStatus::End) {
            std::cout << "PTX header incomplete" << where << std::endl;
            return HeaderResult::Incomplete;
        }
        if (status != TextLineReader::LineStatus::Line || !parseCount(line, count)) {
            std::cout << "PTX header invalid" << where
                      << ": lines 1 and 2 must hold whole numbers from 0 to "
                      << std::numeric_limits<int>::max() << std::endl;
            return HeaderResult::Invalid;
        }
    }
    header.columnCount = counts[0];
    header.rowCount = counts[1];
    // Printed in file order: line 1, then line 2.
    std::cout << "Header = " << counts[0] << " " << counts[1] << std::endl;

    // Lines 3-6 (scanner position and axes) repeat what the pose says, or disagree with it
    // in some exports; only lines 7-10 describe the registration.
    for (int k = 0; k < 4; ++k) {
        if (in.nextLine(line) == TextLineReader::LineStatus::End) {
            std::cout << "PTX header incomplete" << where << std::endl;
            return HeaderResult::Incomplete;
        }
    }
    // Doubles, not floats: a georeferenced translation such as 500000.123 would lose
    // centimetres in a 32-bit float.
    cv::Mat pose = cv::Mat::zeros(4, 4, CV_64F);
    for (int k = 0; k < 4; ++k) {
        const TextLineReader::LineStatus status = in.nextLine(line);
        if (status == TextLineReader::LineStatus::End) {
            std::cout << "PTX header incomplete" << where << std::endl;
            return HeaderResult::Incomplete;
        }
        double values[4];
        if (status != TextLineReader::LineStatus::Line || !parsePoseLine(line, values)) {
            std::cout << "PTX header invalid" << where << ": line " << 7 + k
                      << " must hold four numbers" << std::endl;
            return HeaderResult::Invalid;
        }
        // Line 7 + k is column k of the pose, so line 10 holds the translation.
        for (int r = 0; r < 4; ++r)
            pose.at<double>(r, k) = values[r];
    }
    header.pose = pose;
    return HeaderResult::Read;
}

bool ScanSourcePTX::fetchFiles(const QStringList& files)
{
    if (currentScan != -1)
        closeScan(currentScan);
    fileList = files;
    scanHeaderPositions.clear();
    rowCounts.clear();
    columnCounts.clear();
    poses.clear();
    pointLinesPresent.clear();

    TextLineReader in;
    for (const QString& path : fileList) {
        QList<qint64> positions;
        if (!in.open(path)) {
            std::cout << "Cannot open PTX file " << printable(path) << std::endl;
            scanHeaderPositions.append(positions);
            continue;
        }
        for (;;) {
            Header header;
            qint64 position = 0;
            if (readHeader(in, header, position) != HeaderResult::Read)
                break;
            positions.append(position);
            rowCounts.append(header.rowCount);
            columnCounts.append(header.columnCount);
            poses.push_back(header.pose);
            // Only the product matters for finding the next header.
            const qint64 expected = qint64(header.rowCount) * header.columnCount;
            const qint64 present = in.skipLines(expected);
            pointLinesPresent.append(present);
            if (present < expected) {
                std::cout << "PTX scan " << poses.size() - 1 << " in " << printable(path)
                          << " ends after " << present << " of " << expected << " point lines"
                          << std::endl;
            }
            if (in.readFailed())
                break;
        }
        if (in.readFailed())
            std::cout << "Read error in PTX file " << printable(path) << std::endl;
        in.close();
        scanHeaderPositions.append(positions);
    }
    numScans = int(poses.size());
    return true;
}

bool ScanSourcePTX::locateScan(int i, int& fileIndex, qint64& position) const
{
    if (i < 0 || i >= numScans)
        return false;
    int first = 0;
    for (int f = 0; f < scanHeaderPositions.size(); ++f) {
        const QList<qint64>& positions = scanHeaderPositions[f];
        if (i < first + positions.size()) {
            fileIndex = f;
            position = positions[i - first];
            return true;
        }
        first += int(positions.size());
    }
    return false;
}

void ScanSourcePTX::scanNames(QStringList& names) const
{
    names.clear();
    for (int f = 0; f < scanHeaderPositions.size() && f < fileList.size(); ++f) {
        for (int j = 0; j < scanHeaderPositions[f].size(); ++j) {
            names.append(fileList[f] + QStringLiteral(" (") +
                         QStringLiteral("%1").arg(j, 3, 10, QLatin1Char('0')) +
                         QStringLiteral(")"));
        }
    }
}

bool ScanSourcePTX::openScan(int i)
{
    int fileIndex = 0;
    qint64 position = 0;
    if (!locateScan(i, fileIndex, position))
        return false;
    std::cout << "Load Scan " << i << " getFileInd = " << fileIndex << " Position = " << position
              << std::endl;
    if (currentScan != -1 && currentScan != i)
        closeScan(currentScan);

    currentScan = i;
    if (!stream)
        stream = std::make_unique<TextLineReader>();
    Header header;
    qint64 headerPosition = 0;
    const bool ready = stream->open(fileList[fileIndex]) && stream->seek(position) &&
                       readHeader(*stream, header, headerPosition) == HeaderResult::Read &&
                       headerPosition == position;
    if (!ready) {
        // The file changed or vanished since it was indexed. Nothing is open then, so
        // isScanOpen does not claim a scan that cannot be read.
        stream.reset();
        currentScan = -1;
        return false;
    }
    openColumnCount = header.columnCount;
    openRowCount = header.rowCount;
    openPointLines = qint64(openRowCount) * openColumnCount;
    rewindPending = false;
    pointsDelivered = 0;
    linesConsumed = 0;
    skippedLines = 0;
    endReported = false;
    return true;
}

bool ScanSourcePTX::closeScan(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    stream.reset();
    currentScan = -1;
    return true;
}

bool ScanSourcePTX::isScanOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

void ScanSourcePTX::rewindPoints()
{
    rewindPending = true;
    pointsDelivered = 0;
}

bool ScanSourcePTX::scanDimensions(int i, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (i < 0 || i >= numScans)
        return false;
    rows = rowCounts[i];
    columns = columnCounts[i];
    const qint64 present = pointLinesPresent[i];
    if (present < qint64(rows) * columns) {
        // A scan cut short: the columns its lines reach, so that a depth image is sized
        // by what the file holds, not by what a damaged header claims.
        rows = int(std::min<qint64>(rows, present));
        columns = rows > 0 ? int((present + rowCounts[i] - 1) / rowCounts[i]) : 0;
    }
    return true;
}

bool ScanSourcePTX::restartIfPending(int i)
{
    if (rewindPending) {
        rewindPending = false;
        closeScan(i);
        openScan(i);
    }
    return stream && currentScan == i;
}

bool ScanSourcePTX::scanHasMore()
{
    return linesConsumed < openPointLines && !stream->atEnd();
}

void ScanSourcePTX::reportScanEnd()
{
    if (endReported)
        return;
    endReported = true;
    if (skippedLines > 0) {
        std::cout << "Scan " << currentScan << ": skipped " << skippedLines
                  << " malformed point lines" << std::endl;
    }
}

template <class Take>
qint64 ScanSourcePTX::readPointLines(qint64 capacity, Take take, bool malformedTakesPlace)
{
    qint64 n = 0;
    std::string_view line;
    double x = 0;
    double y = 0;
    double z = 0;
    while (n < capacity && linesConsumed < openPointLines) {
        const TextLineReader::LineStatus status = stream->nextLine(line);
        if (status == TextLineReader::LineStatus::End)
            break;
        ++linesConsumed;
        // A line without three numbers keeps its place in the grid but yields no point:
        // inventing coordinates for it would put a point where the scanner saw none.
        if (status != TextLineReader::LineStatus::Line || !parsePoint(line, x, y, z)) {
            ++skippedLines;
            if (malformedTakesPlace) {
                take(n, false, 0.0, 0.0, 0.0);
                ++n;
            }
            continue;
        }
        take(n, true, x, y, z);
        ++n;
    }
    return n;
}

namespace {

// Points a chunk may take: the scan's remaining lines, at most maxChunkPoints. A scan
// that would leave a single line for the last chunk gets one point less in this one,
// since a chunk of one point is the end-of-scan placeholder and its point would be lost.
qint64 chunkCapacity(qint64 remainingLines)
{
    const qint64 limit = ScanSource::maxChunkPoints;
    if (remainingLines == limit + 1)
        return limit - 1;
    return std::clamp<qint64>(remainingLines, 0, limit);
}

} // namespace

bool ScanSourcePTX::readPoints(int i, cv::Mat& chunk, int)
{
    if (!restartIfPending(i)) {
        chunk = placeholderChunk();
        return false;
    }
    const qint64 capacity = chunkCapacity(openPointLines - linesConsumed);
    // A fresh matrix on every call: a caller may still hold the previous chunk.
    cv::Mat points(4, int(std::max<qint64>(capacity, 1)), CV_64F);
    double* const xs = points.ptr<double>(0);
    double* const ys = points.ptr<double>(1);
    double* const zs = points.ptr<double>(2);
    double* const ws = points.ptr<double>(3);
    const qint64 n = readPointLines(capacity, [&](qint64 k, bool, double x, double y, double z) {
        xs[k] = x;
        ys[k] = y;
        zs[k] = z;
        ws[k] = 1.0;
    });
    pointsDelivered += n;

    if (n < 2)
        chunk = placeholderChunk();
    else if (n == points.cols)
        chunk = points;
    else
        chunk = points.colRange(0, int(n)).clone(); // lines were skipped; keep it continuous

    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

bool ScanSourcePTX::readPointList(int i, std::vector<cv::Mat>& list, int)
{
    list.clear();
    if (!restartIfPending(i))
        return false;
    const qint64 capacity = chunkCapacity(openPointLines - linesConsumed);
    list.reserve(std::size_t(capacity));
    const qint64 n = readPointLines(capacity, [&](qint64, bool, double x, double y, double z) {
        list.push_back((cv::Mat_<double>(4, 1) << x, y, z, 1.0));
    });
    pointsDelivered += n;
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

bool ScanSourcePTX::readPolarDataFromScan(int i, cv::Mat& polar, int columns)
{
    if (!restartIfPending(i))
        return false;
    const qint64 wanted = qint64(std::max(columns, 0)) * openRowCount;
    if (wanted <= 0)
        return scanHasMore();
    // Never more than maxChunkPoints at once, and never past the end of the scan.
    const qint64 capacity =
        std::min<qint64>({wanted, ScanSource::maxChunkPoints, openPointLines - linesConsumed});
    cv::Mat values(3, int(std::max<qint64>(capacity, 1)), CV_64F);
    double* const ranges = values.ptr<double>(0);
    double* const polarAngles = values.ptr<double>(1);
    double* const azimuths = values.ptr<double>(2);
    // Unlike readPoints, a malformed line keeps its place here (as NaN), so that a scan
    // column stays a scan column in the depth image.
    const qint64 k = readPointLines(
        capacity,
        [&](qint64 n, bool valid, double x, double y, double z) {
            if (!valid) {
                const double nan = std::numeric_limits<double>::quiet_NaN();
                ranges[n] = nan;
                polarAngles[n] = nan;
                azimuths[n] = nan;
                return;
            }
            const double r = std::sqrt(x * x + y * y + z * z);
            ranges[n] = r;
            polarAngles[n] = std::acos(z / r);
            azimuths[n] = std::atan2(y, x);
        },
        true);
    if (k == 0)
        polar = cv::Mat();
    else if (k == values.cols)
        polar = values;
    else
        polar = values.colRange(0, int(k)).clone();

    // The scan (or its file) ended before the columns asked for.
    if (k < std::min<qint64>(wanted, ScanSource::maxChunkPoints))
        std::cout << "ERROR in ScanSourcePTX::readPolarDataFromScan" << std::endl;
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

void ScanSourcePTX::scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const
{
    storedPoseParts(poses, i, rotation, translation);
}

void ScanSourcePTX::scanPose(int i, cv::Mat& pose) const
{
    storedPose(poses, i, pose);
}

} // namespace orthaven
