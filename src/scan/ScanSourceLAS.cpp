#include "scan/ScanSourceLAS.h"

#include "diag/Diagnostics.h"
#include "scan/e57/Endian.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <limits>

namespace orthaven {

namespace {

using e57::loadLittleEndian;

std::string printable(const QString& path)
{
    return path.toStdString();
}

std::string where(const QString& path)
{
    return "LAS file " + printable(path) + ": ";
}

// A reader of the file whose block is not much larger than the file (small files are many
// when they are fuzzed), at most the usual block and at least the longest record.
std::unique_ptr<BinaryBlockReader> readerFor(const QString& path)
{
    constexpr qint64 longestRecord = 65535;
    const qint64 size = QFileInfo(path).size();
    return std::make_unique<BinaryBlockReader>(std::size_t(
        std::clamp<qint64>(size, longestRecord + 1, qint64(BinaryBlockReader::defaultBlockSize))));
}

// Records of one read: as many as fit into the reader's block.
std::uint64_t recordsPerRead(const BinaryBlockReader& reader, const las::Header& header)
{
    return std::max<std::uint64_t>(1, reader.blockSize() / std::uint64_t(header.recordLength));
}

bool sameLayout(const las::Header& a, const las::Header& b)
{
    return a.pointFormat == b.pointFormat && a.recordLength == b.recordLength &&
           a.pointOffset == b.pointOffset && a.pointCount == b.pointCount && a.scale == b.scale &&
           a.offset == b.offset && a.compressed == b.compressed;
}

// 16-bit colour to 8 bits: its place in 0 … 65535 times 255, rounded (value / 257).
std::uint8_t colourByte(std::uint16_t value, bool eightBit)
{
    if (eightBit)
        return static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((2 * std::uint32_t(value) + 257) / 514);
}

// What the listing pass keeps of each point source ID.
struct Tally
{
    std::uint16_t id = 0;
    std::uint64_t points = 0;
    std::uint64_t firstRecord = 0;
    std::uint64_t lastRecord = 0;
    std::array<std::int32_t, 3> low{};
    std::array<std::int32_t, 3> high{};
};

} // namespace

ScanSourceLAS::ScanSourceLAS() = default;

ScanSourceLAS::~ScanSourceLAS() = default;

bool ScanSourceLAS::findScans(const QStringList& inputs)
{
    if (currentScan != -1)
        close(currentScan);
    fileList = inputs;
    files.clear();
    scans.clear();
    numScans = 0;
    if (inputs.isEmpty())
        return false;
    for (const QString& path : inputs)
        listFile(path);
    numScans = int(scans.size());
    return true;
}

bool ScanSourceLAS::listFile(const QString& path)
{
    const std::string prefix = where(path);
    const std::string compressed =
        printable(path) + " is compressed LAS (LAZ); decompress it to LAS first";
    if (path.endsWith(QLatin1String(".laz"), Qt::CaseInsensitive)) {
        diag::error(compressed);
        return false;
    }
    const std::unique_ptr<BinaryBlockReader> owned = readerFor(path);
    BinaryBlockReader& reader = *owned;
    if (!reader.open(path)) {
        diag::error(prefix + "cannot open the file");
        return false;
    }
    ListedFile listed;
    listed.path = path;
    las::Header& header = listed.header;
    std::string problem;
    if (!las::readHeader(reader, header, problem)) {
        diag::error(prefix + problem);
        return false;
    }
    if (header.compressed) {
        diag::error(compressed);
        return false;
    }

    // One pass over the records: the scans are known only when every source ID has been
    // seen. It reads the records a block at a time and keeps per ID no more than counts,
    // a record range and the box of its coordinates.
    const las::PointLayout& layout = *las::pointLayout(header.pointFormat);
    const std::uint64_t length = std::uint64_t(header.recordLength);
    const std::uint64_t perRead = recordsPerRead(reader, header);
    std::vector<int> slot(std::size_t(std::numeric_limits<std::uint16_t>::max()) + 1, -1);
    std::vector<Tally> tallies;
    std::uint64_t withheld = 0;
    std::uint16_t brightest = 0;
    for (std::uint64_t first = 0; first < header.pointCount; first += perRead) {
        const std::uint64_t count = std::min(perRead, header.pointCount - first);
        const char* records =
            reader.bytes(qint64(header.pointOffset + first * length), qint64(count * length));
        if (!records) {
            diag::error(prefix + "cannot read the point records from byte " +
                        std::to_string(header.pointOffset + first * length));
            return false;
        }
        for (std::uint64_t k = 0; k < count; ++k) {
            const char* record = records + k * length;
            if (record[layout.classFlags] & layout.withheld) {
                ++withheld;
                continue;
            }
            const std::uint16_t id = loadLittleEndian<std::uint16_t>(record + layout.sourceId);
            const std::array<std::int32_t, 3> xyz = {loadLittleEndian<std::int32_t>(record),
                                                     loadLittleEndian<std::int32_t>(record + 4),
                                                     loadLittleEndian<std::int32_t>(record + 8)};
            int& s = slot[id];
            if (s < 0) {
                s = int(tallies.size());
                tallies.push_back({id, 0, first + k, first + k, xyz, xyz});
            }
            Tally& t = tallies[std::size_t(s)];
            ++t.points;
            t.lastRecord = first + k;
            for (std::size_t a = 0; a < 3; ++a) {
                t.low[a] = std::min(t.low[a], xyz[a]);
                t.high[a] = std::max(t.high[a], xyz[a]);
            }
            if (layout.colour >= 0) {
                for (int c = 0; c < 3; ++c)
                    brightest = std::max(
                        brightest, loadLittleEndian<std::uint16_t>(record + layout.colour + 2 * c));
            }
        }
    }
    listed.eightBitColour = brightest <= 255;

    const int fileIndex = int(files.size());
    files.push_back(listed);
    const auto scanOf = [&](const Tally& t, bool wholeFile) {
        ListedScan scan;
        scan.file = fileIndex;
        scan.wholeFile = wholeFile;
        scan.sourceId = t.id;
        scan.points = t.points;
        scan.firstRecord = t.firstRecord;
        scan.endRecord = t.lastRecord + 1;
        scan.bounded = t.points > 0;
        for (std::size_t a = 0; a < 3; ++a) {
            // A negative scale turns the box over.
            const double low = t.low[a] * header.scale[a] + header.offset[a];
            const double high = t.high[a] * header.scale[a] + header.offset[a];
            scan.low[int(a)] = std::min(low, high);
            scan.high[int(a)] = std::max(low, high);
        }
        return scan;
    };
    if (tallies.size() <= 1) {
        // One source ID (or no point at all): the file is the scan.
        const Tally t = tallies.empty() ? Tally() : tallies.front();
        scans.push_back(scanOf(t, true));
    } else {
        for (const Tally& t : tallies)
            scans.push_back(scanOf(t, false));
    }
    std::string line =
        prefix + "LAS " + std::to_string(header.versionMajor) + "." +
        std::to_string(header.versionMinor) + ", point format " +
        std::to_string(header.pointFormat) + ", " +
        (tallies.size() <= 1 ? std::string("1 scan")
                             : std::to_string(tallies.size()) + " scans by point source ID");
    if (withheld > 0)
        line += "; " + std::to_string(withheld) +
                (withheld == 1 ? " withheld point left out" : " withheld points left out");
    diag::info(line);
    return true;
}

void ScanSourceLAS::nameScans(QStringList& names) const
{
    names.clear();
    for (const ListedScan& s : scans) {
        const QString& path = files[std::size_t(s.file)].path;
        names.append(s.wholeFile ? path : path + QStringLiteral(" (source %1)").arg(s.sourceId));
    }
}

bool ScanSourceLAS::poseOf(int i, cv::Mat& pose) const
{
    if (i < 0 || i >= numScans)
        return false;
    pose = cv::Mat::eye(4, 4, CV_64F);
    return true;
}

std::int64_t ScanSourceLAS::countOf(int i)
{
    if (i < 0 || i >= int(scans.size()))
        return -1;
    return std::int64_t(scans[std::size_t(i)].points);
}

bool ScanSourceLAS::positionKnown(int) const
{
    return false;
}

bool ScanSourceLAS::boundsOf(int i, cv::Vec3d& low, cv::Vec3d& high) const
{
    if (i < 0 || i >= numScans || !scans[std::size_t(i)].bounded)
        return false;
    low = scans[std::size_t(i)].low;
    high = scans[std::size_t(i)].high;
    return true;
}

bool ScanSourceLAS::open(int i)
{
    if (i < 0 || i >= numScans)
        return false;
    if (currentScan != -1 && currentScan != i)
        close(currentScan);
    const ListedFile& listed = files[std::size_t(scans[std::size_t(i)].file)];
    file = readerFor(listed.path);
    bool ready = file->open(listed.path);
    std::string problem = "cannot open the file";
    las::Header header;
    if (ready && (!las::readHeader(*file, header, problem) || !sameLayout(header, listed.header))) {
        problem = "the file changed since it was listed";
        ready = false;
    }
    if (!ready) {
        diag::error(where(listed.path) + problem);
        file.reset();
        currentScan = -1;
        return false;
    }
    currentScan = i;
    nextRecord = scans[std::size_t(i)].firstRecord;
    delivered = 0;
    rewindPending = false;
    return true;
}

bool ScanSourceLAS::close(int i)
{
    rewindPending = false;
    if (currentScan == -1 || i != currentScan)
        return true;
    file.reset();
    currentScan = -1;
    return true;
}

bool ScanSourceLAS::isOpen(int i) const
{
    return currentScan != -1 && i == currentScan;
}

bool ScanSourceLAS::restartIfPending(int i)
{
    if (rewindPending) {
        rewindPending = false;
        close(i);
        open(i);
    }
    return file && currentScan == i;
}

ScanSource::ReadStep ScanSourceLAS::readNext(const ReadRequest& request, ScanChunk& piece)
{
    if (!restartIfPending(request.scan))
        return ReadStep::End;
    const ListedScan& scan = scans[std::size_t(currentScan)];
    const ListedFile& listed = files[std::size_t(scan.file)];
    const las::Header& header = listed.header;
    const las::PointLayout& layout = *las::pointLayout(header.pointFormat);
    const std::uint64_t capacity = std::min<std::uint64_t>(maxChunkPoints, scan.points - delivered);
    if (capacity == 0)
        return ReadStep::End;
    const bool withIntensity = request.channels.intensity;
    const bool withColour = request.channels.colour && layout.colour >= 0;

    cv::Mat points(4, int(capacity), CV_64F);
    cv::Mat intensity;
    cv::Mat colour;
    if (withIntensity)
        intensity.create(1, int(capacity), CV_32F);
    if (withColour)
        colour.create(3, int(capacity), CV_8U);
    double* const xyz[3] = {points.ptr<double>(0), points.ptr<double>(1), points.ptr<double>(2)};
    const std::uint64_t length = std::uint64_t(header.recordLength);
    const std::uint64_t perRead = recordsPerRead(*file, header);

    int n = 0;
    while (std::uint64_t(n) < capacity && nextRecord < scan.endRecord) {
        const std::uint64_t count = std::min(perRead, scan.endRecord - nextRecord);
        const char* records =
            file->bytes(qint64(header.pointOffset + nextRecord * length), qint64(count * length));
        if (!records)
            return readError(request.scan,
                             where(listed.path) + "cannot read the point records from byte " +
                                 std::to_string(header.pointOffset + nextRecord * length));
        std::uint64_t k = 0;
        for (; k < count && std::uint64_t(n) < capacity; ++k) {
            const char* record = records + k * length;
            if ((record[layout.classFlags] & layout.withheld) ||
                (!scan.wholeFile &&
                 loadLittleEndian<std::uint16_t>(record + layout.sourceId) != scan.sourceId))
                continue;
            for (int a = 0; a < 3; ++a)
                xyz[a][n] = double(loadLittleEndian<std::int32_t>(record + 4 * a)) *
                                header.scale[std::size_t(a)] +
                            header.offset[std::size_t(a)];
            if (withIntensity)
                intensity.ptr<float>(0)[n] = float(loadLittleEndian<std::uint16_t>(record + 12));
            if (withColour) {
                for (int c = 0; c < 3; ++c)
                    colour.ptr<std::uint8_t>(c)[n] =
                        colourByte(loadLittleEndian<std::uint16_t>(record + layout.colour + 2 * c),
                                   listed.eightBitColour);
            }
            ++n;
        }
        nextRecord += k;
    }
    if (std::uint64_t(n) < capacity)
        return readError(request.scan,
                         where(listed.path) + "the file changed since it was listed: it holds " +
                             std::to_string(delivered + std::uint64_t(n)) +
                             " points of this scan, not " + std::to_string(scan.points));
    std::fill_n(points.ptr<double>(3), std::size_t(n), 1.0);
    delivered += std::uint64_t(n);
    piece.points = points;
    if (withIntensity)
        piece.intensity = intensity;
    if (withColour)
        piece.colour = colour;
    return delivered == scan.points ? ReadStep::LastChunk : ReadStep::Chunk;
}

qint64 ScanSourceLAS::pointsLeft(int i) const
{
    if (i != currentScan || currentScan == -1)
        return -1;
    return qint64(scans[std::size_t(i)].points - delivered);
}

} // namespace orthaven
