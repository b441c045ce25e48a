// Broken PTG input by name: each case has one defined outcome (scans listed, points read,
// the line printed); none crashes, reads garbage as points, or allocates by what a damaged
// header claims.

#include "PtgTestFiles.h"
#include "scan/ScanSourcePTG.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// The header of a 2 × 3 scan up to (not including) "%%header_end".
PtgBytes headerStart(qint32 columns = 2, qint32 rows = 3)
{
    PtgBytes b;
    b.start().key("%%header_begin").keyInt("%%cols", columns).keyInt("%%rows", rows);
    return b;
}

// 3 columns of 20 rows, every row present; x is the column, y the row + 0.5.
PtgScan threeColumns()
{
    PtgScan scan;
    scan.columns = 3;
    scan.rows = 20;
    scan.cell = fullGrid();
    return scan;
}

// The points of the given columns of a file, in stored order.
std::vector<cv::Vec3d> columnsOf(const PtgFile& file, const std::vector<int>& columns)
{
    std::vector<cv::Vec3d> points;
    for (const int c : columns) {
        for (const cv::Vec3d& p : file.points) {
            if (p[0] == c)
                points.push_back(p);
        }
    }
    return points;
}

QByteArray withColumnOffset(PtgFile file, int column, qint64 offset)
{
    std::memcpy(file.bytes.data() + file.tableOffset + 8 * column, &offset, 8);
    return file.bytes;
}

struct BadInput
{
    const char* name;
    QByteArray bytes;
    int scans;                                  // scans listed
    std::vector<std::vector<cv::Vec3d>> points; // what each scan delivers
    const char* printed; // a line that contains this is printed; null: nothing is printed
    bool noted = false;  // and it is the note of damage in scan 0
};

std::vector<BadInput> badInputs()
{
    const PtgFile good = ptgFile(threeColumns());
    const qint64 size = good.bytes.size();
    const qint64 lastColumn = good.columnOffsets[2];
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::array<double, 16> badTransform = identityTransform();
    badTransform[13] = nan;

    PtgScan withNan = threeColumns();
    withNan.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        if (c == 1 && j == 4)
            return cv::Vec3d(std::numeric_limits<double>::infinity(), 0, 0);
        if (c == 2 && j == 0)
            return cv::Vec3d(1, std::numeric_limits<double>::quiet_NaN(), 0);
        return cv::Vec3d(c, j + 0.5, 1.25);
    };
    const PtgFile nanFile = ptgFile(withNan);
    std::vector<cv::Vec3d> finite;
    for (const cv::Vec3d& p : nanFile.points) {
        if (std::isfinite(p[0]) && std::isfinite(p[1]))
            finite.push_back(p);
    }

    return {
        {"empty file", "", 0, {}, "EOF detect"},
        {"a text file", "hello world\n", 0, {}, "Not a PTG file: "},
        {"a PTX file", "2\n3\n0 0 0\n", 0, {}, "Not a PTG file: "},
        {"wrong magic number",
         PtgBytes().raw(QByteArray("PTG", 4)).int32(0x12345678).bytes + good.bytes.mid(8),
         0,
         {},
         "Not a PTG file: "},
        {"start cut short", good.bytes.left(6), 0, {}, "PTG header incomplete at byte 0 of "},
        {"nothing after the start", good.bytes.left(8), 0, {}, "PTG header incomplete at byte 8"},
        {"negative key length",
         PtgBytes().start().int32(-5).raw("abcdefgh").bytes,
         0,
         {},
         "PTG header invalid at byte 8 of "},
        {"key longer than the file",
         PtgBytes().start().int32(std::numeric_limits<qint32>::max()).raw("%%cols").bytes,
         0,
         {},
         "PTG header incomplete at byte 8"},
        {"string longer than the file",
         headerStart().key("%%sw_name").int32(1000000).raw("short").bytes,
         0,
         {},
         "PTG header incomplete"},
        {"negative string length",
         headerStart().key("%%scan_name").int32(-1).key("%%header_end").bytes,
         0,
         {},
         "string length -1"},
        {"no header end",
         headerStart().key("%%properties").int32(0).bytes,
         0,
         {},
         "PTG header incomplete"},
        {"zeros read as empty key records",
         headerStart().raw(QByteArray(4 * 20000, '\0')).key("%%header_end").bytes,
         0,
         {},
         "no %%header_end after 10000 key records"},
        {"value cut off",
         headerStart().key("%%rows_total").raw("ab").bytes,
         0,
         {},
         "PTG header incomplete"},
        {"transform cut off",
         headerStart().key("%%transform").float64(1).float64(0).bytes,
         0,
         {},
         "PTG header incomplete"},
        {"transform with nan",
         headerStart().transform(badTransform).key("%%header_end").bytes,
         0,
         {},
         "%%transform holds a value that is not finite"},
        {"negative columns",
         headerStart(-2, 3).key("%%header_end").bytes,
         0,
         {},
         "%%cols is -2, it must not be negative"},
        {"negative rows",
         headerStart(2, -3).key("%%header_end").bytes,
         0,
         {},
         "%%rows is -3, it must not be negative"},
        {"huge columns",
         headerStart(std::numeric_limits<qint32>::max(), 3).key("%%header_end").bytes,
         0,
         {},
         "2147483647 columns of 3 rows do not fit in the file"},
        {"huge rows",
         headerStart(1, std::numeric_limits<qint32>::max())
             .key("%%header_end")
             .int64(0)
             .raw(QByteArray(64, '\0'))
             .bytes,
         0,
         {},
         "1 columns of 2147483647 rows do not fit in the file"},
        {"counts whose product overflows 32 bits",
         headerStart(65536, 65536)
             .key("%%header_end")
             .raw(QByteArray(65536 * 8 + 4096, '\0'))
             .bytes,
         0,
         {},
         "65536 columns of 65536 rows do not fit in the file"},
        {"column table cut off",
         good.bytes.left(good.tableOffset + 12),
         0,
         {},
         "3 columns of 20 rows do not fit"},
        {"zero columns", headerStart(0, 5).key("%%header_end").bytes, 1, {{}}, nullptr},
        {"zero rows",
         headerStart(3, 0).key("%%header_end").int64(0).int64(0).int64(0).bytes,
         1,
         {{}},
         nullptr},
        {"no size keys at all",
         PtgBytes().start().key("%%header_begin").key("%%header_end").bytes,
         1,
         {{}},
         nullptr},
        {"column offset past the end",
         withColumnOffset(good, 1, size + 100),
         1,
         {columnsOf(good, {0, 2})},
         "Scan 0: skipped 1 columns that lie outside the file or are cut off",
         true},
        {"negative column offset",
         withColumnOffset(good, 0, -8),
         1,
         {columnsOf(good, {1, 2})},
         "Scan 0: skipped 1 columns",
         true},
        {"column offset into the header",
         withColumnOffset(good, 2, 4),
         1,
         {columnsOf(good, {0, 1})},
         "Scan 0: skipped 1 columns",
         true},
        {"row mask cut off by the end",
         good.bytes.left(lastColumn + 2),
         1,
         {columnsOf(good, {0, 1})},
         "Scan 0: skipped 1 columns",
         true},
        {"records cut off by the end",
         good.bytes.left(lastColumn + 3 + 12 * 7 + 5),
         1,
         {columnsOf(good, {0, 1})},
         "Scan 0: skipped 1 columns",
         true},
        {"coordinates that are not finite",
         nanFile.bytes,
         1,
         {finite},
         "Scan 0: skipped 2 points whose coordinates are not finite",
         true},
    };
}

} // namespace

TEST(PtgBadInput, EveryCaseHasItsDefinedOutcome)
{
    for (const BadInput& c : badInputs()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = writeFile(dir.filePath(QStringLiteral("bad.ptg")), c.bytes);
        CaptureDiagnostics out;
        ScanSourcePTG reader;
        EXPECT_TRUE(reader.fetchFiles({path})) << "listing itself never fails";
        ASSERT_EQ(reader.scanCount(), c.scans);
        for (int i = 0; i < c.scans; ++i) {
            const ScanReadout scan = readWholeScan(reader, i);
            EXPECT_TRUE(scan.opened);
            EXPECT_EQ(scan.points, c.points[std::size_t(i)]) << "scan " << i;
            EXPECT_FALSE(scan.results.back()) << "the last read of scan " << i;
            reader.rewindPoints();
            reader.closeScan(i);
        }

        // Damage in a scan is on record as well; other trouble is not a note.
        if (c.noted) {
            ASSERT_EQ(reader.notes().size(), std::size_t(1)) << out.text();
            EXPECT_EQ(reader.notes()[0].scan, 0);
            EXPECT_NE(reader.notes()[0].text.find(c.printed), std::string::npos);
        } else {
            EXPECT_TRUE(reader.notes().empty()) << reader.notes()[0].text;
        }
        if (!c.printed) {
            EXPECT_TRUE(out.lines().isEmpty()) << out.text();
            continue;
        }
        bool found = false;
        for (const QString& line : out.lines())
            found = found || line.contains(QLatin1String(c.printed));
        EXPECT_TRUE(found) << "no line with \"" << c.printed << "\" in:\n" << out.text();
    }
}

TEST(PtgBadInput, FileChangedAfterListingCannotBeOpened)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath(QStringLiteral("changing.ptg")), ptgFile(threeColumns()).bytes);
    CaptureDiagnostics out;
    ScanSourcePTG reader;
    reader.fetchFiles({path});
    ASSERT_EQ(reader.scanCount(), 1);

    PtgScan other = threeColumns();
    other.rows = 21;
    writeFile(path, ptgFile(other).bytes);
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_TRUE(out.lines().contains("PTG file " + path + " changed since it was listed"));
    EXPECT_FALSE(reader.isScanOpen(0));
    cv::Mat chunk;
    EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
    EXPECT_EQ(chunk.cols, 1);

    writeFile(path, "gone");
    EXPECT_FALSE(reader.openScan(0));
    QFile::remove(path);
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_EQ(reader.scanCount(), 1) << "a failed open forgets no scan";
}

TEST(PtgBadInput, IndicesOutsideTheScansAreRefused)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath(QStringLiteral("g.ptg")), ptgFile(threeColumns()).bytes);
    CaptureDiagnostics quiet;
    ScanSourcePTG reader;
    reader.fetchFiles({path});
    for (int i : {-1, 1, 1000}) {
        EXPECT_FALSE(reader.openScan(i));
        EXPECT_FALSE(reader.isScanOpen(i));
        cv::Mat pose = cv::Mat::ones(2, 2, CV_64F);
        reader.scanPose(i, pose);
        EXPECT_EQ(pose.size(), cv::Size(2, 2)) << "left untouched";
        int rows = 7;
        int columns = 7;
        EXPECT_FALSE(reader.scanDimensions(i, rows, columns));
        cv::Mat chunk;
        EXPECT_FALSE(reader.readPoints(i, chunk, 1000));
        EXPECT_LT(chunk.cols, 2);
    }
    EXPECT_FALSE(reader.isScanOpen(-1)) << "nothing open is not scan -1 open";
}

TEST(PtgBadInput, RandomDamageNeverBreaksTheReader)
{
    // A good file, cut short or overwritten at seeded places (header, offset table and
    // column data alike): whatever comes out, listing ends, every read ends, every chunk
    // keeps its shape, and nothing is sized beyond what the file holds.
    PtgScan scan;
    scan.columns = 6;
    scan.rows = 13;
    scan.properties = 4 | 8;
    scan.transform = std::array<double, 16>{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1e5, -2, 3, 1};
    scan.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        if ((c * 13 + j) % 5 == 0)
            return std::nullopt;
        return cv::Vec3d(c * 0.5, j * 0.25, 1.5);
    };
    const QByteArray good = ptgFile(scan).bytes;
    std::mt19937 random(20240607u);
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = good;
        if (round % 4 == 0) {
            bytes.truncate(qsizetype(random() % std::uint32_t(bytes.size())));
        } else {
            const int changes = 1 + int(random() % 4);
            for (int k = 0; k < changes; ++k) {
                const qsizetype at = qsizetype(random() % std::uint32_t(bytes.size()));
                const int kind = int(random() % 3);
                // A random byte, the top byte of a little-endian number, or all ones.
                bytes[at] = kind == 0 ? char(random()) : kind == 1 ? char(0x7F) : char(0xFF);
            }
        }
        SCOPED_TRACE("round " + std::to_string(round));
        const QString path = writeFile(dir.filePath(QStringLiteral("damaged.ptg")), bytes);
        ScanSourcePTG reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        ASSERT_LE(reader.scanCount(), 1);
        for (int i = 0; i < reader.scanCount(); ++i) {
            int rows = 0;
            int columns = 0;
            reader.scanDimensions(i, rows, columns);
            EXPECT_LE(qint64(rows) * columns, 8 * qint64(bytes.size()));
            const ScanReadout read = readWholeScan(reader, i, 4, 200);
            if (!read.opened)
                continue;
            ASSERT_FALSE(read.results.back()) << "the scan never ended";
            EXPECT_LE(read.points.size(), std::size_t(bytes.size() / 12));
            for (const cv::Vec3d& p : read.points)
                ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
            reader.closeScan(i);
        }
    }
}
