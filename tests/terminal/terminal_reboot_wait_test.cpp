#include "platform/pause.h"
#include "support/trace_capture.h"
#include "terminal/terminal_fields.h"

#include <chrono>
#include <gtest/gtest.h>

// Runs with KESTRIX_TIME_SCALE=0.001 (set by ctest), so that a 170 s wait
// lasts 170 ms.

namespace kestrix {
namespace {

TEST(WaitOnReboot, WaitsByPlatformGroupAndWait) {
    if (timeScale() >= 0.01)
        GTEST_SKIP() << "run with KESTRIX_TIME_SCALE=0.001 (as ctest does)";
    struct Case {
        int group;
        RebootWait wait;
        unsigned milliseconds;
    } cases[] = {
        {4, RebootWait::VeryLong, 40000}, {4, RebootWait::Normal, 40000},    {1, RebootWait::VeryLong, 6000},
        {2, RebootWait::Long, 6000},      {3, RebootWait::Normal, 6000},     {5, RebootWait::VeryLong, 6000},
        {-1, RebootWait::Normal, 6000},   {6, RebootWait::VeryLong, 170000}, {6, RebootWait::Long, 60000},
        {6, RebootWait::Normal, 40000},   {7, RebootWait::VeryLong, 170000}, {7, RebootWait::Long, 60000},
        {7, RebootWait::Normal, 40000},
    };
    for (const auto& c : cases) {
        test::TraceCapture capture;
        TerminalFields record;
        record.PlatformGroup = c.group;
        const auto start = std::chrono::steady_clock::now();
        record.waitOnReboot(c.wait);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(capture.text(), "Terminal::waitOnReboot(): sleep() für " + std::to_string(c.milliseconds) +
                                      " Millisekunden, um Reboot abzuwarten\n")
            << c.group;
        EXPECT_GE(elapsed, scaledPause(static_cast<int>(c.milliseconds))) << c.group;
        EXPECT_LT(elapsed, scaledPause(static_cast<int>(c.milliseconds)) + std::chrono::seconds(2))
            << c.group;
    }
}

} // namespace
} // namespace kestrix
