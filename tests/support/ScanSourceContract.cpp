#include "support/ScanSourceContract.h"

#include "support/CaptureDiagnostics.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace orthaven::test {

namespace {

::testing::AssertionResult samePoints(const std::vector<cv::Vec3d>& actual,
                                      const std::vector<cv::Vec3d>& expected, double tolerance)
{
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " points delivered, " << expected.size() << " expected";
    }
    for (std::size_t k = 0; k < actual.size(); ++k) {
        for (int c = 0; c < 3; ++c) {
            const double a = actual[k][c];
            const double e = expected[k][c];
            const bool equal = tolerance == 0.0 ? a == e : std::abs(a - e) <= tolerance;
            if (!equal) {
                std::ostringstream text;
                text.precision(17);
                text << "point " << k << " coordinate " << c << ": " << a << " delivered, " << e
                     << " expected";
                return ::testing::AssertionFailure() << text.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameMatrix(const cv::Mat& actual, const cv::Mat& expected,
                                      double tolerance)
{
    if (actual.type() != CV_64F || actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "matrix of " << actual.rows << " x " << actual.cols << " (type " << actual.type()
               << "), " << expected.rows << " x " << expected.cols << " doubles expected";
    }
    for (int r = 0; r < expected.rows; ++r) {
        for (int c = 0; c < expected.cols; ++c) {
            const double a = actual.at<double>(r, c);
            const double e = expected.at<double>(r, c);
            if (tolerance == 0.0 ? a != e : std::abs(a - e) > tolerance) {
                std::ostringstream text;
                text.precision(17);
                text << "element (" << r << ", " << c << "): " << a << ", expected " << e;
                return ::testing::AssertionFailure() << text.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

void checkChunkShape(const cv::Mat& chunk, int maxPoints)
{
    EXPECT_EQ(chunk.type(), CV_64F);
    EXPECT_EQ(chunk.rows, 4);
    EXPECT_GE(chunk.cols, 1) << "a chunk has at least the placeholder's column";
    EXPECT_LE(chunk.cols, maxPoints);
    EXPECT_TRUE(chunk.isContinuous());
    if (chunk.cols >= 2 && chunk.rows == 4 && chunk.type() == CV_64F) {
        for (int k = 0; k < chunk.cols; ++k) {
            if (chunk.at<double>(3, k) != 1.0) {
                ADD_FAILURE() << "homogeneous coordinate of point " << k << " is "
                              << chunk.at<double>(3, k);
                break;
            }
        }
    }
}

} // namespace

void appendChunk(const cv::Mat& chunk, std::vector<cv::Vec3d>& points)
{
    if (chunk.rows < 3 || chunk.type() != CV_64F)
        return;
    for (int k = 0; k < chunk.cols; ++k)
        points.emplace_back(chunk.at<double>(0, k), chunk.at<double>(1, k), chunk.at<double>(2, k));
}

ScanReadout readOpenScan(ScanSource& reader, int i, int maxColumns, int maxCalls)
{
    ScanReadout out;
    out.opened = true;
    for (int call = 0; call < maxCalls; ++call) {
        cv::Mat chunk;
        const bool more = reader.readPoints(i, chunk, maxColumns);
        out.results.push_back(more);
        out.chunkColumns.push_back(chunk.cols);
        if (chunk.cols < 2)
            break;
        appendChunk(chunk, out.points);
        if (!more)
            break;
    }
    return out;
}

ScanReadout readWholeScan(ScanSource& reader, int i, int maxColumns, int maxCalls)
{
    if (!reader.openScan(i))
        return {};
    return readOpenScan(reader, i, maxColumns, maxCalls);
}

void checkScanSourceContract(const ScanSourceContract& contract)
{
    SCOPED_TRACE(contract.label);
    ASSERT_TRUE(contract.createReader);
    std::unique_ptr<ScanSource> reader = contract.createReader();
    ASSERT_NE(reader, nullptr);
    const int count = int(contract.scans.size());

    ASSERT_TRUE(reader->fetchFiles(contract.inputFiles));
    ASSERT_EQ(reader->scanCount(), count);

    QStringList names = {QStringLiteral("left over from before")};
    reader->scanNames(names);
    ASSERT_EQ(names.size(), count) << "scanNames replaces the list, one name per scan";
    for (const QString& name : names)
        EXPECT_FALSE(name.isEmpty());
    if (contract.distinctNames) {
        EXPECT_EQ(std::set<QString>(names.begin(), names.end()).size(), std::size_t(count));
    }

    for (int i = 0; i < count; ++i)
        EXPECT_FALSE(reader->isScanOpen(i)) << "fetchFiles opens no scan, here scan " << i;

    // Poses and dimensions are known without opening a scan.
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("scan " + std::to_string(i));
        const ContractScan& expected = contract.scans[std::size_t(i)];
        cv::Mat pose;
        reader->scanPose(i, pose);
        EXPECT_TRUE(sameMatrix(pose, expected.pose, contract.poseTolerance));
        cv::Mat rotation(3, 3, CV_64F, cv::Scalar(-7.0));
        cv::Mat translation(3, 1, CV_64F, cv::Scalar(-7.0));
        reader->scanPoseParts(i, rotation, translation);
        EXPECT_TRUE(
            sameMatrix(rotation, expected.pose(cv::Rect(0, 0, 3, 3)), contract.poseTolerance));
        EXPECT_TRUE(
            sameMatrix(translation, expected.pose(cv::Rect(3, 0, 1, 3)), contract.poseTolerance));
        if (expected.rows >= 0) {
            int rows = -1;
            int columns = -1;
            reader->scanDimensions(i, rows, columns);
            EXPECT_EQ(rows, expected.rows);
            EXPECT_EQ(columns, expected.columns);
            EXPECT_EQ(reader->isScanOpen(i), contract.dimensionsOpenScan) << "after scanDimensions";
        } else {
            EXPECT_FALSE(reader->isScanOpen(i)) << "poses are known without opening a scan";
        }
    }

    // The first chunk of every scan stays with the caller to the end: no later read may
    // write into it (a reader that recycles its chunk matrix would).
    std::vector<std::pair<cv::Mat, cv::Mat>> heldChunks;

    // Every scan in index order, as the engine reads it: into one matrix variable, over
    // and over.
    cv::Mat chunk;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("scan " + std::to_string(i));
        const ContractScan& expected = contract.scans[std::size_t(i)];
        const int callLimit = int(expected.points.size()) + 10;
        ASSERT_TRUE(reader->openScan(i));
        EXPECT_TRUE(reader->isScanOpen(i));
        if (contract.singleOpenScan) {
            for (int j = 0; j < count; ++j) {
                if (j != i) {
                    EXPECT_FALSE(reader->isScanOpen(j)) << "scan " << j << " still open";
                }
            }
        }

        std::vector<cv::Vec3d> points;
        cv::Mat firstChunk;
        cv::Mat firstChunkCopy;
        int calls = 0;
        for (;; ++calls) {
            ASSERT_LT(calls, callLimit) << "readPoints never ends the scan";
            const bool more = reader->readPoints(i, chunk, contract.maxColumns);
            checkChunkShape(chunk, contract.maxPointsPerChunk);
            if (chunk.cols < 2)
                break;
            if (firstChunk.empty()) {
                firstChunk = chunk;
                firstChunkCopy = chunk.clone();
            }
            appendChunk(chunk, points);
            if (!more)
                break;
        }
        EXPECT_TRUE(samePoints(points, expected.points, contract.pointTolerance));
        if (!firstChunk.empty())
            heldChunks.push_back({firstChunk, firstChunkCopy});

        // After the end: the placeholder chunk and false.
        cv::Mat after;
        EXPECT_FALSE(reader->readPoints(i, after, contract.maxColumns));
        EXPECT_LT(after.cols, 2);
        EXPECT_EQ(after.rows, 4);

        // A rewind starts the scan again from its first point.
        reader->rewindPoints();
        const ScanReadout again = readOpenScan(*reader, i, contract.maxColumns, callLimit);
        EXPECT_TRUE(samePoints(again.points, expected.points, contract.pointTolerance))
            << "after rewindPoints";

        // Asking for intensity and colour changes no point, and a channel the scan has
        // comes with every chunk, one value per point.
        reader->rewindPoints();
        std::vector<cv::Vec3d> withChannels;
        int withIntensity = 0;
        int withColour = 0;
        int chunks = 0;
        for (int call = 0; call < callLimit; ++call) {
            ScanChunk full;
            const bool more = reader->readPoints(i, full, contract.maxColumns, {true, true});
            if (full.points.cols < 2)
                break;
            ++chunks;
            appendChunk(full.points, withChannels);
            if (!full.intensity.empty()) {
                ++withIntensity;
                EXPECT_EQ(full.intensity.size(), cv::Size(full.points.cols, 1));
                EXPECT_EQ(full.intensity.type(), CV_32F);
            }
            if (!full.colour.empty()) {
                ++withColour;
                EXPECT_EQ(full.colour.size(), cv::Size(full.points.cols, 3));
                EXPECT_EQ(full.colour.type(), CV_8U);
            }
            if (!more)
                break;
        }
        EXPECT_TRUE(samePoints(withChannels, expected.points, contract.pointTolerance))
            << "with the channels asked for";
        EXPECT_TRUE(withIntensity == 0 || withIntensity == chunks);
        EXPECT_TRUE(withColour == 0 || withColour == chunks);

        reader->rewindPoints();
        EXPECT_TRUE(reader->closeScan(i));
        EXPECT_FALSE(reader->isScanOpen(i));
        EXPECT_TRUE(reader->closeScan(i)) << "closing a closed scan is harmless";
    }

    // Opening another scan while one is open reads the new one from its start, and going
    // back reads the first one from its start again.
    if (count >= 2) {
        SCOPED_TRACE("switching from scan 0 to scan 1 and back");
        ASSERT_TRUE(reader->openScan(0));
        cv::Mat partial;
        reader->readPoints(0, partial, contract.maxColumns);
        reader->rewindPoints(); // as the engine does after every scan
        ASSERT_TRUE(reader->openScan(1));
        if (contract.singleOpenScan) {
            EXPECT_FALSE(reader->isScanOpen(0));
        }
        const int limit1 = int(contract.scans[1].points.size()) + 10;
        EXPECT_TRUE(samePoints(readOpenScan(*reader, 1, contract.maxColumns, limit1).points,
                               contract.scans[1].points, contract.pointTolerance));
        reader->rewindPoints();
        const int limit0 = int(contract.scans[0].points.size()) + 10;
        EXPECT_TRUE(samePoints(readWholeScan(*reader, 0, contract.maxColumns, limit0).points,
                               contract.scans[0].points, contract.pointTolerance));
        reader->rewindPoints();
        reader->closeScan(0);
    }

    for (const auto& [held, copy] : heldChunks) {
        EXPECT_TRUE(sameMatrix(held, copy, 0.0))
            << "a later read overwrote a chunk the caller still holds";
    }
    EXPECT_EQ(reader->errorCount(), 0) << reader->lastError();

    // Indices outside the scans are refused and change nothing they were given.
    const CaptureDiagnostics quiet;
    for (const int i : {-1, count, count + 1000}) {
        SCOPED_TRACE("index " + std::to_string(i));
        EXPECT_FALSE(reader->openScan(i));
        EXPECT_FALSE(reader->isScanOpen(i));
        cv::Mat pose = cv::Mat::ones(2, 2, CV_64F);
        reader->scanPose(i, pose);
        EXPECT_EQ(pose.size(), cv::Size(2, 2)) << "left untouched";
        int rows = 7;
        int columns = 7;
        EXPECT_FALSE(reader->scanDimensions(i, rows, columns));
        cv::Mat refused;
        EXPECT_FALSE(reader->readPoints(i, refused, contract.maxColumns));
        EXPECT_LT(refused.cols, 2);
    }
}

} // namespace orthaven::test
