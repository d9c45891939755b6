#include "platform/pause.h"
#include "platform/trace.h"
#include "platform/worker_thread.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace kestrix {
namespace {

using namespace std::chrono_literals;

struct TestWorkerError : WorkerError {};

enum class Behaviour { Complete, WaitForCancel, Throw };

// Records the end report and lets the test wait for it.
class RecordingOwner : public WorkerOwner {
public:
    void workerEnded(int code) override {
        endCode = code;
        ended.post();
    }
    bool waitForEnd() { return ended.wait(5000ms) == WaitResult::Signalled; }
    Semaphore ended{0, 1};
    std::atomic<int> endCode{-99};
};

class TestWorker : public WorkerThread {
public:
    TestWorker(WorkerOwner* owner, ThreadSlot& slot, Behaviour behaviour)
        : WorkerThread("TestWorker", owner, slot), behaviour_(behaviour) {
        start();
    }
    ~TestWorker() override { destroy(); }

protected:
    void run() override {
        if (behaviour_ == Behaviour::Throw)
            throw std::runtime_error("reader bus failed");
        while (behaviour_ == Behaviour::WaitForCancel && !gotcancelevent())
            pause(2);
        reportEnd(behaviour_ == Behaviour::Complete ? 12 : 13);
    }
    [[noreturn]] void throwError(int code, const std::string& text) const override {
        throw TestWorkerError{{code, text}};
    }
    void onCancelSignalled() override { trace("TestWorker::cancelrun(): the worker's own line\n"); }

private:
    const Behaviour behaviour_;
};

class WorkerFrame : public ::testing::Test {
protected:
    // Every event and thread handle the worker made is closed by the end, once.
    void TearDown() override { EXPECT_EQ(HandleCounters::open(), openBefore_); }
    int waitForThread(ThreadSlot& slot) { return waitonthreadend(slot, "COwner::waitonthreadend()"); }

    test::TraceCapture trace_;
    RecordingOwner owner_;
    ThreadSlot slot_;
    const long openBefore_ = HandleCounters::open(); // after the owner's semaphore
};

TEST_F(WorkerFrame, NormalEndReportsItsCodeAndTheThreadExitsWithZero) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Complete);
    ASSERT_TRUE(owner_.waitForEnd());
    EXPECT_EQ(owner_.endCode, 12);
    EXPECT_EQ(waitForThread(slot_), 0);
    worker.reset();
    EXPECT_TRUE(trace_.contains("TestWorker::_run() no error\n"));
    EXPECT_TRUE(trace_.contains("COwner::waitonthreadend(): Exit code of thread: 0\n"));
}

TEST_F(WorkerFrame, CancelEndsTheWorkerAtItsNextPollAndDestroyingWaitsForIt) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    for (int wait = 0; wait < 500 && !trace_.contains("WAIT_TIMEOUT == kein Abbruch Event\n"); ++wait)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(worker->cancelFromOwner("CancelTest"), 0);
    ASSERT_TRUE(owner_.waitForEnd());
    EXPECT_EQ(owner_.endCode, 13);
    EXPECT_EQ(waitForThread(slot_), 0);
    EXPECT_TRUE(
        trace_.contains("TestWorker::gotcancelevent(): WaitForSingleObject() Abbruch Event erhalten\n"));
    EXPECT_TRUE(trace_.contains("TestWorker::cancelrun(): the worker's own line\n"));
    // A worker destroyed while it runs is cancelled and waited for.
    worker.reset();
    worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    std::this_thread::sleep_for(10ms);
    owner_.endCode = -99;
    worker.reset();
    EXPECT_EQ(owner_.endCode, 13);
    EXPECT_TRUE(trace_.text().ends_with("~TestWorker() Ende\n"));
}

TEST_F(WorkerFrame, FailingRunExitsWithMinusOneAndSendsNoEndReport) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Throw);
    EXPECT_EQ(waitForThread(slot_), -1);
    EXPECT_EQ(owner_.endCode, -99);
    EXPECT_TRUE(trace_.contains("TestWorker::_run() caught an error\n"));
}

TEST_F(WorkerFrame, ASlotServesOneWorkerAfterTheOtherAndASecondWaitFindsNoThread) {
    for (int round = 0; round < 2; ++round) {
        auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Complete);
        ASSERT_TRUE(owner_.waitForEnd());
        EXPECT_EQ(waitForThread(slot_), 0);
        EXPECT_TRUE(slot_.empty());
    }
    trace_.clear();
    EXPECT_EQ(waitForThread(slot_), 0);
    EXPECT_TRUE(trace_.contains("COwner::waitonthreadend(): WaitForSingleObject() returned: error="));
}

TEST_F(WorkerFrame, CleanupClosesWhatIsStillOpenOnly) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    worker->cancelrun();
    ASSERT_TRUE(owner_.waitForEnd());
    slot_.with([](Thread* thread) { return thread->wait(kWaitForever); });
    worker->cleanup(); // the worker closed its abort event; this closes the thread handle
    worker->cleanup(); // nothing left
}

} // namespace
} // namespace kestrix
