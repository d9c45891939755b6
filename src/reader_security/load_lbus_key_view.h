#pragma once

#include "platform/message_box.h"
#include "reader_security/t7000ip_lbus_comm.h"

#include <optional>
#include <string>

namespace kestrix {

// The file-open dialog for an update package: the initial name ("*.trfw"),
// the two filter entries ("TRFW files (*.trfw)", "All files (*.*)") with
// their patterns, and the default extension. The file must exist.
struct PackageFileRequest {
    std::string initialName;
    std::string packageFilter;
    std::string packagePattern;
    std::string allFilter;
    std::string defaultExtension;
};

// What the LBus security dialog shows: the action radios, the 17 reader
// lines, the status text, the activity and result bars, Start, the package
// file dialog, and the activity timer it drives.
//
// Threads: the calls marked "any thread" come from the reader worker or the
// pane's worker (Start runs there); a view that draws with a toolkit hands
// them to its own thread without waiting. askPackageFile comes from the
// pane's worker and waits for the user's answer. The others come from the
// dialog's thread.
class LoadLBusKeyView {
public:
    virtual ~LoadLBusKeyView() = default;

    virtual void setActionEnabled(LBusFunction action, bool enabled) = 0;
    virtual void setActionVisible(LBusFunction action, bool visible) = 0;
    virtual void setActionChecked(LBusFunction action) = 0;
    // Any thread: a reader line's box and its status text.
    virtual void setReaderLine(int reader, bool enabled, bool checked) = 0;
    virtual void setReaderStatus(int reader, const std::string& text) = 0;
    // Any thread.
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setActivityBar(int lower, int upper, int position) = 0;
    virtual void setResultRange(int lower, int upper) = 0;
    virtual void setResultPosition(int position) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    // Any thread: starts the activity timer (the view then calls
    // CLoadLBusKey::OnTimer every period on the dialog's thread), or stops it.
    // False when no timer could be started.
    virtual bool startActivityTimer(int periodMilliseconds) = 0;
    virtual void stopActivityTimer() = 0;
    // Any thread, never blocking: an error or information box of the worker.
    virtual void showWorkerMessage(const std::string& text, MessageIcon icon) = 0;
    // Any thread: "MsgT7000ipLBusCommEnd". The view calls
    // CLoadLBusKey::OnMsgT7000ipLBusCommEnd later on the dialog's thread,
    // never inside this call.
    virtual void postWorkerEnd(int endCode) = 0;

    // The pane's worker: the package to send; empty when the user cancelled.
    virtual std::optional<std::string> askPackageFile(const PackageFileRequest& request) = 0;
};

} // namespace kestrix
