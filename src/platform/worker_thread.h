#pragma once

#include "platform/sync.h"
#include "platform/thread.h"

#include <memory>
#include <mutex>
#include <string>

namespace kestrix {

// Base of the nested error classes of the worker and protocol classes
// (T7000ipError, T7000ipLBusCommError, ...): a system error number (0 where
// none applies) and a text. Not a standard exception; thrown by value.
struct WorkerError {
    int code = 0;
    std::string text;
};

// The owner of a worker (the dialog that started it). The worker reports its
// end through workerEnded() on its own thread; the owner must not wait for the
// worker's thread inside that call (it hands the report to its own thread and
// returns, then waits with waitonthreadend()).
class WorkerOwner {
public:
    virtual ~WorkerOwner() = default;
    virtual void workerEnded(int endCode) = 0;
};

// Whether _run() traces "<class>::_run() no error" after a normal end.
enum class NormalEndTrace { Write, Silent };

// Whether waitonthreadend() begins with its "<prefix> startet" line (a
// worker's own cancelrun() that waits has written its start line already).
enum class WaitStartTrace { Write, Silent };

// The frame of every worker thread: start, end report, cancel, clean-up and
// their trace lines, written with the worker's class name. It holds no work of
// its own; a worker class supplies run() and throwError().
//
// Handles: the abort event is closed by reportEnd() at the end of run(), the
// thread handle by waitonthreadend(); cleanup() and destroy() close only what
// is still open, so every handle is closed exactly once. A derived class calls
// start() as the last step of its constructor and destroy() first in its
// destructor. The owner waits for the thread (waitonthreadend) before it frees
// the worker; destroy() waits too, as a safety net, when the owner did not.
class WorkerThread {
public:
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();

    // Polls the abort event (time-out 0). A failed wait counts as cancel.
    bool gotcancelevent();
    // A worker's cancellable sleep: pauses (the one pause, so the time scale
    // applies) in steps of at most 100 ms and polls the abort event after
    // each. True as soon as a poll finds it set or fails: that poll has used
    // up the auto-reset signal, so this answer is the cancel (with
    // gotcancelevent's trace line). False once the whole time has passed.
    bool pauseUnlessCancelled(int milliseconds);
    // Sets the abort event; the worker ends at its next poll. Throws the class's
    // error when the event cannot be set. Nothing to do once the worker has ended.
    virtual void cancelrun();
    // The owner's cancel operation (CancelLBusComm, CancelSched, ...): 0, or -1
    // when cancelrun() threw.
    int cancelFromOwner(const char* operationName);
    // Closes what is still open of the abort event and the thread handle.
    virtual void cleanup();

    const std::string& className() const { return className_; }
    ThreadSlot& threadSlot() { return slot_; }

protected:
    // Writes "<class> startet" and creates the abort event.
    WorkerThread(std::string className, WorkerOwner* owner, ThreadSlot& slot,
                 NormalEndTrace normalEndTrace = NormalEndTrace::Write);

    // Starts the thread on _run(). On failure closes what was created and throws the class's error.
    void start();
    // The work. Polls gotcancelevent() between steps and ends with reportEnd().
    virtual void run() = 0;
    // Called by _run() when run() threw, before it returns -1.
    virtual void onRunFailed() {}
    // Called by cancelrun() after it has set the abort event (not when the
    // worker had already ended); for the trace lines a worker class adds.
    virtual void onCancelSignalled() {}
    // Throws the class's own error object.
    [[noreturn]] virtual void throwError(int code, const std::string& text) const = 0;

    // The end of run(): closes the abort event, reports the end code to the
    // owner and writes the two end lines.
    void reportEnd(int endCode);
    // Polls the abort event (time-out 0) without a trace line; Failed once it is closed.
    WaitResult pollAbortEvent();
    // The destructor's sequence; the most-derived destructor calls it first.
    // Its first line is "~<class>() <startWord>" (one worker writes "start").
    void destroy(const char* startWord = "startet");

    WorkerOwner* owner() const { return owner_; }

private:
    static int _run(WorkerThread* worker);
    // gotcancelevent's answer and trace line for a poll's result.
    bool cancelPollAnswer(WaitResult result);
    void closeAbortEvent();

    const std::string className_;
    WorkerOwner* const owner_;
    ThreadSlot& slot_;
    const NormalEndTrace normalEndTrace_;
    std::mutex eventMutex_;
    std::unique_ptr<Event> abortEvent_;
    bool destroyed_ = false;
};

// The owner's wait for a worker's end: waits without time-out for the thread
// in the slot, reads and traces its exit code, closes the handle and answers
// the exit code (0 success, -1 failure; 0 also when it cannot be read).
// Trace lines begin with tracePrefix, e.g. "CLoadLBusKey::waitonthreadend()".
int waitonthreadend(ThreadSlot& slot, const std::string& tracePrefix,
                    WaitStartTrace startTrace = WaitStartTrace::Write);

} // namespace kestrix
