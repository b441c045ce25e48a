// LAS files by hand, broken by name: each case lists what it should (no scan for a file
// that cannot be read as LAS), prints the line that says why, and reads no point beyond
// what the file holds; none crashes or allocates by what a header claims.

#include "scan/ScanSourceLAS.h"
#include "scan/e57/Endian.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::test;

namespace {

template <class T> QByteArray set(QByteArray bytes, int at, T value)
{
    e57::storeLittleEndian(bytes.data() + at, value);
    return bytes;
}

// Four points at scale 0.5 about (10, 20, 30): (10.5, 21, 31.5) and (12, 22.5, 33) of
// point source 7, (13.5, 24, 34.5) and (15, 25.5, 36) of source 9; version 1.2 with point
// format 1, or 1.4 with point format 6. A variable length record may lie between header
// and points.
QByteArray lasFile(int minor = 2, const QByteArray& record = {})
{
    const int headerSize = minor == 4 ? 375 : 227;
    const int format = minor == 4 ? 6 : 1;
    const int length = minor == 4 ? 30 : 28;
    QByteArray file(headerSize, '\0');
    file.replace(0, 4, "LASF");
    file[24] = 1;
    file[25] = char(minor);
    file = set<std::uint16_t>(file, 94, std::uint16_t(headerSize));
    file = set<std::uint32_t>(file, 96, std::uint32_t(headerSize + record.size()));
    file = set<std::uint32_t>(file, 100, record.isEmpty() ? 0 : 1);
    file[104] = char(format);
    file = set<std::uint16_t>(file, 105, std::uint16_t(length));
    file = set<std::uint32_t>(file, 107, minor == 4 ? 0 : 4);
    for (int a = 0; a < 3; ++a) {
        file = set<double>(file, 131 + 8 * a, 0.5);
        file = set<double>(file, 155 + 8 * a, 10.0 * (a + 1));
    }
    if (minor == 4)
        file = set<std::uint64_t>(file, 247, 4);
    file += record;
    for (int k = 1; k <= 4; ++k) {
        QByteArray point(length, '\0');
        for (int a = 0; a < 3; ++a)
            point = set<std::int32_t>(point, 4 * a, 3 * k - 2 + a);
        point = set<std::uint16_t>(point, minor == 4 ? 20 : 18, k < 3 ? 7 : 9);
        file += point;
    }
    return file;
}

QByteArray laszipRecord()
{
    QByteArray record(54, '\0');
    record.replace(2, 14, "laszip encoded");
    return set<std::uint16_t>(record, 18, 22204);
}

struct BadInput
{
    const char* name;
    QByteArray bytes;
    int scans;
    std::size_t points; // read from all of them
    const char* printed;
    const char* fileName = "bad.las";
};

} // namespace

TEST(LasBadInput, EveryCaseListsReadsAndSaysWhatItShould)
{
    const QByteArray good = lasFile();
    // The first point withheld: the lone point left of source 7 ends its scan unread.
    const QByteArray withheld = QByteArray(good).replace(227 + 15, 1, "\x80");
    const double nan = std::nan("");
    const BadInput cases[] = {
        {"good", good, 2, 4, "LAS 1.2, point format 1, 2 scans by point source ID"},
        {"good 1.4", lasFile(4), 2, 4, "LAS 1.4, point format 6, 2 scans by point source ID"},
        {"a withheld point", withheld, 2, 2, "1 withheld point left out"},
        {"empty", QByteArray(), 0, 0, "not a LAS file: it does not start with \"LASF\""},
        {"a PTX file", "2\n3\n0 0 0\n", 0, 0, "not a LAS file"},
        {"cut inside the header", good.left(100), 0, 0, "the file ends inside its header"},
        {"version 2.2", QByteArray(good).replace(24, 1, "\x02"), 0, 0,
         "format version 2.2 (1.0 to 1.4 are read)"},
        {"1.4 with a header of 1.2", QByteArray(good).replace(25, 1, "\x04"), 0, 0,
         "a header of 227 bytes, fewer than the 375 of version 1.4"},
        {"points inside the header", set<std::uint32_t>(good, 96, 100), 0, 0,
         "the point records start at byte 100, outside"},
        {"points beyond the file", set<std::uint32_t>(good, 96, 1u << 30), 0, 0,
         "the point records start at byte 1073741824, outside"},
        {"point format 11", QByteArray(good).replace(104, 1, "\x0b"), 0, 0,
         "point format 11 (formats 0 to 10 are read)"},
        {"records shorter than their format", set<std::uint16_t>(good, 105, 19), 0, 0,
         "point records of 19 bytes, fewer than the 28 of point format 1"},
        {"scale 0", set<double>(good, 131, 0.0), 0, 0, "the x scale factor 0 is not a finite"},
        {"scale NaN", set<double>(good, 139, nan), 0, 0, "the y scale factor nan is not"},
        {"offset infinite", set<double>(good, 171, INFINITY), 0, 0,
         "the z offset inf is not a finite number"},
        {"a huge point count", set<std::uint32_t>(good, 107, 0xFFFFFFFFu), 0, 0,
         "the header promises 4294967295 points of 28 bytes from byte 227, the file holds 4"},
        {"a huge 64-bit count", set<std::uint64_t>(lasFile(4), 247, 1ull << 62), 0, 0,
         "the header promises 4611686018427387904 points"},
        {"cut inside the points", good.left(good.size() - 10), 0, 0, "the file holds 3 of them"},
        {"the compressed bit", QByteArray(good).replace(104, 1, "\x81"), 0, 0,
         "is compressed LAS (LAZ); decompress it to LAS first"},
        {"a LASzip record", lasFile(2, laszipRecord()), 0, 0, "is compressed LAS (LAZ)"},
        {"named .laz", good, 0, 0, "bad.laz is compressed LAS (LAZ)", "bad.laz"},
    };
    QTemporaryDir dir;
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.fileName));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        CaptureDiagnostics out;
        ScanSourceLAS reader;
        EXPECT_TRUE(reader.fetchFiles({path}));
        ASSERT_EQ(reader.scanCount(), c.scans);
        std::size_t points = 0;
        for (int i = 0; i < c.scans; ++i)
            points += readWholeScan(reader, i).points.size();
        EXPECT_EQ(points, c.points);
        EXPECT_NE(out.text().find(c.printed), std::string::npos) << out.text();
        EXPECT_EQ(reader.errorCount(), 0);
    }
}

TEST(LasBadInput, ScansOfOneSourceIdAreItsPointsInFileOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ids.las"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lasFile());
    file.close();
    ScanSourceContract contract;
    contract.createReader = [] { return std::make_unique<ScanSourceLAS>(); };
    contract.inputFiles = {path};
    const cv::Mat identity = cv::Mat::eye(4, 4, CV_64F);
    contract.scans = {{{{10.5, 21, 31.5}, {12, 22.5, 33}}, identity},
                      {{{13.5, 24, 34.5}, {15, 25.5, 36}}, identity}};
    checkScanSourceContract(contract);
}
