// Broken PTG input by name: each case has one defined outcome (scans listed, points read,
// the line printed); none crashes, reads garbage as points, or allocates by what a damaged
// header claims.

#include "BadInput.h"
#include "PtgTestFiles.h"
#include "scan/ScanSourcePTG.h"
#include "support/TempAppData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

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

const BadInputFormat ptgFormat = {"ptg", [] { return std::make_unique<ScanSourcePTG>(); }};

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
    expectDefinedOutcomes(ptgFormat, badInputs());
}

TEST(PtgBadInput, FileChangedAfterListingCannotBeOpened)
{
    PtgScan other = threeColumns();
    other.rows = 21;
    expectChangedFileCannotBeOpened(
        ptgFormat, ptgFile(threeColumns()).bytes, {ptgFile(other).bytes, "gone"},
        [](const QString& path) { return "PTG file " + path + " changed since it was listed"; });
}

TEST(PtgBadInput, RandomDamageNeverBreaksTheReader)
{
    // Header, offset table and column data alike.
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
    RandomDamage damage;
    damage.good = ptgFile(scan).bytes;
    damage.mostPointsPerByte = 1.0 / 12;
    damage.chunkColumns = 4;
    expectRandomDamageHandled(ptgFormat, damage);
}
