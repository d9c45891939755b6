#pragma once

#include "config/setup_block.h"
#include "config/setup_page.h"
#include "config/setup_page_reader.h"
#include "config/setup_pending_keys.h"
#include "config/setup_summer_time.h"
#include "config/setup_wep.h"
#include "config/user_param.h"
#include "platform/message_box.h"
#include "platform/pane_dialog.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;
class LanInterfaces;
class Terminal;

// The tabs of the setup editor, numbered as the terminal's configuration
// tool always numbered them (the firewall came last, as 11).
enum class SetupTab {
    ChannelA = 0,
    ChannelB = 1,
    ChannelC = 2,
    ChannelD = 3,
    Network = 4,
    InternalReader = 5,
    Lbus1 = 6,
    Lbus2 = 7,
    Tcl = 8,
    Misc = 9,
    Firewall = 11,
};

// One tab as the view shows it.
struct SetupTabEntry {
    SetupTab tab;
    std::string label;
};

// What a page's constructor may take from the editor.
struct SetupPageParts {
    const SetupContext& context;
    const SetupBlock& asFetched;             // the block as the terminal holds it, newest layout
    const SetupPendingKeys& keys;            // the keys made in this editor
    std::array<std::string, 3> fetchedPasswords; // setup passwords 1-3 as fetched
    SetupSummerTime::Today today;
    WiegandInterface wiegand = WiegandInterface::Absent; // as the terminal's system information said
};

// One row of the page table: a tab, its label (message id), when it is shown,
// how its page is made, and for a reader page the check OK runs before any
// page writes (false stops OK; the page told the user why).
struct SetupPageRow {
    SetupTab tab;
    int label;
    bool (*shown)(const SetupContext& context);
    std::unique_ptr<SetupPage> (*make)(const SetupPageParts& parts);
    bool (*readerCheck)(SetupPage& page) = nullptr;
};

// The page table in the order the tabs are inserted. A page is added by one
// row there.
std::span<const SetupPageRow> setupPageRows();

// The conditions of the tab table that the rows share: the pages a grade 2
// or 3 login opens, and those of them a server (which runs no TCL) lacks.
bool setupShownAtGrade2(const SetupContext& context);
bool setupShownAtGrade2WithTcl(const SetupContext& context);

// What the setup editor asks of its view: the tabs to show, the tab to bring
// to the front, controls to redraw after the pages were filled again, and the
// progress line while OK writes and waits. OK runs on the pane's worker, so
// the view passes these calls to its own thread.
class SetupEditorView {
public:
    virtual ~SetupEditorView() = default;
    virtual void showPages(const std::vector<SetupTabEntry>& tabs) = 0;
    virtual void selectTab(SetupTab tab) = 0;
    virtual void refreshPages() = 0;
    virtual void setProgressLine(const std::string& text) = 0;
};

// How OK ended.
enum class SetupOkOutcome {
    NotRun,        // OK was already running, or the editor had ended
    Stayed,        // the cold boot was declined or a page refused: nothing written, the editor stays
    NotWritten,    // the block could not be converted back or written (376); the editor ended
    ResetNotSent,  // written, but the reset was not acknowledged (17); the editor ended
    Installed,     // written, reset, and the terminal came back (380)
    NotBack,       // written and reset, but the terminal was not found again; the editor ended
};

// Seconds since 1970-01-01 UTC: the time stamp OK writes into the block.
using SetupClock = std::function<std::int64_t()>;
std::int64_t systemSetupClock();

// The setup editor `CTerminalSetup`: the pages of one terminal's
// configuration block on a native-order working copy, and its buttons. OK
// writes the block back in the version the terminal had (ActualVersion),
// sends packet.ini when the WEP settings changed, resets the terminal,
// follows it to a new address and waits until it answers again. Load and
// save file, the defaults, Cancel and Close with their question.
//
// The pages are made from setupPageRows() by grade, TclKind, product and
// ActualVersion. Their views bind to page(tab); the WEP and key dialogs only
// change the pending values held here, nothing reaches the terminal before OK.
//
// It does not fetch the block or ask for the login (the main window does,
// and hands over the block converted to its newest version) and draws
// nothing. OnButtonOk runs on the pane's worker; everything else on the
// dialog's thread.
class CTerminalSetup : public PaneDialog {
public:
    // block: the terminal's block converted to its newest version;
    // actualVersion: its version when fetched ("6.10"); grade 1, 2 or 3 (3
    // when no login was needed).
    CTerminalSetup(ActionOwner& owner, std::size_t listIndex, UserParam block, std::string actualVersion,
                   int grade, const LanInterfaces& lanInterfaces,
                   SetupClock clock = systemSetupClock,
                   SetupSummerTime::Today today = SetupSummerTime::localToday);
    CTerminalSetup(const CTerminalSetup&) = delete;
    CTerminalSetup& operator=(const CTerminalSetup&) = delete;
    ~CTerminalSetup() override;

    // The view shows the editor from now on (it is told the tabs at once);
    // detachView before it goes.
    void attachView(SetupEditorView& view);
    void detachView() { view_ = nullptr; }

    std::string title() const; // "Setup 100101"
    std::string loadButtonText() const;
    std::string saveButtonText() const;
    std::string defaultsButtonText() const;
    const std::vector<SetupTabEntry>& tabs() const { return tabs_; }
    // The page of a tab, or nullptr when the editor does not show it.
    SetupPage* page(SetupTab tab);
    const std::string& actualVersion() const { return context_.actualVersion; }
    int grade() const { return context_.grade; }

    // The working copy (native byte order) and the pending values.
    SetupBlock& workingCopy() { return workingCopy_; }
    SetupPendingKeys& pendingKeys() { return keys_; }
    // The WEP dialog on the pending settings; its end (taken or cancelled).
    SetWepkey wepDialog() const;
    void wepDialogEnded(const SetWepkey& dialog, bool taken);
    bool wepChanged() const { return wepChanged_; }

    // Fills every page from the working copy again and redraws them.
    void refreshPages();

    // OK (on the pane's worker).
    SetupOkOutcome OnButtonOk();
    // Load file: true when the file's values are on the pages.
    bool OnButtonRdfile(const std::string& path);
    // Save file: true when the file was written.
    bool OnButtonWrfile(const std::string& path);
    // The defaults button.
    void OnButtonDefaults();
    // Cancel and Close ask first; true when the editor ended.
    bool OnCancel();
    bool OnClose();
    // Refuses while OK runs ("Bitte warten..."); otherwise asks as Cancel does,
    // so that edits are not thrown away unasked.
    bool QueryTerminate() override;
    bool running() const { return running_; }
    bool ended() const { return ended_; }

private:
    struct ShownPage {
        const SetupPageRow* row;
        std::unique_ptr<SetupPage> page;
    };
    ShownPage* shown(SetupTab tab);
    void getAllPages();
    // The page Puts of OK, in their order; false when one stopped OK.
    bool putPagesForOk();
    // Every page's Put, whatever it answers (saving to a file).
    void putAllPages();
    // OK from the stored time on: write, packet.ini, reset, new address, wait.
    SetupOkOutcome writeResetAndWait();
    bool sendPacketIni(Terminal& terminal);
    void followNewAddress(Terminal& terminal);
    SetupOkOutcome waitForTerminal(Terminal& terminal);
    bool askToEnd();
    void end();
    MessageAnswer message(const std::string& text, MessageIcon icon, MessageButtons buttons = MessageButtons::Ok);
    std::string text(int id) const;

    ActionOwner& owner_;
    std::size_t listIndex_;
    SetupEditorView* view_ = nullptr;
    UserParam userParam_;
    SetupContext context_;
    SetupClock clock_;
    SetupBlock workingCopy_;
    SetupBlock asFetched_;
    SetupPendingKeys keys_;
    WepSettings wep_;
    std::string packetIni_;
    bool wepChanged_ = false;
    std::vector<ShownPage> pages_;
    std::vector<SetupTabEntry> tabs_;
    std::atomic<bool> running_ = false;
    bool ended_ = false;
};

} // namespace kestrix
