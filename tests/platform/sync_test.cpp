#include "platform/error_text.h"
#include "platform/sync_wrappers.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using test::TraceCapture;

TEST(Semaphore, CountsUpToItsMaximumAndWakesAWaiter) {
    TraceCapture trace;
    Semaphore semaphore(0, 1);
    EXPECT_TRUE(postSemaphore(semaphore));
    EXPECT_FALSE(postSemaphore(semaphore)); // beyond the maximum: fails without a trace line
    EXPECT_EQ(semaphore.post(), kErrorTooManyPosts);
    EXPECT_EQ(semaphore.count(), 1);
    EXPECT_EQ(trace.text(), "");
    EXPECT_TRUE(waitSemaphore(semaphore));
    EXPECT_EQ(semaphore.wait(20ms), WaitResult::Timeout);
    Semaphore two(2, 3);
    EXPECT_EQ(two.wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(two.wait(0ms), WaitResult::Signalled);
    std::thread poster([&] {
        std::this_thread::sleep_for(10ms);
        two.post();
    });
    EXPECT_TRUE(waitSemaphore(two));
    poster.join();
}

TEST(Semaphore, ClosedObjectsFailWithTraceLines) {
    TraceCapture trace;
    Semaphore semaphore(1, 1);
    semaphore.close();
    EXPECT_FALSE(waitSemaphore(semaphore));
    EXPECT_FALSE(postSemaphore(semaphore));
    EXPECT_TRUE(trace.contains("waitSemaphore() failed: error=" + std::to_string(EBADF) + ": "));
    EXPECT_TRUE(trace.contains("postSemaphore() failed: error=" + std::to_string(EBADF) + ": "));
    Event event; // auto-reset: one set lets one wait through, a second set does not count
    event.set();
    event.set();
    EXPECT_EQ(event.wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(event.wait(0ms), WaitResult::Timeout);
    event.close();
    EXPECT_EQ(event.wait(0ms), WaitResult::Failed);
    EXPECT_EQ(event.set(), EBADF);
}

// Also shows that a held mutex keeps other threads out: only a mutex another
// thread still holds can be found abandoned.
TEST(Mutex, AbandonedMutexFailsWithBothTraceLinesAndStaysUsable) {
    TraceCapture trace;
    Mutex mutex;
    std::thread owner([&] {
        int error = 0;
        ASSERT_EQ(mutex.lock(error), WaitResult::Signalled); // ends without releasing it
    });
    owner.join();
    EXPECT_FALSE(enterMutex(mutex));
    EXPECT_EQ(
        trace.text(),
        "enterMutex(). WAIT_ABANDONED = kritischer Bereich von anderem Thread nicht ordnungsgemäß verlassen\n"
        "enterMutex() failed: error=" +
            std::to_string(EOWNERDEAD) + ": " + errorText(EOWNERDEAD) + "\n");
    trace.clear();
    std::thread later([&] { // the next caller enters normally, also from another thread
        EXPECT_TRUE(enterMutex(mutex));
        EXPECT_TRUE(leaveMutex(mutex));
    });
    later.join();
    EXPECT_FALSE(leaveMutex(mutex)); // not owned
    EXPECT_TRUE(trace.contains("leaveMutex() failed: error=" + std::to_string(EPERM) + ": "));
}

TEST(ErrorText, KnownAndUnknownCodes) {
    EXPECT_EQ(errorText(ECONNREFUSED), "Connection refused");
    EXPECT_EQ(errorText(kErrorTooManyPosts), "Unknown error from GetLastError(): 298l\n");
    EXPECT_EQ(errorText(0), "Unknown error from GetLastError(): 0l\n");
}

TEST(HandleCounters, EveryObjectIsClosedOnceAtTheLatestOnDestruction) {
    const long openBefore = HandleCounters::open();
    {
        Event event;
        Semaphore semaphore(0, 1);
        Mutex mutex;
        EXPECT_EQ(HandleCounters::open(), openBefore + 3);
        EXPECT_TRUE(event.close());
        EXPECT_FALSE(event.close());
        EXPECT_EQ(HandleCounters::open(), openBefore + 2);
    }
    EXPECT_EQ(HandleCounters::open(), openBefore);
}

} // namespace
} // namespace kestrix
