#pragma once

// The firmware update dialog's view for kestrix-cli: each message of a slot
// becomes a progress line "SERIAL: message" on standard error, and the
// scheduler's end wakes the command line's main thread.
#include "firmware/firmware_update_view.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kestrix::cli {

// What ended a wait for the update run.
enum class RunEvent { SchedulerEnded, Interrupted };

// Prints the slots' header lines and messages as "SERIAL: text" on standard
// error; the serial number of a slot is the one of the given terminals whose
// serial number stands in the slot's header (the header names the terminal a
// slot runs). The file and terminal bars, the lists and the enabling draw
// nothing; only whether Start is enabled is kept. Slot calls come from the
// update workers; postSchedulerEnd and interrupt() wake waitForEvent, which
// the main thread calls.
//
// It neither starts nor cancels anything itself.
class ConsoleFirmwareView : public FirmwareUpdateView {
public:
    // The serial numbers the slots' headers may name (set before the run starts).
    void setSerialNumbers(std::vector<std::string> serialNumbers);
    // The serial number a slot's lines are given when no header names one
    // (firmware list composes outside any run).
    void setSlotSerialNumber(int slot, const std::string& serialNumber);

    void slotLabel(int, const std::string&) override {}
    void slotValue(int, ProgressValue, std::uint64_t) override {}
    void slotHeader(int slot, const std::string& text) override;
    void slotMessage(int slot, const std::string& text) override;
    void slotTerminal(int, const std::string&) override {}
    void slotFileCount(int, FileCountValue, int) override {}
    void advanceOverall() override {}

    void showChoices(FirmwareChoice, const std::vector<std::string>&, std::size_t) override {}
    void setListsEnabled(bool) override {}
    void setOptionsEnabled(bool) override {}
    void setStartEnabled(bool enabled) override;
    void setCancelEnabled(bool) override {}
    void setOverallRange(int) override {}
    void postSchedulerEnd() override;

    bool startEnabled() const;
    // Called on the interrupt handler's thread: the user asked to cancel.
    void interrupt();
    // Waits until the scheduler has ended or an interrupt came that was not
    // answered yet; an interrupt is answered once (SchedulerEnded wins).
    RunEvent waitForEvent();

private:
    void printLine(int slot, const std::string& text);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> serialNumbers_;
    std::map<int, std::string> slotSerialNumbers_;
    bool startEnabled_ = false;
    bool schedulerEnded_ = false;
    bool interruptPending_ = false;
};

} // namespace kestrix::cli
