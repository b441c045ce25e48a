#include "scan/ScanSourcePTX.h"

#include "diag/Diagnostics.h"
#include "scan/PtxBlockParser.h"
#include "scan/PtxLine.h"
#include "scan/TextLineReader.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <string_view>
#include <thread>

namespace orthaven {

namespace {

using ptx::countChannelNumbers;
using ptx::parseNumber;
using ptx::parsePoint;
using ptx::skipBlanks;

// The intensity after x, y, z (NaN when the line has none) and, when colour is not null,
// the colour after it (0 0 0 when the line has none), each value rounded into 0 … 255.
void parseChannels(const char* p, const char* end, float& intensity, std::uint8_t* colour)
{
    double value = 0;
    const bool found = parseNumber(p, end, value);
    intensity = found ? float(value) : std::numeric_limits<float>::quiet_NaN();
    if (!colour)
        return;
    double rgb[3] = {0, 0, 0};
    bool complete = found;
    for (double& c : rgb)
        complete = complete && parseNumber(p, end, c);
    for (int k = 0; k < 3; ++k)
        colour[k] = complete ? std::uint8_t(std::lround(std::clamp(rgb[k], 0.0, 255.0))) : 0;
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
        diag::debug("EOF detect");
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
            diag::warning("PTX header incomplete", where);
            return HeaderResult::Incomplete;
        }
        if (status != TextLineReader::LineStatus::Line || !parseCount(line, count)) {
            diag::warning("PTX header invalid", where,
                          ": lines 1 and 2 must hold whole numbers from 0 to ",
                          std::numeric_limits<int>::max());
            return HeaderResult::Invalid;
        }
    }
    header.columnCount = counts[0];
    header.rowCount = counts[1];
    // Printed in file order: line 1, then line 2.
    diag::debug("Header = ", counts[0], " ", counts[1]);

    // Lines 3-6 (scanner position and axes) repeat what the pose says, or disagree with it
    // in some exports; only lines 7-10 describe the registration.
    for (int k = 0; k < 4; ++k) {
        if (in.nextLine(line) == TextLineReader::LineStatus::End) {
            diag::warning("PTX header incomplete", where);
            return HeaderResult::Incomplete;
        }
    }
    // Doubles, not floats: a georeferenced translation such as 500000.123 would lose
    // centimetres in a 32-bit float.
    cv::Mat pose = cv::Mat::zeros(4, 4, CV_64F);
    for (int k = 0; k < 4; ++k) {
        const TextLineReader::LineStatus status = in.nextLine(line);
        if (status == TextLineReader::LineStatus::End) {
            diag::warning("PTX header incomplete", where);
            return HeaderResult::Incomplete;
        }
        double values[4];
        if (status != TextLineReader::LineStatus::Line || !parsePoseLine(line, values)) {
            diag::warning("PTX header invalid", where, ": line ", 7 + k, " must hold four numbers");
            return HeaderResult::Invalid;
        }
        // Line 7 + k is column k of the pose, so line 10 holds the translation.
        for (int r = 0; r < 4; ++r)
            pose.at<double>(r, k) = values[r];
    }
    header.pose = pose;
    return HeaderResult::Read;
}

namespace {

// What the listing of one file found: its scans, and the lines it reported, held so that
// files listed at once report in file order.
struct FileListing
{
    struct Scan
    {
        qint64 position = 0; // of its header
        int rows = 0;
        int columns = 0;
        cv::Mat pose;
        qint64 expected = 0; // point lines
        qint64 present = 0;
        std::size_t linesBefore = 0; // of the held lines: those reported before its end
    };
    std::vector<Scan> scans;
    std::vector<diag::HeldLines::Line> lines;
    std::exception_ptr failure;
};

} // namespace

bool ScanSourcePTX::findScans(const QStringList& files)
{
    if (currentScan != -1)
        close(currentScan);
    fileList = files;
    scanHeaderPositions.clear();
    rowCounts.clear();
    columnCounts.clear();
    poses.clear();
    pointLinesPresent.clear();

    // Each file is read to its end to find its scans; several files are listed at once.
    std::vector<FileListing> listings(std::size_t(fileList.size()));
    const auto list = [&](int f) {
        FileListing& listing = listings[std::size_t(f)];
        const QString& path = fileList.at(f); // not operator[]: it may copy the list
        diag::HeldLines held;
        try {
            TextLineReader in;
            const bool opened = in.open(path);
            if (!opened) {
                diag::error("Cannot open PTX file ", printable(path), ": ",
                            printable(in.openError()));
            }
            while (opened) {
                FileListing::Scan scan;
                Header header;
                if (readHeader(in, header, scan.position) != HeaderResult::Read)
                    break;
                scan.rows = header.rowCount;
                scan.columns = header.columnCount;
                scan.pose = header.pose;
                // Only the product matters for finding the next header.
                scan.expected = qint64(header.rowCount) * header.columnCount;
                scan.present = in.skipLines(scan.expected);
                scan.linesBefore = held.count();
                listing.scans.push_back(std::move(scan));
                if (in.readFailed())
                    break;
            }
            if (in.readFailed())
                diag::error("Read error in PTX file ", printable(path));
        } catch (...) {
            listing.failure = std::current_exception();
        }
        listing.lines = held.take();
    };
    const int threads = std::min(readThreads(), int(fileList.size()));
    if (threads <= 1) {
        for (int f = 0; f < fileList.size(); ++f)
            list(f);
    } else {
        std::atomic<int> next{0};
        std::vector<std::thread> workers;
        for (int k = 0; k < threads; ++k)
            workers.emplace_back([&] {
                for (int f = next++; f < fileList.size(); f = next++)
                    list(f);
            });
        for (std::thread& worker : workers)
            worker.join();
    }

    // In file order: the lines each file reported, a scan's shortfall where it was found.
    for (int f = 0; f < fileList.size(); ++f) {
        FileListing& listing = listings[std::size_t(f)];
        if (listing.failure)
            std::rethrow_exception(listing.failure);
        QList<qint64> positions;
        std::size_t reported = 0;
        const auto reportUpTo = [&](std::size_t end) {
            for (; reported < end; ++reported)
                diag::report(listing.lines[reported].severity, listing.lines[reported].text);
        };
        for (const FileListing::Scan& scan : listing.scans) {
            reportUpTo(scan.linesBefore);
            positions.append(scan.position);
            rowCounts.append(scan.rows);
            columnCounts.append(scan.columns);
            poses.push_back(scan.pose);
            pointLinesPresent.append(scan.present);
            if (scan.present < scan.expected) {
                const int index = int(poses.size()) - 1;
                noteDamage(index,
                           QT_TRANSLATE_NOOP("ScanNote",
                                             "PTX scan %1 in %2 ends after %3 of %4 point lines"),
                           {std::to_string(index), printable(fileList.at(f)),
                            std::to_string(scan.present), std::to_string(scan.expected)});
            }
        }
        reportUpTo(listing.lines.size());
        if (positions.isEmpty())
            noteFileWithoutScans(fileList.at(f));
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

void ScanSourcePTX::nameScans(QStringList& names) const
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

bool ScanSourcePTX::open(int i)
{
    int fileIndex = 0;
    qint64 position = 0;
    if (!locateScan(i, fileIndex, position))
        return false;
    diag::debug("Load Scan ", i, " getFileInd = ", fileIndex, " Position = ", position);
    if (currentScan != -1 && currentScan != i)
        close(currentScan);

    currentScan = i;
    blocks.reset();
    blockAhead.reset();
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
        const QString& path = fileList[fileIndex];
        const std::string shown = QDir::toNativeSeparators(path).toStdString();
        if (!QFileInfo::exists(path))
            noteDamage(i, QT_TRANSLATE_NOOP("ScanNote", "the scan file %1 is missing"), {shown});
        else
            noteDamage(
                i,
                QT_TRANSLATE_NOOP("ScanNote", "the scan file %1 has changed since it was listed"),
                {shown});
        stream.reset();
        currentScan = -1;
        return false;
    }
    openColumnCount = header.columnCount;
    openRowCount = header.rowCount;
    openPointLines = qint64(openRowCount) * openColumnCount;
    rewindPending = false;
    linesConsumed = 0;
    skippedLines = 0;
    endReported = false;
    channelsKnown = false;
    hasIntensity = false;
    hasColour = false;
    // With threads to spare, long stretches of the scan's lines can be parsed in parallel.
    // The block parser opens the file now, beside the line reader, so both read the file
    // that was opened, even if it is replaced meanwhile; a scan without point lines needs
    // none.
    if (readThreads() > 1 && openPointLines > 0) {
        blocksOffset = stream->offset();
        blocksMore = true;
        blocks = std::make_unique<PtxBlockParser>(stream->path(), blocksOffset, readThreads(),
                                                  threadBudget());
        if (!blocks->isOpen())
            blocks.reset();
    }
    return true;
}

bool ScanSourcePTX::close(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    blocks.reset();
    blockAhead.reset();
    stream.reset();
    currentScan = -1;
    return true;
}

bool ScanSourcePTX::isOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

bool ScanSourcePTX::dimensionsOf(int i, int& rows, int& columns)
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
        close(i);
        open(i);
    }
    return stream && currentScan == i;
}

bool ScanSourcePTX::scanHasMore() const
{
    if (blocks)
        return linesConsumed < openPointLines && (blocksMore || blockAhead);
    return linesConsumed < openPointLines && !stream->atEnd();
}

void ScanSourcePTX::leaveBlocks()
{
    if (!blocks)
        return;
    blocks.reset();
    blockAhead.reset();
    stream->seek(blocksOffset);
}

bool ScanSourcePTX::nextBlock(PtxBlockParser::Block& block)
{
    if (blockAhead) {
        block = std::move(*blockAhead);
        blockAhead.reset();
        return true;
    }
    if (linesConsumed >= openPointLines || !blocksMore || !blocks->next(block)) {
        blocksMore = false;
        return false;
    }
    return true;
}

qint64 ScanSourcePTX::linesTaken(const PtxBlockParser::Block& block, qint64& skipped) const
{
    // The block may run past the scan's last line, into the next scan's header.
    const qint64 take = std::min(block.lines, openPointLines - linesConsumed);
    skipped = std::lower_bound(block.malformed.begin(), block.malformed.end(), take) -
              block.malformed.begin();
    return take;
}

cv::Mat ScanSourcePTX::consumeBlock(const PtxBlockParser::Block& block)
{
    qint64 skipped = 0;
    const qint64 take = linesTaken(block, skipped);
    const int points = int(take - skipped);
    if (!channelsKnown && points > 0) {
        hasIntensity = block.firstChannelNumbers >= 1;
        hasColour = block.firstChannelNumbers >= 4;
        channelsKnown = true;
    }
    linesConsumed += take;
    skippedLines += skipped;
    blocksOffset = block.endOffset;
    blocksMore = !block.lastInFile;
    if (points <= 0)
        return {};
    return points == block.points.cols ? block.points : block.points.colRange(0, points).clone();
}

ScanSource::ReadStep ScanSourcePTX::readBlocks(ScanChunk& piece)
{
    PtxBlockParser::Block block;
    if (!nextBlock(block)) {
        reportScanEnd();
        return ReadStep::LastChunk;
    }
    piece.points = consumeBlock(block);
    // A last block of fewer than two points goes out with this one: on its own it would
    // be taken for the end of the scan, and its point would be lost.
    if (scanHasMore()) {
        PtxBlockParser::Block next;
        if (nextBlock(next)) {
            qint64 skipped = 0;
            const qint64 take = linesTaken(next, skipped);
            const bool ends = take == openPointLines - linesConsumed || next.lastInFile;
            if (ends && take - skipped < 2) {
                const cv::Mat more = consumeBlock(next);
                if (!more.empty())
                    piece.points = piece.points.empty() ? more : [&] {
                        cv::Mat joined;
                        cv::hconcat(piece.points, more, joined);
                        return joined;
                    }();
            } else {
                blockAhead = std::move(next);
            }
        }
    }
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more ? ReadStep::Chunk : ReadStep::LastChunk;
}

void ScanSourcePTX::reportScanEnd()
{
    if (endReported)
        return;
    endReported = true;
    if (skippedLines > 0) {
        noteDamage(currentScan,
                   QT_TRANSLATE_NOOP("ScanNote", "Scan %1: skipped %2 malformed point lines"),
                   {std::to_string(currentScan), std::to_string(skippedLines)});
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
        const char* const end = line.data() + line.size();
        const char* rest =
            status == TextLineReader::LineStatus::Line ? parsePoint(line, x, y, z) : nullptr;
        // A line without three numbers keeps its place in the grid but yields no point:
        // inventing coordinates for it would put a point where the scanner saw none.
        if (!rest) {
            ++skippedLines;
            if (malformedTakesPlace) {
                take(n, false, 0.0, 0.0, 0.0, end, end);
                ++n;
            }
            continue;
        }
        if (!channelsKnown) {
            // The first point line tells what the scan's lines carry: a fourth number is
            // the intensity, numbers five to seven the colour.
            const int numbers = countChannelNumbers(rest, end);
            hasIntensity = numbers >= 1;
            hasColour = numbers >= 4;
            channelsKnown = true;
        }
        take(n, true, x, y, z, rest, end);
        ++n;
    }
    return n;
}

ScanSource::ReadStep ScanSourcePTX::readNext(const ReadRequest& request, ScanChunk& piece)
{
    if (!restartIfPending(request.scan))
        return ReadStep::End;
    // Coordinates alone, with threads to spare: long stretches of the file are parsed in
    // parallel and come back in file order.
    if (blocks && !request.channels.intensity && !request.channels.colour)
        return readBlocks(piece);
    leaveBlocks();
    const qint64 capacity =
        std::clamp<qint64>(openPointLines - linesConsumed, 0, ScanSource::maxChunkPoints);
    const int columns = int(std::max<qint64>(capacity, 1));
    // Fresh matrices on every call: a caller may still hold the previous chunk.
    cv::Mat points(4, columns, CV_64F);
    double* const xs = points.ptr<double>(0);
    double* const ys = points.ptr<double>(1);
    double* const zs = points.ptr<double>(2);
    double* const ws = points.ptr<double>(3);
    // Channels are parsed only when asked for, and only for scans that carry them.
    cv::Mat intensity;
    cv::Mat colour;
    if (request.channels.intensity && (!channelsKnown || hasIntensity))
        intensity.create(1, columns, CV_32F);
    if (request.channels.colour && (!channelsKnown || hasColour))
        colour.create(3, columns, CV_8U);
    float* const intensities = intensity.empty() ? nullptr : intensity.ptr<float>(0);
    std::uint8_t* const reds = colour.empty() ? nullptr : colour.ptr<std::uint8_t>(0);
    std::uint8_t* const greens = colour.empty() ? nullptr : colour.ptr<std::uint8_t>(1);
    std::uint8_t* const blues = colour.empty() ? nullptr : colour.ptr<std::uint8_t>(2);

    const qint64 n = readPointLines(capacity, [&](qint64 k, bool, double x, double y, double z,
                                                  const char* rest, const char* end) {
        xs[k] = x;
        ys[k] = y;
        zs[k] = z;
        ws[k] = 1.0;
        if (intensities || reds) {
            float value = 0;
            std::uint8_t rgb[3] = {0, 0, 0};
            parseChannels(rest, end, value, reds ? rgb : nullptr);
            if (intensities)
                intensities[k] = value;
            if (reds) {
                reds[k] = rgb[0];
                greens[k] = rgb[1];
                blues[k] = rgb[2];
            }
        }
    });

    const auto cut = [n](const cv::Mat& m) {
        // Lines were skipped: keep the chunk continuous.
        return n == m.cols ? m : m.colRange(0, int(n)).clone();
    };
    if (n > 0) {
        piece.points = cut(points);
        if (!intensity.empty() && hasIntensity)
            piece.intensity = cut(intensity);
        if (!colour.empty() && hasColour)
            piece.colour = cut(colour);
    }
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more ? ReadStep::Chunk : ReadStep::LastChunk;
}

qint64 ScanSourcePTX::pointsLeft(int i) const
{
    if (!stream || currentScan != i)
        return -1;
    return scanHasMore() ? openPointLines - linesConsumed : 0;
}

bool ScanSourcePTX::pointList(int i, std::vector<cv::Mat>& list, int)
{
    list.clear();
    if (!restartIfPending(i))
        return false;
    leaveBlocks();
    const qint64 capacity =
        std::clamp<qint64>(openPointLines - linesConsumed, 0, ScanSource::maxChunkPoints);
    list.reserve(std::size_t(capacity));
    readPointLines(capacity,
                   [&](qint64, bool, double x, double y, double z, const char*, const char*) {
                       list.push_back((cv::Mat_<double>(4, 1) << x, y, z, 1.0));
                   });
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

bool ScanSourcePTX::polarColumns(int i, cv::Mat& polar, int columns)
{
    if (!restartIfPending(i))
        return false;
    leaveBlocks();
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
        [&](qint64 n, bool valid, double x, double y, double z, const char*, const char*) {
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
        diag::error("ERROR in ScanSourcePTX::readPolarDataFromScan");
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

bool ScanSourcePTX::sampleColumns(int i, cv::Mat& points, int stride, int maxColumns)
{
    if (!restartIfPending(i))
        return false;
    leaveBlocks();
    const qint64 rows = openRowCount;
    // At most maxChunkPoints points: whole columns, or of a longer column its first lines.
    const qint64 taken = std::min<qint64>(rows, ScanSource::maxChunkPoints);
    const qint64 columns =
        taken > 0 ? std::clamp<qint64>(ScanSource::maxChunkPoints / taken, 1, maxColumns) : 0;
    const qint64 capacity = std::clamp<qint64>(openPointLines - linesConsumed, 0, columns * taken);
    cv::Mat buffer(4, int(std::max<qint64>(capacity, 1)), CV_64F);
    double* const xs = buffer.ptr<double>(0);
    double* const ys = buffer.ptr<double>(1);
    double* const zs = buffer.ptr<double>(2);
    double* const ws = buffer.ptr<double>(3);
    qint64 n = 0;
    for (qint64 c = 0; c < columns && scanHasMore(); ++c) {
        const qint64 lines = std::min(taken, capacity - n);
        const qint64 before = linesConsumed;
        readPointLines(
            lines,
            [&](qint64, bool valid, double x, double y, double z, const char*, const char*) {
                if (!valid)
                    return;
                xs[n] = x;
                ys[n] = y;
                zs[n] = z;
                ws[n] = 1.0;
                ++n;
            },
            true);
        // The rest of the column and the columns passed over.
        const qint64 passOver = std::min(rows - (linesConsumed - before) + (stride - 1) * rows,
                                         openPointLines - linesConsumed);
        if (passOver > 0)
            linesConsumed += stream->skipLines(passOver);
    }
    points = n == buffer.cols ? buffer : buffer.colRange(0, int(n)).clone();
    const bool more = scanHasMore();
    if (!more)
        reportScanEnd();
    return more;
}

bool ScanSourcePTX::poseOf(int i, cv::Mat& pose) const
{
    return storedPose(poses, i, pose);
}

} // namespace orthaven
