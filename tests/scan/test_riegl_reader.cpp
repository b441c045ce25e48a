// The Riegl project reader on hand-made projects and point streams: positions, scans and
// poses, chunking and the end of a frame, the printed lines, the decisions for projects
// without a sound pose, and the choice of one scan per "singlescans".

#include "RieglTestFiles.h"
#include "scan/ScanSourceFactory.h"
#include "scan/ScanSourceRiegl.h"
#include "scan/riegl/RieglPath.h"
#include "scan/riegl/RieglProject.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// A georeferenced POP as real projects carry it, and two SOPs.
const cv::Mat pop = translation(-515632.66332186362, -5519682.7927730317, 3143447.4201939853);
const cv::Mat sop1 = quarterTurn(-2.1875, 10.375, -4.5);
const cv::Mat sop2 = translation(7.25, -3.5, 1.25);

// A project folder with two positions of one scan each, written like RiSCAN lays it out.
struct TwoPositionProject
{
    QTemporaryDir dir;
    QString project;
    QString scan1;
    QString scan2;
    std::vector<cv::Vec3d> points1 = floatPoints(65000, 1.0);
    std::vector<cv::Vec3d> points2 = floatPoints(3, 40.0);

    TwoPositionProject()
    {
        project = writeFile(
            dir.filePath("site.RiSCAN/project.rsp"),
            projectXml(popXml(pop),
                       positionXml("ScanPos001", singleScansXml({"a.p3s"}) + sopXml(sop1)) +
                           positionXml("ScanPos002", singleScansXml({"b.p3s"}) + sopXml(sop2))));
        scan1 = writeFile(dir.filePath("site.RiSCAN/SCANS/ScanPos001/SINGLESCANS/a.p3s"),
                          pointStream({points1}));
        scan2 = writeFile(dir.filePath("site.RiSCAN/SCANS/ScanPos002/SINGLESCANS/b.p3s"),
                          pointStream({points2}));
    }
};

std::unique_ptr<ScanSource> newRieglReader()
{
    return std::make_unique<ScanSourceRiegl>();
}

// The project holding the given positions, read by a fresh reader.
struct ReadProject
{
    QTemporaryDir dir;
    ScanSourceRiegl reader;
    bool fetched = false;
    QStringList lines;

    explicit ReadProject(const QByteArray& xml)
    {
        const QString path = writeFile(dir.filePath("project.rsp"), xml);
        CaptureDiagnostics out;
        fetched = reader.fetchFiles({path});
        lines = out.lines();
    }
    cv::Mat pose(int i) const
    {
        cv::Mat m;
        reader.scanPose(i, m);
        return m;
    }
    QStringList names() const
    {
        QStringList n;
        reader.scanNames(n);
        return n;
    }
};

bool sameMatrix(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a != b) == 0;
}

} // namespace

TEST(RieglReader, ReadsTwoPositionsWithOneScanEach)
{
    TwoPositionProject site;
    ScanSourceRiegl reader;
    CaptureDiagnostics out;
    ASSERT_TRUE(reader.fetchFiles({site.project}));
    EXPECT_EQ(reader.scanCount(), 2);

    // The scan paths: the project's folder and the folds, joined with "/" on every platform.
    const QString folder = QFileInfo(site.project).absolutePath();
    const QString path1 = folder + "/SCANS/ScanPos001/SINGLESCANS/a.p3s";
    const QString path2 = folder + "/SCANS/ScanPos002/SINGLESCANS/b.p3s";
    EXPECT_EQ(out.lines(),
              QStringList({"Found riegl Scan File: " + path1, "Found riegl Scan File:" + path1,
                           "Found riegl Scan File: " + path2, "Found riegl Scan File:" + path2}));
    QStringList names = {"stale"};
    reader.scanNames(names);
    EXPECT_EQ(names, QStringList({"a.p3s", "b.p3s"}));

    cv::Mat pose;
    reader.scanPose(0, pose);
    EXPECT_TRUE(sameMatrix(pose, times(pop, sop1)));
    // Literal: the SOP's turn, and its translation added to the project's.
    EXPECT_EQ(pose.at<double>(0, 1), -1.0);
    EXPECT_EQ(pose.at<double>(0, 3), -515632.66332186362 - 2.1875);
    EXPECT_EQ(pose.at<double>(1, 3), -5519682.7927730317 + 10.375);
    reader.scanPose(1, pose);
    EXPECT_TRUE(sameMatrix(pose, times(pop, sop2)));
    EXPECT_EQ(pose.at<double>(2, 3), 3143447.4201939853 + 1.25);

    const ScanReadout second = readWholeScan(reader, 1);
    ASSERT_TRUE(second.opened);
    EXPECT_EQ(second.points, site.points2);
    EXPECT_TRUE(out.lines().contains("file:" + path2));
}

TEST(RieglReader, KeepsTheScanSourceContract)
{
    TwoPositionProject site;
    CaptureDiagnostics quiet;
    ScanSourceContract contract;
    contract.label = "two Riegl positions";
    contract.createReader = newRieglReader;
    contract.inputFiles = {site.project};
    // The scan grid is not known from a stream: 0 × 0.
    contract.scans = {{site.points1, times(pop, sop1), 0, 0},
                      {site.points2, times(pop, sop2), 0, 0}};
    contract.maxPointsPerChunk = ScanSourceRiegl::chunkPoints;
    checkScanSourceContract(contract);
}

TEST(RieglReader, ChunksOfThirtyThousandEndWithTheFrame)
{
    struct Case
    {
        int points;
        std::vector<int> chunks; // columns of every chunk the engine would take
    };
    // Never a last chunk of one point: it would read as the placeholder and be lost.
    const Case cases[] = {
        {2, {2}},
        {29999, {29999}},
        {30000, {30000}},
        {30001, {29999, 2}},
        {30002, {30000, 2}},
        {60000, {30000, 30000}},
        {60001, {30000, 29999, 2}},
        {75000, {30000, 30000, 15000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points);
        QTemporaryDir dir;
        const std::vector<cv::Vec3d> points = floatPoints(c.points, 3.0);
        // A second frame follows the scan's own: the end of the first frame ends the scan.
        writeFile(dir.filePath("SCANS/P/SINGLESCANS/s.p3s"),
                  pointStream({points, floatPoints(10, 900.0)}));
        const QString project = writeFile(
            dir.filePath("p.rsp"),
            projectXml(popXml(pop), positionXml("P", singleScansXml({"s.p3s"}) + sopXml(sop2))));
        CaptureDiagnostics out;
        ScanSourceRiegl reader;
        ASSERT_TRUE(reader.fetchFiles({project}));
        const ScanReadout scan = readWholeScan(reader, 0);
        EXPECT_EQ(scan.chunkColumns, c.chunks);
        std::vector<bool> results(c.chunks.size(), true);
        results.back() = false; // the last chunk carries the end of the frame
        EXPECT_EQ(scan.results, results);
        EXPECT_EQ(scan.points, points);

        cv::Mat after;
        EXPECT_FALSE(reader.readPoints(0, after, 1000));
        EXPECT_EQ(after.size(), cv::Size(1, 4));
        EXPECT_FALSE(out.lines().contains("No more data")) << "the frame ended, nothing failed";
    }
}

TEST(RieglReader, PositionWithTwoSingleScansSharesItsSop)
{
    ReadProject p(projectXml(
        popXml(pop),
        positionXml("ScanPos001", singleScansXml({"a.p3s"}, "FIRST") +
                                      singleScansXml({"b.p3s"}, "SECOND") + sopXml(sop1)) +
            positionXml("ScanPos002", singleScansXml({"c.p3s"}) + sopXml(sop2))));
    ASSERT_TRUE(p.fetched);
    EXPECT_EQ(p.names(), QStringList({"a.p3s", "b.p3s", "c.p3s"}));
    EXPECT_TRUE(sameMatrix(p.pose(0), times(pop, sop1)));
    EXPECT_TRUE(sameMatrix(p.pose(1), times(pop, sop1)));
    EXPECT_TRUE(sameMatrix(p.pose(2), times(pop, sop2)));
    EXPECT_TRUE(p.lines.contains("Found riegl Scan File: " + p.dir.path() +
                                 "/SCANS/ScanPos001/SECOND/b.p3s"));
}

TEST(RieglReader, PosesStayWithTheirOwnPosition)
{
    // A position with a SOP but no scan, and one whose "singlescans" is empty, place
    // nothing; the SOPs of the positions after them stay with their own scans.
    ReadProject p(
        projectXml(popXml(pop),
                   positionXml("A", singleScansXml({"a.p3s"}) + sopXml(sop1)) +
                       positionXml("NoScans", sopXml(translation(1000, 1000, 1000))) +
                       positionXml("Empty", singleScansXml({}) + sopXml(translation(2000, 0, 0))) +
                       positionXml("NoSop", "") + // places nothing, so needs no SOP
                       positionXml("B", singleScansXml({"b.p3s"}) + sopXml(sop2))));
    ASSERT_TRUE(p.fetched);
    EXPECT_EQ(p.names(), QStringList({"a.p3s", "b.p3s"}));
    EXPECT_TRUE(sameMatrix(p.pose(1), times(pop, sop2)));
    EXPECT_TRUE(p.lines.contains("Scan position \"Empty\": no scan file in \"SINGLESCANS\""));
    for (const QString& line : p.lines)
        EXPECT_FALSE(line.endsWith("/SINGLESCANS/") || line.endsWith("/SINGLESCANS"))
            << line.toStdString();
}

TEST(RieglReader, ProjectsWithoutASoundPose)
{
    const QByteArray scans = singleScansXml({"a.p3s"});
    const QByteArray sop = sopXml(sop1);
    struct Case
    {
        const char* name;
        QByteArray xml;
        const char* line; // printed before "Error parsing rsp file"
    };
    const Case refused[] = {
        {"position without sop", projectXml(popXml(pop), positionXml("SP01", scans)),
         "Error: scan position \"SP01\": no sop"},
        {"sop without matrix",
         projectXml(popXml(pop), positionXml("SP01", scans + "<sop><freeze>0</freeze></sop>")),
         "Error: scan position \"SP01\": sop holds no matrix"},
        {"3 x 4 matrix",
         projectXml(popXml(pop),
                    positionXml("SP01", scans + "<sop><matrix rows=\"3\" cols=\"4\">"
                                                "1 0 0 0 0 1 0 0 0 0 1 0</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix of rows=\"3\" cols=\"4\", 4 x 4 expected"},
        {"no rows attribute",
         projectXml(popXml(pop), positionXml("SP01", scans + "<sop><matrix cols=\"4\">"
                                                             "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"
                                                             "</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix of rows=\"\" cols=\"4\", 4 x 4 expected"},
        {"twelve numbers",
         projectXml(popXml(pop),
                    positionXml("SP01", scans + "<sop><matrix rows=\"4\" cols=\"4\">"
                                                "1 0 0 0 0 1 0 0 0 0 1 0</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix holds 12 numbers, 16 expected"},
        {"a word among the numbers",
         projectXml(popXml(pop), positionXml("SP01", scans + "<sop><matrix rows=\"4\" cols=\"4\">"
                                                             "1 0 0 x 0 1 0 0 0 0 1 0 0 0 0 1"
                                                             "</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix item 4 \"x\" is not a finite number"},
        {"NAN among the numbers",
         projectXml(popXml(pop), positionXml("SP01", scans + "<sop><matrix rows=\"4\" cols=\"4\">"
                                                             "1 0 0 NAN 0 1 0 0 0 0 1 0 0 0 0 1"
                                                             "</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix item 4 \"NAN\" is not a finite number"},
        {"a number glued to text",
         projectXml(popXml(pop), positionXml("SP01", scans + "<sop><matrix rows=\"4\" cols=\"4\">"
                                                             "1 0 0 5,25 0 1 0 0 0 0 1 0 0 0 0 1"
                                                             "</matrix></sop>")),
         "Error: scan position \"SP01\": sop matrix item 4 \"5,25\" is not a finite number"},
        {"broken pop",
         projectXml("<pop><matrix rows=\"4\" cols=\"4\">1 0 0</matrix></pop>",
                    positionXml("SP01", scans + sop)),
         "Error: pop matrix holds 3 numbers, 16 expected"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        ReadProject p(c.xml);
        EXPECT_FALSE(p.fetched);
        EXPECT_EQ(p.lines, QStringList({c.line, "Error parsing rsp file"}));
        EXPECT_EQ(p.reader.scanCount(), 0);
        EXPECT_TRUE(p.names().isEmpty());
    }

    // Without a "pop" the scan positions are the project's coordinates.
    ReadProject noPop(projectXml("", positionXml("SP01", scans + sop)));
    ASSERT_TRUE(noPop.fetched);
    EXPECT_TRUE(sameMatrix(noPop.pose(0), sop1));
    EXPECT_TRUE(noPop.lines.contains("No pop in rsp file; the project pose is the identity"));

    // Windows exponents, a leading plus, tabs and line breaks between numbers, and a
    // bottom row as the file gives it; numbers after the sixteenth are not read.
    ReadProject written(
        projectXml("<pop><matrix rows=\"4\" cols=\"4\">\t1 4.7632160018149184E-005 0 1441015.57\n"
                   "0 1 -5.2554397717696518E-019 -4480820.38   0 0 +1 4289793.94   0 0 0 1   7 "
                   "</matrix></pop>",
                   positionXml("SP01", scans + sopXml(cv::Mat::eye(4, 4, CV_64F)))));
    ASSERT_TRUE(written.fetched);
    const cv::Mat pose = written.pose(0);
    EXPECT_EQ(pose.at<double>(0, 1), 4.7632160018149184E-5);
    EXPECT_EQ(pose.at<double>(1, 2), -5.2554397717696518E-19);
    EXPECT_EQ(pose.at<double>(0, 3), 1441015.57);
    EXPECT_EQ(pose.at<double>(1, 3), -4480820.38);
    EXPECT_EQ(pose.at<double>(2, 3), 4289793.94);
}

TEST(RieglReader, TakesThePlainScanOfASingleScans)
{
    struct Case
    {
        const char* name;
        QByteArray scans;
        const char* chosen;
    };
    const Case cases[] = {
        {"monitoring preview first", singleScansXml({"170815_144558.mon.rxp", "170815_144558.rxp"}),
         "170815_144558.rxp"},
        {"archived copies first",
         singleScansXml({"151120_150227_old@20160315-120347-357.rxp",
                         "151120_150404@20160315-120349-059.rxp", "151120_150227.rxp",
                         "151120_150404.rxp"}),
         "151120_150227.rxp"},
        {"only copies: the first", singleScansXml({"a.mon.rxp", "b@20160315-120606-559.rxp"}),
         "a.mon.rxp"},
        {"plain scan first", singleScansXml({"x.rxp", "x.mon.rxp"}), "x.rxp"},
        {"a scan marked deleted",
         "<singlescans fold=\"S\"><scan states=\"deleted\"><file>old.rxp</file></scan>"
         "<scan><file>new.rxp</file></scan></singlescans>",
         "new.rxp"},
        {"scans without a file name are passed over",
         "<singlescans fold=\"S\"><scan/><scan><file>  </file></scan>"
         "<scan><file> c.rxp </file></scan></singlescans>",
         "c.rxp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReadProject p(projectXml(popXml(pop), positionXml("P", c.scans + sopXml(sop1))));
        ASSERT_TRUE(p.fetched);
        EXPECT_EQ(p.names(), QStringList({c.chosen})) << "one scan per singlescans";
    }

    struct Name
    {
        const char* file;
        bool plain;
    };
    const Name names[] = {
        {"151120_150227.rxp", true},
        {"170117_201451.rxp", true},
        {"scan.p3s", true},
        {"a@b.rxp", true}, // an "@" without a date
        {"170815_144558.mon.rxp", false},
        {"170815_144558.MON.RXP", false},
        {"151120_150227_old@20160315-120347-357.rxp", false},
        {"151120_155528@20160315-120606-559.rxp", false},
    };
    for (const Name& n : names)
        EXPECT_EQ(RieglProject::isPlainScanFile(n.file), n.plain) << n.file;
}

TEST(RieglReader, DimensionsAreZeroAndThereIsNoGrid)
{
    TwoPositionProject site;
    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    ASSERT_TRUE(reader.fetchFiles({site.project}));
    int rows = -1;
    int columns = -1;
    EXPECT_FALSE(reader.scanDimensions(0, rows, columns));
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(reader.grid(), nullptr) << "a point stream has no polar reads or depth image";
    // A rewind of an opened scan that was partly read starts it over.
    ASSERT_TRUE(reader.openScan(0));
    cv::Mat chunk;
    reader.readPoints(0, chunk, 1000);
    reader.rewindPoints();
    const ScanReadout scan = readOpenScan(reader, 0);
    EXPECT_EQ(scan.points, site.points1);
}

namespace {

// The stand-in's functions, counted, so that a test sees every stream opened and closed.
struct Counts
{
    int opens = 0;
    int closes = 0;
};
Counts counts;

ScanifcApi countingLibrary()
{
    ScanifcApi api;
    api.open = [](const char* uri, std::int32_t sync, ScanifcStream* stream) {
        const int r = scanifc_point3dstream_open(uri, sync, stream);
        counts.opens += r == 0 ? 1 : 0;
        return r;
    };
    api.read = &scanifc_point3dstream_read;
    api.close = [](ScanifcStream stream) {
        ++counts.closes;
        return scanifc_point3dstream_close(stream);
    };
    return api;
}

} // namespace

TEST(RieglReader, OpenAndCloseLeaveNoStreamBehind)
{
    TwoPositionProject site;
    CaptureDiagnostics out;
    counts = {};
    {
        ScanSourceRiegl reader(countingLibrary());
        ASSERT_TRUE(reader.fetchFiles({site.project}));
        EXPECT_FALSE(reader.isScanOpen(0));
        ASSERT_TRUE(reader.openScan(0));
        EXPECT_TRUE(reader.isScanOpen(0));
        ASSERT_TRUE(reader.openScan(0)); // again: starts over, the old stream is closed
        EXPECT_EQ(counts.opens - counts.closes, 1);
        ASSERT_TRUE(reader.openScan(1));
        EXPECT_FALSE(reader.isScanOpen(0));
        EXPECT_TRUE(reader.closeScan(0)) << "closing a scan that is not open";
        EXPECT_TRUE(reader.isScanOpen(1));
        EXPECT_TRUE(reader.closeScan(1));
        EXPECT_FALSE(reader.isScanOpen(1)) << "a closed scan is not open";
        EXPECT_EQ(counts.opens, counts.closes);

        cv::Mat chunk;
        EXPECT_FALSE(reader.readPoints(1, chunk, 1000)) << "no scan open";
        EXPECT_EQ(chunk.size(), cv::Size(1, 4));

        // A rewind closes and reopens the stream, since it cannot seek.
        ASSERT_TRUE(reader.openScan(0));
        reader.readPoints(0, chunk, 1000);
        reader.rewindPoints();
        const ScanReadout again = readOpenScan(reader, 0);
        EXPECT_EQ(again.points, site.points1);
        EXPECT_EQ(counts.opens - counts.closes, 1);
    } // the reader's end closes its stream
    EXPECT_EQ(counts.opens, counts.closes);
    EXPECT_EQ(out.lines().count("Load Scan"), 5);
}

TEST(RieglReader, FactoryCreatesItForRspInAnyCase)
{
    for (const char* name : {"C:/p/project.rsp", "site.RSP", "a.Rsp"}) {
        const std::unique_ptr<ScanSource> reader = createScanSource(QString::fromLatin1(name));
        EXPECT_NE(dynamic_cast<ScanSourceRiegl*>(reader.get()), nullptr) << name;
    }
    EXPECT_TRUE(supportedScanExtensions().contains(".rsp"));
}

TEST(RieglPath, ProjectPathsOutsideLatin1AreRefused)
{
    struct Case
    {
        QString path;
        bool refused;
    };
    const Case cases[] = {
        {"C:\\Projekte\\Grundriss\\project.rsp", false},
        {QString::fromUtf8("C:\\Messung Würzburg\\project.rsp"), false}, // Latin-1: fine
        {QString::fromUtf8("C:\\Проект\\project.rsp"), true},
        {QString::fromUtf8("D:/測量/site.RSP"), true},
        {QString::fromUtf8("C:/scans/€uro/project.rsp"), true}, // € is not Latin-1
        {QString::fromUtf8("C:\\Проект\\scan.ptx"), false},     // not a Riegl project
        {QString::fromUtf8("C:\\Проект\\project.rsp.bak"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rieglProjectPathRefused(c.path), c.refused) << c.path.toStdString();

    EXPECT_EQ(rieglScanUri(QString::fromUtf8("/d/Süd/a.p3s")), QByteArray("file:/d/S\xfc"
                                                                          "d/a.p3s"));
    EXPECT_TRUE(rieglScanUri(QString::fromUtf8("/d/Проект/a.p3s")).isEmpty());
    EXPECT_EQ(rieglPathFromUri("file:/d/S\xfc"
                               "d/a.p3s"),
              QString::fromUtf8("/d/Süd/a.p3s"));
    EXPECT_TRUE(rieglPathFromUri("http://host/a.p3s").isEmpty());
    EXPECT_TRUE(rieglPathFromUri("file:").isEmpty());
}

TEST(RieglPath, Latin1FoldersAreReadAndOthersRefusedAtOpen)
{
    QTemporaryDir dir;
    const std::vector<cv::Vec3d> points = floatPoints(5, 2.0);
    // The project stands in a Latin-1 folder and names one scan below a Latin-1 position
    // folder and one below a Cyrillic one.
    const QString folder = dir.filePath(QString::fromUtf8("Messung Süd"));
    const QString project = writeFile(
        folder + "/project.rsp",
        projectXml(
            popXml(pop),
            positionXml(QString::fromUtf8("Straße"), singleScansXml({"a.p3s"}) + sopXml(sop1)) +
                positionXml(QString::fromUtf8("Двор"), singleScansXml({"b.p3s"}) + sopXml(sop2))));
    writeFile(folder + QString::fromUtf8("/SCANS/Straße/SINGLESCANS/a.p3s"), pointStream({points}));
    writeFile(folder + QString::fromUtf8("/SCANS/Двор/SINGLESCANS/b.p3s"), pointStream({points}));

    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    ASSERT_TRUE(reader.fetchFiles({project}));
    EXPECT_EQ(readWholeScan(reader, 0).points, points);
    EXPECT_FALSE(reader.openScan(1));
    EXPECT_FALSE(reader.isScanOpen(1));
    const QString uri = "file:" + folder + QString::fromUtf8("/SCANS/Двор/SINGLESCANS/b.p3s");
    EXPECT_TRUE(out.lines().contains("Cannot open Riegl File " + uri));
}
