#pragma once

// The main window's logic, `CToolBoxDlg`: start-up and shutdown, discovery
// and the terminal list, list files, and the buttons that need no terminal
// action dialog (status page, help, about, maintenance group). It talks to
// the user only through MainDialogView and MessageBoxes, so tests run it
// without a screen.
//
// It does not draw, hold Qt objects or run threads of its own: the view
// decides on which thread the long operations (search, add, list files) run,
// and calls them one at a time.
#include "mainwindow/command_line.h"
#include "mainwindow/list_presentation.h"
#include "mainwindow/main_view.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/terminal_list.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

#include <memory>
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
};

// Whether a broadcast goes over IPv6 (ff02::1) or IPv4 (the interface's broadcast address).
enum class BroadcastFamily { IPv6, IPv4 };

class CToolBoxDlg {
public:
    CToolBoxDlg(MainDialogView& view, MessageBoxes& messageBoxes, CommandLineSwitches switches);
    // Empties the list (deleting the records) and ends the engine when
    // start-up created it.
    ~CToolBoxDlg();
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
    // terminal (exactly one selected) or the idle picture.
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

    // --- Buttons without a terminal action dialog ---

    void OnButtonHTML();
    void OnButtonHelp();
    void OnAbout();
    void OnButtonSetKeyAndShow();

    // --- State, for the view and tests ---

    const CToolBoxLang& language() const { return *language_; }
    T7000ip& engine() { return *engine_; }
    const TerminalList& terminalList() const { return list_; }
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
    // Sends the list's rows and the selection to the view.
    void publishRows();
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

    MainDialogView& view_;
    MessageBoxes& messageBoxes_;
    const CommandLineSwitches switches_;
    std::unique_ptr<CToolBoxLang> language_;
    T7000ip* engine_ = nullptr;
    ProgramSettings settings_;
    TerminalList list_;
    std::vector<std::size_t> selection_;
    std::vector<std::string> selectorEntries_;
    int selectorIndex_ = 0;
    int listFileIndex_ = 1;
    DetailContents detailContents_ = DetailContents::None;
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
