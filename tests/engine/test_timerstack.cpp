#include "engine/TimerStack.h"
#include "support/CaptureDiagnostics.h"

#include <gtest/gtest.h>

#include <locale>
#include <thread>

using namespace orthaven;
using orthaven::test::CaptureDiagnostics;

TEST(TimerStack, LineHasTextDotsSecondsAndUnit)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "Load Scan = ............... Time 0 sec"},
        {1234, "Load Scan = ............... Time 1.234 sec"},
        {1500, "Load Scan = ............... Time 1.5 sec"},
        {61000, "Load Scan = ............... Time 61 sec"},
    };
    for (const auto& [ms, line] : cases)
        EXPECT_EQ(TimerStack::elapsedLine("Load Scan = ", ms), line);
}

TEST(TimerStack, SecondsIgnoreTheGlobalLocale)
{
    std::locale german;
    try {
        german = std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    const std::locale previous = std::locale::global(german);
    const std::string line = TimerStack::elapsedLine("Build Thumbnail ...", 2250);
    std::locale::global(previous);
    EXPECT_EQ(line, std::string("Build Thumbnail ...") + "..............." + " Time 2.25 sec");
}

TEST(TimerStack, EveryPrintPopsOneStartAndEmptyStackPrintsZero)
{
    TimerStack& stack = TimerStack::instance();
    const std::size_t before = stack.depth();
    stack.startTimer();
    stack.startTimer();
    EXPECT_EQ(stack.depth(), before + 2);
    CaptureDiagnostics capture;
    stack.printElapsed("inner ");
    stack.discard();
    EXPECT_EQ(stack.depth(), before);
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines()[0].startsWith("inner ............... Time "));
    EXPECT_TRUE(capture.lines()[0].endsWith(" sec"));

    // Each thread has its own stack; an empty one prints zero instead of failing.
    std::string otherLine;
    std::thread([&otherLine] {
        CaptureDiagnostics inThread;
        TimerStack::instance().printElapsed("empty ");
        otherLine = inThread.text();
    }).join();
    EXPECT_EQ(otherLine, "empty ............... Time 0 sec\n");
    EXPECT_EQ(stack.depth(), before);
}
