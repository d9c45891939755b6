#pragma once

// The seam between the main window's logic (CToolBoxDlg) and its look: the Qt
// window implements MainDialogView, tests implement it with a recording fake.
// The logic calls it from the thread it runs on; a Qt implementation that runs
// long operations off its UI thread forwards each call to that thread and
// waits for it. Message boxes go through MessageBoxes (platform/message_box.h).
#include "mainwindow/list_presentation.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class CLoginForSetup;
class CLoginForTCL;
class CSetIPAddress;
class CToolBoxLang;
class ResetExe;
class CTerminalTCL;
class FirmwareUpdate;
class CLoadLBusKey;
class Matrix_Win;
class CTerminalSetup;
class T7000ip;

// How the user asks to end the program: Cancel (the Escape key) or the
// window's close button. Both lead to the same end; the trace tells them apart.
enum class CloseRequest { Cancel, Close };

// What one entry of the terminal list shows (four lines high): the product
// icon, line one in three columns, the address line and the DNS line.
struct TerminalRow {
    int iconIndex = 0;          // 0..13, 0 for an unknown product
    std::string productColumn;  // " " + ProductName (110 pixels)
    std::string versionColumn;  // kind prefix + version (220 pixels)
    std::string serialColumn;   // "SN: " + SerialNumber (300 pixels)
    std::string addressLine;    // by the address form
    std::string dnsLine;        // DNSNameInUse ("   " when empty), cut at its first "." when short

    bool operator==(const TerminalRow&) const = default;
};

// What CShowTerminal shows of the one selected terminal.
struct ShowTerminalText {
    int iconIndex = 0;
    std::string headline; // SerialNumber + " " + ProductName
    std::string ipv4Text; // "addr / mask (DHCP)\tname", empty without IPv4 address
    std::string ipv6Text; // link-local and global addresses, one per line

    bool operator==(const ShowTerminalText&) const = default;
};

// The size of the dialog's font, for the start-up check of large fonts.
struct DialogFontSize {
    long height = 0;
    long maximumCharWidth = 0;
    long averageCharWidth = 0;
};

// The three texts of the start-up warning dialog (entries 76, 77, 78).
struct StartWarningTexts {
    std::string attention;
    std::string text;
    std::string ownRisk;
};

// The about box: caption, the line with product and version, the maker's
// notice and the licence page (a file URL).
struct AboutTexts {
    std::string caption;
    std::string productLine; // "Kestrix IPv4+IPv6 V4.00.00"
    std::string notice;
    std::string licenceUrl;
};

class MainDialogView {
public:
    virtual ~MainDialogView() = default;

    // --- Start-up ---
    // Shows the warning dialog modally; its result does not matter.
    virtual void showStartWarning(const StartWarningTexts& texts) = 0;
    // Places the window (top left, 1084 x 725), sets the control texts and
    // tool tips from the language and shows it.
    virtual void showMainWindow(const CToolBoxLang& language) = 0;
    virtual DialogFontSize dialogFontSize() const = 0;
    // The interface and list-file selector: its entries and the current one.
    virtual void setSelectorEntries(const std::vector<std::string>& entries, int current) = 0;
    // The state of the sort radio buttons and the two check boxes.
    virtual void setPresentation(const ListPresentation& presentation) = 0;

    // --- Terminal list ---
    // The list shows these rows, in this order, with these entries selected
    // (indexes into rows). Called after every change of the list; the view
    // keeps its own copy and never reads the logic's records.
    virtual void showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>& selected) = 0;

    // --- Controls ---
    // The controls that an action disables while it runs: selector, sort
    // buttons, search, clear, remove, add and maintenance-group buttons, the
    // name/address field (and the list itself).
    virtual void setControlsEnabled(bool enabled) = 0;
    // The action buttons that work on the selected terminals.
    virtual void setActionButtonsEnabled(bool enabled) = 0;
    virtual void setWaitCursor(bool waiting) = 0;
    // While held, the buttons that work on listed terminals (the action
    // buttons, Status, TCL, IPv4 Setup) are disabled, whatever else says.
    virtual void holdTerminalActions(bool held) = 0;

    // --- Detail pane ---
    virtual void showIdlePicture() = 0;
    virtual void showTerminalDetails(const ShowTerminalText& text) = 0;
    // The wait window of a search: two fixed lines and a progress line.
    virtual void showWaitWindow(const std::string& title, const std::string& pleaseWait) = 0;
    // Sets the wait window's progress line; the window is repainted at once.
    virtual void setProgressLine(const std::string& text) = 0;
    // Shows a page (file URL) in the detail pane; false when it cannot.
    virtual bool showPage(const std::string& url) = 0;
    // A line of a list file that gave no list entry, and why (in the user's
    // language). The window only traces it; the command line names it.
    virtual void listFileLineLeftOut(const std::string& /*line*/, const std::string& /*reason*/) {}

    // --- Action dialogs in the detail pane ---
    // Shows an action dialog in the detail pane in place of what it shows.
    // The view runs the dialog's long operation (its OK) on a worker thread,
    // with every control that reaches the logic disabled meanwhile.
    virtual void showResetDialog(ResetExe& dialog) = 0;
    virtual void showSetIPAddressDialog(CSetIPAddress& dialog) = 0;
    // The TCL console: the view shows it and attaches itself
    // (CTerminalTCL::attachView) before the logic connects.
    virtual void showTclConsole(CTerminalTCL& console) = 0;
    // The setup editor: the view shows it and attaches itself
    // (CTerminalSetup::attachView).
    virtual void showSetupEditor(CTerminalSetup& editor) = 0;
    // The firmware update dialog: the view shows it and attaches itself
    // (FirmwareUpdate::attachView) before the logic fills its lists.
    virtual void showFirmwareUpdate(FirmwareUpdate& dialog) = 0;
    // The LBus security dialog: the view shows it and attaches itself
    // (CLoadLBusKey::attachView) before the logic offers its actions.
    virtual void showLoadLBusKey(CLoadLBusKey& dialog) = 0;
    // The keyboard editor: the view shows it and attaches itself
    // (Matrix_Win::attachView) before the logic opens it.
    virtual void showKeyboardEditor(Matrix_Win& editor) = 0;
    // The status line of the action dialog shown (set-IPv4); called from the
    // thread that runs the dialog's long operation.
    virtual void setActionStatusLine(const std::string& text) = 0;
    // Removes the action dialog's view from the pane; the logic destroys the
    // dialog right after.
    virtual void closeActionDialog() = 0;
    // "MsgKRXIdle": an action dialog has ended. The view calls
    // CToolBoxDlg::ShowIdleWindow later, once the call that posted it and
    // any operation running have returned; never inside this call.
    virtual void postIdleMessage() = 0;
    // Runs the setup login modally; true when it ended with OK (the login
    // then holds the grade).
    virtual bool runSetupLogin(CLoginForSetup& login) = 0;
    // Runs the TCL login modally; true when it ended with OK (the login then
    // holds the key).
    virtual bool runTclLogin(CLoginForTCL& login) = 0;

    // --- Other windows ---
    virtual void showAbout(const AboutTexts& texts) = 0;
    // Opens the address in the desktop's browser; false when that fails.
    virtual bool openInBrowser(const std::string& address) = 0;
    // Runs the maintenance group dialog modally; true when it ended with OK.
    virtual bool runMaintenanceGroupDialog(T7000ip& engine, const CToolBoxLang& language) = 0;
    // The save-file dialog for a terminal list: starts in directory with the
    // name "*.rch" and the filter; answers the chosen path, nothing on cancel.
    virtual std::optional<std::string> askListFileName(const std::string& directory,
                                                       const std::string& filterText) = 0;
    // The save-file dialog of Export: starts in directory, offers CSV and JSON
    // files; answers the chosen path, nothing on cancel.
    virtual std::optional<std::string> askExportFileName(const std::string& directory) = 0;
    // Ends the program's window (after start-up failures and at shutdown).
    virtual void closeWindow() = 0;
};

} // namespace kestrix
