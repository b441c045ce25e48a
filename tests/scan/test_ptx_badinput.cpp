// Broken PTX input by name: each case has one defined outcome (scans found, points read,
// the line printed), and none crashes or allocates by what a damaged header claims.

#include "BadInput.h"
#include "PtxTestFiles.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const std::vector<cv::Vec3d> twoPoints = {{1, 2, 3}, {4, 5, 6}};
const QByteArray goodScan = ptxHeader(1, 2) + ptxPointLines(twoPoints);

BadInputFormat ptxFormat(int threads)
{
    return {"ptx",
            [threads] {
                auto reader = std::make_unique<ScanSourcePTX>();
                reader->setReadThreads(threads);
                return reader;
            },
            true,
            {},
            2};
}

std::vector<BadInput> badInputs()
{
    const QList<QByteArray> pose = identityPoseLines();
    return {
        {"empty file", "", 0, {}, "EOF detect"},
        {"only blank lines", "\n \r\n\t\n", 0, {}, "EOF detect"},
        {"ends after line 1", "2\n", 0, {}, "PTX header incomplete at byte 0 of "},
        {"ends inside the pose lines", ptxHeader(1, 2).left(36), 0, {}, "PTX header incomplete"},
        {"negative count",
         ptxHeader("-2", "3") + ptxPointLines(twoPoints),
         0,
         {},
         "PTX header invalid at byte 0 of "},
        {"garbage count", ptxHeader("abc", "3"), 0, {}, "lines 1 and 2 must hold whole numbers"},
        {"fractional count", ptxHeader("2.5", "3"), 0, {}, "PTX header invalid"},
        {"count beyond int", ptxHeader("2147483648", "2147483648"), 0, {}, "PTX header invalid"},
        {"two counts on line 1", ptxHeader("2 3", "3"), 0, {}, "PTX header invalid"},
        {"pose line with three numbers",
         ptxHeader("1", "2", {pose[0], "0 1 0", pose[2], pose[3]}),
         0,
         {},
         "line 8 must hold four numbers"},
        {"pose line with garbage",
         ptxHeader("1", "2", {pose[0], pose[1], "0 0 x 0", pose[3]}),
         0,
         {},
         "line 9 must hold four numbers"},
        {"pose line with nan",
         ptxHeader("1", "2", {pose[0], pose[1], pose[2], "nan 0 0 1"}),
         0,
         {},
         "line 10 must hold four numbers"},
        {"binary data",
         QByteArray("PTG\0\xc7\xa3\x8f\x92\x01\x02", 10) + QByteArray(200, '\0'),
         0,
         {},
         "PTX header invalid"},
        {"huge counts, few lines",
         ptxHeader("2147483647", "2147483647") + ptxPointLines(twoPoints),
         1,
         {twoPoints},
         "ends after 2 of 4611686014132420609 point lines",
         true},
        {"scan ends inside its points",
         ptxHeader(2, 3) + ptxPointLines(twoPoints),
         1,
         {twoPoints},
         "PTX scan 0 in ",
         true},
        {"header without points", ptxHeader(2, 3), 1, {{}}, "ends after 0 of 6 point lines", true},
        {"zero counts, then a scan",
         ptxHeader(0, 0) + ptxHeader(5, 0) + goodScan,
         3,
         {{}, {}, twoPoints},
         "Header = 5 0"},
        {"malformed point lines are skipped",
         ptxHeader(3, 3) + "1 2 3\n1 2\n\na b c\n1 2 3x\n1,2,3\nnan 0 0\n1e999 0 0\n4 5 6 7\n" +
             goodScan,
         2,
         {twoPoints, twoPoints},
         "Scan 0: skipped 7 malformed point lines",
         true},
        {"garbage after the last scan", goodScan + "hello\n", 1, {twoPoints}, "PTX header invalid"},
        {"blank lines between scans",
         goodScan + "\n\n" + goodScan + "\n\n",
         2,
         {twoPoints, twoPoints},
         "EOF detect"},
        {"counts with blanks and plus sign",
         ptxHeader(" +1 ", "2\t") + ptxPointLines(twoPoints),
         1,
         {twoPoints},
         "Header = 1 2"},
    };
}

} // namespace

TEST(PtxBadInput, EveryCaseHasItsDefinedOutcome)
{
    // Read line by line, and in blocks parsed on several threads: the same outcome.
    for (const int threads : {1, 4}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        expectDefinedOutcomes(ptxFormat(threads), badInputs());
    }
}

TEST(PtxBadInput, HugeHeaderAllocatesOnlyWhatTheFileHolds)
{
    // 2^31 - 1 points per column and one column: the depth image and a polar column are
    // sized by the three lines present, not by the header's claim.
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("huge.ptx")),
                                   ptxHeader("1", "2147483647") + "3 4 0\n0 0 5\n1 2 2\n");
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    int rows = 0;
    int columns = 0;
    reader.scanDimensions(0, rows, columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 1);

    cv::Mat depth;
    ASSERT_TRUE(reader.computeScanDepthImage(0, depth));
    ASSERT_EQ(depth.size(), cv::Size(1, 3));
    EXPECT_EQ(depth.at<double>(0, 0), 5.0);
    EXPECT_EQ(depth.at<double>(1, 0), 5.0);
    EXPECT_EQ(depth.at<double>(2, 0), 3.0);

    reader.openScan(0);
    cv::Mat polar;
    EXPECT_FALSE(reader.readPolarDataFromScan(0, polar, 1000));
    EXPECT_EQ(polar.cols, 3);
    EXPECT_TRUE(
        out.lines().contains(QStringLiteral("ERROR in ScanSourcePTX::readPolarDataFromScan")));
}

TEST(PtxBadInput, MalformedLinesKeepTheirPlaceInTheDepthImage)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("holes.ptx")),
                                   ptxHeader(2, 2) + "0 0 1\ngarbage\n0 2 0\n3 0 0\n");
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    cv::Mat depth;
    ASSERT_TRUE(reader.computeScanDepthImage(0, depth));
    ASSERT_EQ(depth.size(), cv::Size(2, 2));
    EXPECT_EQ(depth.at<double>(0, 0), 1.0);
    EXPECT_TRUE(std::isnan(depth.at<double>(1, 0)));
    EXPECT_EQ(depth.at<double>(0, 1), 2.0);
    EXPECT_EQ(depth.at<double>(1, 1), 3.0);
    EXPECT_TRUE(out.lines().contains(QStringLiteral("Scan 0: skipped 1 malformed point lines")));
}

TEST(PtxBadInput, OverlongLineIsSkippedLikeAnyMalformedLine)
{
    // One point line longer than the reader's 4 MiB buffer.
    QTemporaryDir dir;
    const QByteArray longLine = "1 2 3 " + QByteArray(5 << 20, '7') + '\n';
    const QString path = writeFile(dir.filePath(QStringLiteral("long.ptx")),
                                   ptxHeader(1, 3) + "1 1 1\n" + longLine + "2 2 2\n" + goodScan);
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    ASSERT_EQ(reader.scanCount(), 2);
    EXPECT_EQ(readWholeScan(reader, 0).points, std::vector<cv::Vec3d>({{1, 1, 1}, {2, 2, 2}}));
    EXPECT_EQ(readWholeScan(reader, 1).points, twoPoints);
}

TEST(PtxBadInput, UnreadableInputsContributeNoScan)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder.ptx"));
    const QString good = writeFile(dir.filePath(QStringLiteral("good.ptx")), goodScan);
    const QStringList inputs = {dir.filePath(QStringLiteral("missing.ptx")),
                                dir.filePath(QStringLiteral("folder.ptx")), good};
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    EXPECT_TRUE(reader.fetchFiles(inputs));
    ASSERT_EQ(reader.scanCount(), 1);
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({good + " (000)"}));
    EXPECT_EQ(readWholeScan(reader, 0).points, twoPoints);
    EXPECT_TRUE(
        out.lines().contains("Cannot open PTX file " + inputs[0] + ": No such file or directory"));
    EXPECT_TRUE(out.lines().contains("Cannot open PTX file " + inputs[1] +
                                     ": it is a folder, not a regular file"));

    ScanSourcePTX empty;
    EXPECT_TRUE(empty.fetchFiles({}));
    EXPECT_EQ(empty.scanCount(), 0);
    EXPECT_FALSE(empty.openScan(0));
}

TEST(PtxBadInput, RandomDamageNeverBreaksTheReader)
{
    RandomDamage damage;
    damage.good = ptxHeader(2, 3) + ptxPointLines(distinctPoints(6, 1.0), " 0.5 1 2 3") +
                  ptxHeader(1, 4, {"0 1 0 0", "-1 0 0 0", "0 0 1 0", "1e5 -2 3 1"}) +
                  ptxPointLines(distinctPoints(4, 9.0));
    damage.rounds = 400;
    damage.mostChanges = 6;
    damage.alphabet = "0123456789 -+.eE\n\r\tx";
    damage.maxScans = 3;
    damage.mostPointsPerByte = 0.2;
    damage.everyScanOpens = true;
    // Parsed in blocks on several threads: the same points and notes; the depth image
    // holds no more pixels than the file has bytes.
    damage.alsoCheck = [](const QString& path, ScanSource& reader, qsizetype size) {
        ScanSourcePTX blocks;
        blocks.setReadThreads(3);
        ASSERT_TRUE(blocks.fetchFiles({path}));
        ASSERT_EQ(blocks.scanCount(), reader.scanCount());
        for (int i = 0; i < reader.scanCount(); ++i) {
            EXPECT_TRUE(readWholeScan(blocks, i, 1000, 50).points ==
                        readWholeScan(reader, i, 1000, 50).points)
                << "scan " << i;
            blocks.closeScan(i);
            cv::Mat depth;
            EXPECT_TRUE(static_cast<ScanSourcePTX&>(reader).computeScanDepthImage(i, depth));
            EXPECT_LE(depth.total(), std::size_t(size));
            reader.closeScan(i);
        }
        EXPECT_TRUE(blocks.notes() == reader.notes());
    };
    expectRandomDamageHandled(ptxFormat(1), damage);
}
