// The clipping planes a job starts with, and the texts that tell how a run ended.

#include "creator/ClippingDefaults.h"
#include "creator/ResultMessages.h"
#include "engine/StatusReporter.h"
#include "layout/LayoutJob.h"
#include "support/FakeScanSource.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

FakeScanSource sourceAt(const std::vector<cv::Vec3d>& positions)
{
    std::vector<FakeScan> scans;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        FakeScan scan;
        scan.name = QString::number(k);
        const cv::Vec3d& p = positions[k];
        scan.pose = FakeScanSource::translation(p[0], p[1], p[2]);
        // A heading does not move the scanner: only the position counts.
        scan.pose.at<double>(0, 0) = scan.pose.at<double>(1, 1) = 0.0;
        scan.pose.at<double>(0, 1) = -1.0;
        scan.pose.at<double>(1, 0) = 1.0;
        scans.push_back(scan);
    }
    return FakeScanSource(scans);
}

QBitArray bits(std::initializer_list<bool> flags)
{
    QBitArray b(int(flags.size()));
    int i = 0;
    for (bool f : flags)
        b.setBit(i++, f);
    return b;
}

} // namespace

TEST(ClippingDefaults, DepthRangeOfTheChosenScansRoundedOutwardPlusOneMetre)
{
    // Scan 2 stands in georeferenced coordinates and is only used where it is chosen.
    const FakeScanSource source =
        sourceAt({{0.5, -1.3, -1.3}, {-2.5, 3.1, 3.1}, {512345.25, 5400000.3, 301.7}});
    const struct
    {
        const char* name;
        std::uint32_t view;
        QBitArray chosen;
        double domain;
        double low, high;
    } cases[] = {
        // depth z from -2.3 to 4.1 once widened by 1 m: -4 and 6
        {"top", Top, bits({true, true, false}), 1.0, -4, 6},
        {"front: depth y", Front, bits({true, true, false}), 1.0, -4, 6},
        {"back: depth y", Back, bits({true, true, false}), 1.0, -4, 6},
        {"left: depth x", Left, bits({true, true, false}), 1.0, -5, 3},
        {"right: depth x", Right, bits({true, true, false}), 0.5, -4, 2},
        {"whole metres stay whole", Left, bits({false, true, false}), 0.5, -4, -1},
        {"georeferenced", Front, bits({false, false, true}), 30, 5399969, 5400032},
        {"no scan chosen", Top, bits({false, false, false}), 30, -1, 1},
        {"no selection at all", Top, QBitArray(), 30, -1, 1},
    };
    for (const auto& c : cases) {
        const ClipPlanes planes = defaultClipPlanes(source, c.chosen, c.view, c.domain);
        EXPECT_EQ(planes.low, c.low) << c.name;
        EXPECT_EQ(planes.high, c.high) << c.name;
    }
}

TEST(ClippingDefaults, ScansWithoutAUsablePoseAreLeftOut)
{
    std::vector<FakeScan> scans(2);
    scans[0].pose = FakeScanSource::translation(1, 1, 1);
    scans[1].pose = FakeScanSource::translation(0, 0, std::nan(""));
    const FakeScanSource broken(scans);
    EXPECT_EQ(defaultClipPlanes(broken, bits({true, true}), Top, 1).low, -1.0);
    EXPECT_EQ(defaultClipPlanes(broken, bits({true, true}), Top, 1).high, 3.0);
    const ClipPlanes none = defaultClipPlanes(broken, bits({false, true}), Top, 1);
    EXPECT_EQ(none.low, -1.0);
    EXPECT_EQ(none.high, 1.0);
}

TEST(ResultMessages, OneTextPerOutcomeAndStopComesFirst)
{
    const struct
    {
        bool stopped, failed;
        std::int32_t code;
        const char* text;
    } cases[] = {
        {false, false, NoError, "Computation successful!"},
        {true, true, NotEnoughData, "Computation interrupted!"},
        {true, false, NoError, "Computation interrupted!"},
        {false, true, NotEnoughMemory,
         "Computation interrupted: not enough memory!\n\nPlease choose a coarser Image "
         "Resolution or a smaller Scan Radius\n(Modules > Layout Preferences)."},
        {false, true, TempFileAccess, "Could not access a temporary file!"},
        {false, true, NotEnoughData,
         "Not enough data between the clipping planes!\nWiden the clipping planes or use more "
         "scans!"},
        {false, true, 3, ""},
        {false, true, 99, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layoutResultMessage(c.stopped, c.failed, c.code), QString::fromUtf8(c.text))
            << c.code;
    // The codes beyond the Layout Creator's first three have texts of their own.
    for (std::int32_t code :
         {LogFileAccess, InvalidSettings, ScanSourceError, OutputFolderAccess, OutputLocked}) {
        const QString text = layoutResultMessage(false, true, code);
        EXPECT_FALSE(text.isEmpty()) << code;
        EXPECT_EQ(resultCodeMessage(code), text);
    }
}
