// LAS files written by other programs (ORTHAVEN_REAL_DATA_DIR/las): every version and
// point format there lists the scans its point source IDs give, reads every point inside
// its scan's box, with the colour as stored; extra bytes are passed over, a file that
// promises more points than it holds and a compressed one are refused, and an aerial
// scene lays out. Skipped when the folder is absent.

#include "engine/LayoutCreator.h"
#include "scan/ScanSourceLAS.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

struct RealFile
{
    const char* name;
    int scans;
    std::size_t points; // read from all of them (a file of one point delivers none)
    const char* printed;
};

const RealFile realFiles[] = {
    {"1.0_0.las", 1, 0, "LAS 1.0, point format 0, 1 scan"},
    {"1.1_1.las", 1, 0, "LAS 1.1, point format 1, 1 scan"},
    {"1.2_2.las", 1, 0, "LAS 1.2, point format 2, 1 scan"},
    {"1.2_3.las", 1, 0, "LAS 1.2, point format 3, 1 scan"},
    {"100-points.las", 9, 100, "9 scans by point source ID"},
    {"1.2-with-color.las", 9, 1065, "9 scans by point source ID"},
    {"extrabytes.las", 9, 1065, "LAS 1.4, point format 3, 9 scans"},
    {"4_6_crop.las", 1, 23875, "LAS 1.2, point format 3, 1 scan"},
    {"autzen_trim.las", 1, 110000, "LAS 1.2, point format 3, 1 scan"},
    {"test1_4.las", 1, 1000, "LAS 1.4, point format 6, 1 scan"},
    {"1.2-no-points.las", 0, 0,
     "the header promises 1065 points of 34 bytes from byte 229, the file holds 0 of them"},
    {"simple.laz", 0, 0, "simple.laz is compressed LAS (LAZ); decompress it to LAS first"},
};

QString realLasFile(const char* name)
{
    return QStringLiteral(ORTHAVEN_REAL_DATA_DIR "/las/pdal/") + QLatin1String(name);
}

} // namespace

TEST(LasRealData, EveryFileListsAndReadsAsItsDescriptionSays)
{
    if (!QDir(realLasFile("")).exists())
        GTEST_SKIP() << "no real LAS data here";
    std::map<std::string, std::vector<cv::Vec3d>> points;
    for (const RealFile& file : realFiles) {
        SCOPED_TRACE(file.name);
        CaptureDiagnostics out;
        ScanSourceLAS reader;
        ASSERT_TRUE(reader.fetchFiles({realLasFile(file.name)}));
        ASSERT_EQ(reader.scanCount(), file.scans);
        EXPECT_NE(out.text().find(file.printed), std::string::npos) << out.text();
        for (int i = 0; i < reader.scanCount(); ++i) {
            cv::Vec3d low;
            cv::Vec3d high;
            ASSERT_TRUE(reader.scanBounds(i, low, high));
            for (const cv::Vec3d& p : readWholeScan(reader, i).points) {
                for (int a = 0; a < 3; ++a)
                    ASSERT_TRUE(p[a] >= low[a] && p[a] <= high[a]) << p;
                points[file.name].push_back(p);
            }
        }
        EXPECT_EQ(points[file.name].size(), file.points);
        EXPECT_EQ(reader.errorCount(), 0);
    }
    EXPECT_EQ(points["extrabytes.las"], points["1.2-with-color.las"]) << "extra bytes passed over";

    // The first point of a file with colour in 8 bits, as stored, and of a 1.4 file.
    CaptureDiagnostics quiet;
    ScanSourceLAS reader;
    reader.fetchFiles({realLasFile("1.2-with-color.las"), realLasFile("test1_4.las")});
    for (int i : {0, 9}) {
        ASSERT_TRUE(reader.openScan(i));
        ScanChunk chunk;
        reader.readPoints(i, chunk, 1000, {.intensity = true, .colour = true});
        ASSERT_GE(chunk.points.cols, 2);
        const double* x = chunk.points.ptr<double>(0);
        EXPECT_EQ(x[0], i == 0 ? 637012.24 : 1694510.3869346841);
        EXPECT_EQ(chunk.intensity.at<float>(0), i == 0 ? 143.0f : 41.0f);
        if (i == 0)
            EXPECT_EQ(cv::Vec3b(chunk.colour.at<std::uint8_t>(0, 0),
                                chunk.colour.at<std::uint8_t>(1, 0),
                                chunk.colour.at<std::uint8_t>(2, 0)),
                      cv::Vec3b(68, 77, 88));
        else
            EXPECT_TRUE(chunk.colour.empty()) << "point format 6 has no colour";
    }
}

TEST(LasRealData, AnAerialSceneLaysOut)
{
    if (!QDir(realLasFile("")).exists())
        GTEST_SKIP() << "no real LAS data here";
    TempAppData appData;
    QTemporaryDir out;
    CaptureDiagnostics quiet;
    ScanSourceLAS reader;
    ASSERT_TRUE(reader.fetchFiles({realLasFile("autzen_trim.las")}));
    layoutdef job;
    job.inputFiles = {realLasFile("autzen_trim.las")};
    job.view = Top;
    job.scanList = QBitArray(1, true);
    job.clipLow = -1000.0;
    job.clipHigh = 1000.0;
    job.outputFile = out.filePath(QStringLiteral("autzen.log"));
    job.imageType = QStringLiteral("png");
    job.resolution = 1.0;
    job.scannerDomain = 1.0; // a scan without a position has no radius to cut with
    job.tileSize = 200.0;
    LayoutCreator creator;
    creator.setScanSource(&reader);
    ASSERT_TRUE(creator.setup(job));
    creator.layout();
    ASSERT_FALSE(creator.failed) << creator.errorCode;
    // x 636001.76 … 637179.22 lies in the 200 m tiles 3180 … 3185, y 848935.20 … 849497.90
    // in 4244 … 4247.
    EXPECT_EQ(creator.tileCorners.size(), 6u * 4u);
}
