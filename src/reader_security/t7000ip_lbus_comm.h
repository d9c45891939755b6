#pragma once

// `T7000ipLBusComm`: one reader operation on a terminal's reader bus (LBus),
// on its own thread: load the LBus key into the readers of a mask, release or
// lock their parameter card, or start a reader firmware or parameter update
// (the package is already on the terminal) and poll its status every 10
// seconds until no reader is busy. Each reader's result goes to the dialog's
// status line for that reader; an update drives the dialog's result bar.
//
// It does not copy the package to the terminal, choose readers or check
// versions: the dialog (CLoadLBusKey) or the command line does. A cancel ends
// only the polling; an update running in the terminal goes on.
#include "platform/message_box.h"
#include "platform/thread.h"
#include "platform/worker_thread.h"
#include "reader_security/lbus_answers.h"

#include <array>
#include <string>

namespace kestrix {

class CToolBoxLang;
class Terminal;

// The worker's function numbers.
enum class LBusFunction {
    LoadKeys = 1,
    ReleaseCard = 2,
    LockCard = 3,
    FirmwareUpdate = 4,
    ParameterUpdate = 5,
};

// What the worker writes to: the dialog's reader status lines, its result bar
// and message boxes, and its end report (WorkerOwner::workerEnded with 12 or
// 13). Every call comes from the worker's thread; an implementation that
// shows them on a screen forwards them to its own thread. showWorkerMessage
// must not block the worker (the owner may be waiting for the worker's end).
class LBusCommTarget : public WorkerOwner {
public:
    // Reader 0 (the internal reader) to 16.
    virtual void setReaderStatus(int reader, const std::string& text) = 0;
    virtual void setResultRange(int lower, int upper) = 0;
    virtual void setResultPosition(int position) = 0;
    // An error or information box with OK, caption "Kestrix IPv4+IPv6".
    virtual void showWorkerMessage(const std::string& text, MessageIcon icon) = 0;
    virtual const CToolBoxLang& language() const = 0;
};

class T7000ipLBusComm : public WorkerThread {
public:
    struct T7000ipLBusCommError : WorkerError {};

    static constexpr int kEndCompleted = 12;  // the operation ran to its end
    static constexpr int kEndNotStarted = 13; // an update not started, or its polling cancelled

    // Traces "T7000ipLBusComm startet" and starts the thread; throws
    // T7000ipLBusCommError when it cannot. The terminal and the target
    // outlive the worker; the thread's handle goes to the slot, for the
    // owner's waitonthreadend.
    T7000ipLBusComm(LBusFunction function, unsigned readerMask, Terminal& terminal, LBusCommTarget& target,
                    ThreadSlot& slot);
    ~T7000ipLBusComm() override;

    // Sets the abort event: the polling ends at its next step. 0, or -1 when
    // the event could not be set.
    int CancelLBusComm();
    LBusFunction function() const { return function_; }

    // The pause between two status requests of an update.
    static constexpr int kStatusPollMilliseconds = 10000;

protected:
    void run() override;
    void onCancelSignalled() override;
    void onRunFailed() override;
    [[noreturn]] void throwError(int code, const std::string& text) const override;

private:
    // Reports the end to the target once.
    void endWith(int endCode);
    bool endReported_ = false; // touched by the worker's thread only
    void DoRKeyTransfer();
    void DoRCardCfgTransfer(unsigned unlock);
    // Starts the update and polls it; false when it was not started or the polling was cancelled.
    bool DoReaderUpdate();
    // Reads one status answer into the status lines and pending statuses; answers how many readers are busy.
    int readStatus(const std::string& answer);
    void showError(int messageId);

    const LBusFunction function_;
    const unsigned readerMask_;
    Terminal& terminal_;
    LBusCommTarget& target_;
    // The last status code of each reader 0-16 while it means busy, else 0.
    std::array<int, kHighestReader + 1> pendingStatus_{};
};

} // namespace kestrix
