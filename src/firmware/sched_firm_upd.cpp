#include "firmware/sched_firm_upd.h"

#include "firmware/firm_upd.h"
#include "firmware/firmware_slots.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/sync_wrappers.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr int kAllSucceededText = 122;
constexpr int kSomeFailedText = 123;
constexpr int kFileLabelText = 116;     // "Datei:"
constexpr int kTerminalLabelText = 117; // "Terminal:"

std::unique_ptr<WorkerThread> startFirmUpd(SchedFirmUpd& scheduler, std::size_t listIndex, int slot) {
    return std::make_unique<FirmUpd>(scheduler, listIndex, slot);
}

} // namespace

ThreadSlot& SchedFirmUpd::threadHandle() {
    static ThreadSlot handle;
    return handle;
}

SchedFirmUpd::SchedFirmUpd(ActionOwner& owner, WorkerOwner& dialog, std::vector<std::size_t> selection,
                           UpdateSource& source, FirmwareSlots& slots, int slotCount, UpdateStarter starter)
    : WorkerThread("SchedFirmUpd", &dialog, threadHandle()), owner_(owner), source_(source), slots_(slots),
      starter_(starter ? std::move(starter) : UpdateStarter(startFirmUpd)), selection_(std::move(selection)),
      done_(0, std::max(slotCount, 1)), running_(static_cast<std::size_t>(std::max(slotCount, 1))) {
    start();
}

SchedFirmUpd::~SchedFirmUpd() {
    destroy();
    // A scheduler whose run failed may leave updates running; they use this object to their end.
    reapAll();
}

void SchedFirmUpd::run() {
    trace("SchedFirmUpd::run() mit SelCount = %d\n", static_cast<int>(selection_.size()));
    std::size_t next = 0;
    while (next < selection_.size()) {
        const WaitResult poll = pollAbortEvent();
        if (poll == WaitResult::Signalled) {
            trace("SchedFirmUpd::run(): WaitForSingleObject() Abbruch Event erhalten\n");
            break;
        }
        if (poll != WaitResult::Timeout)
            throwError(0, "SchedFirmUpd::run(): WaitForSingleObject() failed");
        trace("SchedFirmUpd::run() WaitForSingleObject() returned: WAIT_TIMEOUT == kein Abbruch Event\n");
        if (fillFreeSlots(next) == StartResult::Failed)
            break;
        trace("SchedFirmUpd::run(): waitSemaphore(hSemaphore_FWThread_done)\n");
        waitSemaphore(done_);
        reapFinished();
    }
    trace("SchedFirmUpd::run(): warten auf das Ende aller\n");
    waitForRunningSlots();
    // A wait may have been answered by an update that freed its slot while
    // another still ran: the final box comes only after every one has ended.
    reapAll();
    showFinalBox();
    trace("SchedFirmUpd::run(): alle fertig\n");
    selection_.clear();
    done_.close();
    reportEnd(kEndCode);
}

SchedFirmUpd::StartResult SchedFirmUpd::fillFreeSlots(std::size_t& next) {
    for (std::size_t slot = 0; slot < running_.size() && next < selection_.size(); ++slot) {
        // Held while the update starts, so that its WakeupSched finds it in its slot.
        std::lock_guard lock(mutex_);
        if (running_[slot])
            continue;
        trace("SchedFirmUpd::run(): FirmUpd Thread erzeugt (FWThreads[%d]) für SelectedIndexArray = %d\n",
              static_cast<int>(slot), static_cast<int>(selection_[next]));
        try {
            running_[slot] = starter_(*this, selection_[next], static_cast<int>(slot));
        } catch (const WorkerError& error) {
            trace("SchedFirmUpd::run(): FirmUpd-Konstruktor failed: %s\n", error.text.c_str());
            // The selected terminals from here on are not updated: no success box.
            allSucceeded_ = false;
            return StartResult::Failed;
        } catch (...) {
            trace("SchedFirmUpd::run(): any else exception\n");
            allSucceeded_ = false;
            return StartResult::Failed;
        }
        ++next;
    }
    return StartResult::Started;
}

void SchedFirmUpd::waitForRunningSlots() {
    for (std::size_t slot = 0; slot < running_.size(); ++slot) {
        {
            std::lock_guard lock(mutex_);
            if (!running_[slot])
                continue;
        }
        trace("SchedFirmUpd::run(): warten, FWThreads[%d] noch nicht fertig\n", static_cast<int>(slot));
        waitSemaphore(done_);
    }
}

void SchedFirmUpd::reapFinished() {
    std::vector<std::unique_ptr<WorkerThread>> finished;
    {
        std::lock_guard lock(mutex_);
        finished.swap(finished_);
    }
    finished.clear(); // outside the lock: each destructor waits for its thread
}

void SchedFirmUpd::reapAll() {
    std::vector<std::unique_ptr<WorkerThread>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(finished_);
        for (std::unique_ptr<WorkerThread>& worker : running_)
            if (worker)
                all.push_back(std::move(worker));
    }
    all.clear();
}

void SchedFirmUpd::showFinalBox() {
    const bool succeeded = allSucceeded();
    owner_.messageBoxes().show(
        {kProductCaption, owner_.language().GetText(succeeded ? kAllSucceededText : kSomeFailedText),
         succeeded ? MessageIcon::Information : MessageIcon::Error, MessageButtons::Ok, 0});
}

void SchedFirmUpd::WakeupSched(int slot, UpdateResult result) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= running_.size())
        return;
    const CToolBoxLang& language = owner_.language();
    slots_.slotHeader(slot, {});
    slots_.slotMessage(slot, {});
    slots_.slotLabel(slot, language.GetText(kFileLabelText));
    slots_.slotValue(slot, ProgressValue::SentKiB, 0);
    slots_.slotTerminal(slot, language.GetText(kTerminalLabelText));
    slots_.slotFileCount(slot, FileCountValue::Sent, 0);

    std::lock_guard lock(mutex_);
    if (result == UpdateResult::Failed)
        allSucceeded_ = false;
    // The caller's thread is still running: the scheduler destroys it later.
    if (running_[static_cast<std::size_t>(slot)])
        finished_.push_back(std::move(running_[static_cast<std::size_t>(slot)]));
    trace("SchedFirmUpd::WakeupSched(): postSemaphore(hSemaphore_FWThread_done)\n");
    postSemaphore(done_);
}

void SchedFirmUpd::recordOutcome(FirmwareOutcome outcome) {
    std::lock_guard lock(mutex_);
    outcomes_.push_back(std::move(outcome));
}

bool SchedFirmUpd::allSucceeded() const {
    std::lock_guard lock(mutex_);
    return allSucceeded_;
}

std::vector<FirmwareOutcome> SchedFirmUpd::outcomes() const {
    std::lock_guard lock(mutex_);
    return outcomes_;
}

int SchedFirmUpd::CancelSched() {
    return cancelFromOwner("CancelSched");
}

void SchedFirmUpd::onCancelSignalled() {
    trace("SchedFirmUpd::cancelrun(): Ende des Schedulers wird nach Warten auf das Ende der laufenden "
          "Threads über "
          "'MyEndMsg' angezeigt\n");
}

void SchedFirmUpd::onRunFailed() {
    cleanup();
    {
        std::lock_guard lock(mutex_);
        allSucceeded_ = false;
    }
    // The dialog waits for the end report to let the program end.
    if (owner() != nullptr)
        owner()->workerEnded(kEndCode);
}

void SchedFirmUpd::throwError(int code, const std::string& text) const {
    throw SchedFirmUpdError{{code, text}};
}

} // namespace kestrix
