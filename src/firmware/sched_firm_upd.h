#pragma once

#include "platform/sync.h"
#include "platform/worker_thread.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;
class FirmwareSlots;
class UpdateSource;

// How one terminal's update ended.
enum class UpdateResult { Succeeded, Failed };

// One terminal's update as the command line's summary tells it.
struct FirmwareOutcome {
    std::size_t listIndex = 0;
    std::string serialNumber;
    std::string productName;
    std::string oldVersion; // kind prefix and running version before the update, "TCL 6.10"
    std::string newVersion; // the same once the terminal is back; empty when the update failed
    UpdateResult result = UpdateResult::Failed;
    double seconds = 0;
    std::string lastMessage; // the last text shown in the terminal's slot
};

// `SchedFirmUpd`: the firmware update scheduler. On its worker thread it
// updates the selected terminals of the list, at most one per slot at a time
// (the dialog has two slots, the command line may ask for more): it starts a
// per-terminal update (FirmUpd) in every free slot, waits on a semaphore until
// one of them calls WakeupSched as its last act, and starts the next terminal
// in the slot that became free. A cancel lets the running updates finish and
// starts no further one. At the end it shows whether all updates succeeded
// (information box) or not (error box) and reports end code 11 to its owner.
//
// The slot table, the all-succeeded flag and the outcomes are written by the
// scheduler and the updates' threads under one lock. The thread handle is
// class-wide (threadHandle()): at most one scheduler runs at a time, and its
// owner waits for it with waitonthreadend() before destroying it.
//
// It does not choose files or talk to terminals: the per-terminal updates do.
class SchedFirmUpd : public WorkerThread {
public:
    struct SchedFirmUpdError : WorkerError {};

    // Starts the update of the terminal at a list index in a slot and answers
    // its running worker, whose last act is WakeupSched(slot, ...); it must
    // not call WakeupSched before it returns. Throws a WorkerError (FirmUpd's
    // FirmUpdError) or anything else when it cannot start.
    using UpdateStarter = std::function<std::unique_ptr<WorkerThread>(SchedFirmUpd& scheduler,
                                                                      std::size_t listIndex, int slot)>;

    static constexpr int kDialogSlots = 2;
    static constexpr int kEndCode = 11;

    // Traces "SchedFirmUpd startet", keeps the selection (list indexes), makes
    // the semaphore (maximum: the number of slots) and the abort event and
    // starts the thread. The default starter runs FirmUpd. Throws
    // SchedFirmUpdError with the system's text when the thread cannot start.
    SchedFirmUpd(ActionOwner& owner, WorkerOwner& dialog, std::vector<std::size_t> selection,
                 UpdateSource& source, FirmwareSlots& slots, int slotCount = kDialogSlots,
                 UpdateStarter starter = {});
    // Waits for the scheduler's thread and every update it started.
    ~SchedFirmUpd() override;

    // The dialog's cancel: running updates finish, no further one starts.
    // 0, or -1 when the abort event could not be set.
    int CancelSched();
    // The last act of a per-terminal update: frees its slot (clears the
    // slot's display), notes a failure and wakes the scheduler. A slot
    // number outside the table does nothing.
    void WakeupSched(int slot, UpdateResult result);
    // Keeps a per-terminal update's outcome for the summary (before WakeupSched).
    void recordOutcome(FirmwareOutcome outcome);

    // False once an update failed; final after the end report.
    bool allSucceeded() const;
    // The outcomes recorded so far, in the order the updates ended.
    std::vector<FirmwareOutcome> outcomes() const;

    ActionOwner& actionOwner() const { return owner_; }
    UpdateSource& updateSource() const { return source_; }
    FirmwareSlots& firmwareSlots() const { return slots_; }

    // Where the running scheduler's thread handle is kept.
    static ThreadSlot& threadHandle();

protected:
    void run() override;
    void onRunFailed() override;
    void onCancelSignalled() override;
    [[noreturn]] void throwError(int code, const std::string& text) const override;

private:
    enum class StartResult { Started, Failed };
    // Starts a terminal in every free slot while terminals remain.
    StartResult fillFreeSlots(std::size_t& next);
    // Waits once on the semaphore for every slot still running.
    void waitForRunningSlots();
    // Destroys the updates that have called WakeupSched (their threads end at once).
    void reapFinished();
    // Waits for every update started, finished or not.
    void reapAll();
    void showFinalBox();

    ActionOwner& owner_;
    UpdateSource& source_;
    FirmwareSlots& slots_;
    UpdateStarter starter_;
    std::vector<std::size_t> selection_;
    Semaphore done_; // hSemaphore_FWThread_done

    mutable std::mutex mutex_;                           // guards the members below
    std::vector<std::unique_ptr<WorkerThread>> running_; // FWThreads: one entry per slot
    std::vector<std::unique_ptr<WorkerThread>> finished_;
    bool allSucceeded_ = true;
    std::vector<FirmwareOutcome> outcomes_;
};

} // namespace kestrix
