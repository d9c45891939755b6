#pragma once

#include "firmware/firmware_depot.h"
#include "firmware/firmware_update_view.h"
#include "firmware/sched_firm_upd.h"
#include "platform/pane_dialog.h"
#include "platform/worker_thread.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;

// The texts of the firmware update dialog in the user's language.
struct FirmwareUpdateTexts {
    std::string heading;        // "Firmware aktualisieren auf ..."
    std::string languageLabel;  // "Sprache der Firmware:"
    std::string replaceMonitor; // "BIOS und MONITOR immer ersetzen"
    std::string replacePcmcia;  // "PCMCIA Software immer ersetzen"
    std::string start;          // "Update starten"
    std::string cancel;         // "Abbrechen"
    std::string allSelected;    // "Alle ausgewählten Terminals:"
    std::string fileLabel;      // "Datei:", a slot's label before its first file
    std::string terminalLabel;  // "Terminal:"
};

// Where a run takes its firmware from and how many terminals it updates at
// once. The window uses the defaults: the depot "FirmwareDir" below the start
// directory and the dialog's two slots.
struct FirmwareRunSettings {
    std::optional<std::string> depotRoot; // the folder holding TCL, Server and pcmcia
    int slotCount = SchedFirmUpd::kDialogSlots;
};

// The firmware update dialog `FirmwareUpdate`: brings the terminals selected
// in the main list to firmware versions chosen in the depot below the program
// directory. It shows the version and language lists of the TCL and server
// depots and the two options, and on Start runs the update scheduler, whose
// per-terminal updates report in the view's two slots; the overall bar
// advances by one per finished terminal. Once the scheduler has ended it
// tells the main window that the dialog is done.
//
// While the scheduler runs, Cancel (and the main window's QueryTerminate)
// only stops further terminals from starting: running updates finish. The
// dialog does not talk to terminals itself.
class FirmwareUpdate : public PaneDialog, public WorkerOwner {
public:
    // selection: the list indexes of the selected terminals.
    FirmwareUpdate(ActionOwner& owner, std::vector<std::size_t> selection);
    ~FirmwareUpdate() override;

    // The view attaches itself before OnInitDialog and detaches before it
    // goes; updates still running then report to nobody.
    void attachView(FirmwareUpdateView& view);
    void detachView();
    const FirmwareUpdateTexts& texts() const { return texts_; }

    // Before OnInitDialog (the command line's --depot and --parallel).
    void setRunSettings(FirmwareRunSettings settings) { settings_ = std::move(settings); }
    // Fills the lists from the depot; when that fails, Start and the options are disabled.
    void OnInitDialog();
    // The depot and its choice, after OnInitDialog (the command line chooses by name).
    FirmwareDepot& depot() { return *depot_; }
    // The user chose another entry of a list.
    void OnSelectChoice(FirmwareChoice list, std::size_t index);
    void OnOptions(UpdateOptions options);
    // Start: disables the choices, enables Cancel and runs the scheduler.
    void OnStart();
    void OnCancel();
    void OnClose();
    // The scheduler's end message, on the dialog's thread.
    void OnSchedFirmUpdEnd();
    // Refuses while the scheduler runs (and asks it to start no further terminal).
    bool QueryTerminate() override;

    bool running() const { return scheduler_ != nullptr; }
    // After the scheduler's end: each started terminal's outcome, in the
    // order they ended, and whether all succeeded.
    const std::vector<FirmwareOutcome>& outcomes() const { return outcomes_; }
    bool allSucceeded() const { return allSucceeded_; }
    // The scheduler's thread: forwarded to the view's postSchedulerEnd.
    void workerEnded(int endCode) override;

private:
    // What the depot and the updates report to: the attached view, or
    // nothing once it has gone. Calls come from the update workers.
    class SlotRelay : public FirmwareSlots {
    public:
        void attach(FirmwareSlots* view);
        void slotLabel(int slot, const std::string& text) override;
        void slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) override;
        void slotHeader(int slot, const std::string& text) override;
        void slotMessage(int slot, const std::string& text) override;
        void slotTerminal(int slot, const std::string& text) override;
        void slotFileCount(int slot, FileCountValue kind, int files) override;
        void advanceOverall() override;

    private:
        template <typename Call> void forward(Call call);
        std::mutex mutex_;
        FirmwareSlots* view_ = nullptr;
    };

    void showAllChoices();
    // Cancel and Close: cancel a running scheduler (with its box), else end.
    void cancelOrEnd();

    ActionOwner& owner_;
    const std::vector<std::size_t> selection_;
    FirmwareUpdateTexts texts_;
    // Read by workerEnded on the scheduler's thread.
    std::atomic<FirmwareUpdateView*> view_ = nullptr;
    SlotRelay slots_;
    std::unique_ptr<FirmwareDepot> depot_;
    std::unique_ptr<SchedFirmUpd> scheduler_;
    FirmwareRunSettings settings_;
    std::vector<FirmwareOutcome> outcomes_;
    bool allSucceeded_ = false;
};

} // namespace kestrix
