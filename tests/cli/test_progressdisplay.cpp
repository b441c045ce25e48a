// The progress shown on standard error: one line per change when it goes to a file, a
// redrawn bar on a terminal that diagnostics do not tear.

#include "cli/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace orthaven;

TEST(ProgressDisplay, PercentIsTruncatedAndOnlyWithinRange)
{
    const struct
    {
        float done, total;
        int percent;
    } cases[] = {
        {1, 3, 33}, {2, 3, 66}, {3, 3, 100}, {0, 4, 0},
        {0, 0, -1}, {1, 0, -1}, {5, 4, -1},  {-1, 4, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressDisplay::percent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(ProgressDisplay, PlainOutputHasOneLinePerChange)
{
    std::ostringstream out;
    ProgressDisplay display(out, false);
    display.update("Loading Scan 1 of 2", 1, 2);
    display.update("Loading Scan 1 of 2", 1, 2); // polled again, nothing new
    display.update("", 0, 1);                    // between stages
    display.update("Loading Scan 2 of 2", 2, 2);
    display.update("Preprocessing Tiles", 0, 0); // nothing counted yet: the percent stays
    display.update("Preprocessing Tiles", 3, 4);
    display.message("Scan load failed");
    display.finish();
    EXPECT_EQ(out.str(), "50% Loading Scan 1 of 2\n"
                         "100% Loading Scan 2 of 2\n"
                         "100% Preprocessing Tiles\n"
                         "75% Preprocessing Tiles\n"
                         "Scan load failed\n");
}

TEST(ProgressDisplay, TerminalBarIsRedrawnInPlaceAndEndedOnce)
{
    std::ostringstream out;
    ProgressDisplay display(out, true, 60);
    display.update("Write Images", 1, 4);
    display.message("ERROR: something");
    display.update("Write Images", 4, 4);
    display.finish();
    const std::string text = out.str();
    EXPECT_EQ(text.find('\n'), text.find("ERROR: something") + 16)
        << "the diagnostic is the first full line";
    EXPECT_NE(text.find("[######------------------]  25% Write Images"), std::string::npos);
    EXPECT_NE(text.find("[########################] 100% Write Images"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    std::size_t widest = 0;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        widest = std::max(widest, end - start);
    }
    EXPECT_LE(widest, 59u) << "no line may wrap on a 60-column terminal";

    const std::string cut = ProgressDisplay::barLine(std::string(200, 'x'), 40, 50);
    EXPECT_EQ(cut.size(), 49u);
    EXPECT_EQ(cut.substr(0, 32), "[#########---------------]  40% ");
}
