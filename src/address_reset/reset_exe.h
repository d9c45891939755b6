#pragma once

#include "platform/message_box.h"
#include "platform/pane_dialog.h"
#include "terminal/terminal.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <string>

namespace kestrix {

class ActionOwner;

// The start-up modes of a reset, in the order of the dialog's radio buttons.
enum class ResetMode { Warm, Cold, Restart, IceCold, Communication };

// One radio button of the start-up mode group.
struct ResetModeControl {
    ResetMode mode = ResetMode::Warm;
    std::string text;
    bool enabled = false;
    bool visible = true;
};

// The two arrangements of the dialog's controls: from version key "6_00~" on
// the mode group is 135 units high and OK and Cancel 48 units; before, 165 and 30.
enum class ResetLayout { From600, Before600 };

// The texts of the reset dialog in the user's language.
struct ResetDialogTexts {
    std::string title;        // 85 "Reset auf"
    std::string terminalLine; // product, "mit", "Seriennummer", SN, "und", "IP-Adresse", address
    std::string questionEnd;  // 86 "ausführen?"
    std::string modeGroup;    // 88 "Anlaufmodus"
    std::string forceReboot;  // 89 "System reboot erzwingen"
    std::string cancel;       // 0 "Abbrechen"
};

// How a reset ended, for the command line's exit code and for tests.
enum class ResetOutcome {
    NotRun,      // OK was not pressed, or the mode is not offered
    Executed,    // the terminal came back (message 94)
    NotExecuted, // the reset was not acknowledged (message 17)
    NoRouting,   // the wait failed for want of a route (message 19)
    NotBack,     // the terminal did not come back (message 18)
};

// The reset dialog `ResetExe`: restarts a listed terminal in one of five
// start-up modes (warm, cold, restart, ice-cold, communication), optionally
// forcing a reboot of its whole system, waits until it answers again and
// reports the outcome. Which modes are offered depends on the access grade
// the setup login granted, on whether the terminal supports authentication
// and on its version key; the force-reboot box only for platform groups 6 and 7.
//
// Its view shows texts(), modes(), forceRebootVisible() and layout(), and calls
// OnOK on a worker thread (it waits up to a few minutes) or OnCancel. Both end
// with the owner's idle message. It does not fetch the configuration block or
// ask for the login: the main window did that before opening it.
class ResetExe : public PaneDialog {
public:
    // The record is the list entry listIndex of the owner's list; accessLevel
    // is 1, 2 or 3 (3 when no login was needed).
    ResetExe(ActionOwner& owner, std::size_t listIndex, int accessLevel);

    const ResetDialogTexts& texts() const { return texts_; }
    // The five radio buttons; warm start is enabled and checked.
    const std::array<ResetModeControl, 5>& modes() const { return modes_; }
    bool offers(ResetMode mode) const;
    bool forceRebootVisible() const { return forceRebootVisible_; }
    ResetLayout layout() const { return layout_; }

    // The word the reset command carries for a mode ("cold", "restart",
    // "comm", "ice"); empty for a warm start.
    static std::string modeWord(ResetMode mode);

    // OK: sends the reset, prepares the record for its factory address after
    // an ice-cold start, waits for the reboot and for the terminal to answer
    // again, shows the outcome and sends the idle message. A mode that is not
    // offered, or a system boot where the box is hidden, is refused (NotRun,
    // nothing sent, no idle message).
    ResetOutcome OnOK(ResetMode mode, ResetBoot boot);
    // Cancel: the idle message.
    void OnCancel();
    // Refuses while OnOK runs (with a short box, "Bitte warten..."). The
    // owner frees the dialog only after the worker running OnOK has returned.
    bool QueryTerminate() override;
    bool running() const { return running_; }

private:
    // OK's work between the wait cursor and the idle message: the reset,
    // the wait for the terminal and the box that tells the outcome.
    ResetOutcome resetAndWait(ResetMode mode, ResetBoot boot);
    void message(int textId, MessageIcon icon);

    ActionOwner& owner_;
    std::size_t listIndex_;
    int accessLevel_;
    ResetDialogTexts texts_;
    std::array<ResetModeControl, 5> modes_;
    bool forceRebootVisible_ = true;
    ResetLayout layout_ = ResetLayout::Before600;
    std::atomic<bool> running_ = false;
};

} // namespace kestrix
