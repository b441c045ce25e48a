// The PTG reader on small hand-made files: header keys and values, the pose, record
// layouts, chunking by columns, index files and the scan list.

#include "PtgTestFiles.h"
#include "scan/ScanSourceFactory.h"
#include "scan/ScanSourcePTG.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

std::unique_ptr<ScanSource> newPtgReader()
{
    return std::make_unique<ScanSourcePTG>();
}

// 3 columns of 10 rows (two mask bytes, the second half padding): every third row has no
// return, column 1 has none at all.
PtgScan sparseScan()
{
    PtgScan scan;
    scan.columns = 3;
    scan.rows = 10;
    scan.transform =
        std::array<double, 16>{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 7.5, -2.25, 1.5, 1};
    scan.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        if (c == 1 || j % 3 == 1)
            return std::nullopt;
        return cv::Vec3d(c + 0.25, j * 0.5, -1.0 - j);
    };
    return scan;
}

cv::Mat poseOfRows(std::initializer_list<double> rowMajor)
{
    cv::Mat pose(4, 4, CV_64F);
    int k = 0;
    for (double v : rowMajor) {
        pose.at<double>(k / 4, k % 4) = v;
        ++k;
    }
    return pose;
}

QString writePtg(const QTemporaryDir& dir, const QString& name, const PtgScan& scan)
{
    return writeFile(dir.filePath(name), ptgFile(scan).bytes);
}

} // namespace

TEST(PtgReader, ReadsHeaderPoseAndPointsInStoredOrder)
{
    QTemporaryDir dir;
    const PtgFile file = ptgFile(sparseScan());
    const QString path = writeFile(dir.filePath(QStringLiteral("site.ptg")), file.bytes);
    ASSERT_EQ(file.points.size(), std::size_t(14));

    CaptureDiagnostics out;
    ScanSourcePTG reader;
    ASSERT_TRUE(reader.fetchFiles({path}));
    ASSERT_EQ(reader.scanCount(), 1);
    QStringList names = {QStringLiteral("old")};
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({path}));
    int rows = 0;
    int columns = 0;
    EXPECT_TRUE(reader.scanDimensions(0, rows, columns));
    EXPECT_EQ(rows, 10);
    EXPECT_EQ(columns, 3);

    // The transform's values are the pose column by column.
    cv::Mat pose;
    reader.scanPose(0, pose);
    const cv::Mat expected = poseOfRows({0, -1, 0, 7.5, 1, 0, 0, -2.25, 0, 0, 1, 1.5, 0, 0, 0, 1});
    EXPECT_EQ(cv::norm(pose, expected, cv::NORM_INF), 0.0);

    const ScanReadout scan = readWholeScan(reader, 0);
    ASSERT_TRUE(scan.opened);
    EXPECT_EQ(scan.points, file.points);
    EXPECT_EQ(scan.points.front(), cv::Vec3d(0.25, 0, -1));
    EXPECT_EQ(scan.points.back(), cv::Vec3d(2.25, 4.5, -10));
    EXPECT_EQ(scan.chunkColumns, std::vector<int>({14, 1}));
    EXPECT_EQ(scan.results, std::vector<bool>({true, false}));
    EXPECT_TRUE(out.lines().isEmpty()) << out.text();
}

TEST(PtgReader, KeepsTheScanSourceContract)
{
    QTemporaryDir dir;
    PtgScan second;
    second.columns = 5;
    second.rows = 3;
    second.properties = 2 | 4 | 8;
    second.transform = std::array<double, 16>{1, 0, 0, 0, 0,          1,           0,    0,
                                              0, 0, 1, 0, 500000.123, 5400000.456, 99.5, 1};
    second.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        return cv::Vec3d(0.1 * c, 0.3 * j, 100.0 / 3.0); // doubles that no float holds
    };
    const PtgFile a = ptgFile(sparseScan());
    const PtgFile b = ptgFile(second);
    for (const int maxColumns : {1000, 2, 1}) {
        SCOPED_TRACE("maxColumns " + std::to_string(maxColumns));
        CaptureDiagnostics quiet;
        ScanSourceContract contract;
        contract.label = "two PTG files";
        contract.createReader = newPtgReader;
        contract.inputFiles = {writeFile(dir.filePath(QStringLiteral("a.ptg")), a.bytes),
                               writeFile(dir.filePath(QStringLiteral("b.PTG")), b.bytes)};
        contract.maxColumns = maxColumns;
        contract.scans = {
            {a.points, poseOfRows({0, -1, 0, 7.5, 1, 0, 0, -2.25, 0, 0, 1, 1.5, 0, 0, 0, 1}), 10,
             3},
            {b.points,
             poseOfRows({1, 0, 0, 500000.123, 0, 1, 0, 5400000.456, 0, 0, 1, 99.5, 0, 0, 0, 1}), 3,
             5}};
        checkScanSourceContract(contract);
    }
}

TEST(PtgReader, RecordLayoutFollowsTheProperties)
{
    struct Case
    {
        qint32 properties;
        int recordBytes;
    };
    const Case cases[] = {
        {0, 12},
        {1, 12},
        {4, 16},
        {8, 15},
        {4 | 8, 19},
        {1 | 4 | 8, 19},
        {2, 24},
        {2 | 4 | 8, 31},
        {1 | 2, 24},          // both coordinate bits: the doubles win
        {16 | 32 | 1024, 12}, // bits nobody defined are not looked at
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("properties " + std::to_string(c.properties));
        QTemporaryDir dir;
        PtgScan scan;
        scan.columns = 4;
        scan.rows = 9;
        scan.properties = c.properties;
        scan.recordSize = c.recordBytes;
        scan.cell = [](int col, int j) -> std::optional<cv::Vec3d> {
            if ((col + j) % 4 == 0)
                return std::nullopt;
            return cv::Vec3d(col + 0.1, j - 0.3, 1e5 + 0.123);
        };
        const PtgFile file = ptgFile(scan);
        const QString path = writeFile(dir.filePath(QStringLiteral("r.ptg")), file.bytes);
        CaptureDiagnostics quiet;
        ScanSourcePTG reader;
        reader.fetchFiles({path});
        ASSERT_EQ(reader.scanCount(), 1);
        const ScanReadout read = readWholeScan(reader, 0);
        EXPECT_EQ(read.points, file.points);
        EXPECT_EQ(read.points.size(), std::size_t(27));
        // Floats are widened, doubles kept: 0.123 survives only in the second case.
        const double z = read.points.empty() ? 0 : read.points[0][2];
        EXPECT_EQ(z, (c.properties & 2) ? 1e5 + 0.123 : double(float(1e5 + 0.123)));
    }
}

TEST(PtgReader, UnknownKeysAreReadThrough)
{
    PtgBytes extra;
    extra
        .key("%%unknown_flag") // no value
        .keyString("%%scan_name", "Station 4")
        .keyString("%%scanner_name", "")
        .keyString("%%scanner_model", "model")
        .keyString("%%scanner_ip_addr", "10.0.0.7")
        .keyString("%%creation_date", "2024-06-07")
        .keyString("%%creation_time", "12:00:00")
        .keyString("%%texte_*", "texte")
        .keyString("%%text_*", QByteArray(5000, 'x'))
        .keyString("%%text_note", "a note") // not a key of ours: read through
        .keyInt("%%rows_total", 12345)
        .keyDouble("%%azim_min", 0.0)
        .keyDouble("%%azim_max", 6.283)
        .keyDouble("%%elev_min", -1.0)
        .keyDouble("%%elev_max", 1.5)
        .int32(0)                         // an empty key record
        .key("%%" + QByteArray(300, 'k')) // a long one
        .key("%%COLS")                    // keys are case-sensitive
        .key("%%header_begin");
    PtgScan scan;
    scan.columns = 2;
    scan.rows = 3;
    scan.keysBeforeEnd = extra.bytes;
    scan.cell = fullGrid();
    QTemporaryDir dir;
    const PtgFile file = ptgFile(scan);
    const QString path = writeFile(dir.filePath(QStringLiteral("keys.ptg")), file.bytes);
    CaptureDiagnostics out;
    ScanSourcePTG reader;
    reader.fetchFiles({path});
    ASSERT_EQ(reader.scanCount(), 1);
    int rows = 0;
    int columns = 0;
    reader.scanDimensions(0, rows, columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 2);
    EXPECT_EQ(readWholeScan(reader, 0).points, file.points);
    EXPECT_TRUE(out.lines().isEmpty()) << out.text();
}

TEST(PtgReader, PoseIsTheTransposeOfTheTransform)
{
    struct Case
    {
        const char* name;
        std::optional<std::array<double, 16>> transform;
        double translation[3];
        double element10; // pose(1, 0) = d1
        double element01; // pose(0, 1) = d4
    };
    const Case cases[] = {
        {"translation in d12, d13, d14",
         std::array<double, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1},
         {10, 20, 30},
         0,
         0},
        {"turned a quarter",
         std::array<double, 16>{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1},
         {1, 2, 3},
         1,
         -1},
        {"georeferenced translation to the last bit",
         std::array<double, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 500000.123, 5400000.456,
                                148.994888, 1},
         {500000.123, 5400000.456, 148.994888},
         0,
         0},
        {"no transform: not moved", std::nullopt, {0, 0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        PtgScan scan;
        scan.columns = 1;
        scan.rows = 2;
        scan.transform = c.transform;
        scan.cell = fullGrid();
        const QString path = writePtg(dir, QStringLiteral("pose.ptg"), scan);
        CaptureDiagnostics quiet;
        ScanSourcePTG reader;
        reader.fetchFiles({path});
        ASSERT_EQ(reader.scanCount(), 1);
        cv::Mat pose;
        reader.scanPose(0, pose);
        ASSERT_EQ(pose.size(), cv::Size(4, 4));
        cv::Mat rotation(3, 3, CV_64F);
        cv::Mat translation(3, 1, CV_64F);
        reader.scanPoseParts(0, rotation, translation);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(pose.at<double>(k, 3), c.translation[k]);
            EXPECT_EQ(translation.at<double>(k), c.translation[k]);
        }
        EXPECT_EQ(pose.at<double>(1, 0), c.element10);
        EXPECT_EQ(pose.at<double>(0, 1), c.element01);
        EXPECT_EQ(rotation.at<double>(1, 0), c.element10);
        EXPECT_EQ(pose.at<double>(3, 3), 1.0);
        EXPECT_EQ(pose.at<double>(3, 0), 0.0);
    }
}

TEST(PtgReader, ChunksByColumnsUnderBothLimits)
{
    struct Case
    {
        int columns;
        int rows;
        int maxColumns;
        std::vector<int> chunkColumns; // points per chunk, the closing placeholder included
    };
    const Case cases[] = {
        {10, 5000, 1000, {50000, 1}},
        {1000, 5000, 1000, {1000000, 1000000, 1000000, 1000000, 1000000, 1}},
        {10, 4, 3, {12, 12, 12, 4, 1}},
        {3, 2, 0, {2, 2, 2, 1}}, // a hint below one column still reads one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + " x " + std::to_string(c.rows) + ", maxColumns " +
                     std::to_string(c.maxColumns));
        QTemporaryDir dir;
        PtgScan scan;
        scan.columns = c.columns;
        scan.rows = c.rows;
        scan.cell = fullGrid();
        const QString path = writePtg(dir, QStringLiteral("grid.ptg"), scan);
        CaptureDiagnostics quiet;
        ScanSourcePTG reader;
        reader.fetchFiles({path});
        ASSERT_TRUE(reader.openScan(0));
        std::vector<int> sizes;
        std::vector<bool> results;
        int nextColumn = 0; // x is the column a point came from
        int nextRow = 0;
        bool inOrder = true;
        for (int call = 0; call < 20; ++call) {
            cv::Mat chunk;
            results.push_back(reader.readPoints(0, chunk, c.maxColumns));
            sizes.push_back(chunk.cols);
            if (chunk.cols < 2)
                break;
            for (int k = 0; k < chunk.cols && inOrder; ++k) {
                inOrder =
                    chunk.at<double>(0, k) == nextColumn && chunk.at<double>(1, k) == nextRow + 0.5;
                if (++nextRow == c.rows) {
                    nextRow = 0;
                    ++nextColumn;
                }
            }
        }
        EXPECT_EQ(sizes, c.chunkColumns);
        std::vector<bool> expectedResults(c.chunkColumns.size(), true);
        expectedResults.back() = false;
        EXPECT_EQ(results, expectedResults);
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(nextColumn, c.columns);
    }
}

TEST(PtgReader, NearlyEmptyColumnsDoNotEndTheScan)
{
    // Columns 0-2 and 4 have no return and column 3 one: with two columns per chunk the
    // first window holds no point, and a chunk of fewer than two points would end the scan
    // for the engine. The chunk reads on instead.
    PtgScan scan;
    scan.columns = 8;
    scan.rows = 4;
    scan.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        if (c < 3 || c == 4 || (c == 3 && j != 2))
            return std::nullopt;
        return cv::Vec3d(c, j + 0.5, 0);
    };
    QTemporaryDir dir;
    const PtgFile file = ptgFile(scan);
    const QString path = writeFile(dir.filePath(QStringLiteral("sky.ptg")), file.bytes);
    CaptureDiagnostics quiet;
    ScanSourcePTG reader;
    reader.fetchFiles({path});
    const ScanReadout read = readWholeScan(reader, 0, 2);
    EXPECT_EQ(read.points, file.points);
    EXPECT_EQ(read.chunkColumns, std::vector<int>({5, 8, 1}));
    EXPECT_EQ(read.results, std::vector<bool>({true, true, false}));

    // No return at all, or a single one: nothing to deliver.
    for (const int points : {0, 1}) {
        PtgScan empty;
        empty.columns = 6;
        empty.rows = 5;
        empty.cell = [points](int c, int j) -> std::optional<cv::Vec3d> {
            if (points == 1 && c == 4 && j == 3)
                return cv::Vec3d(1, 2, 3);
            return std::nullopt;
        };
        const QString emptyPath = writePtg(dir, QStringLiteral("empty.ptg"), empty);
        ScanSourcePTG emptyReader;
        emptyReader.fetchFiles({emptyPath});
        const ScanReadout none = readWholeScan(emptyReader, 0);
        EXPECT_EQ(none.chunkColumns, std::vector<int>({1}));
        EXPECT_EQ(none.results, std::vector<bool>({false}));
    }
}

TEST(PtgReader, ColumnTallerThanAChunkIsDeliveredInParts)
{
    PtgScan scan;
    scan.columns = 2;
    scan.rows = 1500000;
    scan.cell = [](int c, int j) -> std::optional<cv::Vec3d> {
        if (c == 1 && j >= 3)
            return std::nullopt;
        return cv::Vec3d(c, j + 0.5, 2);
    };
    QTemporaryDir dir;
    const PtgFile file = ptgFile(scan);
    const QString path = writeFile(dir.filePath(QStringLiteral("tall.ptg")), file.bytes);
    CaptureDiagnostics quiet;
    ScanSourcePTG reader;
    reader.fetchFiles({path});
    const ScanReadout read = readWholeScan(reader, 0);
    EXPECT_EQ(read.chunkColumns, std::vector<int>({1000000, 500000, 3, 1}));
    EXPECT_TRUE(read.points == file.points);
}

TEST(PtgReader, IndexFileNamesScansInItsFolder)
{
    QTemporaryDir dir;
    PtgScan first;
    first.columns = 2;
    first.rows = 2;
    first.cell = fullGrid(1.0);
    PtgScan second = first;
    second.cell = fullGrid(2.0);
    second.transform = std::array<double, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    const PtgFile a = ptgFile(first);
    const PtgFile b = ptgFile(second);
    const QString scan1 = writeFile(dir.filePath(QStringLiteral("scan1.ptg")), a.bytes);
    const QString scan2 = writeFile(dir.filePath(QStringLiteral("SCAN2.PTG")), b.bytes);
    writeFile(dir.filePath(QStringLiteral("notes.txt")), "not a scan");
    const QString index = writeFile(dir.filePath(QStringLiteral("project.ptg")),
                                    "PTG index file   \r\n  scan1.ptg \r\nnotes.txt\r\n"
                                    "\tSCAN2.PTG  \r\n\r\n");

    CaptureDiagnostics out;
    ScanSourceContract contract;
    contract.label = "index file";
    contract.createReader = newPtgReader;
    contract.inputFiles = {index};
    contract.scans = {
        {a.points, cv::Mat::eye(4, 4, CV_64F), 2, 2},
        {b.points, poseOfRows({1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1}), 2, 2}};
    checkScanSourceContract(contract);

    ScanSourcePTG reader;
    ASSERT_TRUE(reader.fetchFiles({index}));
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({scan1, scan2}));
    EXPECT_TRUE(out.lines().contains("PTG index file " + index + " names 2 scan files"));
}

TEST(PtgReader, AFileNamedMoreThanOnceIsOneScan)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    PtgScan scan;
    scan.columns = 2;
    scan.rows = 2;
    scan.cell = fullGrid(1.0);
    const QString a = writeFile(dir.filePath(QStringLiteral("a.ptg")), ptgFile(scan).bytes);
    scan.cell = fullGrid(2.0);
    const QString b = writeFile(dir.filePath(QStringLiteral("b.ptg")), ptgFile(scan).bytes);
    // The index names a.ptg three times, spelt three ways, and b.ptg once.
    const QString index = writeFile(dir.filePath(QStringLiteral("index.ptg")),
                                    "PTG index file\na.ptg\nb.ptg\n./a.ptg\nsub/../a.ptg\n");

    struct Case
    {
        const char* name;
        QStringList inputs;
        QStringList scans; // the files listed, in this order
        QStringList lines; // what is said about files named more than once
    };
    const Case cases[] = {
        {"an index naming a file three times", {index}, {a, b}, {"a.ptg is named 3 times"}},
        // What "*.ptg" in the folder gives: the index and the files it names.
        {"an index together with its files",
         {a, b, index},
         {a, b},
         {"a.ptg is named 4 times", "b.ptg is named 2 times"}},
        {"the same file twice, once relative to the current folder",
         {b, QDir::current().relativeFilePath(b)},
         {b},
         {"b.ptg is named 2 times"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureDiagnostics out;
        ScanSourcePTG reader;
        ASSERT_TRUE(reader.fetchFiles(c.inputs));
        QStringList names;
        reader.scanNames(names);
        EXPECT_EQ(names, c.scans);
        QStringList said;
        for (const QString& line : out.lines()) {
            if (line.endsWith(QLatin1String("; it is read once")))
                said.append(line);
        }
        ASSERT_EQ(said.size(), c.lines.size()) << out.text();
        for (int k = 0; k < said.size(); ++k)
            EXPECT_TRUE(said[k].contains(c.lines[k])) << said[k].toStdString();
    }
}

TEST(PtgReader, IndexFileVariants)
{
    PtgScan scan;
    scan.columns = 1;
    scan.rows = 3;
    scan.cell = fullGrid();
    const QByteArray bytes = ptgFile(scan).bytes;
    struct Case
    {
        const char* name;
        QByteArray index;
        QStringList files; // created beside the index file, relative to its folder
        QStringList scans; // the scan list that results, relative to the folder
        const char* printed;
    };
    const Case cases[] = {
        {"byte order mark and blanks before the first line",
         "\xEF\xBB\xBF  PTG index file\nscan1.ptg\n",
         {"scan1.ptg"},
         {"scan1.ptg"},
         "names 1 scan files"},
        {"backslashes and slashes between folders",
         "PTG index file\r\nsub\\deeper\\a.ptg\r\nsub/b.ptg\r\n..\\up\\c.ptg\r\n",
         {"sub/deeper/a.ptg", "sub/b.ptg", "../up/c.ptg"},
         {"sub/deeper/a.ptg", "sub/b.ptg", "../up/c.ptg"},
         "names 3 scan files"},
        {"a named file is missing: the others keep their order",
         "PTG index file\na.ptg\ngone.ptg\nb.ptg\n",
         {"a.ptg", "b.ptg"},
         {"a.ptg", "b.ptg"},
         "gone.ptg"},
        {"only an index line", "PTG index file\n", {}, {}, "names 0 scan files"},
        {"another first line: the file is taken for a scan",
         "PTG index file, version 2\na.ptg\n",
         {"a.ptg"},
         {},
         "Not a PTG file: "},
        {"the index names itself", "PTG index file\nindex.ptg\n", {}, {}, "Not a PTG file: "},
        {"names in Latin-1",
         "PTG index file\r\ncaf\xE9.ptg\r\n",
         {QStringLiteral("caf\u00e9.ptg")},
         {QStringLiteral("caf\u00e9.ptg")},
         "names 1 scan files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        QDir(root.path()).mkdir(QStringLiteral("project"));
        const QDir folder(root.filePath(QStringLiteral("project")));
        for (const QString& f : c.files)
            writeFile(QDir::cleanPath(folder.filePath(f)), bytes);
        const QString index = writeFile(folder.filePath(QStringLiteral("index.ptg")), c.index);
        CaptureDiagnostics out;
        ScanSourcePTG reader;
        EXPECT_TRUE(reader.fetchFiles({index}));
        QStringList expected;
        for (const QString& s : c.scans)
            expected.append(QDir::cleanPath(folder.filePath(s)));
        QStringList names;
        reader.scanNames(names);
        EXPECT_EQ(names, expected);
        ASSERT_EQ(reader.scanCount(), expected.size());
        for (int i = 0; i < reader.scanCount(); ++i)
            EXPECT_EQ(readWholeScan(reader, i).points.size(), std::size_t(3));
        bool found = false;
        for (const QString& line : out.lines())
            found = found || line.contains(QLatin1String(c.printed));
        EXPECT_TRUE(found) << "no line with \"" << c.printed << "\" in:\n" << out.text();
    }
}

TEST(PtgReader, FilesWithoutAScanLeaveTheListAligned)
{
    // Scan i, name i, pose i and the file openScan(i) reads stay one and the same file.
    QTemporaryDir dir;
    PtgScan first;
    first.columns = 2;
    first.rows = 3;
    first.cell = fullGrid(1.0);
    PtgScan second = first;
    second.cell = fullGrid(-4.0);
    second.transform = std::array<double, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -3, 2, 1, 1};
    const PtgFile a = ptgFile(first);
    const PtgFile b = ptgFile(second);
    const QStringList inputs = {writeFile(dir.filePath(QStringLiteral("a.ptg")), a.bytes),
                                dir.filePath(QStringLiteral("missing.ptg")),
                                writeFile(dir.filePath(QStringLiteral("text.ptg")), "hello\n"),
                                dir.filePath(QStringLiteral("folder.ptg")),
                                writeFile(dir.filePath(QStringLiteral("b.ptg")), b.bytes)};
    QDir(dir.path()).mkdir(QStringLiteral("folder.ptg"));
    CaptureDiagnostics out;
    ScanSourceContract contract;
    contract.label = "five inputs, three of them without a scan";
    contract.createReader = newPtgReader;
    contract.inputFiles = inputs;
    contract.scans = {
        {a.points, cv::Mat::eye(4, 4, CV_64F), 3, 2},
        {b.points, poseOfRows({1, 0, 0, -3, 0, 1, 0, 2, 0, 0, 1, 1, 0, 0, 0, 1}), 3, 2}};
    checkScanSourceContract(contract);

    ScanSourcePTG reader;
    reader.fetchFiles(inputs);
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({inputs[0], inputs[4]}));
    EXPECT_TRUE(
        out.lines().contains("Cannot open PTG file " + inputs[1] + ": No such file or directory"));
    EXPECT_TRUE(out.lines().contains("Not a PTG file: " + inputs[2]));
    EXPECT_TRUE(out.lines().contains("Cannot open PTG file " + inputs[3] +
                                     ": it is a folder, not a regular file"));

    ScanSourcePTG none;
    EXPECT_FALSE(none.fetchFiles({})) << "no input";
    EXPECT_EQ(none.scanCount(), 0);
    EXPECT_FALSE(none.openScan(0));
}

TEST(ScanSourceFactory, CreatesThePtgReaderByLowerCasedExtension)
{
    for (const char* name : {"a.ptg", "B.PTG", "dir.x/c.Ptg"}) {
        const std::unique_ptr<ScanSource> reader = createScanSource(QString::fromLatin1(name));
        EXPECT_NE(dynamic_cast<ScanSourcePTG*>(reader.get()), nullptr) << name;
    }
    EXPECT_EQ(createScanSource(QStringLiteral("scan.ptg.txt")), nullptr);
    EXPECT_TRUE(supportedScanExtensions().contains(QStringLiteral(".ptg")));
}
