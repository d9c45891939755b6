#pragma once

namespace kestrix {

// A dialog shown modeless in the main window's detail pane (the action
// dialogs: reset, set IPv4 address, setup, TCL console, ...). The main window
// owns it and asks QueryTerminate before it replaces the dialog or ends the
// program; when the dialog ends by itself it sends the main window's idle
// message (ActionOwner::postIdleMessage), and the main window destroys it
// later, never from inside one of the dialog's own calls.
//
// It does not draw: a view of the user-interface binding shows it.
class PaneDialog {
public:
    virtual ~PaneDialog() = default;
    // Whether the dialog may end now. A dialog whose long operation is
    // running refuses (after telling the user in a short box).
    virtual bool QueryTerminate() = 0;
};

} // namespace kestrix
