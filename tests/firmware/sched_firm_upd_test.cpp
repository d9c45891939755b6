// The scheduler's slots with per-terminal updates that the test drives: each
// one waits until the test ends it with success or failure, then calls
// WakeupSched as a real update does.
#include "firmware/firmware_slots.h"
#include "firmware/sched_firm_upd.h"
#include "firmware/update_source.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>

namespace kestrix {
namespace {

using namespace std::chrono_literals;

constexpr LocaleId kGerman = 1031;

// The list, the boxes and the end report; the engine only for records.
class TestOwner : public ActionOwner, public WorkerOwner {
public:
    T7000ip& engine() override { throw std::logic_error("no engine in this test"); }
    const CToolBoxLang& language() const override { return language_; }
    MessageBoxes& messageBoxes() override { return boxes_; }
    std::string startDirectory() const override { return "/nonexistent"; }
    Terminal& terminalAt(std::size_t index) override { return *terminals.at(index); }
    bool addTerminal(std::unique_ptr<Terminal>) override { return false; }
    void deselectEntry(std::size_t index) override { deselected.push_back(index); }
    void redrawEntry(std::size_t) override {}
    void setWaitCursor(bool) override {}
    void holdTerminalActions(bool) override {}
    void postIdleMessage() override {}

    void workerEnded(int code) override {
        endCode = code;
        ended.post();
    }

    struct Boxes : MessageBoxes {
        MessageAnswer show(const MessageBoxRequest& request) override {
            shown.push_back(request);
            return MessageAnswer::Ok;
        }
        std::vector<MessageBoxRequest> shown; // written by the scheduler, read after its end
    } boxes_;
    Semaphore ended{0, 1};
    std::atomic<int> endCode{-1};
    std::vector<std::unique_ptr<Terminal>> terminals;
    std::vector<std::size_t> deselected;

private:
    CToolBoxLang language_{kGerman};
};

class NoSource : public UpdateSource {
public:
    bool hasSection(const Terminal&) const override { return false; }
    std::string notConvenientText(const Terminal&) const override { return {}; }
    std::optional<UpdateFileList> GetUpdateFiles(Terminal&, int) override { return std::nullopt; }
    UpdateOptions options() const override { return {}; }
    std::string programDirectory() const override { return "/nonexistent"; }
    std::string depotRoot() const override { return "/nonexistent/FirmwareDir"; }
};

// The slots' file labels and message lists, and the overall bar.
class SlotDisplay : public FirmwareSlots {
public:
    void slotLabel(int slot, const std::string& text) override {
        std::lock_guard lock(mutex_);
        labels_[slot] = text;
    }
    void slotValue(int, ProgressValue, std::uint64_t) override {}
    void slotHeader(int, const std::string&) override {}
    void slotMessage(int slot, const std::string& text) override {
        std::lock_guard lock(mutex_);
        if (text.empty())
            messages_[slot].clear();
        else
            messages_[slot].push_back(text);
    }
    void slotTerminal(int, const std::string&) override {}
    void slotFileCount(int, FileCountValue, int) override {}
    void advanceOverall() override { ++finished; }
    std::string label(int slot) {
        std::lock_guard lock(mutex_);
        return labels_[slot];
    }
    std::vector<std::string> messages(int slot) {
        std::lock_guard lock(mutex_);
        return messages_[slot];
    }
    std::atomic<int> finished{0};

private:
    std::mutex mutex_;
    std::map<int, std::string> labels_;
    std::map<int, std::vector<std::string>> messages_;
};

// Which terminal started in which slot, and the results the test hands out.
class Updates {
public:
    void started(std::size_t listIndex, int slot) {
        std::lock_guard lock(mutex_);
        starts_.push_back({listIndex, slot});
        changed_.notify_all();
    }
    // Waits until the number of starts is reached; the starts so far.
    std::vector<std::pair<std::size_t, int>> waitForStarts(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return starts_.size() >= count; });
        return starts_;
    }
    void finish(std::size_t listIndex, UpdateResult result) {
        std::lock_guard lock(mutex_);
        results_[listIndex] = result;
        changed_.notify_all();
    }
    // A test that failed before handing out a result ends its updates after 10 s.
    UpdateResult waitForResult(std::size_t listIndex) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return results_.contains(listIndex); });
        return results_.contains(listIndex) ? results_[listIndex] : UpdateResult::Failed;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<std::size_t, int>> starts_;
    std::map<std::size_t, UpdateResult> results_;
};

struct TestUpdateError : WorkerError {};

class TestUpdate : public WorkerThread {
public:
    TestUpdate(SchedFirmUpd& scheduler, Updates& updates, std::size_t listIndex, int slot)
        : WorkerThread("TestUpdate", nullptr, thread_, NormalEndTrace::Silent), scheduler_(scheduler),
          updates_(updates), listIndex_(listIndex), slot_(slot) {
        updates_.started(listIndex_, slot_); // on the scheduler's thread, in the order of the starts
        start();
    }
    ~TestUpdate() override { destroy(); }

protected:
    void run() override { scheduler_.WakeupSched(slot_, updates_.waitForResult(listIndex_)); }
    [[noreturn]] void throwError(int code, const std::string& text) const override {
        throw TestUpdateError{{code, text}};
    }

private:
    SchedFirmUpd& scheduler_;
    Updates& updates_;
    const std::size_t listIndex_;
    const int slot_;
    ThreadSlot thread_;
};

class Scheduler : public ::testing::Test {
protected:
    // A scheduler whose updates the test drives; the terminal at refusedIndex cannot start.
    std::unique_ptr<SchedFirmUpd> start(std::vector<std::size_t> selection, int slots = 2,
                                        std::size_t refusedIndex = 99) {
        return std::make_unique<SchedFirmUpd>(
            owner_, owner_, std::move(selection), source_, slotDisplay_, slots,
            [this, refusedIndex](SchedFirmUpd& scheduler, std::size_t listIndex,
                                 int slot) -> std::unique_ptr<WorkerThread> {
                if (listIndex == refusedIndex)
                    throw TestUpdateError{{11, "no thread"}};
                return std::make_unique<TestUpdate>(scheduler, updates_, listIndex, slot);
            });
    }
    // Waits for the end report and the thread; the final box's text.
    std::string waitForEnd() {
        EXPECT_EQ(owner_.ended.wait(10000ms), WaitResult::Signalled);
        EXPECT_EQ(owner_.endCode, SchedFirmUpd::kEndCode);
        EXPECT_EQ(waitonthreadend(SchedFirmUpd::threadHandle(), "FirmwareUpdate::waitonthreadend()"), 0);
        EXPECT_EQ(owner_.boxes_.shown.size(), 1U);
        return owner_.boxes_.shown.empty() ? std::string() : owner_.boxes_.shown.back().text;
    }

    test::TraceCapture trace_;
    TestOwner owner_;
    NoSource source_;
    SlotDisplay slotDisplay_;
    Updates updates_;
};

using Starts = std::vector<std::pair<std::size_t, int>>;

TEST_F(Scheduler, TheThirdTerminalTakesTheFirstSlotThatIsFreed) {
    auto scheduler = start({4, 7, 9});
    EXPECT_EQ(updates_.waitForStarts(2), (Starts{{4, 0}, {7, 1}}));
    updates_.finish(7, UpdateResult::Succeeded);
    EXPECT_EQ(updates_.waitForStarts(3), (Starts{{4, 0}, {7, 1}, {9, 1}}));
    updates_.finish(4, UpdateResult::Succeeded);
    updates_.finish(9, UpdateResult::Succeeded);
    EXPECT_EQ(waitForEnd(), "Alle Firmwareupdates waren erfolgreich.");
    EXPECT_TRUE(scheduler->allSucceeded());
    EXPECT_EQ(slotDisplay_.label(1), "Datei:"); // a freed slot shows its empty labels again
    scheduler.reset();
    EXPECT_TRUE(trace_.contains("SchedFirmUpd::run(): alle fertig\n"));
}

TEST_F(Scheduler, CancelLetsTheRunningUpdatesFinishAndStartsNoOther) {
    auto scheduler = start({0, 1, 2});
    EXPECT_EQ(updates_.waitForStarts(2).size(), 2U);
    EXPECT_EQ(scheduler->CancelSched(), 0);
    updates_.finish(1, UpdateResult::Succeeded);
    updates_.finish(0, UpdateResult::Succeeded);
    EXPECT_EQ(waitForEnd(), "Alle Firmwareupdates waren erfolgreich.");
    EXPECT_EQ(updates_.waitForStarts(2), (Starts{{0, 0}, {1, 1}}));
    EXPECT_TRUE(trace_.contains("SchedFirmUpd::run(): WaitForSingleObject() Abbruch Event erhalten\n"));
}

// Both a failed update and a terminal that could not start make the final
// box an error: terminals that were never updated are no success.
TEST_F(Scheduler, AFailureOrATerminalThatCannotStartMakesTheFinalBoxAnError) {
    auto scheduler = start({0, 1, 2, 3}, 3, 2);
    EXPECT_EQ(updates_.waitForStarts(2), (Starts{{0, 0}, {1, 1}}));
    updates_.finish(0, UpdateResult::Succeeded);
    updates_.finish(1, UpdateResult::Succeeded);
    EXPECT_EQ(waitForEnd(), "Firmwareupdates zum Teil fehlerhaft. Siehe Terminalliste.");
    EXPECT_EQ(owner_.boxes_.shown.back().icon, MessageIcon::Error);
    EXPECT_FALSE(scheduler->allSucceeded());
    EXPECT_EQ(updates_.waitForStarts(2).size(), 2U); // terminal 3 never started
    EXPECT_TRUE(trace_.contains("SchedFirmUpd::run(): FirmUpd-Konstruktor failed: no thread\n"));
}

TEST_F(Scheduler, MoreSlotsStartMoreTerminalsAtOnce) {
    auto scheduler = start({0, 1, 2}, 3);
    EXPECT_EQ(updates_.waitForStarts(3), (Starts{{0, 0}, {1, 1}, {2, 2}}));
    for (std::size_t index : {2, 0, 1})
        updates_.finish(index, UpdateResult::Succeeded);
    EXPECT_EQ(waitForEnd(), "Alle Firmwareupdates waren erfolgreich.");
}

TEST_F(Scheduler, NoSelectionEndsAtOnceWithTheSuccessBox) {
    auto scheduler = start({});
    EXPECT_EQ(waitForEnd(), "Alle Firmwareupdates waren erfolgreich.");
}

} // namespace
} // namespace kestrix

namespace kestrix {
namespace {

// The real per-terminal update, as far as it goes without a terminal on the
// network: a terminal outside the maintenance group (no LAN interface makes it
// accept this station) fails in its slot and frees it. The engine binds the
// maintenance ports, so this runs in a network namespace of its own.
TEST_F(Scheduler, ATerminalOutsideTheGroupFailsInItsSlotAndIsRecorded) {
    const CToolBoxLang english(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&english);
    TerminalFields fields;
    fields.SerialNumber = "100200";
    fields.ProductName = "TALMO 7460";
    fields.PlatformGroup = 6;
    fields.FirmwareVersion = "6.20";
    fields.DNSNameInUse = "talmo-100200";
    owner_.terminals.push_back(std::make_unique<Terminal>(engine, fields));

    auto scheduler =
        std::make_unique<SchedFirmUpd>(owner_, owner_, std::vector<std::size_t>{0}, source_, slotDisplay_);
    EXPECT_EQ(waitForEnd(), "Firmwareupdates zum Teil fehlerhaft. Siehe Terminalliste.");
    const std::vector<FirmwareOutcome> outcomes = scheduler->outcomes();
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_EQ(outcomes[0].serialNumber, "100200");
    EXPECT_EQ(outcomes[0].oldVersion, "TCL 6.20");
    EXPECT_EQ(outcomes[0].result, UpdateResult::Failed);
    EXPECT_EQ(outcomes[0].lastMessage,
              "talmo-100200 gehört nicht der Wartungsgruppe an. Kein Firmwareupdate möglich!");
    EXPECT_TRUE(slotDisplay_.messages(0).empty()); // cleared when the slot was freed
    EXPECT_EQ(slotDisplay_.finished, 1);
    EXPECT_TRUE(owner_.deselected.empty());
    scheduler.reset();
    owner_.terminals.clear();
    T7000ip::releaseT7000ip();
    EXPECT_TRUE(trace_.contains("FirmUpd::run(): für Terminal 100200 mit Fehler beendet\n"));
    EXPECT_TRUE(trace_.contains("FirmUpd::run(): WakeupSched(0) done, run() ends\n"));
}

} // namespace
} // namespace kestrix
