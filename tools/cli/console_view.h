#pragma once

// The main window's view and message boxes for kestrix-cli: the logic of
// CToolBoxDlg runs unchanged, and what it would show in the window goes to the
// console instead.
#include "config/terminal_setup.h"
#include "console_tcl_view.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/main_view.h"
#include "platform/message_box.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrix::cli {

struct Invocation;

// The wait window's progress line on standard error, rewritten in place. It is
// shown only when standard error is a terminal; redirected, it stays silent.
class ConsoleProgressLine {
public:
    ConsoleProgressLine();
    // Replaces the line (cut to the terminal's width).
    void show(const std::string& text);
    // Removes the line, so that other output starts at the left margin.
    void clear();

private:
    const bool shown_;
    bool visible_ = false;
};

// The message boxes of the logic as lines on standard error:
// "kestrix-cli: TEXT", or "kestrix-cli: SUBJECT: TEXT" while a subject is set
// (the terminal that the user named). A box that asks a question is answered
// without asking: Cancel where the box offers it, else No, so that nothing
// more happens than the command asked for (unless the subcommand has set the
// answer to a Yes/No or OK/Cancel question it asks for); the line says which answer was
// given. It counts the boxes with the error icon, the failures the program
// reports.
class ConsoleMessageBoxes : public MessageBoxes {
public:
    explicit ConsoleMessageBoxes(ConsoleProgressLine& progress) : progress_(progress) {}

    MessageAnswer show(const MessageBoxRequest& request) override;

    void setSubject(std::string subject) { subject_ = std::move(subject); }
    // The answer to the Yes/No questions from now on; nothing: No.
    void setYesNoAnswer(std::optional<MessageAnswer> answer) { yesNoAnswer_ = answer; }
    // The answer to the OK/Cancel questions from now on; nothing: Cancel.
    void setOkCancelAnswer(std::optional<MessageAnswer> answer) { okCancelAnswer_ = answer; }
    int failuresShown() const { return failures_; }
    int warningsShown() const { return warnings_; }

private:
    // Boxes come from workers too (the firmware update's scheduler and updates).
    std::mutex mutex_;
    ConsoleProgressLine& progress_;
    std::string subject_;
    std::optional<MessageAnswer> yesNoAnswer_;
    std::optional<MessageAnswer> okCancelAnswer_;
    std::atomic<int> failures_ = 0; // boxes with the error icon
    std::atomic<int> warnings_ = 0; // boxes with the exclamation icon
};

// The main window as kestrix-cli needs it: it keeps the rows the logic shows
// (printed once the command's work is done), puts the wait window's progress
// on the console's progress line and answers the save-file dialog with the
// path given on the command line.
//
// It has no window: placing, enabling and the detail pane change nothing; the
// start-up warning, the maintenance group dialog, pages, the browser and the
// about box are never asked for by the subcommands and answer "not shown".
// The setup and TCL logins go to the functions the subcommand sets, which play
// the user (without one a login is cancelled); an action dialog shown is kept
// for the subcommand to drive until the logic closes it; the set-IPv4
// dialog's status line goes to standard error; the TCL console shows the
// terminal's output on standard output (ConsoleTclView); the setup editor is
// kept for the subcommand to drive, its progress on the progress line.
class ConsoleView : public MainDialogView {
public:
    explicit ConsoleView(ConsoleProgressLine& progress) : progress_(progress) {}

    // The path the save-file dialog answers; nothing: the dialog is cancelled.
    void setListFileAnswer(std::optional<std::string> path) { listFileAnswer_ = std::move(path); }
    // A copy: the firmware update's workers redraw the list from their threads.
    std::vector<TerminalRow> rows() const {
        const std::lock_guard lock(rowsMutex_);
        return rows_;
    }
    int linesLeftOut() const { return linesLeftOut_; }

    void showStartWarning(const StartWarningTexts&) override {}
    void showMainWindow(const CToolBoxLang&) override {}
    DialogFontSize dialogFontSize() const override;
    void setSelectorEntries(const std::vector<std::string>&, int) override {}
    void setPresentation(const ListPresentation&) override {}
    void showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>&) override {
        const std::lock_guard lock(rowsMutex_);
        rows_ = rows;
    }
    void setControlsEnabled(bool) override {}
    void setActionButtonsEnabled(bool) override {}
    void setWaitCursor(bool waiting) override;
    void showIdlePicture() override { progress_.clear(); }
    void showTerminalDetails(const ShowTerminalText&) override { progress_.clear(); }
    void showWaitWindow(const std::string& title, const std::string& pleaseWait) override;
    void setProgressLine(const std::string& text) override { progress_.show(text); }
    bool showPage(const std::string&) override { return false; }
    void listFileLineLeftOut(const std::string& line, const std::string& reason) override;
    void showAbout(const AboutTexts&) override {}
    bool openInBrowser(const std::string&) override { return false; }
    bool runMaintenanceGroupDialog(T7000ip&, const CToolBoxLang&) override { return false; }
    std::optional<std::string> askListFileName(const std::string&, const std::string&) override {
        return listFileAnswer_;
    }
    // The command line exports with --format, never through this dialog.
    std::optional<std::string> askExportFileName(const std::string&) override { return std::nullopt; }
    void closeWindow() override { progress_.clear(); }
    void showResetDialog(ResetExe& dialog) override { resetDialog_ = &dialog; }
    void showSetIPAddressDialog(CSetIPAddress& dialog) override { setIPAddressDialog_ = &dialog; }
    void showTclConsole(CTerminalTCL& console) override;
    void showSetupEditor(CTerminalSetup& editor) override;
    void showKeyboardEditor(Matrix_Win& editor) override;
    // The firmware update dialog: onFirmwareUpdate attaches the command
    // line's view to it (kestrix-cli firmware update); without it the
    // dialog cannot be shown (std::logic_error).
    void showFirmwareUpdate(FirmwareUpdate& dialog) override;
    // The command line has no buttons to hold.
    void holdTerminalActions(bool) override {}
    std::function<void(FirmwareUpdate&)> onFirmwareUpdate;
    // The LBus security dialog: onLoadLBusKey attaches the command line's
    // view to it (kestrix-cli lbus); without it the dialog cannot be shown.
    void showLoadLBusKey(CLoadLBusKey& dialog) override;
    std::function<void(CLoadLBusKey&)> onLoadLBusKey;
    void setActionStatusLine(const std::string& text) override;
    void closeActionDialog() override;
    void postIdleMessage() override {}
    bool runSetupLogin(CLoginForSetup& login) override { return onSetupLogin && onSetupLogin(login); }
    bool runTclLogin(CLoginForTCL& login) override { return onTclLogin && onTclLogin(login); }

    // The action dialog the logic shows now, if any.
    ResetExe* resetDialog() const { return resetDialog_; }
    CSetIPAddress* setIPAddressDialog() const { return setIPAddressDialog_; }
    CTerminalTCL* tclConsole() const { return tclConsole_; }
    CTerminalSetup* setupEditor() const { return setupEditor_; }
    const ConsoleTclView& tclView() const { return tclView_; }

    std::function<bool(CLoginForSetup&)> onSetupLogin;
    std::function<bool(CLoginForTCL&)> onTclLogin;

private:
    // The setup editor's view: no tabs to draw, its progress on the console's line.
    struct SetupProgress : SetupEditorView {
        explicit SetupProgress(ConsoleProgressLine& line) : progress(line) {}
        void showPages(const std::vector<SetupTabEntry>&) override {}
        void selectTab(SetupTab) override {}
        void refreshPages() override {}
        void setProgressLine(const std::string& text) override { progress.show(text); }
        ConsoleProgressLine& progress;
    };

    ConsoleProgressLine& progress_;
    mutable std::mutex rowsMutex_;
    std::vector<TerminalRow> rows_;
    std::optional<std::string> listFileAnswer_;
    int linesLeftOut_ = 0;
    ResetExe* resetDialog_ = nullptr;
    CSetIPAddress* setIPAddressDialog_ = nullptr;
    CTerminalTCL* tclConsole_ = nullptr;
    ConsoleTclView tclView_;
    CTerminalSetup* setupEditor_ = nullptr;
    SetupProgress setupProgress_{progress_};
};

// A line on standard error every five seconds while a long wait runs, so
// that a technician sees that the program works. It shows time as it passes:
// KESTRIX_TIME_SCALE shortens the waits, not the clock.
class WaitTicker {
public:
    explicit WaitTicker(std::string what);
    ~WaitTicker();
    WaitTicker(const WaitTicker&) = delete;
    WaitTicker& operator=(const WaitTicker&) = delete;

private:
    void run();

    std::string what_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

// The password against the grades the setup login offers, highest first, as
// a technician would try it; none matching shows "Login incorrect".
bool loginWithPassword(CLoginForSetup& login, const std::string& password);

// The main window's logic with a console view, started as the window starts
// it: the subcommands that press the window's buttons play its user on it.
struct ConsoleWindow {
    ConsoleProgressLine progress;
    ConsoleView view{progress};
    ConsoleMessageBoxes messageBoxes{progress};
    CToolBoxDlg dialog;

    explicit ConsoleWindow(const Invocation& invocation);
    // The window's start (OnInitDialog) with the maintenance group of the
    // invocation in force; false when it failed (shown).
    bool start(const Invocation& invocation);
    // The start, then the terminal (TERMINAL of the command line) listed
    // through the add field and selected, the messages about it. False when
    // the start failed or the terminal was not found (shown).
    bool startWithTerminal(const Invocation& invocation, const std::string& terminal);
};

} // namespace kestrix::cli
