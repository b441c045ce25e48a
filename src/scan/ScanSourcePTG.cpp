#include "scan/ScanSourcePTG.h"

#include "diag/Diagnostics.h"
#include "platform/FilePaths.h"
#include "scan/BinaryBlockReader.h"
#include "scan/TextLineReader.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace orthaven {

namespace {

// Headers are small: indexing reads them through a small block, not the 4 MiB one that
// pays off for the column data.
constexpr std::size_t headerBlockSize = std::size_t(64) << 10;
// An index file line longer than this names no file we could open.
constexpr std::size_t indexLineLimit = std::size_t(64) << 10;
// No key of ours is this long: a key record's first bytes decide whether it is one.
constexpr qint64 keyLookAhead = 64;
constexpr qint64 startBytes = 8; // "PTG", a zero byte, the magic number
// A header holds a few dozen key records; a file that goes on with records (zeros read as
// empty keys, say) is not read to its end.
constexpr int maxKeyRecords = 10000;

template <class T> T littleEndian(const char* p)
{
    std::array<char, sizeof(T)> b;
    std::memcpy(b.data(), p, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(b.begin(), b.end());
    T value;
    std::memcpy(&value, b.data(), sizeof(T));
    return value;
}

enum class Value
{
    None,
    Int32,
    Double,
    String,
    Transform
};

struct KeyEntry
{
    std::string_view key;
    Value value;
};

// Keys are exact texts; the asterisks of the text keys are part of them.
constexpr KeyEntry knownKeys[] = {
    {"%%header_begin", Value::None},    {"%%header_end", Value::None},
    {"%%version", Value::Int32},        {"%%sw_name", Value::String},
    {"%%scan_name", Value::String},     {"%%scanner_name", Value::String},
    {"%%scanner_model", Value::String}, {"%%scanner_ip_addr", Value::String},
    {"%%creation_date", Value::String}, {"%%creation_time", Value::String},
    {"%%texte_*", Value::String},       {"%%text_*", Value::String},
    {"%%cols", Value::Int32},           {"%%rows", Value::Int32},
    {"%%rows_total", Value::Int32},     {"%%azim_min", Value::Double},
    {"%%azim_max", Value::Double},      {"%%elev_min", Value::Double},
    {"%%elev_max", Value::Double},      {"%%transform", Value::Transform},
    {"%%properties", Value::Int32},
};

Value valueOf(std::string_view key)
{
    for (const KeyEntry& entry : knownKeys) {
        if (entry.key == key)
            return entry.value;
    }
    return Value::None; // an unknown key carries no value
}

std::string printable(const QString& path)
{
    return path.toStdString();
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool endsWithPtg(std::string_view name)
{
    if (name.size() < 4)
        return false;
    const std::string_view tail = name.substr(name.size() - 4);
    const char expected[] = ".ptg";
    for (int k = 0; k < 4; ++k) {
        const char c = tail[std::size_t(k)];
        const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (lower != expected[k])
            return false;
    }
    return true;
}

// Index files come from Windows as often as not: UTF-8 when the bytes are valid UTF-8,
// otherwise the names are taken as Latin-1.
QString decodeName(std::string_view bytes)
{
    const QByteArray raw(bytes.data(), qsizetype(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(raw);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(raw);
}

qint64 countBits(const char* p, qint64 length)
{
    qint64 bits = 0;
    qint64 k = 0;
    for (; k + 8 <= length; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + k, 8);
        bits += std::popcount(word);
    }
    for (; k < length; ++k)
        bits += std::popcount(static_cast<unsigned char>(p[k]));
    return bits;
}

// Whether the column offset table and one row mask per column fit in the file: true of
// every intact file, and what keeps a damaged header from sizing anything beyond the file.
bool gridFits(const BinaryBlockReader& in, qint64 tableOffset, qint64 columns, qint64 rows)
{
    const qint64 table = columns * 8;
    if (!in.holds(tableOffset, table))
        return false;
    if (columns == 0 || rows == 0)
        return true;
    const qint64 dataBytes = in.size() - tableOffset - table;
    return columns * ((rows + 7) / 8) <= dataBytes;
}

} // namespace

ScanSourcePTG::ScanSourcePTG() = default;

ScanSourcePTG::~ScanSourcePTG() = default;

int ScanSourcePTG::recordSize(qint32 properties)
{
    int size = (properties & DoubleCoordinates) ? 24 : 12;
    if (properties & Intensity)
        size += 4;
    if (properties & Colour)
        size += 3;
    return size;
}

bool ScanSourcePTG::readHeader(BinaryBlockReader& in, Header& header) const
{
    const std::string path = printable(in.path());
    if (in.size() == 0) {
        diag::debug("EOF detect");
        return false;
    }
    const auto incomplete = [&](qint64 at) {
        diag::warning("PTG header incomplete at byte ", at, " of ", path);
        return false;
    };
    const auto invalid = [&](qint64 at, const std::string& why) {
        diag::warning("PTG header invalid at byte ", at, " of ", path, ": ", why);
        return false;
    };

    // A file that is not PTG is refused here instead of being read as garbage.
    char expected[startBytes] = {'P', 'T', 'G', '\0'};
    for (int k = 0; k < 4; ++k)
        expected[4 + k] = char((magicNumber >> (8 * k)) & 0xFF);
    const qint64 present = std::min(in.size(), startBytes);
    const char* start = in.bytes(0, present);
    if (!start || std::memcmp(start, expected, std::size_t(present)) != 0) {
        diag::warning("Not a PTG file: ", path);
        return false;
    }
    if (present < startBytes)
        return incomplete(0);

    header = Header();
    header.pose = cv::Mat::eye(4, 4, CV_64F); // a scan without "%%transform" is not moved
    qint64 at = startBytes;
    for (int records = 0;; ++records) {
        const qint64 recordStart = at;
        if (records == maxKeyRecords) {
            return invalid(recordStart,
                           "no %%header_end after " + std::to_string(records) + " key records");
        }
        const char* p = in.bytes(at, 4);
        if (!p)
            return incomplete(recordStart);
        const qint32 length = littleEndian<qint32>(p);
        at += 4;
        if (length < 0)
            return invalid(recordStart, "key length " + std::to_string(length));
        if (!in.holds(at, length))
            return incomplete(recordStart);
        p = in.bytes(at, std::min<qint64>(length, keyLookAhead));
        if (!p)
            return incomplete(recordStart);
        std::string_view key(p, std::size_t(std::min<qint64>(length, keyLookAhead)));
        key = key.substr(0, key.find('\0'));
        const std::string keyText(key); // p is only valid until the next read
        at += length;

        switch (valueOf(keyText)) {
        case Value::None:
            if (keyText == "%%header_end") {
                header.tableOffset = at;
                return true;
            }
            break;
        case Value::Int32: {
            p = in.bytes(at, 4);
            if (!p)
                return incomplete(recordStart);
            const qint32 value = littleEndian<qint32>(p);
            at += 4;
            if (keyText == "%%cols" || keyText == "%%rows") {
                if (value < 0) {
                    return invalid(recordStart, keyText + " is " + std::to_string(value) +
                                                    ", it must not be negative");
                }
                (keyText == "%%cols" ? header.columnCount : header.rowCount) = value;
            } else if (keyText == "%%properties") {
                header.properties = value;
            }
            break;
        }
        case Value::Double:
            if (!in.holds(at, 8))
                return incomplete(recordStart);
            at += 8;
            break;
        case Value::String: {
            p = in.bytes(at, 4);
            if (!p)
                return incomplete(recordStart);
            const qint32 size = littleEndian<qint32>(p);
            at += 4;
            if (size < 0)
                return invalid(recordStart, "string length " + std::to_string(size));
            if (!in.holds(at, size))
                return incomplete(recordStart);
            at += size;
            break;
        }
        case Value::Transform: {
            p = in.bytes(at, 16 * 8);
            if (!p)
                return incomplete(recordStart);
            // d0 … d15 fill a matrix row by row, and the pose is its transpose:
            // pose(r, c) = d(4c + r), so d12, d13, d14 are the translation.
            cv::Mat pose(4, 4, CV_64F);
            for (int k = 0; k < 16; ++k) {
                const double d = littleEndian<double>(p + 8 * k);
                if (!std::isfinite(d))
                    return invalid(recordStart, "%%transform holds a value that is not finite");
                pose.at<double>(k % 4, k / 4) = d;
            }
            header.pose = pose;
            at += 16 * 8;
            break;
        }
        }
    }
}

bool ScanSourcePTG::isIndexFile(const QString& path)
{
    TextLineReader in(indexLineLimit);
    if (!in.open(path))
        return false;
    std::string_view line;
    if (in.nextLine(line) != TextLineReader::LineStatus::Line)
        return false;
    // Notepad puts a byte order mark before the first line.
    if (line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    return trimmed(line) == "PTG index file";
}

QStringList ScanSourcePTG::readIndexFile(const QString& path)
{
    QStringList names;
    TextLineReader in(indexLineLimit);
    if (!in.open(path))
        return names;
    const QDir folder = QFileInfo(path).absoluteDir();
    std::string_view line;
    bool first = true;
    for (;;) {
        const TextLineReader::LineStatus status = in.nextLine(line);
        if (status == TextLineReader::LineStatus::End)
            break;
        if (first || status != TextLineReader::LineStatus::Line) {
            first = false;
            continue;
        }
        const std::string_view name = trimmed(line);
        if (!endsWithPtg(name))
            continue;
        // Names written on Windows separate folders with '\'.
        QString relative = decodeName(name);
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        names.append(QDir::cleanPath(folder.absoluteFilePath(relative)));
    }
    return names;
}

bool ScanSourcePTG::findScans(const QStringList& files)
{
    if (currentScan != -1)
        close(currentScan);
    fileList.clear();
    columnCounts.clear();
    rowCounts.clear();
    poses.clear();
    numScans = 0;
    if (files.isEmpty())
        return false;

    // A file named more than once (by an index and again beside it, as "*.ptg" in its
    // folder gives, or many times in one index) is one scan: read once, in the place it
    // was first named.
    QStringList candidates;
    QHash<QString, int> timesNamed;
    const auto add = [&](const QString& path) {
        if (timesNamed[filePathKey(path)]++ == 0)
            candidates.append(path);
    };
    for (const QString& path : files) {
        if (isIndexFile(path)) {
            const QStringList fromIndex = readIndexFile(path);
            diag::info("PTG index file ", printable(path), " names ", fromIndex.size(),
                       " scan files");
            for (const QString& scanFile : fromIndex)
                add(scanFile);
        } else {
            add(path);
        }
    }
    for (const QString& path : std::as_const(candidates)) {
        const int times = timesNamed.value(filePathKey(path));
        if (times > 1) {
            diag::info("PTG file " + printable(path) + " is named " + std::to_string(times) +
                       " times; it is read once");
        }
    }

    // Only the files that give a scan stay in fileList, so that scan i, name i and the
    // file that openScan(i) opens are always the same one.
    BinaryBlockReader in(headerBlockSize);
    for (const QString& path : candidates) {
        if (!in.open(path)) {
            diag::error("Cannot open PTG file ", printable(path), ": ", printable(in.openError()));
            noteFileWithoutScans(path);
            continue;
        }
        Header header;
        bool ok = readHeader(in, header);
        if (ok && !gridFits(in, header.tableOffset, header.columnCount, header.rowCount)) {
            diag::warning("PTG header invalid at byte ", header.tableOffset, " of ",
                          printable(path), ": ", header.columnCount, " columns of ",
                          header.rowCount, " rows do not fit in the file");
            ok = false;
        }
        in.close();
        if (!ok) {
            noteFileWithoutScans(path);
            continue;
        }
        fileList.append(path);
        columnCounts.append(header.columnCount);
        rowCounts.append(header.rowCount);
        poses.push_back(header.pose);
    }
    numScans = int(poses.size());
    return true;
}

void ScanSourcePTG::nameScans(QStringList& names) const
{
    names = fileList;
}

bool ScanSourcePTG::open(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (currentScan != -1 && currentScan != i)
        close(currentScan);

    currentScan = i;
    stream = std::make_unique<BinaryBlockReader>();
    Header header;
    bool ready = stream->open(fileList[i]) && readHeader(*stream, header);
    if (ready && (header.columnCount != columnCounts[i] || header.rowCount != rowCounts[i] ||
                  !gridFits(*stream, header.tableOffset, header.columnCount, header.rowCount))) {
        diag::error("PTG file ", printable(fileList[i]), " changed since it was listed");
        ready = false;
    }
    if (ready) {
        columnOffsets.assign(std::size_t(header.columnCount), 0);
        const qint64 perPiece = qint64(stream->blockSize() / 8);
        for (qint64 c = 0; ready && c < header.columnCount; c += perPiece) {
            const qint64 count = std::min<qint64>(perPiece, header.columnCount - c);
            const char* p = stream->bytes(header.tableOffset + 8 * c, 8 * count);
            ready = p != nullptr;
            for (qint64 k = 0; ready && k < count; ++k)
                columnOffsets[std::size_t(c + k)] = littleEndian<qint64>(p + 8 * k);
        }
    }
    if (ready) {
        // Each column's data ends where the next one's begins (in file order), the last
        // one's at the end of the file.
        std::vector<qint64> sorted = columnOffsets;
        std::sort(sorted.begin(), sorted.end());
        columnLimits.resize(columnOffsets.size());
        for (std::size_t c = 0; c < columnOffsets.size(); ++c) {
            const auto next = std::upper_bound(sorted.begin(), sorted.end(), columnOffsets[c]);
            columnLimits[c] =
                next == sorted.end() ? stream->size() : std::min(*next, stream->size());
        }
    }
    if (!ready) {
        // Nothing is open then, so isScanOpen does not claim a scan that cannot be read.
        stream.reset();
        columnOffsets.clear();
        columnLimits.clear();
        currentScan = -1;
        return false;
    }
    openColumnCount = header.columnCount;
    openRowCount = header.rowCount;
    properties = header.properties;
    dataStart = header.tableOffset + 8 * qint64(header.columnCount);
    rewindPending = false;
    columnCursor = 0;
    columnRecordsOffset = -1;
    damagedColumns = 0;
    skippedPoints = 0;
    endReported = false;
    return true;
}

bool ScanSourcePTG::close(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    stream.reset();
    columnOffsets.clear();
    columnLimits.clear();
    currentScan = -1;
    return true;
}

bool ScanSourcePTG::isOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

bool ScanSourcePTG::dimensionsOf(int i, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (i < 0 || i >= numScans)
        return false;
    rows = rowCounts[i];
    columns = columnCounts[i];
    return true;
}

bool ScanSourcePTG::restartIfPending(int i)
{
    if (rewindPending) {
        rewindPending = false;
        close(i);
        open(i);
    }
    return stream && currentScan == i;
}

void ScanSourcePTG::reportScanEnd()
{
    if (endReported)
        return;
    endReported = true;
    const std::string scan = std::to_string(currentScan);
    if (damagedColumns > 0) {
        noteDamage(currentScan,
                   QT_TRANSLATE_NOOP("ScanNote", "Scan %1: skipped %2 columns that lie outside "
                                                 "the file or are cut off"),
                   {scan, std::to_string(damagedColumns)});
    }
    if (skippedPoints > 0) {
        noteDamage(currentScan,
                   QT_TRANSLATE_NOOP("ScanNote",
                                     "Scan %1: skipped %2 points whose coordinates are not finite"),
                   {scan, std::to_string(skippedPoints)});
    }
}

void ScanSourcePTG::skipDamagedColumn()
{
    ++damagedColumns;
    ++columnCursor;
    columnRecordsOffset = -1;
}

void ScanSourcePTG::readColumn(const ChunkOutput& out, qint64& n, qint64 capacity)
{
    const qint64 block = qint64(stream->blockSize());
    const qint64 size = recordSize(properties);
    if (columnRecordsOffset < 0) {
        const qint64 offset = columnOffsets[std::size_t(columnCursor)];
        const qint64 limit = columnLimits[std::size_t(columnCursor)];
        const qint64 maskBytes = (qint64(openRowCount) + 7) / 8;
        // Column data lies behind the offset table; an offset into the header, the table
        // or past the end is damage, and the column gives no point.
        if (offset < dataStart || offset > limit || maskBytes > limit - offset) {
            skipDamagedColumn();
            return;
        }
        qint64 records = 0;
        for (qint64 done = 0; done < maskBytes;) {
            const qint64 piece = std::min(maskBytes - done, block);
            const char* mask = stream->bytes(offset + done, piece);
            if (!mask) {
                skipDamagedColumn();
                return;
            }
            // Which rows the bits stand for does not matter here: the records follow in
            // the order stored, one per set bit.
            records += countBits(mask, piece);
            done += piece;
        }
        // The records must end before the next column's data begins, or the file ends:
        // otherwise the mask is damaged (or the file cut short) and what follows it would
        // be read as points that nobody measured.
        if (records > (limit - offset - maskBytes) / size) {
            skipDamagedColumn();
            return;
        }
        columnRecordsOffset = offset + maskBytes;
        columnRecords = records;
        columnRecordsDone = 0;
    }

    const bool doubles = (properties & DoubleCoordinates) != 0;
    const int coordinateBytes = doubles ? 24 : 12;
    const int colourAt = coordinateBytes + ((properties & Intensity) ? 4 : 0);
    const qint64 take = std::min(columnRecords - columnRecordsDone, capacity - n);
    const qint64 perPiece = std::max<qint64>(1, block / size);
    for (qint64 done = 0; done < take;) {
        const qint64 count = std::min(take - done, perPiece);
        const char* p =
            stream->bytes(columnRecordsOffset + (columnRecordsDone + done) * size, count * size);
        if (!p) {
            // The file shrank or could not be read since the scan was opened.
            skipDamagedColumn();
            return;
        }
        for (qint64 k = 0; k < count; ++k, p += size) {
            double x;
            double y;
            double z;
            if (doubles) {
                x = littleEndian<double>(p);
                y = littleEndian<double>(p + 8);
                z = littleEndian<double>(p + 16);
            } else {
                x = littleEndian<float>(p);
                y = littleEndian<float>(p + 4);
                z = littleEndian<float>(p + 8);
            }
            // A NaN or infinite coordinate is no place in the scene.
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
                ++skippedPoints;
                continue;
            }
            out.xs[n] = x;
            out.ys[n] = y;
            out.zs[n] = z;
            out.ws[n] = 1.0;
            if (out.intensities)
                out.intensities[n] = littleEndian<float>(p + coordinateBytes);
            if (out.colours[0]) {
                for (int c = 0; c < 3; ++c)
                    out.colours[c][n] = static_cast<std::uint8_t>(p[colourAt + c]);
            }
            ++n;
        }
        done += count;
    }
    columnRecordsDone += take;
    if (columnRecordsDone >= columnRecords) {
        columnRecordsOffset = -1;
        ++columnCursor;
    }
}

ScanSource::ReadStep ScanSourcePTG::readNext(const ReadRequest& request, ScanChunk& piece)
{
    if (!restartIfPending(request.scan))
        return ReadStep::End;
    const qint64 rows = openRowCount;
    const qint64 columns = openColumnCount;
    if (columnCursor >= columns || rows == 0) {
        reportScanEnd();
        return ReadStep::End;
    }

    // Whole columns: at most maxColumns of them and at most maxChunkPoints points. A
    // column of more rows than that is delivered in parts.
    const qint64 start = columnCursor;
    qint64 end = std::min<qint64>(columns, start + std::max(request.maxColumns, 1));
    if ((end - start) * rows > maxChunkPoints)
        end = start + std::max<qint64>(1, maxChunkPoints / rows);
    const qint64 capacity = std::clamp<qint64>((end - start) * rows, 2, maxChunkPoints);

    // Fresh matrices on every call: a caller may still hold the previous chunk. Channels
    // are read only when asked for and stored.
    cv::Mat points(4, int(capacity), CV_64F);
    cv::Mat intensity;
    cv::Mat colour;
    ChunkOutput out;
    out.xs = points.ptr<double>(0);
    out.ys = points.ptr<double>(1);
    out.zs = points.ptr<double>(2);
    out.ws = points.ptr<double>(3);
    if (request.channels.intensity && (properties & Intensity)) {
        intensity.create(1, int(capacity), CV_32F);
        out.intensities = intensity.ptr<float>(0);
    }
    if (request.channels.colour && (properties & Colour)) {
        colour.create(3, int(capacity), CV_8U);
        for (int k = 0; k < 3; ++k)
            out.colours[k] = colour.ptr<std::uint8_t>(k);
    }
    qint64 n = 0;
    while (n < capacity && columnCursor < columns) {
        // Columns that are empty or nearly so do not end the chunk: a chunk of fewer than
        // two points ends the scan for the engine, and the columns after it would be lost.
        if (columnCursor >= end && n >= 2)
            break;
        readColumn(out, n, capacity);
    }
    if (columnCursor >= columns)
        reportScanEnd();

    const auto cut = [n](const cv::Mat& m) {
        return n == m.cols ? m : m.colRange(0, int(n)).clone();
    };
    if (n > 0) {
        piece.points = cut(points);
        if (!intensity.empty())
            piece.intensity = cut(intensity);
        if (!colour.empty())
            piece.colour = cut(colour);
    }
    // Fewer than two points: the columns ran out before the chunk could take two.
    return n < 2 ? ReadStep::LastChunk : ReadStep::Chunk;
}

bool ScanSourcePTG::poseOf(int i, cv::Mat& pose) const
{
    return storedPose(poses, i, pose);
}

} // namespace orthaven
