#include "platform/pause.h"
#include "platform/process_abort_event.h"

#include <gtest/gtest.h>

#include <thread>

namespace kestrix {
namespace {

using namespace std::chrono_literals;

TEST(TimeScale, AcceptsOnlyAPositiveFactorAndScalesPauses) {
    struct Case {
        const char* text;
        double scale;
    } cases[] = {{nullptr, 1.0}, {"", 1.0},     {"0.01", 0.01}, {"2", 2.0},   {"0", 1.0},   {"-1", 1.0},
                 {"abc", 1.0},   {"0.5x", 1.0}, {"nan", 1.0},   {"inf", 1.0}, {"1e9", 1.0}, {"1000", 1000.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(parseTimeScale(c.text), c.scale) << (c.text ? c.text : "(unset)");
    // ctest runs this executable without KESTRIX_TIME_SCALE unless told otherwise.
    EXPECT_EQ(scaledPause(40000), 40s);
    EXPECT_EQ(scaledPause(-5).count(), 0);
}

TEST(ProcessAbortEvent, IsOneAutoResetEventNotSetAtFirst) {
    Event& event = processAbortEvent();
    EXPECT_EQ(&processAbortEvent(), &event);
    EXPECT_EQ(event.wait(0ms), WaitResult::Timeout);
    // Set by one thread (the TCL connection), seen once by the polling one.
    std::thread setter([] { EXPECT_EQ(processAbortEvent().set(), 0); });
    EXPECT_EQ(event.wait(5s), WaitResult::Signalled);
    setter.join();
    EXPECT_EQ(event.wait(0ms), WaitResult::Timeout);
}

} // namespace
} // namespace kestrix
