// What every reader gets from ScanSource: doors that let no exception through, the chunk
// rules (end of scan, short pieces, the lone last point), damage notes, the placeholder,
// splitting a pose, and the depth image of grid readers.

#include "scan/ScanSource.h"
#include "support/CaptureDiagnostics.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace orthaven;
using orthaven::test::CaptureDiagnostics;

namespace {

// How one scripted read step ends.
enum class Verdict
{
    Chunk,
    Last,
    End,
    Error,  // through readError
    Throws, // a std::exception
};

struct Step
{
    int points = 0;
    Verdict verdict = Verdict::Chunk;
    qint64 left = -1; // what pointsLeft answers after the step
};

// A reader of one scan whose read steps follow a script. Points are numbered in the order
// the steps hand them out (x = number), so that a lost or doubled point shows.
class ScriptedSource : public ScanSource
{
public:
    explicit ScriptedSource(std::vector<Step> script) : steps(std::move(script)) {}

    int stepsTaken = 0;
    std::function<void()> failure; // when set, every step but readNext calls it
    using ScanSource::noteDamage;

private:
    void call() const
    {
        if (failure)
            failure();
    }
    bool findScans(const QStringList&) override
    {
        call();
        numScans = 1;
        return true;
    }
    void nameScans(QStringList& names) const override
    {
        call();
        names = {QStringLiteral("scripted")};
    }
    bool poseOf(int, cv::Mat& pose) const override
    {
        call();
        pose = cv::Mat::eye(4, 4, CV_64F);
        return true;
    }
    bool open(int) override
    {
        call();
        return true;
    }
    bool close(int) override
    {
        call();
        return true;
    }
    bool isOpen(int) const override
    {
        call();
        return true;
    }
    bool dimensionsOf(int, int& rows, int& columns) override
    {
        call();
        rows = 1;
        columns = 1;
        return true;
    }
    void rewound() override
    {
        call();
        next = 0;
        numbered = 0;
    }
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override
    {
        ++stepsTaken;
        if (next >= steps.size())
            return ReadStep::End;
        const Step& step = steps[next++];
        lastLeft = step.left;
        if (step.verdict == Verdict::Throws)
            throw std::runtime_error("the library gave up");
        if (step.verdict == Verdict::Error)
            return readError(request.scan, "page 3 is damaged");
        if (step.verdict == Verdict::End)
            return ReadStep::End;
        if (step.points > 0) {
            piece.points = cv::Mat(4, step.points, CV_64F, cv::Scalar(1.0));
            if (request.channels.intensity)
                piece.intensity.create(1, step.points, CV_32F);
            for (int k = 0; k < step.points; ++k, ++numbered) {
                piece.points.at<double>(0, k) = double(numbered);
                if (request.channels.intensity)
                    piece.intensity.at<float>(0, k) = float(numbered);
            }
        }
        return step.verdict == Verdict::Last ? ReadStep::LastChunk : ReadStep::Chunk;
    }
    qint64 pointsLeft(int) const override { return lastLeft; }

    std::vector<Step> steps;
    std::size_t next = 0;
    int numbered = 0;
    qint64 lastLeft = -1;
};

struct Delivery
{
    int columns;
    bool more;
    bool operator==(const Delivery&) const = default;
};

void PrintTo(const Delivery& d, std::ostream* os)
{
    *os << "{" << d.columns << ", " << (d.more ? "true" : "false") << "}";
}

} // namespace

TEST(ScanSource, ChunkRulesHoldWhateverTheReaderHandsOver)
{
    using V = Verdict;
    struct Case
    {
        const char* name;
        std::vector<Step> script;
        std::vector<Delivery> expected; // every read until and with the first placeholder
        int points;                     // delivered in all, numbered 0 … points - 1
        int errors = 0;
    };
    const Case cases[] = {
        {"chunks as the reader makes them", {{3}, {2, V::Last}}, {{3, true}, {2, false}}, 5},
        {"the placeholder after a last chunk that said more",
         {{3}, {2}},
         {{3, true}, {2, true}, {1, false}},
         5},
        {"empty pieces are read through",
         {{2}, {0}, {0}, {2, V::Last}},
         {{2, true}, {2, false}},
         4},
        {"a lone point joins the points after it",
         {{4}, {1}, {4, V::Last}},
         {{4, true}, {3, true}, {2, false}},
         9},
        {"a lone last point goes out with the point before it",
         {{5, V::Chunk, 1}, {1, V::Last}},
         {{4, true}, {2, false}},
         6},
        {"... also from a reader that says more after its last chunk",
         {{5, V::Chunk, 1}, {1}},
         {{4, true}, {2, true}, {1, false}},
         6},
        {"... and whole when the chunk before held two",
         {{2, V::Chunk, 1}, {1, V::Last}},
         {{3, false}},
         3},
        {"a lone point that turned out not to be there",
         {{3, V::Chunk, 1}, {0, V::Last}},
         {{3, false}},
         3},
        {"a scan of one point in all", {{1, V::Last}}, {{1, false}}, 0},
        {"a scan without points", {}, {{1, false}}, 0},
        {"a read error ends the scan", {{2}, {2, V::Error}, {2}}, {{2, true}, {1, false}}, 2, 1},
        {"so does an exception", {{2}, {2, V::Throws}, {2}}, {{2, true}, {1, false}}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSource source(c.script);
        CaptureDiagnostics quiet;
        ASSERT_TRUE(source.fetchFiles({QStringLiteral("scripted")}));
        ASSERT_TRUE(source.openScan(0));
        std::vector<Delivery> deliveries;
        std::vector<double> numbers;
        for (int call = 0; call < 20; ++call) {
            ScanChunk chunk;
            const bool more = source.readPoints(0, chunk, 1000, {.intensity = true});
            deliveries.push_back({chunk.points.cols, more});
            ASSERT_EQ(chunk.points.rows, 4);
            ASSERT_TRUE(chunk.points.isContinuous());
            if (chunk.points.cols < 2)
                break;
            ASSERT_EQ(chunk.intensity.cols, chunk.points.cols) << "the channel stays aligned";
            for (int k = 0; k < chunk.points.cols; ++k) {
                numbers.push_back(chunk.points.at<double>(0, k));
                EXPECT_EQ(chunk.intensity.at<float>(0, k), float(numbers.back()));
            }
            if (!more)
                break;
        }
        EXPECT_EQ(deliveries, c.expected);
        ASSERT_EQ(numbers.size(), std::size_t(c.points)) << "no point lost, none doubled";
        for (int k = 0; k < c.points; ++k)
            EXPECT_EQ(numbers[std::size_t(k)], double(k));
        EXPECT_EQ(source.errorCount(), c.errors);

        // An ended scan stays ended without asking the reader again, until it is rewound.
        const int steps = source.stepsTaken;
        cv::Mat after;
        EXPECT_FALSE(source.readPoints(0, after, 1000));
        EXPECT_EQ(after.cols, 1);
        EXPECT_EQ(source.stepsTaken, steps);
        source.rewindPoints();
        cv::Mat again;
        source.readPoints(0, again, 1000);
        EXPECT_GT(source.stepsTaken, steps) << "read again after a rewind";
    }
}

TEST(ScanSource, DoorsTurnExceptionsIntoFailedCallsAndOneLineEach)
{
    for (const bool standard : {true, false}) {
        SCOPED_TRACE(standard ? "std::runtime_error" : "an int");
        ScriptedSource source({});
        ASSERT_TRUE(source.fetchFiles({}));
        source.failure = [standard] {
            if (standard)
                throw std::runtime_error("COM error 0x80004005");
            throw 7;
        };
        const std::string what = standard ? "COM error 0x80004005" : "an unknown error";
        CaptureDiagnostics out;
        QStringList names = {QStringLiteral("kept?")};
        EXPECT_FALSE(source.scanNames(names));
        EXPECT_TRUE(names.isEmpty());
        cv::Mat pose;
        EXPECT_FALSE(source.scanPose(2, pose));
        cv::Mat rotation;
        cv::Mat translation;
        EXPECT_FALSE(source.scanPoseParts(2, rotation, translation));
        EXPECT_FALSE(source.openScan(1));
        EXPECT_FALSE(source.isScanOpen(1));
        int rows = 9;
        int columns = 9;
        EXPECT_FALSE(source.scanDimensions(1, rows, columns));
        EXPECT_EQ(rows + columns, 0);
        source.rewindPoints();
        EXPECT_FALSE(source.closeScan(1));
        EXPECT_FALSE(source.fetchFiles({QStringLiteral("again")}));
        EXPECT_EQ(source.scanCount(), 0) << "a failed listing lists nothing";

        const QStringList expected = {
            QString::fromStdString("ScanSource::scanNames failed: " + what),
            QString::fromStdString("ScanSource::scanPose failed for scan 2: " + what),
            QString::fromStdString("ScanSource::scanPose failed for scan 2: " + what),
            QString::fromStdString("ScanSource::openScan failed for scan 1: " + what),
            QString::fromStdString("ScanSource::isScanOpen failed for scan 1: " + what),
            QString::fromStdString("ScanSource::scanDimensions failed for scan 1: " + what),
            QString::fromStdString("ScanSource::rewindPoints failed: " + what),
            QString::fromStdString("ScanSource::closeScan failed for scan 1: " + what),
            QString::fromStdString("ScanSource::fetchFiles failed: " + what),
        };
        EXPECT_EQ(out.lines(), expected);
        EXPECT_EQ(source.errorCount(), expected.size());
        EXPECT_EQ(source.lastError(), what);
    }
}

TEST(ScanSource, NotesAreKeptOnceEachAndForgottenByTheNextListing)
{
    ScriptedSource source({});
    CaptureDiagnostics out;
    source.noteDamage(0, "Scan 0: skipped 3 malformed point lines");
    source.noteDamage(0, "Scan 0: skipped 3 malformed point lines"); // read a second time
    source.noteDamage(2, "Scan 2: skipped 1 malformed point lines");
    EXPECT_EQ(source.notes(),
              (std::vector<ScanNote>{{0, "Scan 0: skipped 3 malformed point lines"},
                                     {2, "Scan 2: skipped 1 malformed point lines"}}));
    EXPECT_EQ(out.lines().size(), 3) << "printed every time it is met";
    source.fetchFiles({QStringLiteral("scripted")});
    EXPECT_TRUE(source.notes().empty());
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

namespace {

// A grid of `rows` × `columns` whose point (j, c) has range 10 c + j; polar columns can be
// cut short to mimic a reader that runs out of points, or fail.
class GridSource : public GridScanSource
{
public:
    int rows = 3;
    int columns = 4;
    int shortColumn = -1;   // this column delivers only one point
    int failingColumn = -1; // reading this column throws
    bool opens = true;
    int polarCalls = 0;
    bool pendingRewind() const { return rewindPending; }

private:
    bool findScans(const QStringList&) override { return true; }
    void nameScans(QStringList&) const override {}
    bool poseOf(int, cv::Mat&) const override { return false; }
    bool open(int) override
    {
        polarColumn = 0;
        rewindPending = false;
        return opens;
    }
    bool close(int) override { return true; }
    bool isOpen(int) const override { return false; }
    ReadStep readNext(const ReadRequest&, ScanChunk&) override { return ReadStep::End; }
    bool dimensionsOf(int, int& r, int& c) override
    {
        r = rows;
        c = columns;
        return true;
    }
    bool polarColumns(int, cv::Mat& polar, int count) override
    {
        ++polarCalls;
        EXPECT_EQ(count, 1) << "the depth image asks for one column at a time";
        if (polarColumn == failingColumn)
            throw std::runtime_error("column lost");
        const int n = polarColumn == shortColumn ? 1 : rows;
        polar = cv::Mat(3, n, CV_64F, cv::Scalar(-1.0));
        for (int j = 0; j < n; ++j)
            polar.at<double>(0, j) = 10.0 * polarColumn + j;
        ++polarColumn;
        return true;
    }
    bool pointList(int, std::vector<cv::Mat>&, int) override { return false; }

    int polarColumn = 0;
};

} // namespace

TEST(GridScanSource, DepthImagePutsRangesOfColumnCIntoColumnC)
{
    GridSource source;
    source.shortColumn = 2;
    EXPECT_EQ(static_cast<ScanSource&>(source).grid(), &source);
    CaptureDiagnostics out;
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

TEST(GridScanSource, DepthImageOfAnEmptyGridAFailedOpenOrAFailingReader)
{
    GridSource empty;
    empty.rows = 0;
    cv::Mat depth = cv::Mat::ones(2, 2, CV_64F);
    CaptureDiagnostics out;
    EXPECT_TRUE(empty.computeScanDepthImage(0, depth));
    EXPECT_TRUE(depth.empty());
    EXPECT_EQ(empty.polarCalls, 0);

    const cv::Mat marker = cv::Mat::ones(2, 2, CV_64F);
    GridSource failing;
    failing.opens = false;
    depth = marker;
    EXPECT_FALSE(failing.computeScanDepthImage(0, depth));
    EXPECT_EQ(depth.data, marker.data);

    GridSource broken;
    broken.failingColumn = 1;
    EXPECT_FALSE(broken.computeScanDepthImage(0, depth)) << "no half image";
    EXPECT_EQ(depth.data, marker.data);
    EXPECT_EQ(broken.polarCalls, 2) << "the first error ends it";
    EXPECT_EQ(out.lines(),
              QStringList({"Compute ScanDepthImage", "Compute ScanDepthImage",
                           "ScanSource::readPolarDataFromScan failed for scan 0: column lost"}));
}
