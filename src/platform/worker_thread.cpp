#include "platform/worker_thread.h"

#include "platform/error_text.h"
#include "platform/pause.h"
#include "platform/trace.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace kestrix {

WorkerThread::WorkerThread(std::string className, WorkerOwner* owner, ThreadSlot& slot,
                           NormalEndTrace normalEndTrace)
    : className_(std::move(className)), owner_(owner), slot_(slot), normalEndTrace_(normalEndTrace) {
    trace("%s startet\n", className_.c_str());
    abortEvent_ = std::make_unique<Event>();
}

WorkerThread::~WorkerThread() {
    // A derived destructor that forgot destroy() still must not leave a thread
    // running on a vanished object.
    if (!destroyed_)
        destroy();
}

void WorkerThread::start() {
    try {
        slot_.set(std::make_unique<Thread>([this] { return _run(this); }));
    } catch (const std::system_error& error) {
        closeAbortEvent();
        // No thread runs: the destructor has nothing to wait for, and the
        // thread slot may be a member of the derived object, which is gone
        // by the time this base is destroyed.
        destroyed_ = true;
        int code = error.code().value();
        throwError(code, errorText(code));
    }
}

int WorkerThread::_run(WorkerThread* worker) {
    try {
        worker->run();
    } catch (...) {
        trace("%s::_run() caught an error\n", worker->className_.c_str());
        worker->onRunFailed();
        return -1;
    }
    if (worker->normalEndTrace_ == NormalEndTrace::Write)
        trace("%s::_run() no error\n", worker->className_.c_str());
    return 0;
}

WaitResult WorkerThread::pollAbortEvent() {
    std::lock_guard lock(eventMutex_);
    return abortEvent_ ? abortEvent_->wait(std::chrono::milliseconds(0)) : WaitResult::Failed;
}

bool WorkerThread::gotcancelevent() {
    return cancelPollAnswer(pollAbortEvent());
}

bool WorkerThread::pauseUnlessCancelled(int milliseconds) {
    constexpr int kStepMilliseconds = 100;
    for (int left = milliseconds; left > 0; left -= kStepMilliseconds) {
        pause(std::min(left, kStepMilliseconds));
        const WaitResult result = pollAbortEvent();
        if (result != WaitResult::Timeout)
            return cancelPollAnswer(result);
    }
    return false;
}

bool WorkerThread::cancelPollAnswer(WaitResult result) {
    switch (result) {
    case WaitResult::Signalled:
        trace("%s::gotcancelevent(): WaitForSingleObject() Abbruch Event erhalten\n", className_.c_str());
        return true;
    case WaitResult::Timeout:
        trace("%s::gotcancelevent() WaitForSingleObject() returned: WAIT_TIMEOUT == kein Abbruch Event\n",
              className_.c_str());
        return false;
    default:
        trace("%s::gotcancelevent() WaitForSingleObject() returned: %d\n", className_.c_str(), -1);
        return true;
    }
}

void WorkerThread::cancelrun() {
    trace("%s::cancelrun() startet\n", className_.c_str());
    int error = 0;
    {
        std::lock_guard lock(eventMutex_);
        if (!abortEvent_)
            return; // the worker has ended and closed its event: nothing left to cancel
        error = abortEvent_->set();
    }
    if (error != 0) {
        trace("%s::cancelrun(): SetEvent() failed: %d\n", className_.c_str(), error);
        throwError(error, errorText(error));
    }
    onCancelSignalled();
}

int WorkerThread::cancelFromOwner(const char* operationName) {
    trace("%s::%s(): startet\n", className_.c_str(), operationName);
    try {
        cancelrun();
    } catch (...) {
        trace("%s()::%s(): cancelrun() mit Exception\n", className_.c_str(), operationName);
        return -1;
    }
    return 0;
}

void WorkerThread::cleanup() {
    trace("%s::cleanup() startet\n", className_.c_str());
    closeAbortEvent();
    if (auto thread = slot_.take())
        thread->closeHandle();
}

void WorkerThread::reportEnd(int endCode) {
    closeAbortEvent();
    if (owner_ != nullptr)
        owner_->workerEnded(endCode);
    trace("%s::run(): SendMessage() done\n", className_.c_str());
    trace("%s run(): exit() done\n", className_.c_str());
}

void WorkerThread::destroy(const char* startWord) {
    if (destroyed_)
        return;
    destroyed_ = true;
    trace("~%s() %s\n", className_.c_str(), startWord);
    try {
        cancelrun();
    } catch (const WorkerError& error) {
        cleanup();
        trace("~%s(): cancelrun() failed: %s\n", className_.c_str(), error.text.c_str());
    } catch (...) {
        cleanup();
        trace("~%s(): cancelrun() mit unbekannter Exception\n", className_.c_str());
    }
    // The owner normally has waited for the thread already; if not, wait here
    // so the thread never runs on a freed object.
    if (auto thread = slot_.take()) {
        if (!thread->isCurrentThread())
            thread->wait(kWaitForever);
        thread->closeHandle();
    }
    closeAbortEvent();
    trace("~%s() Ende\n", className_.c_str());
}

void WorkerThread::closeAbortEvent() {
    std::lock_guard lock(eventMutex_);
    abortEvent_.reset();
}

int waitonthreadend(ThreadSlot& slot, const std::string& tracePrefix, WaitStartTrace startTrace) {
    const char* prefix = tracePrefix.c_str();
    if (startTrace == WaitStartTrace::Write)
        trace("%s startet\n", prefix);
    std::unique_ptr<Thread> thread = slot.take();
    int exitCode = 0;
    if (!thread || thread->wait(kWaitForever) != WaitResult::Signalled) {
        trace("%s: WaitForSingleObject() returned: error=%d: %s\n", prefix, EBADF, errorText(EBADF).c_str());
    } else if (auto code = thread->exitCode()) {
        exitCode = *code;
        trace("%s: Exit code of thread: %d\n", prefix, exitCode);
    } else {
        trace("%s: GetExitCodeThread() failed: %d\n", prefix, EBADF);
    }
    trace("%s: Thread beendet\n", prefix);
    if (thread)
        thread->closeHandle();
    return exitCode;
}

} // namespace kestrix
