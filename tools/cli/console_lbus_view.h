#pragma once

#include "reader_security/lbus_gates.h"
#include "reader_security/load_lbus_key_view.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace kestrix {
class MessageBoxes;
}

namespace kestrix::cli {

// What ended a wait for the reader operation.
enum class LBusEvent { WorkerEnded, Interrupted };

// The LBus security dialog on the console: each change of a reader's status
// line is a line "reader N: TEXT" on standard output, the status text a line
// on standard error, the worker's boxes go to the console's boxes, and the
// package file dialog answers with the FILE of the command line. Radios,
// reader boxes, bars and the activity timer draw nothing. Calls come from
// the worker too; postWorkerEnd and interrupt() wake waitForEvent, which the
// main thread calls.
//
// It neither starts nor cancels anything itself.
class ConsoleLBusView : public LoadLBusKeyView {
public:
    ConsoleLBusView(MessageBoxes& boxes, std::optional<std::string> packageFile)
        : boxes_(boxes), packageFile_(std::move(packageFile)) {}

    void setActionEnabled(LBusFunction, bool) override {}
    void setActionVisible(LBusFunction, bool) override {}
    void setActionChecked(LBusFunction) override {}
    void setReaderLine(int, bool, bool) override {}
    void setReaderStatus(int reader, const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setActivityBar(int, int, int) override {}
    void setResultRange(int, int) override {}
    void setResultPosition(int) override {}
    void setStartEnabled(bool) override {}
    bool startActivityTimer(int) override { return true; }
    void stopActivityTimer() override {}
    void showWorkerMessage(const std::string& text, MessageIcon icon) override;
    void postWorkerEnd(int endCode) override;
    std::optional<std::string> askPackageFile(const PackageFileRequest& request) override;

    // Called on the interrupt handler's thread: the user asked to cancel.
    void interrupt();
    // Waits until the worker has ended or an interrupt came that was not
    // answered yet (the worker's end wins).
    LBusEvent waitForEvent();
    int endCode() const;
    // A reader's last status text.
    std::string readerStatus(int reader) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    MessageBoxes& boxes_;
    const std::optional<std::string> packageFile_;
    std::array<std::string, kReaderLines> statuses_;
    std::optional<int> endCode_;
    bool interruptPending_ = false;
};

} // namespace kestrix::cli
