// Generated E57 files: the same scene written as PTX and as E57 (one file per station or
// all in one, with and without intensity and colour) reads back as the same points and
// bit-identical poses, and the intensity and colour the generator gave.

#include "genscan/GenScanJob.h"
#include "scan/ScanSourceE57.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

GenScanOptions sceneOptions(const QString& folder, const QString& format)
{
    GenScanOptions options;
    options.outputFolder = folder;
    options.format = format;
    options.stations = 3;
    options.pointsPerColumn = 40;
    options.columns = 90;
    options.offset = {500000.0, 5400000.0, 100.0};
    options.seed = 11;
    return options;
}

} // namespace

TEST(E57GenScan, SceneReadsAsThePtxFilesOfItDo)
{
    QTemporaryDir ptxDir;
    GenScanJob ptxJob(sceneOptions(ptxDir.path(), QStringLiteral("ptx")));
    ASSERT_TRUE(ptxJob.run()) << ptxJob.errorText().toStdString();
    CaptureDiagnostics quiet;
    ScanSourcePTX ptxReader;
    ASSERT_TRUE(ptxReader.fetchFiles(ptxJob.files()));
    std::vector<ContractScan> expected;
    qint64 missing = 0;
    for (int i = 0; i < ptxReader.scanCount(); ++i) {
        ContractScan scan;
        ptxReader.scanPose(i, scan.pose);
        ptxReader.scanDimensions(i, scan.rows, scan.columns);
        // A PTX scan stores a missing return as a point at the origin; an E57 scan marks
        // its record as invalid.
        for (const cv::Vec3d& p : readWholeScan(ptxReader, i).points) {
            if (p != cv::Vec3d(0, 0, 0))
                scan.points.push_back(p);
            else
                ++missing;
        }
        ptxReader.closeScan(i);
        expected.push_back(scan);
    }
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_GT(missing, 0) << "the rooms look out through a door and a window";

    struct Variant
    {
        bool intensity;
        bool colour;
        bool oneFile;
    };
    for (const Variant v :
         {Variant{true, true, true}, Variant{false, false, false}, Variant{true, false, false}}) {
        SCOPED_TRACE(std::string(v.intensity ? "intensity " : "") + (v.colour ? "colour " : "") +
                     (v.oneFile ? "one file" : "a file per station"));
        QTemporaryDir dir;
        GenScanOptions options = sceneOptions(dir.path(), QStringLiteral("e57"));
        options.intensity = v.intensity;
        options.colour = v.colour;
        options.oneFile = v.oneFile;
        GenScanJob job(options);
        ASSERT_TRUE(job.run()) << job.errorText().toStdString();
        ASSERT_EQ(job.files().size(), v.oneFile ? 1 : 3);

        ScanSourceContract contract;
        contract.createReader = [] { return std::make_unique<ScanSourceE57>(); };
        contract.inputFiles = job.files();
        contract.scans = expected;
        checkScanSourceContract(contract);

        ScanSourceE57 reader;
        reader.fetchFiles(job.files());
        QStringList names;
        reader.scanNames(names);
        for (int i = 0; i < 3; ++i) {
            const QString file = job.files()[v.oneFile ? 0 : i];
            EXPECT_EQ(names[i], file + QStringLiteral(" (scan_00%1)").arg(i));
        }
    }
}

TEST(E57GenScan, IntensityAndColourAreTheGeneratorsOwn)
{
    QTemporaryDir dir;
    GenScanOptions options = sceneOptions(dir.path(), QStringLiteral("e57"));
    options.colour = true;
    options.oneFile = true;
    GenScanJob job(options);
    ASSERT_TRUE(job.run()) << job.errorText().toStdString();
    CaptureDiagnostics quiet;
    ScanSourceE57 reader;
    ASSERT_TRUE(reader.fetchFiles(job.files()));
    ASSERT_EQ(reader.scanCount(), 3);
    for (int s = 0; s < 3; ++s) {
        SCOPED_TRACE("scan " + std::to_string(s));
        // What the generator cast, hits only, column by column.
        std::vector<ScanPoint> hits;
        std::vector<ScanPoint> column;
        for (int c = 0; c < options.columns; ++c) {
            job.scanner().scanColumn(job.scene(), job.stations()[std::size_t(s)], s, c, column);
            for (const ScanPoint& p : column) {
                if (p.hit)
                    hits.push_back(p);
            }
        }
        ASSERT_TRUE(reader.openScan(s));
        std::size_t k = 0;
        for (bool more = true; more;) {
            ScanChunk chunk;
            more = reader.readPoints(s, chunk, 1000, {.intensity = true, .colour = true});
            if (chunk.points.cols < 2)
                break;
            ASSERT_EQ(chunk.intensity.cols, chunk.points.cols);
            ASSERT_EQ(chunk.colour.cols, chunk.points.cols);
            for (int n = 0; n < chunk.points.cols; ++n, ++k) {
                ASSERT_LT(k, hits.size());
                const ScanPoint& p = hits[k];
                ASSERT_EQ(chunk.intensity.at<float>(0, n), p.intensity) << k;
                ASSERT_EQ(cv::Vec3b(chunk.colour.at<std::uint8_t>(0, n),
                                    chunk.colour.at<std::uint8_t>(1, n),
                                    chunk.colour.at<std::uint8_t>(2, n)),
                          cv::Vec3b(p.red, p.green, p.blue))
                    << k;
            }
        }
        EXPECT_EQ(k, hits.size());
        reader.closeScan(s);
    }
}

TEST(E57GenScan, ProgramWritesOneE57FileOfAllStations)
{
    QTemporaryDir dir;
    QProcess program;
    program.start(QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
                  {QStringLiteral("--output"), dir.path(), QStringLiteral("--format"),
                   QStringLiteral("e57"), QStringLiteral("--stations"), QStringLiteral("2"),
                   QStringLiteral("--points-per-column"), QStringLiteral("10"),
                   QStringLiteral("--columns"), QStringLiteral("20"), QStringLiteral("--colour"),
                   QStringLiteral("--single-file"), QStringLiteral("--name"),
                   QStringLiteral("demo")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(program.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("demo.e57 scan 1, 20 columns x 10 points")));
    EXPECT_EQ(lines[2], QStringLiteral("2 scans, 400 points in 1 files"));

    CaptureDiagnostics quiet;
    ScanSourceE57 reader;
    reader.fetchFiles({dir.filePath(QStringLiteral("demo.e57"))});
    ASSERT_EQ(reader.scanCount(), 2);
    int rows = 0;
    int columns = 0;
    EXPECT_TRUE(reader.scanDimensions(1, rows, columns));
    EXPECT_EQ(rows, 10);
    EXPECT_EQ(columns, 20);
    const ScanReadout scan = readWholeScan(reader, 1);
    EXPECT_GT(scan.points.size(), std::size_t(100));
    EXPECT_LE(scan.points.size(), std::size_t(200));
}
