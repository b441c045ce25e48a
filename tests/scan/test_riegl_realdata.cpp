// Riegl project files written by RiSCAN PRO (ORTHAVEN_REAL_DATA_DIR/rsp) and a real RXP
// stream (…/rxp): the right positions, scan files and poses, and a clean refusal of the
// stream that only the vendor's library decodes. Skipped when the folder is not there.

#include "RieglTestFiles.h"
#include "scan/ScanSourceRiegl.h"
#include "scan/riegl/PointStreamFile.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

QString realData(const QString& relative)
{
    return QDir(QStringLiteral(ORTHAVEN_REAL_DATA_DIR)).filePath(relative);
}

struct ExpectedScan
{
    const char* path;      // below the project's folder
    double translation[3]; // of POP · SOP, to the millimetre
};

struct RealProject
{
    const char* file;
    std::vector<ExpectedScan> scans;
};

const RealProject realProjects[] = {
    {"rsp/thinkbox-library/project.rsp",
     {{"SCANS/ScanPos006_courtyard/SINGLESCANS/110428_123115.rxp",
       {-128365.183365, 330654.011236, 127.543414}},
      {"SCANS/ScanPos007_courtyard/SINGLESCANS/110428_124237.rxp",
       {-128362.151182, 330662.330613, 127.015517}}}},
    // Archived copies ("…_old@….rxp", "…@….rxp") are listed before the scans themselves.
    {"rsp/riscan-pro/project.RiSCAN/project.rsp",
     {{"SCANS/SP01/SINGLESCANS/151120_150227.rxp",
       {-515634.854668, -5519672.415948, 3143442.430636}},
      {"SCANS/SP02/SINGLESCANS/151120_155528.rxp",
       {-515634.998876, -5519663.249397, 3143458.432627}}}},
};

double translationOf(const cv::Mat& pose, int r)
{
    return pose.at<double>(r, 3);
}

} // namespace

TEST(RieglRealData, ProjectsGiveTheirScansAndPoses)
{
    if (!QDir(realData("rsp")).exists())
        GTEST_SKIP() << "no real Riegl data here";
    for (const RealProject& project : realProjects) {
        SCOPED_TRACE(project.file);
        const QString path = realData(QString::fromLatin1(project.file));
        ASSERT_TRUE(QFile::exists(path));
        CaptureDiagnostics out;
        ScanSourceRiegl reader;
        ASSERT_TRUE(reader.fetchFiles({path}));
        ASSERT_EQ(reader.scanCount(), int(project.scans.size()));
        QStringList names;
        reader.scanNames(names);
        const QString folder = QFileInfo(path).absolutePath();
        for (int i = 0; i < reader.scanCount(); ++i) {
            const ExpectedScan& scan = project.scans[std::size_t(i)];
            const QString expectedPath = folder + "/" + QString::fromLatin1(scan.path);
            EXPECT_TRUE(out.lines().contains("Found riegl Scan File: " + expectedPath));
            EXPECT_EQ(names[i], QFileInfo(expectedPath).fileName());
            cv::Mat pose;
            reader.scanPose(i, pose);
            ASSERT_EQ(pose.size(), cv::Size(4, 4));
            for (int r = 0; r < 3; ++r)
                EXPECT_NEAR(translationOf(pose, r), scan.translation[r], 1e-6);
            // A rigid pose: the rotation keeps lengths.
            const cv::Mat rotation = pose(cv::Rect(0, 0, 3, 3));
            EXPECT_LT(cv::norm(rotation * rotation.t() - cv::Mat::eye(3, 3, CV_64F)), 1e-9);
            EXPECT_EQ(pose.at<double>(3, 3), 1.0);
        }
    }
}

TEST(RieglRealData, SouthPolePositionsKeepTheirOwnSop)
{
    const QString path = realData("rsp/riscan-pro/southpole.rsp");
    if (!QFile::exists(path))
        GTEST_SKIP() << "no real Riegl data here";
    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    ASSERT_TRUE(reader.fetchFiles({path}));
    // 23 positions; ScanPos009b holds an empty "singlescans", so 22 scans, one for each
    // other position (ScanPos021 and 022 list two scans each in one "singlescans").
    ASSERT_EQ(reader.scanCount(), 22);
    QStringList names;
    reader.scanNames(names);
    EXPECT_EQ(names[0], "170117_005410.rxp");
    EXPECT_EQ(names[8], "170117_203109.rxp");
    EXPECT_EQ(names[9], "170117_204947.rxp");
    EXPECT_EQ(names[20], "170118_022237.rxp");
    EXPECT_EQ(names[21], "170118_223126.rxp");
    EXPECT_TRUE(
        out.lines().contains("Scan position \"ScanPos009b\": no scan file in \"SINGLESCANS\""));
    for (const QString& line : out.lines())
        EXPECT_FALSE(line.endsWith("/")) << line.toStdString();

    // Scan 9 belongs to ScanPos010, not to the SOP of ScanPos009b before it.
    const struct
    {
        int scan;
        double translation[3];
    } expected[] = {
        {0, {1999920.503766, 2000023.268344, 2842.185861}},
        {8, {1999837.585936, 2000000.623002, 2837.928884}},
        {9, {1999870.922562, 1999984.911766, 2838.343772}},
        {21, {1999867.654740, 2000095.996713, 2842.031924}},
    };
    for (const auto& e : expected) {
        cv::Mat pose;
        reader.scanPose(e.scan, pose);
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(translationOf(pose, r), e.translation[r], 1e-6) << "scan " << e.scan;
    }
}

TEST(RieglRealData, HandMadeFailureCases)
{
    const QString empty = realData("rsp/riscan-pro/empty.rsp");
    const QString notAProject = realData("rsp/riscan-pro/notaproject.rsp");
    if (!QFile::exists(empty) || !QFile::exists(notAProject))
        GTEST_SKIP() << "no real Riegl data here";
    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    EXPECT_FALSE(reader.fetchFiles({empty}));
    EXPECT_EQ(out.lines(),
              QStringList({"Error: Parse error at line 1, column 0: Premature end of document.",
                           "Error parsing rsp file"}));
    EXPECT_EQ(reader.scanCount(), 0);

    ScanSourceRiegl other;
    EXPECT_TRUE(other.fetchFiles({notAProject}));
    EXPECT_EQ(other.scanCount(), 0);
    EXPECT_EQ(out.lines().last(), "No scans found in rsp file");
}

TEST(RieglRealData, RxpStreamIsRefusedWithoutGarbage)
{
    const QString rxp = realData("rxp/rivlib-rs/scan.rxp");
    if (!QFile::exists(rxp))
        GTEST_SKIP() << "no real RXP stream here";
    // A project naming the real stream, as RiSCAN's would.
    QTemporaryDir dir;
    const QString stream = dir.filePath("SCANS/P/SINGLESCANS/scan.rxp");
    QDir().mkpath(QFileInfo(stream).absolutePath());
    ASSERT_TRUE(QFile::copy(rxp, stream));
    const QString project =
        writeFile(dir.filePath("project.rsp"),
                  projectXml(popXml(cv::Mat::eye(4, 4, CV_64F)),
                             positionXml("P", singleScansXml({"scan.rxp"}) +
                                                  sopXml(cv::Mat::eye(4, 4, CV_64F)))));

    CaptureDiagnostics out;
    ScanSourceRiegl reader;
    ASSERT_TRUE(reader.fetchFiles({project}));
    ASSERT_EQ(reader.scanCount(), 1);
    EXPECT_FALSE(reader.openScan(0));
    EXPECT_FALSE(reader.isScanOpen(0));
    EXPECT_EQ(out.lines().mid(out.lines().size() - 3),
              QStringList({"Point stream " + stream +
                               ": a Riegl RXP stream, which only Riegl's scan library reads",
                           "Cannot open Riegl File file:" + stream, out.lines().last()}));
    EXPECT_TRUE(out.lines().last().contains("the scan library cannot open " + stream))
        << out.lines().last().toStdString();
    cv::Mat chunk;
    EXPECT_FALSE(reader.readPoints(0, chunk, 1000));
    EXPECT_EQ(chunk.size(), cv::Size(1, 4)) << "no points made up from the stream";
}
