// PTX files written by scanners and other people's software (ORTHAVEN_REAL_DATA_DIR/ptx):
// indexed and read without a complaint, and every point and pose equal to what a plain,
// independent reading of the text gives. Skipped when the folder is not there.

#include "scan/ScanSourcePTX.h"
#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QLocale>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

QString realPtxDir()
{
    return QStringLiteral(ORTHAVEN_REAL_DATA_DIR "/ptx");
}

double number(const QByteArray& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(QString::fromLatin1(text), &ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return value;
}

// The scans of a PTX text read the slow, obvious way: ten header lines, then
// line 1 × line 2 point lines.
std::vector<ContractScan> plainReading(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    std::vector<ContractScan> scans;
    qsizetype at = 0;
    while (at + 10 <= lines.size()) {
        ContractScan scan;
        scan.columns = lines[at].trimmed().toInt();
        scan.rows = lines[at + 1].trimmed().toInt();
        scan.pose = cv::Mat::zeros(4, 4, CV_64F);
        for (int k = 0; k < 4; ++k) {
            const QList<QByteArray> values = lines[at + 6 + k].simplified().split(' ');
            for (int r = 0; r < 4; ++r)
                scan.pose.at<double>(r, k) = number(values.value(r));
        }
        at += 10;
        for (int p = 0; p < scan.rows * scan.columns && at < lines.size(); ++p, ++at) {
            const QList<QByteArray> values = lines[at].simplified().split(' ');
            scan.points.emplace_back(number(values.value(0)), number(values.value(1)),
                                     number(values.value(2)));
        }
        scans.push_back(scan);
    }
    return scans;
}

struct RealFile
{
    const char* path;
    std::vector<std::size_t> pointsPerScan; // as the data's description gives them
    double translation[3];                  // of scan 0
};

const RealFile realFiles[] = {
    {"libptx/points.ptx", {800, 90}, {7.986539, -30.144609, 0.154285}},
    {"pdal/complex-transform.ptx", {12}, {-3.028748, -3.819741, -1.384333}},
    {"pdal/1.2-with-color.ptx", {1065}, {0, 0, 0}},
    {"pdal/no-color.ptx", {15}, {0, 0, 0}},
    {"pdal/multiple-and-transform.ptx", {4, 4}, {600000, 800000, 400}},
    {"thinkbox-library/simple_xyzrgb_ptx.ptx", {4}, {0, 0, 0}},
};

} // namespace

TEST(PtxRealData, IndexesAndReadsEveryFileWithoutComplaint)
{
    if (!QDir(realPtxDir()).exists())
        GTEST_SKIP() << "no real PTX data here";
    for (const RealFile& file : realFiles) {
        SCOPED_TRACE(file.path);
        const QString path = QDir(realPtxDir()).filePath(QString::fromLatin1(file.path));
        ASSERT_TRUE(QFile::exists(path));
        const std::vector<ContractScan> expected = plainReading(readFile(path));
        ASSERT_EQ(expected.size(), file.pointsPerScan.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(expected[i].points.size(), file.pointsPerScan[i]);
        EXPECT_EQ(expected[0].pose.at<double>(0, 3), file.translation[0]);
        EXPECT_EQ(expected[0].pose.at<double>(1, 3), file.translation[1]);
        EXPECT_EQ(expected[0].pose.at<double>(2, 3), file.translation[2]);

        CaptureDiagnostics out;
        ScanSourceContract contract;
        contract.label = file.path;
        contract.createReader = [] { return std::make_unique<ScanSourcePTX>(); };
        contract.inputFiles = {path};
        contract.scans = expected;
        checkScanSourceContract(contract);
        for (const QString& line : out.lines()) {
            EXPECT_FALSE(line.contains(QLatin1String("invalid")) ||
                         line.contains(QLatin1String("incomplete")) ||
                         line.contains(QLatin1String("skipped")) ||
                         line.contains(QLatin1String("ends after")))
                << line.toStdString();
        }
    }
}

TEST(PtxRealData, DepthImageOfARealScanHasPointsPerColumnAsRows)
{
    const QString path = QDir(realPtxDir()).filePath(QStringLiteral("libptx/points.ptx"));
    if (!QFile::exists(path))
        GTEST_SKIP() << "no real PTX data here";
    const std::vector<ContractScan> expected = plainReading(readFile(path));
    ASSERT_EQ(expected.size(), std::size_t(2));
    const ContractScan& scan = expected[1]; // 10 columns of 9 points

    CaptureDiagnostics quiet;
    ScanSourcePTX reader;
    reader.fetchFiles({path});
    cv::Mat depth;
    ASSERT_TRUE(reader.computeScanDepthImage(1, depth));
    ASSERT_EQ(depth.size(), cv::Size(10, 9));
    for (int c = 0; c < 10; ++c) {
        for (int j = 0; j < 9; ++j) {
            const cv::Vec3d& p = scan.points[std::size_t(c * 9 + j)];
            EXPECT_DOUBLE_EQ(depth.at<double>(j, c), std::sqrt(p.dot(p)));
        }
    }
}
