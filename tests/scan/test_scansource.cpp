// What every reader inherits from ScanSource: the defaults, the placeholder, splitting a
// pose, and the depth image built from column-wise polar reads.

#include "scan/ScanSource.h"
#include "support/CaptureStdout.h"

#include <gtest/gtest.h>

using namespace orthaven;
using orthaven::test::CaptureStdout;

namespace {

// Exposes the protected fields and records the calls the base behaviour makes.
class ProbeSource : public ScanSource
{
public:
    using ScanSource::fileList;
    using ScanSource::numScans;
    using ScanSource::openFlags;
    using ScanSource::rewindPending;
};

// A scan of `rows` × `columns` whose point (j, c) has range 10 c + j; polar columns can be
// cut short to mimic a reader that runs out of points.
class GridSource : public ScanSource
{
public:
    int rows = 3;
    int columns = 4;
    int shortColumn = -1; // this column delivers only one point
    bool opens = true;
    int polarCalls = 0;

    bool openScan(int) override
    {
        polarColumn = 0;
        rewindPending = false;
        return opens;
    }
    bool scanDimensions(int, int& r, int& c) override
    {
        r = rows;
        c = columns;
        return true;
    }
    bool readPolarDataFromScan(int, cv::Mat& polar, int count) override
    {
        ++polarCalls;
        EXPECT_EQ(count, 1) << "the depth image asks for one column at a time";
        const int n = polarColumn == shortColumn ? 1 : rows;
        polar = cv::Mat(3, n, CV_64F, cv::Scalar(-1.0));
        for (int j = 0; j < n; ++j)
            polar.at<double>(0, j) = 10.0 * polarColumn + j;
        ++polarColumn;
        return true;
    }
    bool pendingRewind() const { return rewindPending; }

private:
    int polarColumn = 0;
};

} // namespace

TEST(ScanSource, BaseBehaviourIsEmptyAndLeavesOutputsAlone)
{
    ProbeSource source;
    EXPECT_TRUE(source.rewindPending) << "a new reader restarts on its first read";
    EXPECT_FALSE(source.fetchFiles({QStringLiteral("a.xyz"), QStringLiteral("b.xyz")}));
    EXPECT_EQ(source.fileList, QStringList({QStringLiteral("a.xyz"), QStringLiteral("b.xyz")}));
    EXPECT_EQ(source.scanCount(), 0);

    QStringList names = {QStringLiteral("kept")};
    source.scanNames(names);
    EXPECT_EQ(names, QStringList({QStringLiteral("kept")}));
    EXPECT_FALSE(source.openScan(0));
    EXPECT_FALSE(source.closeScan(0));
    int rows = 5;
    int columns = 5;
    EXPECT_FALSE(source.scanDimensions(0, rows, columns));
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 0);

    const cv::Mat marker = cv::Mat::ones(2, 2, CV_64F);
    cv::Mat out = marker;
    EXPECT_FALSE(source.readPoints(0, out, 1000));
    EXPECT_EQ(out.data, marker.data);
    EXPECT_FALSE(source.readPolarDataFromScan(0, out, 1));
    EXPECT_EQ(out.data, marker.data);
    source.scanPose(0, out);
    EXPECT_EQ(out.data, marker.data);
    std::vector<cv::Mat> list(2);
    EXPECT_FALSE(source.readPointList(0, list, 1000));
    EXPECT_FALSE(source.readPolarPointList(0, list, 1000));
    EXPECT_EQ(list.size(), std::size_t(2));

    source.rewindPending = false;
    source.rewindPoints();
    EXPECT_TRUE(source.rewindPending);
}

TEST(ScanSource, IsScanOpenFollowsTheOpenFlagsWithinTheScanRange)
{
    ProbeSource source;
    source.numScans = 3;
    source.openFlags = QBitArray(5);
    source.openFlags.setBit(1);
    source.openFlags.setBit(4); // beyond numScans: ignored
    const std::pair<int, bool> cases[] = {{-1, false}, {0, false}, {1, true},
                                          {2, false},  {4, false}, {99, false}};
    for (const auto& [index, open] : cases)
        EXPECT_EQ(source.isScanOpen(index), open) << "scan " << index;
    source.openFlags.clear();
    EXPECT_FALSE(source.isScanOpen(1)) << "no flags at all";
}

TEST(ScanSource, PlaceholderIsOneColumnOfOnes)
{
    const cv::Mat placeholder = ScanSource::placeholderChunk();
    EXPECT_EQ(placeholder.size(), cv::Size(1, 4));
    EXPECT_EQ(placeholder.type(), CV_64F);
    EXPECT_EQ(cv::countNonZero(placeholder == 1.0), 4);
    EXPECT_NE(ScanSource::placeholderChunk().data, placeholder.data) << "a fresh matrix each time";
}

TEST(ScanSource, SplitPoseWritesIntoTheCallersMatrices)
{
    cv::Mat pose(4, 4, CV_64F);
    for (int k = 0; k < 16; ++k)
        pose.at<double>(k / 4, k % 4) = k + 1;
    // The parts may be views into a larger matrix: their elements are written in place.
    cv::Mat block = cv::Mat::zeros(3, 4, CV_64F);
    cv::Mat rotation = block(cv::Rect(0, 0, 3, 3));
    cv::Mat translation = block(cv::Rect(3, 0, 1, 3));
    ScanSource::splitPose(pose, rotation, translation);
    EXPECT_EQ(cv::norm(block, pose(cv::Rect(0, 0, 4, 3)), cv::NORM_INF), 0.0);

    // Unallocated parts are allocated rather than written past their end.
    cv::Mat r;
    cv::Mat t;
    ScanSource::splitPose(pose, r, t);
    ASSERT_EQ(r.size(), cv::Size(3, 3));
    ASSERT_EQ(t.size(), cv::Size(1, 3));
    EXPECT_EQ(r.at<double>(2, 1), 10.0);
    EXPECT_EQ(t.at<double>(1), 8.0);
}

TEST(ScanSource, DepthImagePutsRangesOfColumnCIntoColumnC)
{
    GridSource source;
    source.shortColumn = 2;
    CaptureStdout out;
    cv::Mat depth;
    ASSERT_TRUE(source.computeScanDepthImage(0, depth));
    EXPECT_EQ(out.lines(), QStringList({QStringLiteral("Compute ScanDepthImage")}));
    ASSERT_EQ(depth.size(), cv::Size(4, 3));
    ASSERT_EQ(depth.type(), CV_64F);
    for (int j = 0; j < 3; ++j) {
        for (int c = 0; c < 4; ++c) {
            // Column 2 came back with one point: the rest of it stays 0.
            const double expected = (c == 2 && j > 0) ? 0.0 : 10.0 * c + j;
            EXPECT_EQ(depth.at<double>(j, c), expected) << "row " << j << " column " << c;
        }
    }
    EXPECT_EQ(source.polarCalls, 4);
    EXPECT_TRUE(source.pendingRewind()) << "the scan is rewound afterwards";
}

TEST(ScanSource, DepthImageOfAnEmptyGridOrAFailedOpen)
{
    GridSource empty;
    empty.rows = 0;
    cv::Mat depth = cv::Mat::ones(2, 2, CV_64F);
    CaptureStdout out;
    EXPECT_TRUE(empty.computeScanDepthImage(0, depth));
    EXPECT_TRUE(depth.empty());
    EXPECT_EQ(empty.polarCalls, 0);

    GridSource failing;
    failing.opens = false;
    const cv::Mat marker = cv::Mat::ones(2, 2, CV_64F);
    depth = marker;
    EXPECT_FALSE(failing.computeScanDepthImage(0, depth));
    EXPECT_EQ(depth.data, marker.data);
    EXPECT_EQ(out.lines(), QStringList({QStringLiteral("Compute ScanDepthImage")}))
        << "printed for the empty grid only";
}
