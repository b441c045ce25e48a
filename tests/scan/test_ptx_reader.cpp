#include "PtxTestFiles.h"
#include "scan/PtxBlockParser.h"
#include "scan/ScanSourceFactory.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const QList<QByteArray> secondPoseLines = {"0 1 0 0", "-1 0 0 0", "0 0 1 0", "12.5 -3.25 1.75 1"};

// Two scans of 2 columns × 3 points each in one file; scan 1 is turned and moved.
struct TwoScanFile
{
    QTemporaryDir dir;
    QString path;
    std::vector<cv::Vec3d> first = distinctPoints(6, 1.0);
    std::vector<cv::Vec3d> second = distinctPoints(6, 50.0);
    qint64 secondHeaderOffset = 0;

    TwoScanFile()
    {
        const QByteArray scan0 = ptxHeader(2, 3) + ptxPointLines(first, " 0.5 10 20 30");
        const QByteArray scan1 = ptxHeader(2, 3, secondPoseLines) + ptxPointLines(second, " 0.25");
        secondHeaderOffset = scan0.size();
        path = writeFile(dir.filePath(QStringLiteral("site.ptx")), scan0 + scan1);
    }
};

cv::Mat identity()
{
    return cv::Mat::eye(4, 4, CV_64F);
}

std::unique_ptr<ScanSource> newPtxReader()
{
    return std::make_unique<ScanSourcePTX>();
}

} // namespace

TEST(PtxReader, ReadsTwoScansFromOneFile)
{
    TwoScanFile file;
    ScanSourcePTX reader;
    CaptureDiagnostics out;
    ASSERT_TRUE(reader.fetchFiles({file.path}));
    EXPECT_EQ(out.lines(), QStringList({"Header = 2 3", "Header = 2 3", "EOF detect"}));

    EXPECT_EQ(reader.scanCount(), 2);
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({file.path + " (000)", file.path + " (001)"}));

    int rows = 0;
    int columns = 0;
    EXPECT_TRUE(reader.scanDimensions(1, rows, columns));
    EXPECT_EQ(rows, 3);    // points per column: header line 2
    EXPECT_EQ(columns, 2); // header line 1

    const ScanReadout scan1 = readWholeScan(reader, 1);
    ASSERT_TRUE(scan1.opened);
    EXPECT_EQ(scan1.points, file.second);
    EXPECT_EQ(scan1.results, std::vector<bool>({false}));
    EXPECT_TRUE(out.lines().contains(
        QStringLiteral("Load Scan 1 getFileInd = 0 Position = %1").arg(file.secondHeaderOffset)));
}

TEST(PtxReader, KeepsTheScanSourceContract)
{
    TwoScanFile file;
    CaptureDiagnostics quiet;
    ScanSourceContract contract;
    contract.label = "two PTX scans in one file";
    contract.createReader = newPtxReader;
    contract.inputFiles = {file.path};
    contract.scans = {{file.first, identity(), 3, 2}, {file.second, poseOf(secondPoseLines), 3, 2}};
    checkScanSourceContract(contract);
}

TEST(PtxReader, NumbersScansAcrossFilesAndSkipsUnreadableOnes)
{
    QTemporaryDir dir;
    TwoScanFile twoScans;
    const std::vector<cv::Vec3d> third = distinctPoints(4, -20.0);
    const QString other = writeFile(dir.filePath(QStringLiteral("other.PTX")),
                                    ptxHeader(1, 4) + ptxPointLines(third));
    const QString missing = dir.filePath(QStringLiteral("missing.ptx"));

    CaptureDiagnostics out;
    ScanSourceContract contract;
    contract.label = "scans over three inputs, one of them missing";
    contract.createReader = newPtxReader;
    contract.inputFiles = {twoScans.path, missing, other};
    contract.scans = {{twoScans.first, identity(), 3, 2},
                      {twoScans.second, poseOf(secondPoseLines), 3, 2},
                      {third, identity(), 4, 1}};
    checkScanSourceContract(contract);
    EXPECT_TRUE(
        out.lines().contains("Cannot open PTX file " + missing + ": No such file or directory"));

    ScanSourcePTX reader;
    reader.fetchFiles(contract.inputFiles);
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names,
              QStringList({twoScans.path + " (000)", twoScans.path + " (001)", other + " (000)"}));
    EXPECT_TRUE(reader.openScan(2));
    EXPECT_TRUE(out.lines().contains(QStringLiteral("Load Scan 2 getFileInd = 2 Position = 0")));

    // Files listed one after another or several at once: the same scans, and the same
    // lines in file order, a short scan's note where it was found.
    const QString cut = writeFile(dir.filePath(QStringLiteral("cut.ptx")),
                                  ptxHeader(1, 4) + ptxPointLines(distinctPoints(2, 5.0)));
    const QStringList files = {twoScans.path, missing, cut, other, twoScans.path};
    std::vector<QStringList> listed, lines;
    for (const int threads : {1, 3}) {
        CaptureDiagnostics capture;
        ScanSourcePTX several;
        several.setReadThreads(threads);
        ASSERT_TRUE(several.fetchFiles(files));
        several.scanNames(listed.emplace_back());
        lines.push_back(capture.lines());
    }
    EXPECT_EQ(listed[0].size(), 6);
    EXPECT_EQ(listed[0], listed[1]);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_TRUE(lines[1].contains("PTX scan 2 in " + cut + " ends after 2 of 4 point lines"))
        << lines[1].join('\n').toStdString();
}

TEST(PtxReader, DeliversLargeScanInChunksOfAMillionPoints)
{
    // 2,500,000 points: the x coordinate is the line number.
    QTemporaryDir dir;
    const int count = 2500000;
    QByteArray text = ptxHeader(2500, 1000);
    text.reserve(count * 24);
    for (int k = 0; k < count; ++k) {
        text += QByteArray::number(k);
        text += " 0.5 -1.25\n";
    }
    const QString path = writeFile(dir.filePath(QStringLiteral("big.ptx")), text);
    text.clear();

    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    ASSERT_TRUE(reader.openScan(0));
    std::vector<int> sizes;
    std::vector<bool> results;
    double expectedX = 0;
    bool inOrder = true;
    for (int call = 0; call < 5; ++call) {
        cv::Mat chunk;
        results.push_back(reader.readPoints(0, chunk, 1000));
        sizes.push_back(chunk.cols);
        for (int k = 0; k < chunk.cols && chunk.cols >= 2; ++k)
            inOrder = inOrder && chunk.at<double>(0, k) == expectedX++;
        if (!results.back())
            break;
    }
    EXPECT_EQ(sizes, std::vector<int>({1000000, 1000000, 500000}));
    EXPECT_EQ(results, std::vector<bool>({true, true, false}));
    EXPECT_TRUE(inOrder);

    // A rewind delivers the first chunk again.
    reader.rewindPoints();
    cv::Mat first;
    EXPECT_TRUE(reader.readPoints(0, first, 1000));
    ASSERT_EQ(first.cols, 1000000);
    EXPECT_EQ(first.at<double>(0, 0), 0.0);
    EXPECT_EQ(first.at<double>(0, 999999), 999999.0);
    EXPECT_EQ(first.at<double>(2, 999999), -1.25);
}

TEST(PtxReader, ParallelBlocksDeliverWhatTheLineReaderDelivers)
{
    // Three scans in two files, their lines spread over many blocks of the parallel
    // reader: malformed lines here and there, an overlong one, CR LF line ends, a scan
    // that ends inside a block with the next header right behind it, and a last scan cut
    // short by the end of its file without a last line end.
    QTemporaryDir dir;
    const int count = 300000;
    QByteArray first = ptxHeader(300, 1000);
    for (int k = 0; k < count; ++k) {
        if (k % 40000 == 17)
            first += "1 2"; // a line too short, in the place of a point
        else
            first += QByteArray::number(k) + ' ' + QByteArray::number(k % 977) + " -1.25 0.5";
        first += k % 3 == 0 ? "\r\n" : "\n";
    }
    first += ptxHeader(2, 3) + "1 1 1\n" + "2 2 2 " + QByteArray(5 << 20, '7') + "\n" +
             ptxPointLines(distinctPoints(4, 3.0));
    const QByteArray second =
        ptxHeader(2, 200000) + ptxPointLines(distinctPoints(150000, 7.0)) + "8 8 8";
    const QStringList files = {writeFile(dir.filePath(QStringLiteral("a.ptx")), first),
                               writeFile(dir.filePath(QStringLiteral("b.ptx")), second)};

    CaptureDiagnostics quiet;
    ScanSourcePTX lines;
    ASSERT_TRUE(lines.fetchFiles(files));
    // The blocks cut from the file mapped into memory, and read from it.
    for (const bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "mapped" : "read");
        PtxBlockParser::mapFiles(mapped);
        const auto restore = qScopeGuard([] { PtxBlockParser::mapFiles(true); });
        ScanSourcePTX blocks;
        blocks.setReadThreads(4);
        ASSERT_TRUE(blocks.fetchFiles(files));
        ASSERT_EQ(blocks.scanCount(), 3);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("scan " + std::to_string(i));
            const ScanReadout expected = readWholeScan(lines, i);
            const ScanReadout scan = readWholeScan(blocks, i);
            EXPECT_TRUE(scan.points == expected.points);
            EXPECT_FALSE(scan.results.back());
            EXPECT_GE(scan.chunkColumns.size(), i == 1 ? 1u : 2u) << "read in several blocks";
            // A rewind starts again from the first point; a grid read after a block read goes
            // on from where the blocks left off.
            blocks.rewindPoints();
            EXPECT_TRUE(readOpenScan(blocks, i).points == expected.points);
            lines.closeScan(i);
            blocks.closeScan(i);
        }
        EXPECT_TRUE(blocks.notes() == lines.notes());
        ASSERT_EQ(blocks.notes().size(), 3u); // scan 2 cut short, and the lines skipped
        EXPECT_EQ(blocks.notes()[1].text, "Scan 0: skipped 8 malformed point lines");
        EXPECT_EQ(blocks.notes()[2].text, "Scan 1: skipped 1 malformed point lines");
    }
    ScanSourcePTX blocks;
    blocks.setReadThreads(4);
    ASSERT_TRUE(blocks.fetchFiles(files));
    ASSERT_TRUE(blocks.openScan(2));
    cv::Mat chunk;
    ASSERT_TRUE(blocks.readPoints(2, chunk, 1000));
    const int delivered = chunk.cols;
    cv::Mat polar;
    blocks.grid()->readPolarDataFromScan(2, polar, 1);
    ASSERT_EQ(polar.cols, 150001 - delivered); // the rest of the scan's lines
    const cv::Vec3d next = distinctPoints(150000, 7.0)[std::size_t(delivered)];
    EXPECT_EQ(polar.at<double>(0, 0), std::sqrt(next.dot(next)));
}

TEST(PtxReader, ScanOneLongerThanAChunkLosesNoPoint)
{
    // With 1,000,001 points a full first chunk would leave a single point, which would
    // look like the end-of-scan placeholder; the reader splits 999,999 + 2 instead.
    QTemporaryDir dir;
    const int count = 1000001;
    QByteArray text = ptxHeader(1, count);
    for (int k = 0; k < count; ++k)
        text += QByteArray::number(k) + " 1 2\n";
    const QString path = writeFile(dir.filePath(QStringLiteral("odd.ptx")), text);

    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    const ScanReadout scan = readWholeScan(reader, 0);
    EXPECT_EQ(scan.chunkColumns, std::vector<int>({999999, 2}));
    EXPECT_EQ(scan.results, std::vector<bool>({true, false}));
    ASSERT_EQ(scan.points.size(), std::size_t(count));
    EXPECT_EQ(scan.points.back()[0], double(count - 1));
}

TEST(PtxReader, OnePointScanDeliversThePlaceholder)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath(QStringLiteral("one.ptx")), ptxHeader(1, 1) + "4 5 6 0.5\n");
    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat chunk;
    EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
    ASSERT_EQ(chunk.size(), cv::Size(1, 4));
    EXPECT_EQ(cv::countNonZero(chunk == 1.0), 4);
}

TEST(PtxReader, PoseIsTheTransposeOfThePoseLines)
{
    struct Case
    {
        const char* name;
        QList<QByteArray> lines;
        double translation[3];
        double element10; // pose(1, 0): column 0 comes from line 7
    };
    const Case cases[] = {
        {"translation on line 10",
         {"1 0 0 0", "0 1 0 0", "0 0 1 0", "10 20 30 1"},
         {10, 20, 30},
         0},
        {"line 7 is column 0", {"0 1 0 0", "-1 0 0 0", "0 0 1 0", "1 2 3 1"}, {1, 2, 3}, 1},
        // A float would round these to steps of 0.03125 m and 0.5 m.
        {"georeferenced translation keeps its centimetres",
         {"1 0 0 0", "0 1 0 0", "0 0 1 0", "500000.123 5400000.456 148.994888 1"},
         {500000.123, 5400000.456, 148.994888},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = writeFile(dir.filePath(QStringLiteral("pose.ptx")),
                                       ptxHeader(1, 2, c.lines) + "1 2 3\n4 5 6\n");
        CaptureDiagnostics quiet;
        ScanSourcePTX reader;
        reader.fetchFiles({path});
        ASSERT_EQ(reader.scanCount(), 1);
        cv::Mat pose;
        reader.scanPose(0, pose);
        ASSERT_EQ(pose.size(), cv::Size(4, 4));
        EXPECT_EQ(pose.at<double>(0, 3), c.translation[0]);
        EXPECT_EQ(pose.at<double>(1, 3), c.translation[1]);
        EXPECT_EQ(pose.at<double>(2, 3), c.translation[2]);
        EXPECT_EQ(pose.at<double>(1, 0), c.element10);
        EXPECT_EQ(pose.at<double>(3, 3), 1.0);
        cv::Mat rotation(3, 3, CV_64F);
        cv::Mat translation(3, 1, CV_64F);
        reader.scanPoseParts(0, rotation, translation);
        EXPECT_EQ(translation.at<double>(0), c.translation[0]);
        EXPECT_EQ(translation.at<double>(1), c.translation[1]);
        EXPECT_EQ(rotation.at<double>(1, 0), c.element10);
    }
}

TEST(PtxReader, LineEndsAndBlanksDoNotChangeWhatIsRead)
{
    // The same two scans written with LF, CRLF, trailing blanks, tabs and no final newline.
    const std::vector<cv::Vec3d> a = distinctPoints(6, 3.0);
    const std::vector<cv::Vec3d> b = distinctPoints(2, -7.0);
    const QByteArray plain = ptxHeader(3, 2) + ptxPointLines(a, " 0.5 1 2 3") +
                             ptxHeader(1, 2, secondPoseLines) + ptxPointLines(b, " 0.5");
    QByteArray crlf = plain;
    crlf.replace("\n", "\r\n");
    QByteArray blanks = plain;
    blanks.replace("\n", "  \t\n");
    QByteArray tabs = plain;
    tabs.replace(' ', '\t');
    const QByteArray noFinalNewline = crlf.chopped(2);

    const std::pair<const char*, QByteArray> variants[] = {
        {"LF", plain},
        {"CRLF", crlf},
        {"trailing blanks", blanks},
        {"tabs between numbers", tabs},
        {"CRLF without final line end", noFinalNewline},
    };
    for (const auto& [name, bytes] : variants) {
        QTemporaryDir dir;
        CaptureDiagnostics out;
        ScanSourceContract contract;
        contract.label = name;
        contract.createReader = newPtxReader;
        contract.inputFiles = {writeFile(dir.filePath(QStringLiteral("v.ptx")), bytes)};
        contract.scans = {{a, identity(), 2, 3}, {b, poseOf(secondPoseLines), 2, 1}};
        checkScanSourceContract(contract);
        for (const QString& line : out.lines())
            EXPECT_FALSE(line.contains(QStringLiteral("skipped")))
                << name << ": " << line.toStdString();
    }
}

TEST(PtxReader, HeaderLineIsPrintedAtIndexingAndAtEveryOpen)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath(QStringLiteral("h.ptx")), ptxHeader(1024, 2048) + "1 2 3\n4 5 6\n");
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    reader.openScan(0);
    reader.closeScan(0);
    reader.openScan(0);
    EXPECT_EQ(out.lines().count(QStringLiteral("Header = 1024 2048")), 3);
    EXPECT_EQ(out.lines().count(QStringLiteral("Load Scan 0 getFileInd = 0 Position = 0")), 2);
}

TEST(PtxReader, ExtraFieldsAndOriginPointsAreKept)
{
    // Intensity and colour come only when asked for; a missing return at the origin is a
    // point.
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("fields.ptx")),
                                   ptxHeader(1, 4) +
                                       "1.5 -2 3e-1 0.731 12 34 56\n"
                                       "0 0 0 0.500000 0 0 0\n"
                                       "+4 5.25E1 -6 0.1\n"
                                       "1 1 1 x 300 -4 9.6\n" +
                                       ptxHeader(1, 2) + "1 2 3\n4 5 6 0.25\n");
    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    const ScanReadout scan = readWholeScan(reader, 0);
    EXPECT_EQ(scan.points,
              std::vector<cv::Vec3d>({{1.5, -2, 0.3}, {0, 0, 0}, {4, 52.5, -6}, {1, 1, 1}}));
    reader.closeScan(0);

    // A scan's first point line tells what its lines carry; a line that lacks a value has
    // NaN for the intensity and black for the colour.
    for (const PointChannels asked : {PointChannels{}, PointChannels{true, false},
                                      PointChannels{false, true}, PointChannels{true, true}}) {
        SCOPED_TRACE(std::to_string(asked.intensity) + std::to_string(asked.colour));
        ASSERT_TRUE(reader.openScan(0));
        ScanChunk chunk;
        EXPECT_FALSE(reader.readPoints(0, chunk, 1000, asked));
        ASSERT_EQ(chunk.points.cols, 4);
        EXPECT_EQ(chunk.intensity.empty(), !asked.intensity);
        EXPECT_EQ(chunk.colour.empty(), !asked.colour);
        if (asked.intensity) {
            ASSERT_EQ(chunk.intensity.size(), cv::Size(4, 1));
            ASSERT_EQ(chunk.intensity.type(), CV_32F);
            EXPECT_EQ(chunk.intensity.at<float>(0, 0), 0.731f);
            EXPECT_EQ(chunk.intensity.at<float>(0, 1), 0.5f);
            EXPECT_EQ(chunk.intensity.at<float>(0, 2), 0.1f);
            EXPECT_TRUE(std::isnan(chunk.intensity.at<float>(0, 3)));
        }
        if (asked.colour) {
            ASSERT_EQ(chunk.colour.size(), cv::Size(4, 3));
            ASSERT_EQ(chunk.colour.type(), CV_8U);
            const cv::Mat expected = (cv::Mat_<std::uint8_t>(3, 4) << 12, 0, 0, 0, //
                                      34, 0, 0, 0,                                 //
                                      56, 0, 0, 0);
            EXPECT_EQ(cv::countNonZero(chunk.colour != expected), 0) << chunk.colour;
        }
        ASSERT_TRUE(reader.openScan(1));
        EXPECT_FALSE(reader.readPoints(1, chunk, 1000, asked));
        EXPECT_TRUE(chunk.intensity.empty()) << "the first line of scan 1 holds x, y, z only";
        EXPECT_TRUE(chunk.colour.empty());
        reader.closeScan(1);
    }

    // Polar values: range, polar angle acos(z / r), azimuth atan2(y, x).
    reader.rewindPoints();
    cv::Mat polar;
    EXPECT_FALSE(reader.readPolarDataFromScan(0, polar, 1));
    ASSERT_EQ(polar.size(), cv::Size(4, 3));
    const double r0 = std::sqrt(1.5 * 1.5 + 4 + 0.09);
    EXPECT_DOUBLE_EQ(polar.at<double>(0, 0), r0);
    EXPECT_DOUBLE_EQ(polar.at<double>(1, 0), std::acos(0.3 / r0));
    EXPECT_DOUBLE_EQ(polar.at<double>(2, 0), std::atan2(-2.0, 1.5));
    EXPECT_EQ(polar.at<double>(0, 1), 0.0);          // the origin: range 0,
    EXPECT_TRUE(std::isnan(polar.at<double>(1, 1))); // no polar angle,
    EXPECT_EQ(polar.at<double>(2, 1), 0.0);          // atan2(0, 0) = 0
}

TEST(PtxReader, DepthImageFollowsPointsPerColumn)
{
    // Header line 1 = 3 columns, line 2 = 2 points per column: the depth image has 2 rows.
    QTemporaryDir dir;
    const std::vector<cv::Vec3d> points = {{1, 0, 0}, {2, 0, 0}, {0, 3, 0},
                                           {0, 0, 4}, {0, 5, 0}, {6, 0, 0}};
    const QString path = writeFile(dir.filePath(QStringLiteral("depth.ptx")),
                                   ptxHeader(3, 2) + ptxPointLines(points, " 0.5"));
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    cv::Mat depth;
    ASSERT_TRUE(reader.computeScanDepthImage(0, depth));
    EXPECT_TRUE(out.lines().contains(QStringLiteral("Compute ScanDepthImage")));
    ASSERT_EQ(depth.size(), cv::Size(3, 2));
    const double expected[2][3] = {{1, 3, 5}, {2, 4, 6}};
    for (int j = 0; j < 2; ++j) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(depth.at<double>(j, c), expected[j][c]) << "row " << j << " column " << c;
    }
    // The depth image leaves a pending rewind: the next read starts at the first point.
    EXPECT_EQ(readOpenScan(reader, 0).points, points);
}

TEST(PtxReader, PolarReadStopsAtTheEndOfItsScan)
{
    TwoScanFile file;
    CaptureDiagnostics out;
    ScanSourcePTX reader;
    reader.fetchFiles({file.path});
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat polar;
    EXPECT_TRUE(reader.readPolarDataFromScan(0, polar, 1)); // column 0: 3 points
    EXPECT_EQ(polar.cols, 3);
    EXPECT_FALSE(reader.readPolarDataFromScan(0, polar, 5)); // only 3 are left
    EXPECT_EQ(polar.cols, 3);
    EXPECT_DOUBLE_EQ(polar.at<double>(0, 2), cv::norm(file.first[5]));
    EXPECT_TRUE(
        out.lines().contains(QStringLiteral("ERROR in ScanSourcePTX::readPolarDataFromScan")));
}

TEST(PtxReader, FailedOpenLeavesNoScanOpen)
{
    // The file is replaced after indexing: its header cannot be read again.
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.filePath(QStringLiteral("changing.ptx")), ptxHeader(1, 2) + "1 2 3\n4 5 6\n");
    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    writeFile(path, "not a scan any more\n");
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_FALSE(reader.isScanOpen(0));
    cv::Mat chunk;
    EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
    EXPECT_EQ(chunk.cols, 1);
    QFile::remove(path);
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_EQ(reader.scanCount(), 1) << "a failed open forgets no scan";
    // Each cause is noted for the scan, to be told with it.
    QStringList notes;
    for (const auto& note : reader.notes())
        notes << QString::fromStdString(note.text);
    const QString shown = QDir::toNativeSeparators(path);
    EXPECT_EQ(notes, QStringList({"the scan file " + shown + " has changed since it was listed",
                                  "the scan file " + shown + " is missing"}));
}

TEST(ScanSourceFactory, CreatesThePtxReaderByLowerCasedExtension)
{
    for (const char* name : {"a.ptx", "B.PTX", "dir.x/c.Ptx"}) {
        const std::unique_ptr<ScanSource> reader = createScanSource(QString::fromLatin1(name));
        EXPECT_NE(dynamic_cast<ScanSourcePTX*>(reader.get()), nullptr) << name;
    }
    EXPECT_EQ(createScanSource(QStringLiteral("scan.ptx.txt")), nullptr);
    EXPECT_TRUE(supportedScanExtensions().contains(QStringLiteral(".ptx")));
}

TEST(PtxReader, AColumnSampleReadsTheFirstOfEveryKColumnsAndParsesNoOther)
{
    // 7 columns of 3 points; a malformed line in column 3 (read) and in column 1 (passed
    // over, so never looked at), and a second scan behind the first.
    QTemporaryDir dir;
    const std::vector<cv::Vec3d> points = distinctPoints(21, 1.0);
    QByteArray text = ptxHeader(7, 3);
    for (int k = 0; k < 21; ++k)
        text += k == 4 || k == 10 ? QByteArray("garbage\n") : ptxPointLines({points[k]});
    text += ptxHeader(1, 2) + ptxPointLines(distinctPoints(2, 90.0));
    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.setReadThreads(3);
    ASSERT_TRUE(reader.fetchFiles({writeFile(dir.filePath(QStringLiteral("s.ptx")), text)}));
    ASSERT_TRUE(reader.openScan(0));
    std::vector<cv::Vec3d> read;
    std::vector<int> perCall;
    bool more = true;
    while (more) {
        cv::Mat chunk;
        more = reader.grid()->readColumnSample(0, chunk, 3, 2);
        perCall.push_back(chunk.cols);
        for (int j = 0; j < chunk.cols; ++j)
            read.emplace_back(chunk.at<double>(0, j), chunk.at<double>(1, j),
                              chunk.at<double>(2, j));
    }
    // Columns 0, 3 and 6, two per call; line 10 (column 3) yields no point.
    const std::vector<cv::Vec3d> expected = {points[0],  points[1],  points[2],  points[9],
                                             points[11], points[18], points[19], points[20]};
    EXPECT_TRUE(read == expected);
    EXPECT_EQ(perCall, (std::vector<int>{5, 3}));
    EXPECT_EQ(reader.notes().back().text, "Scan 0: skipped 1 malformed point lines");
}
