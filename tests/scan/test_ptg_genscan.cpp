// Generated PTG files: the same scene written as PTX and as PTG (floats or doubles, with
// and without the intensity and colour extras, scan files or their index file) reads back
// as the same points and the same poses through the two readers, and the same layout.

#include "engine/LayoutCreator.h"
#include "genscan/GenScanJob.h"
#include "scan/ScanSourcePTG.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

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

struct ReadScans
{
    QStringList names;
    std::vector<ContractScan> scans;
};

ReadScans readAll(ScanSource& reader, const QStringList& inputs)
{
    ReadScans result;
    EXPECT_TRUE(reader.fetchFiles(inputs));
    reader.scanNames(result.names);
    for (int i = 0; i < reader.scanCount(); ++i) {
        ContractScan scan;
        reader.scanPose(i, scan.pose);
        reader.scanDimensions(i, scan.rows, scan.columns);
        scan.points = readWholeScan(reader, i).points;
        reader.rewindPoints();
        reader.closeScan(i);
        result.scans.push_back(scan);
    }
    return result;
}

// A PTX scan stores a missing return as a point at the origin; a PTG scan leaves it out
// through its row mask.
std::vector<cv::Vec3d> withoutMissingReturns(const std::vector<cv::Vec3d>& points)
{
    std::vector<cv::Vec3d> kept;
    for (const cv::Vec3d& p : points) {
        if (p != cv::Vec3d(0, 0, 0))
            kept.push_back(p);
    }
    return kept;
}

// The intensity and colour of every point of a scan, read with both channels asked for;
// points at the origin left out (PTG files store no missing returns).
struct ScanChannels
{
    bool intensity = true; // every chunk carried it
    bool colour = true;
    std::vector<float> intensities;
    std::vector<cv::Vec3b> colours;
};

ScanChannels readChannels(ScanSource& reader, int i)
{
    ScanChannels read;
    EXPECT_TRUE(reader.openScan(i));
    for (bool more = true; more;) {
        ScanChunk chunk;
        more = reader.readPoints(i, chunk, 1000, {.intensity = true, .colour = true});
        if (chunk.points.cols < 2)
            break;
        read.intensity = read.intensity && !chunk.intensity.empty();
        read.colour = read.colour && !chunk.colour.empty();
        for (int k = 0; k < chunk.points.cols; ++k) {
            if (chunk.points.at<double>(0, k) == 0 && chunk.points.at<double>(1, k) == 0 &&
                chunk.points.at<double>(2, k) == 0)
                continue;
            if (read.intensity)
                read.intensities.push_back(chunk.intensity.at<float>(0, k));
            if (read.colour)
                read.colours.emplace_back(chunk.colour.at<std::uint8_t>(0, k),
                                          chunk.colour.at<std::uint8_t>(1, k),
                                          chunk.colour.at<std::uint8_t>(2, k));
        }
    }
    reader.rewindPoints();
    reader.closeScan(i);
    return read;
}

// Every file a layout wrote, images decoded.
struct LayoutFiles
{
    std::map<QString, QImage> images;
    std::map<QString, QByteArray> texts;
};

LayoutFiles layoutOf(ScanSource& reader, const QStringList& inputs, std::uint32_t view)
{
    TempAppData appData;
    QTemporaryDir out;
    CaptureDiagnostics quiet;
    EXPECT_TRUE(reader.fetchFiles(inputs));
    layoutdef job;
    job.inputFiles = inputs;
    job.view = view;
    job.scanList = QBitArray(reader.scanCount(), true);
    job.clipLow = -100.0;
    job.clipHigh = 100.0;
    job.outputFile = out.filePath(QStringLiteral("site.log"));
    job.imageType = QStringLiteral("png");
    job.resolution = 0.05;
    job.scannerDomain = 30.0;
    job.tileSize = 10.0;
    job.dxf = false; // the drawing labels the scans by their files, which differ by format
    LayoutCreator creator;
    creator.setScanSource(&reader);
    EXPECT_TRUE(creator.setup(job));
    creator.layout();
    EXPECT_FALSE(creator.failed);
    LayoutFiles files;
    for (const QString& name : QDir(out.path()).entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".png")))
            files.images[name] = QImage(out.filePath(name));
        else
            files.texts[name] = readFile(out.filePath(name));
    }
    return files;
}

} // namespace

TEST(PtgGenScan, SceneReadsAsThePtxFilesOfItDo)
{
    QTemporaryDir ptxDir;
    GenScanOptions ptxOptions = sceneOptions(ptxDir.path(), QStringLiteral("ptx"));
    ptxOptions.colour = true;
    GenScanJob ptxJob(ptxOptions);
    ASSERT_TRUE(ptxJob.run()) << ptxJob.errorText().toStdString();
    CaptureDiagnostics quiet;
    ScanSourcePTX ptxReader;
    const ReadScans ptx = readAll(ptxReader, ptxJob.files());
    ASSERT_EQ(ptx.scans.size(), std::size_t(3));
    std::vector<ScanChannels> ptxChannels;
    for (int i = 0; i < 3; ++i) {
        ptxChannels.push_back(readChannels(ptxReader, i));
        ASSERT_TRUE(ptxChannels.back().intensity && ptxChannels.back().colour);
    }

    struct Variant
    {
        const char* format;
        bool intensity;
        bool colour;
    };
    const Variant variants[] = {
        {"ptg", true, true},
        {"ptg", false, false},
        {"ptg-double", true, false},
        {"ptg-double", false, true},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(std::string(v.format) + (v.intensity ? " intensity" : "") +
                     (v.colour ? " colour" : ""));
        QTemporaryDir dir;
        GenScanOptions options = sceneOptions(dir.path(), QString::fromLatin1(v.format));
        options.intensity = v.intensity;
        options.colour = v.colour;
        options.indexFile = true;
        GenScanJob job(options);
        ASSERT_TRUE(job.run()) << job.errorText().toStdString();
        ASSERT_EQ(job.files().size(), 3);
        EXPECT_EQ(job.indexFile(), dir.filePath(QStringLiteral("scan.ptg")));

        // The scan files and their index file give the same scans.
        for (const QStringList& inputs : {job.files(), QStringList({job.indexFile()})}) {
            ScanSourceContract contract;
            contract.label = inputs.size() == 1 ? "index file" : "scan files";
            contract.createReader = [] { return std::make_unique<ScanSourcePTG>(); };
            contract.inputFiles = inputs;
            qint64 missing = 0;
            for (std::size_t i = 0; i < ptx.scans.size(); ++i) {
                ContractScan expected = ptx.scans[i];
                expected.points = withoutMissingReturns(ptx.scans[i].points);
                missing += qint64(ptx.scans[i].points.size() - expected.points.size());
                contract.scans.push_back(expected);
            }
            checkScanSourceContract(contract);
            EXPECT_GT(missing, 0) << "the rooms look out through a door and a window";

            ScanSourcePTG reader;
            reader.fetchFiles(inputs);
            QStringList names;
            reader.scanNames(names);
            EXPECT_EQ(names, job.files());

            // Intensity and colour as the PTX lines of the scene give them, where stored.
            for (int i = 0; i < 3; ++i) {
                const ScanChannels read = readChannels(reader, i);
                const ScanChannels& expected = ptxChannels[std::size_t(i)];
                EXPECT_EQ(read.intensity, v.intensity);
                EXPECT_EQ(read.colour, v.colour);
                if (v.intensity) {
                    EXPECT_EQ(read.intensities, expected.intensities) << "scan " << i;
                }
                if (v.colour) {
                    EXPECT_EQ(read.colours, expected.colours) << "scan " << i;
                }
            }
        }
    }
}

TEST(PtgGenScan, LayoutOfThePtgSetEqualsTheLayoutOfThePtxSet)
{
    QTemporaryDir ptxDir;
    QTemporaryDir ptgDir;
    GenScanOptions options = sceneOptions(ptxDir.path(), QStringLiteral("ptx"));
    options.offset = {};
    options.pointsPerColumn = 120;
    options.columns = 360;
    GenScanJob ptxJob(options);
    ASSERT_TRUE(ptxJob.run());
    options.outputFolder = ptgDir.path();
    options.format = QStringLiteral("ptg");
    options.indexFile = true;
    GenScanJob ptgJob(options);
    ASSERT_TRUE(ptgJob.run());

    for (const std::uint32_t view : {std::uint32_t(Top), std::uint32_t(Front)}) {
        SCOPED_TRACE("view " + std::to_string(view));
        ScanSourcePTX ptxReader;
        const LayoutFiles fromPtx = layoutOf(ptxReader, ptxJob.files(), view);
        ScanSourcePTG ptgReader;
        const LayoutFiles fromPtg = layoutOf(ptgReader, {ptgJob.indexFile()}, view);

        ASSERT_GE(fromPtx.images.size(), std::size_t(2)) << "tiles and a thumbnail";
        ASSERT_EQ(fromPtg.images.size(), fromPtx.images.size());
        for (const auto& [name, image] : fromPtx.images) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(fromPtg.images.count(name), std::size_t(1));
            EXPECT_FALSE(image.isNull());
            EXPECT_TRUE(fromPtg.images.at(name) == image) << "pixels differ";
        }
        EXPECT_EQ(fromPtg.texts, fromPtx.texts) << "the layout logs differ";
        // Not two blank pictures: the rooms are drawn.
        const QImage& overview = fromPtx.images.at(QStringLiteral("site_overview.png"));
        int dark = 0;
        for (int y = 0; y < overview.height(); y += 4)
            for (int x = 0; x < overview.width(); x += 4)
                dark += qGray(overview.pixel(x, y)) < 128 ? 1 : 0;
        EXPECT_GT(dark, 100);
    }
}

TEST(PtgGenScan, ProgramWritesPtgFilesAndTheirIndexFile)
{
    QTemporaryDir dir;
    QProcess program;
    program.start(QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
                  {QStringLiteral("--output"), dir.path(), QStringLiteral("--format"),
                   QStringLiteral("ptg"), QStringLiteral("--stations"), QStringLiteral("2"),
                   QStringLiteral("--points-per-column"), QStringLiteral("10"),
                   QStringLiteral("--columns"), QStringLiteral("20"), QStringLiteral("--colour"),
                   QStringLiteral("--index"), QStringLiteral("--name"), QStringLiteral("demo")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(program.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("demo_000.ptg scan 0, 20 columns x 10 points")));
    EXPECT_EQ(lines[2], QStringLiteral("2 scans, 400 points in 2 files"));
    const QString index = dir.filePath(QStringLiteral("demo.ptg"));
    EXPECT_EQ(lines[3], "index file " + QDir::toNativeSeparators(index));
    EXPECT_EQ(readFile(index), QByteArray("PTG index file\r\ndemo_000.ptg\r\ndemo_001.ptg\r\n"));

    CaptureDiagnostics quiet;
    ScanSourcePTG reader;
    reader.fetchFiles({index});
    ASSERT_EQ(reader.scanCount(), 2);
    const ScanReadout scan = readWholeScan(reader, 1);
    EXPECT_GT(scan.points.size(), std::size_t(100));
    EXPECT_LE(scan.points.size(), std::size_t(200));

    // Only PTG has an index file.
    QProcess refused;
    refused.start(QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
                  {QStringLiteral("--output"), dir.path(), QStringLiteral("--index")});
    ASSERT_TRUE(refused.waitForFinished(60000));
    EXPECT_EQ(refused.exitCode(), 2);
    EXPECT_TRUE(refused.readAllStandardError().contains("has no index file"));
}
