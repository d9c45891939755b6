#include "platform/pause.h"
#include "platform/trace.h"
#include "platform/worker_thread.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>
#include <sstream>

#include <atomic>
#include <stdexcept>

namespace kestrix {
namespace {

// The trace without the worker's poll lines: the worker polls on its own
// thread, so its lines may stand between the owner's.
std::string withoutPollLines(const std::string& text) {
    std::string result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("TestWorker::gotcancelevent()", 0) != 0)
            result += line + "\n";
    return result;
}

using namespace std::chrono_literals;
using test::TraceCapture;

struct TestWorkerError : WorkerError {};

enum class Behaviour { Complete, WaitForCancel, Throw };

// Records the end report and lets the test wait for it.
class RecordingOwner : public WorkerOwner {
public:
    void workerEnded(int endCode) override {
        endCode_ = endCode;
        ended_.post();
    }
    bool waitForEnd() { return ended_.wait(5000ms) == WaitResult::Signalled; }
    int endCode() const { return endCode_; }

private:
    Semaphore ended_{0, 1};
    std::atomic<int> endCode_{-99};
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
    void SetUp() override { openBefore_ = HandleCounters::open(); }
    // Every event and thread handle the worker made is closed by now, once.
    void expectAllHandlesClosed() { EXPECT_EQ(HandleCounters::open(), openBefore_); }

    TraceCapture trace_;
    RecordingOwner owner_;
    ThreadSlot slot_;
    long openBefore_ = 0;
};

TEST_F(WorkerFrame, NormalEndReportsCodeExitsWithZeroAndClosesEveryHandleOnce) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Complete);
    ASSERT_TRUE(owner_.waitForEnd());
    EXPECT_EQ(owner_.endCode(), 12);
    slot_.with([](Thread* thread) { return thread->wait(kWaitForever); }); // fixes the order of the lines
    EXPECT_EQ(waitonthreadend(slot_, "COwner::waitonthreadend()"), 0);
    worker.reset();
    expectAllHandlesClosed();
    EXPECT_EQ(trace_.text(), "TestWorker startet\n"
                             "TestWorker::run(): SendMessage() done\n"
                             "TestWorker run(): exit() done\n"
                             "TestWorker::_run() no error\n"
                             "COwner::waitonthreadend() startet\n"
                             "COwner::waitonthreadend(): Exit code of thread: 0\n"
                             "COwner::waitonthreadend(): Thread beendet\n"
                             "~TestWorker() startet\n"
                             "TestWorker::cancelrun() startet\n"
                             "~TestWorker() Ende\n");
}

TEST_F(WorkerFrame, CancelEndsTheWorkerAtItsNextPoll) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    // Cancelled only after its first poll found no cancel.
    for (int wait = 0; wait < 500 && !trace_.contains("WAIT_TIMEOUT == kein Abbruch Event\n"); ++wait)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(worker->cancelFromOwner("CancelTest"), 0);
    ASSERT_TRUE(owner_.waitForEnd());
    EXPECT_EQ(owner_.endCode(), 13);
    EXPECT_EQ(waitonthreadend(slot_, "COwner::waitonthreadend()"), 0);
    worker.reset();
    expectAllHandlesClosed();
    auto text = trace_.text();
    EXPECT_NE(withoutPollLines(text).find("TestWorker::CancelTest(): startet\nTestWorker::cancelrun() startet\n"
                              "TestWorker::cancelrun(): the worker's own line\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("TestWorker::gotcancelevent() WaitForSingleObject() returned: WAIT_TIMEOUT == kein "
                        "Abbruch Event\n"),
              std::string::npos);
    EXPECT_NE(text.find("TestWorker::gotcancelevent(): WaitForSingleObject() Abbruch Event erhalten\n"),
              std::string::npos);
}

TEST_F(WorkerFrame, FailingRunExitsWithMinusOneAndSendsNoEndReport) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Throw);
    EXPECT_EQ(waitonthreadend(slot_, "COwner::waitonthreadend()"), -1);
    EXPECT_EQ(owner_.endCode(), -99);
    EXPECT_TRUE(trace_.contains("TestWorker::_run() caught an error\n"));
    EXPECT_TRUE(trace_.contains("COwner::waitonthreadend(): Exit code of thread: -1\n"));
    // The abort event is still open (run never reached its end); the destructor closes it.
    worker.reset();
    expectAllHandlesClosed();
}

TEST_F(WorkerFrame, DestroyingARunningWorkerCancelsAndWaitsForIt) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    std::this_thread::sleep_for(10ms);
    worker.reset(); // the owner did not wait: the destructor must not leave the thread on a freed object
    EXPECT_EQ(owner_.endCode(), 13);
    expectAllHandlesClosed();
    auto text = trace_.text();
    EXPECT_NE(withoutPollLines(text).find("~TestWorker() startet\nTestWorker::cancelrun() startet\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - std::string("~TestWorker() Ende\n").size()), "~TestWorker() Ende\n");
}

TEST_F(WorkerFrame, WaitingTwiceFindsNoThreadTheSecondTime) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::Complete);
    EXPECT_EQ(waitonthreadend(slot_, "COwner::waitonthreadend()"), 0);
    trace_.clear();
    EXPECT_EQ(waitonthreadend(slot_, "COwner::waitonthreadend()"), 0);
    EXPECT_TRUE(trace_.contains("COwner::waitonthreadend(): WaitForSingleObject() returned: error="));
    EXPECT_TRUE(trace_.contains("COwner::waitonthreadend(): Thread beendet\n"));
    worker.reset();
    expectAllHandlesClosed();
}

TEST_F(WorkerFrame, ClassWideSlotServesOneWorkerAfterTheOther) {
    static ThreadSlot classWideSlot;
    for (int round = 0; round < 3; ++round) {
        auto worker = std::make_unique<TestWorker>(&owner_, classWideSlot, Behaviour::Complete);
        ASSERT_TRUE(owner_.waitForEnd());
        EXPECT_EQ(waitonthreadend(classWideSlot, "COwner::waitonthreadend()"), 0);
        EXPECT_TRUE(classWideSlot.empty());
    }
    expectAllHandlesClosed();
}

TEST_F(WorkerFrame, CleanupClosesWhatIsStillOpenOnly) {
    auto worker = std::make_unique<TestWorker>(&owner_, slot_, Behaviour::WaitForCancel);
    worker->cancelrun();
    ASSERT_TRUE(owner_.waitForEnd());
    slot_.with([](Thread* thread) { return thread->wait(kWaitForever); });
    worker->cleanup(); // abort event already closed by the worker; closes the thread handle
    worker->cleanup(); // nothing left
    worker.reset();
    expectAllHandlesClosed();
}

} // namespace
} // namespace kestrix
