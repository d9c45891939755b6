#include "platform/process_abort_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kestrix {
namespace {

using namespace std::chrono_literals;

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
