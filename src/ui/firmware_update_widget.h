#pragma once

#include "firmware/firmware_update.h"

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace kestrix {

// The firmware update dialog in the detail pane: the heading, the TCL and
// server version and language lists, the two options, Start and Cancel, the
// overall bar and two slots (header, message list, file label with its KiB
// bar, terminal label with its file-count bar).
//
// The update workers' calls (the slots, the overall bar, the scheduler's end)
// arrive on their threads; each is queued to this widget's thread with its
// values, so a worker never waits for the window and a call that arrives
// after the widget has gone is dropped. The scheduler's end enters the
// dialog's logic: while an operation of the window runs in the logic (closing
// the window asks the dialog from a worker), it waits until that has ended.
// It decides nothing: the lists, the
// texts and every rule are the dialog's. It attaches itself to the dialog
// when made; the frame destroys it when the dialog has ended.
class FirmwareUpdateWidget : public QWidget, public FirmwareUpdateView {
    Q_OBJECT
public:
    FirmwareUpdateWidget(FirmwareUpdate& dialog, std::function<bool()> operationRunning, QWidget* parent);
    ~FirmwareUpdateWidget() override;

    // FirmwareUpdateView, on the widget's thread
    void showChoices(FirmwareChoice list, const std::vector<std::string>& entries, std::size_t selected) override;
    void setListsEnabled(bool enabled) override;
    void setOptionsEnabled(bool enabled) override;
    void setStartEnabled(bool enabled) override;
    void setCancelEnabled(bool enabled) override;
    void setOverallRange(int terminals) override;
    // From any thread: queued.
    void postSchedulerEnd() override;
    void slotLabel(int slot, const std::string& text) override;
    void slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) override;
    void slotHeader(int slot, const std::string& text) override;
    void slotMessage(int slot, const std::string& text) override;
    void slotTerminal(int slot, const std::string& text) override;
    void slotFileCount(int slot, FileCountValue kind, int files) override;
    void advanceOverall() override;

private:
    // The controls of one slot.
    struct SlotControls {
        QLabel* header = nullptr;
        QListWidget* messages = nullptr;
        QLabel* file = nullptr;
        QProgressBar* fileBar = nullptr;
        QLabel* terminal = nullptr;
        QProgressBar* terminalBar = nullptr;
    };

    QWidget* buildChoices();
    QWidget* buildSlot(int slot);
    // Runs the call on the widget's thread: at once when called there, else
    // queued (a worker's calls keep their order and never wait).
    template <typename Call> void queue(Call call);
    SlotControls* slotAt(int slot);
    void optionsChanged();
    // The scheduler's end to the dialog, once no window operation runs and no box is open.
    void deliverSchedulerEnd();

    FirmwareUpdate& dialog_;
    const std::function<bool()> operationRunning_;
    std::array<QComboBox*, 4> lists_{};
    QCheckBox* replaceMonitor_;
    QCheckBox* replacePcmcia_;
    QPushButton* start_;
    QPushButton* cancel_;
    QProgressBar* overall_;
    std::array<SlotControls, SchedFirmUpd::kDialogSlots> slots_;
};

} // namespace kestrix
