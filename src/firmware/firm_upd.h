#pragma once

#include "config/user_param.h"
#include "firmware/monitor_decision.h"
#include "firmware/sched_firm_upd.h"
#include "firmware/update_files.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kestrix {

class CToolBoxLang;
class Terminal;

// `FirmUpd`: the firmware update of one terminal, on its own thread, shown in
// one slot of the firmware update dialog. It checks that the terminal belongs
// to the maintenance group and answers, composes the file list (through the
// scheduler's UpdateSource), decides whether monitor and BIOS are replaced,
// brings the terminal's configuration block to the version the new firmware
// needs, sends every file by TFTP (four attempts each), resets the terminal
// and waits until it is back; then it deselects the terminal in the list and
// logs it in "TALMOUpdateDone.txt". A failing step shows its reason in the
// slot and ends the update of this terminal only. Its last act is always the
// scheduler's WakeupSched.
//
// It has no cancel of its own: a started update always runs to its end (a
// terminal is never left half-flashed). Its end is reported through the
// scheduler, which destroys it.
class FirmUpd : public WorkerThread {
public:
    struct FirmUpdError : WorkerError {};

    // Traces and starts the thread for the terminal at the list index of the
    // scheduler's owner, shown in the slot; throws FirmUpdError with the
    // system's text when the thread cannot start.
    FirmUpd(SchedFirmUpd& scheduler, std::size_t listIndex, int slot);
    ~FirmUpd() override;

    // Nothing to cancel.
    void cancelrun() override {}

protected:
    void run() override;
    [[noreturn]] void throwError(int code, const std::string& text) const override;

private:
    static constexpr int kErrorWordText = 107;        // "FEHLER:"
    static constexpr int kNoFirmwareUpdateText = 109; // "Kein Firmwareupdate möglich!"
    static constexpr int kSendingFilesText = 130;     // "... Dateien zum Terminal senden ..."

    // What the constructor needs of the list and the depot comes first, so
    // that nothing throws once the worker frame exists.
    FirmUpd(SchedFirmUpd& scheduler, std::size_t listIndex, int slot, std::string serialNumber,
            std::string programDirectory);

    // Thrown by a step that has shown why the update fails.
    struct UpdateFailed {};
    // Whether the configuration step runs before the files or after the first one.
    enum class ConfigTiming { Now, AfterFirstFile };
    // Whether the configuration block goes back to the terminal after the files.
    enum class BlockState { Unchanged, Converted };

    // The update up to the terminal's return; throws UpdateFailed.
    void update(Terminal& terminal);
    void showHeader(const Terminal& terminal);
    void checkGroupAndReach(Terminal& terminal);
    void composeFiles(Terminal& terminal);
    void decideMonitorFiles(Terminal& terminal);
    void dropDefaultProgram(Terminal& terminal);
    void configurationStep(const Terminal& terminal);
    void sendFiles(Terminal& terminal);
    void sendFile(const Terminal& terminal, std::size_t index);
    void waitAfterFile(Terminal& terminal, std::size_t index);
    void writeConfiguration(const Terminal& terminal);
    void resetAndWait(Terminal& terminal);
    void finishSucceeded(Terminal& terminal);
    void logUpdateDone(const Terminal& terminal) const;

    // The elements of a list for the trace, one per line after a tab, separated by ",".
    static std::string traceLines(const std::vector<std::string>& elements);
    // Appends a text to the slot's message list.
    void show(const std::string& text);
    // Shows "FEHLER: <reason> Kein Firmwareupdate möglich!" and fails.
    [[noreturn]] void failWith(int reasonText);
    [[noreturn]] void fail();
    const std::string& text(int id) const;

    SchedFirmUpd& scheduler_;
    const std::size_t listIndex_;
    const int slot_;
    const CToolBoxLang& language_;
    const std::string programDirectory_;
    const std::string serialNumber_;
    ThreadSlot thread_;

    // The run's state (used by the update's own thread only).
    UserParam userParam_;
    UpdateFileList list_;
    MonitorChoice monitorChoice_ = MonitorChoice::NoMonitorFiles;
    std::string terminalMonitorKey_;
    ConfigTiming configTiming_ = ConfigTiming::Now;
    BlockState blockState_ = BlockState::Unchanged; // Unchanged also when the step never ran
    FirmwareOutcome outcome_;
};

// The kind prefix and the version of the firmware the terminal runs ("TCL 6.20").
std::string runningFirmwareText(const Terminal& terminal);

} // namespace kestrix
