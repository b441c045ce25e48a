// Broken E57 input by name: each case has one defined outcome (scans listed, points read,
// the line printed); none crashes, delivers points from a damaged page, or allocates by
// what a damaged file claims.

#include "BadInput.h"
#include "E57TestFiles.h"
#include "scan/ScanSourceE57.h"
#include "scan/e57/Endian.h"
#include "support/TempAppData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const std::vector<cv::Vec3d> points = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {0, 0, 1}};

// Five points as single floats with an invalid state (all valid), named "s"; its XML
// section reaches into page 2.
E57FilePlan goodPlan()
{
    E57ScanPlan scan;
    scan.name = "s";
    scan.moreXml = "<description type=\"String\">" + QByteArray(1500, 'd') + "</description>";
    scan.fields = cartesianFields(points);
    for (E57Field& f : scan.fields)
        f.single = true;
    scan.fields.push_back(E57Field::integer("cartesianInvalidState", 0, 2, {0, 0, 0, 0, 0}));
    return {{scan}, {}};
}

E57FilePlan withXml(const char* from, const char* to)
{
    E57FilePlan plan = goodPlan();
    const QByteArray a(from);
    const QByteArray b(to);
    plan.editXml = [a, b](QByteArray& xml) { xml.replace(a, b); };
    return plan;
}

// The good file with bytes set at a physical offset, checksums fixed or left.
QByteArray patched(const E57Image& image, qint64 at, const QByteArray& bytes, bool fix = true)
{
    QByteArray out = image.bytes;
    out.replace(at, bytes.size(), bytes);
    if (fix)
        e57FixChecksums(out);
    return out;
}

QByteArray number64(quint64 value)
{
    QByteArray b(8, '\0');
    e57::storeLittleEndian(b.data(), value);
    return b;
}

QByteArray flipped(QByteArray bytes, qint64 at)
{
    bytes[at] = char(bytes[at] ^ 0x10);
    return bytes;
}

// Listing lines start with the file; a failed read is the reader's error line.
const BadInputFormat e57Format = {"e57", [] { return std::make_unique<ScanSourceE57>(); }, false,
                                  [](const QString& path) { return "E57 file " + path; }};

std::vector<BadInput> badInputs()
{
    const E57Image good = e57File(goodPlan());
    // A scan of 400 points over several pages, to damage a page of its data.
    E57ScanPlan large;
    std::vector<cv::Vec3d> many(400, cv::Vec3d(1, 2, 3));
    large.fields = cartesianFields(many);
    const E57Image largeImage = e57File({{large}, {}});
    E57ScanPlan noCoordinates;
    noCoordinates.fields = {E57Field::floating("intensity", {0.5, 0.25})};
    E57ScanPlan notFinite;
    notFinite.fields = cartesianFields({{1, 1, 1}, {NAN, 0, 0}, {2, 2, 2}, {0, INFINITY, 0}});
    E57ScanPlan shortOfRecords = goodPlan().scans[0];
    shortOfRecords.recordCount = 6;
    E57ScanPlan noPoints;
    noPoints.withPoints = false;
    const qint64 section = good.sectionOffsets[0];
    const QByteArray zero = "\0";

    return {
        {"empty file", QByteArray(), 0, {}, "not an E57 file"},
        {"a PTX file", "2\n3\n0 0 0\n", 0, {}, "not an E57 file"},
        {"cut inside the file header",
         good.bytes.left(30),
         0,
         {},
         "the file ends inside its header"},
        {"cut inside page 0", good.bytes.left(700), 0, {}, "the file ends inside page 0"},
        {"last page missing",
         good.bytes.left(good.bytes.size() - 1024),
         0,
         {},
         "cut short: the header gives"},
        {"damaged page 0", flipped(good.bytes, 60), 0, {}, "bad checksum in page 0"},
        {"damaged XML page", flipped(good.bytes, 2 * 1024 + 10), 0, {}, "bad checksum in page 2"},
        {"damaged data page",
         flipped(largeImage.bytes, 3 * 1024 + 10),
         1,
         {{}},
         "bad checksum in page 3 (bytes 3072 to 4095)"},
        {"version 2", patched(good, 8, "\x02"), 0, {}, "format version 2.0"},
        {"page size 1000", patched(good, 40, number64(1000)), 0, {}, "page size of 1000 bytes"},
        {"XML section beyond the file",
         patched(good, 32, number64(1 << 20)),
         0,
         {},
         "does not lie within the file"},
        {"XML not well-formed",
         e57File(withXml("</data3D>", "")).bytes,
         0,
         {},
         "XML section not well-formed"},
        {"other root element",
         e57File(withXml("e57Root", "root")).bytes,
         0,
         {},
         "root element is <root>"},
        {"prototype short of a field",
         e57File(
             withXml("<cartesianInvalidState type=\"Integer\" minimum=\"0\" maximum=\"2\"/>", ""))
             .bytes,
         0,
         {},
         "holds 4 bytestreams where the point prototype of the XML section has 3 fields"},
        {"maximum below minimum",
         e57File(withXml("maximum=\"2\"", "maximum=\"-5\"")).bytes,
         0,
         {},
         "maximum -5 below its minimum 0"},
        {"maximum beyond 64 bits",
         e57File(withXml("maximum=\"2\"", "maximum=\"99999999999999999999\"")).bytes,
         0,
         {},
         "not a whole number"},
        {"huge record count",
         e57File(withXml("recordCount=\"5\"", "recordCount=\"1000000000000000\"")).bytes,
         0,
         {},
         "more than the compressed vector section"},
        {"negative record count",
         e57File(withXml("recordCount=\"5\"", "recordCount=\"-5\"")).bytes,
         0,
         {},
         "negative fileOffset or recordCount"},
        {"records missing from the section",
         e57File({{shortOfRecords}, {}}).bytes,
         1,
         {{}},
         "ends before all 6 records"},
        {"section past the end of the file",
         e57File(withXml("fileOffset=\"48\"", "fileOffset=\"99999999\"")).bytes,
         0,
         {},
         "does not lie within the file"},
        {"section offset on a checksum",
         e57File(withXml("fileOffset=\"48\"", "fileOffset=\"1021\"")).bytes,
         0,
         {},
         "does not lie within the file"},
        {"section offset on the XML section",
         e57File(withXml("fileOffset=\"48\"", "fileOffset=\"1024\"")).bytes,
         0,
         {},
         "is not a compressed vector section"},
        {"section longer than the file",
         patched(good, section + 8, number64(1 << 30)),
         0,
         {},
         "which the file does not hold"},
        {"packet of unknown type",
         patched(good, section + 32, "\x07"),
         0,
         {},
         "a packet of unknown type 7"},
        {"codec other than bitpack",
         e57File(withXml("allowHeterogeneousChildren=\"1\"/></points>",
                         "><zip type=\"Structure\"/></codecs></points>"))
             .bytes,
         0,
         {},
         "codec other than bitpack (<zip>)"},
        {"string field",
         e57File(withXml("</prototype>", "<note type=\"String\"/></prototype>")).bytes,
         0,
         {},
         "point field <note> of type \"String\""},
        {"half precision",
         e57File(withXml("precision=\"single\"", "precision=\"half\"")).bytes,
         0,
         {},
         "of precision \"half\""},
        {"rotation of length 0",
         e57File(withXml("<name", "<pose type=\"Structure\"><rotation type=\"Structure\"/>"
                                  "</pose><name"))
             .bytes,
         0,
         {},
         "the rotation of its pose has length 0"},
        {"pose value not a number",
         e57File(withXml("<name", "<pose type=\"Structure\"><translation type=\"Structure\">"
                                  "<x type=\"Float\">1,5</x></translation></pose><name"))
             .bytes,
         0,
         {},
         "holds \"1,5\", not a number"},
        {"no coordinates",
         e57File({{noCoordinates}, {}}).bytes,
         1,
         {{}},
         "scan 0 has neither cartesian nor spherical coordinates: it gives no points"},
        {"coordinates not finite",
         e57File({{notFinite}, {}}).bytes,
         1,
         {{{1, 1, 1}, {2, 2, 2}}},
         "Scan 0: skipped 2 points whose coordinates are not finite"},
        {"scan without points", e57File({{noPoints}, {}}).bytes, 1, {{}}, "1 scan"},
    };
}

} // namespace

TEST(E57BadInput, EveryCaseHasItsDefinedOutcome)
{
    expectDefinedOutcomes(e57Format, badInputs());
}

TEST(E57BadInput, FileChangedAfterListingCannotBeOpened)
{
    E57FilePlan longer = goodPlan();
    longer.scans[0].name = QByteArray(2000, 'n');
    expectChangedFileCannotBeOpened(
        e57Format, e57File(goodPlan()).bytes, {e57File(longer).bytes}, [](const QString& path) {
            return "E57 file " + path + ": the file changed since it was listed";
        });
}

TEST(E57BadInput, RandomDamageNeverBreaksTheReader)
{
    // Two scans, the second in small packets with index and empty packets.
    E57FilePlan plan = goodPlan();
    E57ScanPlan second = plan.scans[0];
    second.streamBytesPerPacket = 5;
    second.indexAndEmptyPackets = true;
    plan.scans.push_back(second);
    RandomDamage damage;
    damage.good = e57File(plan).bytes;
    damage.seed = 20240611u;
    damage.afterOddChange = e57FixChecksums;
    damage.maxScans = 2;
    damage.mostPointsPerByte = 8;
    expectRandomDamageHandled(e57Format, damage);
}
