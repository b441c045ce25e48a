// Broken Riegl input by name: project files that are missing, empty, malformed, huge or
// nested without end, and point streams that are missing, cut short, foreign or stuck.
// Every case ends in a defined state with a clear line, never in made-up points.

#include "RieglTestFiles.h"
#include "scan/ScanSourceRiegl.h"
#include "scan/riegl/PointStreamFile.h"
#include "scan/riegl/RieglProject.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const cv::Mat sop = translation(1.5, 2.5, 0.5);

QByteArray oneScanProject(const QString& file = "s.p3s")
{
    return projectXml(popXml(translation(100, 200, 0)),
                      positionXml("P", singleScansXml({file}) + sopXml(sop)));
}

QString streamPath(const QTemporaryDir& dir, const QString& file = "s.p3s")
{
    return dir.filePath("SCANS/P/SINGLESCANS/" + file);
}

struct Fetch
{
    bool fetched = false;
    int count = -1;
    QStringList lines;
};

Fetch fetch(const QString& project)
{
    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    Fetch f;
    f.fetched = reader.fetchFiles({project});
    f.count = reader.scanCount();
    f.lines = out.lines();
    return f;
}

} // namespace

TEST(RieglBadInput, ProjectFilesThatCannotBeRead)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.rsp");
    struct Case
    {
        const char* name;
        QString path;
        QStringList lines;
    };
    const Case cases[] = {
        {"missing project file",
         missing,
         {"Cannot open rsp file " + missing + ": No such file or directory",
          "Error parsing rsp file"}},
        {"a folder", dir.path(), {}},
        {"empty file",
         writeFile(dir.filePath("empty.rsp"), ""),
         {"Error: Parse error at line 1, column 0: Premature end of document.",
          "Error parsing rsp file"}},
        {"unclosed element", writeFile(dir.filePath("cut.rsp"), oneScanProject().left(300)), {}},
        {"mismatched tags",
         writeFile(dir.filePath("tags.rsp"), "<project>\n  <pop></sop>\n</project>\n"),
         {"Error: Parse error at line 2, column 13: Opening and ending tag mismatch.",
          "Error parsing rsp file"}},
        {"binary garbage",
         writeFile(dir.filePath("garbage.rsp"), QByteArray("\x00\x01\xff\xfe", 4)),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Fetch f = fetch(c.path);
        EXPECT_FALSE(f.fetched);
        EXPECT_EQ(f.count, 0);
        ASSERT_FALSE(f.lines.isEmpty());
        EXPECT_EQ(f.lines.last(), "Error parsing rsp file");
        if (!c.lines.isEmpty())
            EXPECT_EQ(f.lines, c.lines);
        else
            EXPECT_EQ(f.lines.size(), 2) << f.lines.join('\n').toStdString();
    }

    CaptureDiagnostics quiet;
    ScanSourceRiegl reader;
    EXPECT_FALSE(reader.fetchFiles({})) << "no input at all";
    EXPECT_EQ(reader.scanCount(), 0);
}

TEST(RieglBadInput, DeepHugeAndExpandingDocumentsAreRefusedQuickly)
{
    QTemporaryDir dir;
    // Far deeper than any project: refused before a document tree is built.
    const int depth = 200000;
    QByteArray deep = "<project>";
    deep.reserve(depth * 7 + 32);
    for (int k = 0; k < depth; ++k)
        deep += "<a>";
    for (int k = 0; k < depth; ++k)
        deep += "</a>";
    deep += "</project>";
    Fetch f = fetch(writeFile(dir.filePath("deep.rsp"), deep));
    EXPECT_FALSE(f.fetched);
    EXPECT_EQ(f.lines,
              QStringList({"Error: rsp file nests elements deeper than 256 levels at line 1",
                           "Error parsing rsp file"}));

    // Nesting within the limit is read (and has no scan).
    QByteArray nested = "<project>";
    for (int k = 0; k < RieglProject::maxDepth - 1; ++k)
        nested += "<a>";
    for (int k = 0; k < RieglProject::maxDepth - 1; ++k)
        nested += "</a>";
    nested += "</project>";
    f = fetch(writeFile(dir.filePath("nested.rsp"), nested));
    EXPECT_TRUE(f.fetched);
    EXPECT_EQ(f.count, 0);

    // Entities that expand a billion times.
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE project [<!ENTITY l0 \"lol\">";
    for (int k = 1; k < 10; ++k) {
        laughs += "<!ENTITY l" + QByteArray::number(k) + " \"";
        for (int j = 0; j < 10; ++j)
            laughs += "&l" + QByteArray::number(k - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><project>&l9;</project>";
    f = fetch(writeFile(dir.filePath("laughs.rsp"), laughs));
    EXPECT_FALSE(f.fetched);
    ASSERT_EQ(f.lines.size(), 2);
    EXPECT_TRUE(f.lines[0].startsWith("Error: Parse error at line 1")) << f.lines[0].toStdString();

    // Larger than any project: refused by its size (a sparse file, nothing is read).
    const QString huge = dir.filePath("huge.rsp");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(RieglProject::maxFileSize + 1));
    }
    f = fetch(huge);
    EXPECT_FALSE(f.fetched);
    EXPECT_EQ(f.lines, QStringList({"rsp file " + huge +
                                        " holds 134217729 bytes; at most 134217728 are read",
                                    "Error parsing rsp file"}));
}

TEST(RieglBadInput, WellFormedProjectsWithoutScans)
{
    QTemporaryDir dir;
    struct Case
    {
        const char* name;
        QByteArray xml;
    };
    const Case cases[] = {
        {"another root", "<notaproject></notaproject>"},
        {"no scan positions", projectXml(popXml(sop), "")},
        {"a position without singlescans", projectXml("", positionXml("P", sopXml(sop)))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Fetch f = fetch(writeFile(dir.filePath("p.rsp"), c.xml));
        EXPECT_TRUE(f.fetched);
        EXPECT_EQ(f.count, 0);
        EXPECT_EQ(f.lines, QStringList({"No scans found in rsp file"}));
    }
}

TEST(RieglBadInput, ProjectInAn8BitCodePageIsReadAsLatin1)
{
    // RiSCAN on Windows: a folder name in the 8-bit code page, no encoding declared.
    QTemporaryDir dir;
    QByteArray xml =
        projectXml(popXml(sop), positionXml("P", singleScansXml({"s.p3s"}, "Sud") + sopXml(sop)));
    xml.replace("\"Sud\"", "\"S\xfc"
                           "d\"");
    const Fetch f = fetch(writeFile(dir.filePath("p.rsp"), xml));
    EXPECT_TRUE(f.fetched);
    EXPECT_EQ(f.count, 1);
    EXPECT_EQ(f.lines.first(), "rsp file is not UTF-8; read as Latin-1");
    EXPECT_TRUE(f.lines.contains(QString::fromUtf8("Found riegl Scan File:") + dir.path() +
                                 QString::fromUtf8("/SCANS/P/Süd/s.p3s")));
}

TEST(RieglBadInput, StreamsThatCannotBeOpened)
{
    QTemporaryDir dir;
    const QString project = writeFile(dir.filePath("p.rsp"), oneScanProject());
    const QString stream = streamPath(dir);
    const QByteArray good = pointStream({floatPoints(4, 1.0)});
    QByteArray otherVersion = good;
    otherVersion[8] = 2;
    QByteArray hugeHeader = good;
    hugeHeader[13] = 0x10; // 4112 bytes of header
    struct Case
    {
        const char* name;
        bool write;
        QByteArray bytes;
        QString line; // the stand-in's own line, before "Cannot open Riegl File"
    };
    const Case cases[] = {
        {"missing",
         false,
         {},
         "Point stream " + stream + ": cannot open: No such file or directory"},
        {"empty", true, "",
         "Point stream " + stream + ": not a point stream (no point-stream header)"},
        {"text", true, "1 2 3\n4 5 6\n",
         "Point stream " + stream + ": not a point stream (no point-stream header)"},
        {"header cut short", true, good.left(12),
         "Point stream " + stream + ": not a point stream (no point-stream header)"},
        {"version 2", true, otherVersion,
         "Point stream " + stream + ": version 2, only version 1 is read"},
        {"header larger than the file", true, hugeHeader,
         "Point stream " + stream + ": header size 4112 does not fit the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(stream);
        if (c.write)
            writeFile(stream, c.bytes);
        CaptureDiagnostics out;
        ScanSourceRiegl reader;
        ASSERT_TRUE(reader.fetchFiles({project}));
        EXPECT_FALSE(reader.openScan(0));
        EXPECT_FALSE(reader.isScanOpen(0));
        EXPECT_EQ(out.lines().mid(out.lines().size() - 5, 4),
                  QStringList({"Load Scan", "file:" + stream, c.line,
                               "Cannot open Riegl File file:" + stream}));
        // The scan's note says why in the user's words.
        EXPECT_TRUE(out.lines().last().contains(c.write
                                                    ? "the scan library cannot open " + stream
                                                    : "the scan file " + stream + " is missing"))
            << out.lines().last().toStdString();
        cv::Mat chunk;
        EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
        EXPECT_EQ(chunk.size(), cv::Size(1, 4));
    }
}

TEST(RieglBadInput, DamagedStreamsDeliverTheirWholePointsOnly)
{
    const std::vector<cv::Vec3d> points = floatPoints(40000, 5.0);
    const QByteArray whole = pointStream({points});
    QByteArray wrongTag = whole;
    wrongTag[16] = 'X';
    struct Case
    {
        const char* name;
        QByteArray bytes;
        std::size_t delivered; // the first points of `points`
        const char* damage;    // the stand-in's line after "Point stream <path>: "
    };
    const Case cases[] = {
        // 40000 points announced, 12345 whole records and a part of the next one there.
        {"cut inside the points", whole.left(16 + 8 + 12345 * 12 + 7), 12345,
         "ends inside frame 0 after 12345 of 40000 points"},
        {"cut after the frame header", whole.left(16 + 8), 0,
         "ends inside frame 0 after 0 of 40000 points"},
        {"cut inside the frame header", whole.left(16 + 5), 0,
         "ends inside the header of frame 0 at byte 16"},
        {"no frame tag", wrongTag, 0, "no frame tag at byte 16 (frame 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString project = writeFile(dir.filePath("p.rsp"), oneScanProject());
        const QString stream = writeFile(streamPath(dir), c.bytes);
        CaptureDiagnostics out;
        ScanSourceRiegl reader;
        ASSERT_TRUE(reader.fetchFiles({project}));
        const ScanReadout scan = readWholeScan(reader, 0);
        ASSERT_TRUE(scan.opened);
        ASSERT_EQ(scan.points.size(), c.delivered);
        EXPECT_TRUE(std::equal(scan.points.begin(), scan.points.end(), points.begin()));
        EXPECT_FALSE(scan.results.back());
        const QStringList lines = out.lines();
        EXPECT_TRUE(lines.contains("Point stream " + stream + ": " + c.damage));
        EXPECT_TRUE(lines.contains("No more data"));
        // The damage is on record for the scan, with the points that came before it.
        ASSERT_EQ(reader.notes().size(), std::size_t(1));
        EXPECT_EQ(reader.notes()[0].scan, 0);
        EXPECT_NE(reader.notes()[0].text.find(" after " + std::to_string(c.delivered) + " points"),
                  std::string::npos)
            << reader.notes()[0].text;
    }

    // A stream without any frame ends at once.
    QTemporaryDir dir;
    const QString project = writeFile(dir.filePath("p.rsp"), oneScanProject());
    writeFile(streamPath(dir), pointStream({}));
    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    ASSERT_TRUE(reader.fetchFiles({project}));
    const ScanReadout empty = readWholeScan(reader, 0);
    EXPECT_TRUE(empty.opened);
    EXPECT_TRUE(empty.points.empty());
    EXPECT_EQ(empty.results, std::vector<bool>({false}));
    EXPECT_TRUE(out.lines().contains("No more data"));
    EXPECT_EQ(reader.notes().size(), std::size_t(1));

    // An empty frame: the end of the frame, no points, no complaint.
    writeFile(streamPath(dir), pointStream({{}, floatPoints(5, 1.0)}));
    const ScanReadout emptyFrame = readWholeScan(reader, 0);
    EXPECT_TRUE(emptyFrame.points.empty());
    EXPECT_EQ(emptyFrame.chunkColumns, std::vector<int>({1}));
    EXPECT_EQ(reader.notes().size(), std::size_t(1)) << "an empty frame is no damage";
}

TEST(RieglBadInput, StandInRefusesBadCallsAndStaleHandles)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("s.p3s"), pointStream({floatPoints(3, 1.0)}));
    const QByteArray uri = "file:" + path.toLatin1();
    CaptureDiagnostics out;
    ScanifcStream stream = 77;
    EXPECT_EQ(scanifc_point3dstream_open("http://example.org/s.p3s", 0, &stream),
              PointStreamFile::InvalidCall);
    EXPECT_EQ(stream, 0u);

    ASSERT_EQ(scanifc_point3dstream_open(uri.constData(), 0, &stream), 0);
    ScanifcPoint points[4];
    ScanifcAttributes attributes[4];
    ScanifcTime times[4];
    std::uint32_t got = 0;
    std::int32_t endOfFrame = 0;
    EXPECT_EQ(
        scanifc_point3dstream_read(stream + 1000, 4, points, attributes, times, &got, &endOfFrame),
        PointStreamFile::InvalidCall);
    EXPECT_EQ(scanifc_point3dstream_close(stream), 0);
    EXPECT_NE(scanifc_point3dstream_close(stream), 0) << "closed twice";
    EXPECT_EQ(scanifc_point3dstream_read(stream, 4, points, attributes, times, &got, &endOfFrame),
              PointStreamFile::InvalidCall)
        << "read after close";
}

namespace {

// A library whose reads deliver the scan in awkward pieces: nothing, one point, a few.
struct Pieces
{
    std::vector<cv::Vec3d> points;
    std::vector<std::uint32_t> sizes; // per read, cycled; the last read sets end of frame
    std::size_t at = 0;
    std::size_t call = 0;
    std::uint32_t claimExtra = 0;
    bool neverEnds = false;
};
Pieces pieces;

ScanifcApi piecewiseLibrary()
{
    ScanifcApi api;
    api.open = [](const char*, std::int32_t, ScanifcStream* s) {
        pieces.at = 0;
        pieces.call = 0;
        *s = 1;
        return 0;
    };
    api.read = [](ScanifcStream, std::uint32_t want, ScanifcPoint* out, ScanifcAttributes*,
                  ScanifcTime*, std::uint32_t* got, std::int32_t* endOfFrame) {
        *got = 0;
        *endOfFrame = 0;
        if (pieces.neverEnds)
            return 0;
        const std::uint32_t size = pieces.sizes[pieces.call++ % pieces.sizes.size()];
        const std::size_t n = std::min<std::size_t>({size, want, pieces.points.size() - pieces.at});
        for (std::size_t k = 0; k < n; ++k) {
            const cv::Vec3d& p = pieces.points[pieces.at + k];
            out[k] = {float(p[0]), float(p[1]), float(p[2])};
        }
        pieces.at += n;
        *got = std::uint32_t(n) + pieces.claimExtra;
        *endOfFrame = pieces.at == pieces.points.size() ? 1 : 0;
        return 0;
    };
    api.close = [](ScanifcStream) { return 0; };
    return api;
}

} // namespace

TEST(RieglBadInput, ShortReadsOfTheLibraryNeitherEndTheScanNorLosePoints)
{
    QTemporaryDir dir;
    const QString project = writeFile(dir.filePath("p.rsp"), oneScanProject());
    CaptureDiagnostics out;

    pieces = {};
    pieces.points = floatPoints(70001, 2.0);
    pieces.sizes = {0, 1, 0, 7, 29999, 1, 30000, 3};
    ScanSourceRiegl reader(piecewiseLibrary());
    ASSERT_TRUE(reader.fetchFiles({project}));
    const ScanReadout scan = readWholeScan(reader, 0);
    EXPECT_EQ(scan.points, pieces.points);
    for (std::size_t k = 0; k < scan.chunkColumns.size(); ++k) {
        EXPECT_GE(scan.chunkColumns[k], 2) << "chunk " << k;
        EXPECT_LE(scan.chunkColumns[k], ScanSourceRiegl::chunkPoints) << "chunk " << k;
    }
    EXPECT_FALSE(scan.results.back());

    // A library that claims more points than it was asked for is held to what it was asked.
    pieces = {};
    pieces.points = floatPoints(10, 2.0);
    pieces.sizes = {30000};
    pieces.claimExtra = 50000;
    ScanSourceRiegl boasting(piecewiseLibrary());
    ASSERT_TRUE(boasting.fetchFiles({project}));
    const ScanReadout claimed = readWholeScan(boasting, 0);
    ASSERT_FALSE(claimed.chunkColumns.empty());
    EXPECT_LE(claimed.chunkColumns.front(), ScanSourceRiegl::chunkPoints);

    // A stream that never delivers and never ends is given up.
    pieces = {};
    pieces.neverEnds = true;
    ScanSourceRiegl stuck(piecewiseLibrary());
    ASSERT_TRUE(stuck.fetchFiles({project}));
    const ScanReadout nothing = readWholeScan(stuck, 0);
    EXPECT_TRUE(nothing.points.empty());
    EXPECT_EQ(nothing.results, std::vector<bool>({false}));
    EXPECT_EQ(out.lines().last(),
              "Riegl stream delivered nothing 10000 times in a row; the scan ends here");
}
