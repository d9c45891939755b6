#pragma once

// The main window's logic, `CToolBoxDlg`: start-up and shutdown, discovery
// and the terminal list, list files, the buttons without a dialog of their
// own (status page, help, about, maintenance group) and the action buttons:
// their checks, the setup login, and the one action dialog shown in the
// detail pane (it owns that dialog and is its ActionOwner). It talks to the
// user only through MainDialogView and MessageBoxes, so tests run it without
// a screen.
//
// It does not draw, hold Qt objects or run threads of its own: the view
// decides on which thread the long operations (search, add, list files, the
// action buttons with their block fetch, an action dialog's OK) run, and
// calls the logic from one thread at a time.
#include "mainwindow/command_line.h"
#include "mainwindow/list_presentation.h"
#include "mainwindow/main_view.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/terminal_list.h"
#include "address_reset/set_ip_address.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/pane_dialog.h"
#include "config/user_param.h"
#include "terminal/action_owner.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class MessageBoxes;
class T7000ip;

// What the detail pane shows now.
enum class DetailContents {
    None,
    IdlePicture,     // CIdlePicture
    TerminalDetails, // CShowTerminal
    WaitWindow,      // CToolBoxWait during a search
    Page,            // a help page
    Reset,           // ResetExe
    SetIPAddress,    // CSetIPAddress
    TclConsole,      // CTerminalTCL
    Setup,           // CTerminalSetup
    FirmwareUpdate,  // FirmwareUpdate
    LBusSecurity,    // CLoadLBusKey
    KeyboardEditor,  // Matrix_Win
};

// Whether a broadcast goes over IPv6 (ff02::1) or IPv4 (the interface's broadcast address).
enum class BroadcastFamily { IPv6, IPv4 };

class CToolBoxDlg : public ActionOwner {
public:
    CToolBoxDlg(MainDialogView& view, MessageBoxes& messageBoxes, CommandLineSwitches switches);
    // Empties the list (deleting the records) and ends the engine when
    // start-up created it.
    ~CToolBoxDlg() override;
    CToolBoxDlg(const CToolBoxDlg&) = delete;
    CToolBoxDlg& operator=(const CToolBoxDlg&) = delete;

    // --- Start-up and shutdown ---

    // The start-up sequence (language, warning dialog, start directory, trace
    // file, abort event, LAN interfaces, settings file, engine, window,
    // font check, selector, applied settings, idle picture). False when the
    // program must end; the reason has been shown (the settings file's own
    // failure excepted, which GetIniFile showed).
    bool OnInitDialog();
    // Cancel and Close of the window (each traces its own name): asks
    // QueryTerminate and then whether to save the list. True when the program
    // may end (the list is emptied); false keeps it running with its list
    // unchanged.
    bool OnCancel();
    bool OnClose();
    // Whether the dialog shown in the detail pane may end.
    bool QueryTerminate();
    // Enables the controls, destroys the detail dialog and shows the selected
    // terminal (exactly one selected) or the idle picture. Also the answer to
    // an action dialog's idle message.
    void ShowIdleWindow();

    // --- Discovery and the list ---

    // The search button: empties the list and searches on the selector's
    // entry (all interfaces, one interface, or a list file).
    void OnNewTerminalList();
    // False when a routing failure occurred.
    bool DoFindBroadcast(BroadcastFamily family, GroupFilter filter, int interfaceIndex);
    bool DoEchoBroadcast(GroupFilter filter, int interfaceIndex);
    // The add button with the text of the name/address field (at most 65 characters).
    void OnAddIPAddr(const std::string& text);
    // The clear button.
    void OnClearList();
    // The remove button: deletes every selected entry.
    void OnRemoveSelected();
    // Saves the list to a list file the user chooses.
    void WriteFile();
    // Export: writes the list as CSV or JSON (by the extension of the file the
    // user chooses) through the file replacement; says so when it cannot.
    void OnExport();
    // Reads a list file from the start directory; false on a routing failure.
    bool ReadFile(const std::string& fileName);

    // --- Controls ---

    void OnSelectionChange(const std::vector<std::size_t>& selected);
    void OnSelectorChange(int index);
    void OnSortOrder(SortOrder order);
    void OnShowIPv6(bool shown);
    void OnGroupFilter(GroupFilter filter);
    // Host names fully qualified or short (the settings file's choice; the
    // command line's --short-names).
    void OnHostNameDisplay(HostNameDisplay display) {
        settings_.list.hostNames = display;
        publishRows();
    }

    // --- Action buttons (each opens its dialog in the detail pane) ---

    // Reset: the common checks, the configuration block fetched and
    // converted, the setup login from block version "5.50" on, then ResetExe.
    void OnButtonReset();
    // IPv4 Setup: no selection needed; CSetIPAddress.
    void OnButtonSetipa();
    // TCL: the common checks, monitor mode, a passive TCL connection, no
    // other host online, the TCL login when the terminal encrypts, then
    // CTerminalTCL (it connects as it opens).
    void OnButtonTcl();
    // Setup: the common checks, monitor mode, TCL 5.02 at least, the block
    // fetched and converted (with "no setup" in its messages), the setup
    // login from block version "5.50" on, then CTerminalSetup.
    void OnButtonSetup();
    // Checks: 55 without a selection, 61 when a selected terminal supports
    // authentication but did not accept the maintenance group; then the
    // firmware update dialog for every selected terminal.
    void OnButtonFirmUpdate();
    // LBus security: the common checks, monitor mode, no server, the block
    // fetched and converted, a block from "5.50" on (the security functions
    // need it), the note that below version "6_04~" only keys can be
    // loaded, the setup login with grade 2 or 3, then CLoadLBusKey.
    void OnButtonLbuskey();
    // Keyboard layout: the common checks, monitor mode, not an access
    // control manager, not a server, and a question when the terminal has no
    // matrix touch keyboard; then Matrix_Win (it fetches the terminal's layout).
    void OnButtonKeyb();

    // --- Buttons without a terminal action dialog ---

    void OnButtonHTML();
    void OnButtonHelp();
    void OnAbout();
    void OnButtonSetKeyAndShow();

    // --- State, for the view and tests ---

    const CToolBoxLang& language() const override { return *language_; }
    T7000ip& engine() override { return *engine_; }

    // --- ActionOwner: what the action dialogs use ---

    MessageBoxes& messageBoxes() override { return messageBoxes_; }
    std::string startDirectory() const override;
    Terminal& terminalAt(std::size_t index) override { return list_.at(index); }
    bool addTerminal(std::unique_ptr<Terminal> terminal) override;
    void deselectEntry(std::size_t index) override;
    void redrawEntry(std::size_t index) override;
    void setWaitCursor(bool waiting) override { view_.setWaitCursor(waiting); }
    void holdTerminalActions(bool held) override { view_.holdTerminalActions(held); }
    void postIdleMessage() override { view_.postIdleMessage(); }

    const TerminalList& terminalList() const { return list_; }
    // The action dialog shown in the detail pane, or none.
    PaneDialog* detailDialog() const { return detailDialog_.get(); }
    TerminalList& terminalList() { return list_; }
    const std::vector<std::size_t>& selection() const { return selection_; }
    const ListPresentation& presentation() const { return settings_.list; }
    const std::vector<std::string>& selectorEntries() const { return selectorEntries_; }
    int selectorIndex() const { return selectorIndex_; }
    // The index of the first list-file entry of the selector.
    int listFileIndex() const { return listFileIndex_; }
    DetailContents detailContents() const { return detailContents_; }
    const CommandLineSwitches& switches() const { return switches_; }

private:
    // The end both ways of closing lead to.
    bool endProgram();
    // Sends the list's rows and the selection to the view (and keeps the rows).
    void publishRows();
    // Sends the rows last published, one of them made anew from its record
    // (or none), and the selection. For the firmware update's workers: each
    // reads only the record it works on, never the other worker's.
    void publishKeptRows(std::optional<std::size_t> renewed);
    // Shows a message box captioned "Kestrix IPv4+IPv6".
    MessageAnswer message(const std::string& text, MessageIcon icon,
                          MessageButtons buttons = MessageButtons::Ok, int defaultButton = 0);
    // Inserts a record found by a search, an add or a list file (refused
    // records are deleted); true when it was inserted.
    bool insertTerminal(std::unique_ptr<Terminal> terminal);
    // The request of a search broadcast: find (records located by find,
    // ID-based) or echo (located by echo, IP-based through the interface).
    enum class BroadcastRequest { Find, Echo };
    // Lists the terminals that answered a broadcast; false when a routing
    // failure occurred.
    bool checkBroadcastReplies(std::vector<std::string> replies, BroadcastRequest request, GroupFilter filter,
                               int interfaceIndex);
    // Fills the selector: all connections, the interfaces, the "*.rch" files.
    void fillSelector();
    // Enables the action buttons unless a selected terminal supports
    // authentication without AuthOK.
    void updateActionButtons();

    // main_dialog_actions.cpp
    // The common checks of a handler that works on one terminal: 55 without
    // a selection (nothing), 56 with more than one (all but the first
    // deselected). The index of the terminal to work on.
    std::optional<std::size_t> oneSelectedTerminal();
    // Check 60: a terminal in its monitor cannot run the action; says so.
    bool refusedInMonitorMode(const Terminal& terminal);
    // The detail-pane protocol before a new dialog: QueryTerminate must agree;
    // the dialog shown is destroyed. False ends the action silently.
    bool clearDetailPane();
    // Destroys the action dialog, its view first.
    void destroyDetailDialog();
    // Shows a new action dialog and disables the controls while it runs.
    void openDetailDialog(std::unique_ptr<PaneDialog> dialog, DetailContents contents,
                          std::optional<std::size_t> terminal);
    // The configuration block of the terminal fetched and converted to the
    // newest version, and the setup login when the block was "5.50" or
    // later when fetched: the access grade (3 without login) with the block
    // and its version when fetched, or nothing when the action ends (the
    // reason shown or traced). handler names the button in the traces;
    // BlockFailureNote::NoSetup adds entry 375 to the block's failure messages.
    enum class BlockFailureNote { None, NoSetup };
    struct SetupAccess {
        int grade = 3;
        UserParam block;           // converted to its newest version
        std::string actualVersion; // its version when fetched ("6.10")
        bool withLogin = true;     // false for a block older than "5.50": it holds no passwords
    };
    std::optional<SetupAccess> setupAccess(Terminal& terminal, const char* handler, BlockFailureNote note);
    // The two steps of setupAccess: the block (grade 3 and no login for a
    // block older than "5.50"), then the login, which sets the grade.
    std::optional<SetupAccess> fetchSetupBlock(Terminal& terminal, BlockFailureNote note);
    bool setupLogin(SetupAccess& access, const Terminal& terminal);

    // Forwards the set-IPv4 dialog's status line to the view.
    class ActionStatusLine : public SetIPAddressView {
    public:
        explicit ActionStatusLine(MainDialogView& view) : view_(view) {}
        void setStatusLine(const std::string& text) override { view_.setActionStatusLine(text); }

    private:
        MainDialogView& view_;
    };

    MainDialogView& view_;
    MessageBoxes& messageBoxes_;
    const CommandLineSwitches switches_;
    std::unique_ptr<CToolBoxLang> language_;
    T7000ip* engine_ = nullptr;
    ProgramSettings settings_;
    TerminalList list_;
    // The UI thread changes the selection only while no action runs (the list
    // is disabled meanwhile); the firmware update's workers deselect the
    // entries they have finished, two at a time: deselectEntry and
    // publishRows take the lock.
    std::mutex selectionMutex_;
    std::vector<std::size_t> selection_;
    std::vector<TerminalRow> publishedRows_; // guarded by selectionMutex_
    std::vector<std::string> selectorEntries_;
    int selectorIndex_ = 0;
    int listFileIndex_ = 1;
    DetailContents detailContents_ = DetailContents::None;
    std::unique_ptr<PaneDialog> detailDialog_;
    // The list entry the action dialog works on, if it works on one.
    std::optional<std::size_t> actionTerminal_;
    ActionStatusLine actionStatusLine_{view_};
};

// Locates a terminal from what a user typed (an address, a DNS name, a list
// line) the way the window adds one: in the alternative adding mode a
// terminal that does not accept the ID-based search is located again with
// the IP-based search. Throws Terminal::TerminalError.
std::unique_ptr<Terminal> locateAsAdded(T7000ip& engine, const std::string& text, AddingMode adding);

// The message table entry that tells the user why a terminal could not be
// found, by the code of the TerminalError (its own text is the trace's).
int terminalErrorMessageId(int code);

} // namespace kestrix
