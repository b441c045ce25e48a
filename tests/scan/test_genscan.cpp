// The scan generator: its scene, its files read back through the PTX reader point for
// point and pose for pose, and the orthaven-genscan program itself.

#include "genscan/GenScanJob.h"
#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

cv::Mat toMat(const std::array<double, 16>& pose)
{
    cv::Mat m(4, 4, CV_64F);
    for (int k = 0; k < 16; ++k)
        m.at<double>(k / 4, k % 4) = pose[std::size_t(k)];
    return m;
}

// What station s should deliver, recomputed from the job's own scene and scanner.
std::vector<cv::Vec3d> expectedPoints(const GenScanJob& job, int s)
{
    std::vector<cv::Vec3d> points;
    std::vector<ScanPoint> column;
    for (int c = 0; c < job.scanner().columns; ++c) {
        job.scanner().scanColumn(job.scene(), job.stations()[std::size_t(s)], s, c, column);
        for (const ScanPoint& p : column)
            points.emplace_back(p.x, p.y, p.z);
    }
    return points;
}

GenScanOptions smallOptions(const QString& folder)
{
    GenScanOptions options;
    options.outputFolder = folder;
    options.stations = 4;
    options.pointsPerColumn = 30;
    options.columns = 48;
    options.colour = true;
    options.offset = {500000.0, 5400000.0, 100.0};
    options.seed = 7;
    return options;
}

} // namespace

TEST(GenScan, RaysHitTheRoomsAndLeaveThroughTheOpenings)
{
    const Scene scene = Scene::rooms(true);
    struct Ray
    {
        const char* name;
        Vec3 origin;
        Vec3 direction;
        bool hits;
        double distance;
        Material material;
    };
    const Ray rays[] = {
        {"down to the floor", {4, 4, 1.5}, {0, 0, -1}, true, 1.5, Material::Floor},
        {"up to the ceiling", {4, 4, 1.5}, {0, 0, 1}, true, 1.5, Material::Ceiling},
        {"to the inner wall", {4, 4, 1.5}, {1, 0, 0}, true, 3.9, Material::Wall},
        {"to a round column", {2.5, 4, 1.0}, {0, -1, 0}, true, 1.3, Material::Column},
        {"out through the door", {4, 1.45, 1.0}, {-1, 0, 0}, false, 0, Material::Wall},
        {"out through the window", {3, 4, 1.5}, {0, 1, 0}, false, 0, Material::Wall},
        {"through the inner door", {4, 3.45, 1.0}, {1, 0, 0}, true, 9.9, Material::Wall},
    };
    for (const Ray& ray : rays) {
        SCOPED_TRACE(ray.name);
        Hit hit;
        ASSERT_EQ(scene.castRay(ray.origin, ray.direction, 100.0, hit), ray.hits);
        if (ray.hits) {
            EXPECT_NEAR(hit.distance, ray.distance, 1e-12);
            EXPECT_EQ(hit.material, ray.material);
            EXPECT_NEAR(length(hit.normal), 1.0, 1e-12);
        }
    }
    Hit hit;
    EXPECT_FALSE(Scene::rooms(false).castRay({4, 4, 1.5}, {0, 0, 1}, 100.0, hit))
        << "no ceiling: the sky";
}

TEST(GenScan, FilesReadBackExactlyThroughThePtxReader)
{
    for (const bool oneFile : {false, true}) {
        SCOPED_TRACE(oneFile ? "all stations in one file" : "one file per station");
        QTemporaryDir dir;
        GenScanOptions options = smallOptions(dir.path());
        options.oneFile = oneFile;
        GenScanJob job(options);
        ASSERT_TRUE(job.run()) << job.errorText().toStdString();
        ASSERT_EQ(job.reports().size(), std::size_t(4));
        EXPECT_EQ(job.files().size(), oneFile ? 1 : 4);

        ScanSourceContract contract;
        contract.label = "generated scans";
        contract.createReader = [] { return std::make_unique<ScanSourcePTX>(); };
        contract.inputFiles = job.files();
        qint64 missing = 0;
        for (const StationReport& report : job.reports()) {
            EXPECT_EQ(report.scanInFile, oneFile ? report.station : 0);
            contract.scans.push_back({expectedPoints(job, report.station), toMat(report.pose),
                                      options.pointsPerColumn, options.columns});
            missing += report.missing;
        }
        CaptureDiagnostics quiet;
        checkScanSourceContract(contract);

        // Every coordinate is a float value, missing returns are zeros, and the
        // georeferenced translation arrives to the last bit.
        qint64 zeros = 0;
        bool floats = true;
        for (const ContractScan& scan : contract.scans) {
            for (const cv::Vec3d& p : scan.points) {
                for (int c = 0; c < 3; ++c) {
                    if (double(float(p[c])) != p[c]) {
                        ADD_FAILURE() << std::hexfloat << p[c];
                        floats = false;
                    }
                }
                zeros += p == cv::Vec3d(0, 0, 0) ? 1 : 0;
            }
        }
        EXPECT_TRUE(floats);
        EXPECT_EQ(zeros, missing);
        EXPECT_GT(missing, 0) << "room A looks out through a door and a window";
        const Station& station = job.stations()[0];
        EXPECT_EQ(contract.scans[0].pose.at<double>(0, 3), station.position.x + 500000.0);
        EXPECT_EQ(contract.scans[0].pose.at<double>(1, 3), station.position.y + 5400000.0);
    }
}

TEST(GenScan, PointsLieOnTheSceneWhenPutIntoProjectCoordinates)
{
    QTemporaryDir dir;
    GenScanOptions options = smallOptions(dir.path());
    options.rangeNoise = 0;
    options.offset = {};
    GenScanJob job(options);
    for (int s = 0; s < 4; ++s) {
        const Station& station = job.stations()[std::size_t(s)];
        EXPECT_TRUE(job.scene().isFree(station.position, 0.5)) << "station " << s;
        for (const cv::Vec3d& p : expectedPoints(job, s)) {
            if (p == cv::Vec3d(0, 0, 0))
                continue;
            // Within the building's shell (walls 0.2 m thick around 0..14 × 0..8, floor at
            // 0, ceiling at 3 m), up to float rounding.
            const Vec3 q = station.toScene({p[0], p[1], p[2]});
            EXPECT_GE(q.x, -0.1 - 1e-4);
            EXPECT_LE(q.x, 14.1 + 1e-4);
            EXPECT_GE(q.y, -0.1 - 1e-4);
            EXPECT_LE(q.y, 8.1 + 1e-4);
            EXPECT_GE(q.z, -1e-4);
            EXPECT_LE(q.z, 3.0 + 1e-4);
        }
    }
}

TEST(GenScan, SameSeedSameBytesOtherSeedOtherStations)
{
    QTemporaryDir a;
    QTemporaryDir b;
    QTemporaryDir c;
    GenScanOptions options = smallOptions(a.path());
    GenScanJob first(options);
    ASSERT_TRUE(first.run());
    options.outputFolder = b.path();
    GenScanJob second(options);
    ASSERT_TRUE(second.run());
    options.outputFolder = c.path();
    options.seed = 8;
    GenScanJob third(options);
    ASSERT_TRUE(third.run());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(readFile(first.files()[k]), readFile(second.files()[k]));
        EXPECT_NE(readFile(first.files()[k]), readFile(third.files()[k]));
    }
}

TEST(GenScan, RefusesBadOptionsAndReportsWriteFailures)
{
    QTemporaryDir dir;
    struct Case
    {
        const char* name;
        void (*change)(GenScanOptions&);
    };
    const Case cases[] = {
        {"unknown format", [](GenScanOptions& o) { o.format = QStringLiteral("xyz"); }},
        {"no station", [](GenScanOptions& o) { o.stations = 0; }},
        {"no columns", [](GenScanOptions& o) { o.columns = 0; }},
        {"negative noise", [](GenScanOptions& o) { o.rangeNoise = -1; }},
        {"path as base name", [](GenScanOptions& o) { o.baseName = QStringLiteral("a/b"); }},
    };
    for (const Case& c : cases) {
        GenScanOptions options = smallOptions(dir.path());
        c.change(options);
        GenScanJob job(options);
        EXPECT_FALSE(job.checkOptions().isEmpty()) << c.name;
        EXPECT_FALSE(job.run()) << c.name;
    }
    // A file where the output folder should be: a reported failure, nothing written.
    const QString blocked = writeFile(dir.filePath(QStringLiteral("blocked")), "x");
    GenScanJob job(smallOptions(blocked + QStringLiteral("/scans")));
    EXPECT_FALSE(job.run());
    EXPECT_FALSE(job.errorText().isEmpty());
    EXPECT_TRUE(job.reports().empty());
}

TEST(GenScan, ProgramWritesTheScansItReports)
{
    QTemporaryDir dir;
    QProcess program;
    program.start(
        QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
        {QStringLiteral("--output"), dir.path(), QStringLiteral("--stations"), QStringLiteral("2"),
         QStringLiteral("--points-per-column"), QStringLiteral("10"), QStringLiteral("--columns"),
         QStringLiteral("20"), QStringLiteral("--single-file"), QStringLiteral("--offset"),
         QStringLiteral("500000,5400000"), QStringLiteral("--name"), QStringLiteral("demo")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(program.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("station 0: ")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" scan 0, 20 columns x 10 points, ")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(" scan 1, ")));
    EXPECT_EQ(lines[2], QStringLiteral("2 scans, 400 points in 1 files"));

    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({dir.filePath(QStringLiteral("demo.ptx"))});
    ASSERT_EQ(reader.scanCount(), 2);
    cv::Mat pose;
    reader.scanPose(1, pose);
    EXPECT_GT(pose.at<double>(0, 3), 500000.0);
    EXPECT_GT(pose.at<double>(1, 3), 5400000.0);
    EXPECT_EQ(readWholeScan(reader, 1).points.size(), std::size_t(200));

    QProcess bad;
    bad.start(QStringLiteral(ORTHAVEN_GENSCAN_PROGRAM),
              {QStringLiteral("--stations"), QStringLiteral("many")});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_EQ(bad.exitCode(), 2);
}
