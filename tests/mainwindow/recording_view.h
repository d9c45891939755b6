#pragma once

// A MainDialogView and MessageBoxes for tests: records what the logic shows
// and answers message boxes and dialogs as the test scripts them. Not thread
// safe: the logic calls its view from one thread.
#include "config/login_for_setup.h"
#include "config/login_for_tcl.h"
#include "config/terminal_setup.h"
#include "firmware/firmware_update.h"
#include "keyboard/matrix_win.h"
#include "mainwindow/main_view.h"
#include "platform/message_box.h"
#include "tcl_console/recording_tcl_view.h"
#include "tcl_console/terminal_tcl.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::test {

class RecordingMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const MessageBoxRequest& request) override {
        shown.push_back(request);
        if (answers.empty())
            return request.buttons == MessageButtons::YesNo || request.buttons == MessageButtons::YesNoCancel
                       ? MessageAnswer::Yes
                       : MessageAnswer::Ok;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // The texts of the boxes shown so far.
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const MessageBoxRequest& request : shown)
            result.push_back(request.text);
        return result;
    }

    std::vector<MessageBoxRequest> shown;
    std::deque<MessageAnswer> answers; // the next boxes' answers; Yes/Ok when empty
};

class RecordingView : public MainDialogView {
public:
    void showStartWarning(const StartWarningTexts& texts) override { warnings.push_back(texts); }
    void showMainWindow(const CToolBoxLang&) override { ++mainWindowShown; }
    DialogFontSize dialogFontSize() const override { return fontSize; }
    void setSelectorEntries(const std::vector<std::string>& entries, int) override {
        selectorEntries = entries;
    }
    void setPresentation(const ListPresentation& value) override { presentation = value; }
    void showRows(const std::vector<TerminalRow>& value, const std::vector<std::size_t>& selection) override {
        rows = value;
        selected = selection;
    }
    void setControlsEnabled(bool enabled) override { controlsEnabled = enabled; }
    void setActionButtonsEnabled(bool enabled) override { actionButtonsEnabled = enabled; }
    void setWaitCursor(bool waiting) override { waitCursor = waiting; }
    void showIdlePicture() override { detail = "idle"; }
    void showTerminalDetails(const ShowTerminalText& text) override {
        detail = "terminal";
        details = text;
    }
    void showWaitWindow(const std::string& title, const std::string&) override {
        detail = "wait";
        waitTitle = title;
    }
    void setProgressLine(const std::string&) override {}
    bool showPage(const std::string& url) override {
        pages.push_back(url);
        detail = "page";
        return pageShown;
    }
    void showAbout(const AboutTexts& texts) override { about = texts; }
    bool openInBrowser(const std::string& address) override {
        browserAddresses.push_back(address);
        return browserOpens;
    }
    bool runMaintenanceGroupDialog(T7000ip&, const CToolBoxLang&) override {
        ++maintenanceGroupDialogs;
        controlsEnabledInGroupDialog = controlsEnabled;
        return maintenanceGroupAccepted;
    }
    std::optional<std::string> askListFileName(const std::string& directory, const std::string&) override {
        listFileDirectory = directory;
        return listFileAnswer;
    }
    std::optional<std::string> askExportFileName(const std::string& directory) override {
        listFileDirectory = directory;
        return exportAnswer;
    }
    void closeWindow() override { ++closed; }
    void showResetDialog(ResetExe& dialog) override {
        resetDialog = &dialog;
        detail = "reset";
    }
    void showSetIPAddressDialog(CSetIPAddress& dialog) override {
        setIPAddressDialog = &dialog;
        detail = "setip";
    }
    void showTclConsole(CTerminalTCL& console) override {
        tclConsole = &console;
        detail = "tcl";
        console.attachView(tclView);
    }
    void showSetupEditor(CTerminalSetup& editor) override {
        setupEditor = &editor;
        detail = "setup";
        editor.attachView(setupView);
    }
    void showFirmwareUpdate(FirmwareUpdate& dialog) override {
        firmwareUpdate = &dialog;
        detail = "firmware";
    }
    void showLoadLBusKey(CLoadLBusKey& dialog) override {
        lbusDialog = &dialog;
        detail = "lbus";
    }
    void showKeyboardEditor(Matrix_Win& editor) override {
        keyboardEditor = &editor;
        detail = "keyboard";
    }
    void holdTerminalActions(bool held) override { terminalActionsHeld = held; }
    void setActionStatusLine(const std::string&) override {}
    void closeActionDialog() override {
        if (tclConsole != nullptr)
            tclConsole->detachView();
        tclConsole = nullptr;
        if (setupEditor != nullptr)
            setupEditor->detachView();
        setupEditor = nullptr;
        if (firmwareUpdate != nullptr)
            firmwareUpdate->detachView();
        firmwareUpdate = nullptr;
        lbusDialog = nullptr;
        keyboardEditor = nullptr;
        resetDialog = nullptr;
        setIPAddressDialog = nullptr;
        ++actionDialogsClosed;
    }
    void postIdleMessage() override { ++idleMessages; }
    // Enters loginEntry at the preselected grade, or cancels without one.
    bool runSetupLogin(CLoginForSetup& login) override {
        ++setupLogins;
        return loginEntry && login.OnOK(login.preselectedGrade(), *loginEntry);
    }
    // Enters tclLoginText and tclLoginPassword, or cancels when both are unset.
    bool runTclLogin(CLoginForTCL& login) override {
        ++tclLogins;
        if (!tclLoginText && !tclLoginPassword)
            return false;
        return login.OnOK(tclLoginText.value_or(""), tclLoginPassword.value_or(""));
    }

    // What was shown.
    std::vector<StartWarningTexts> warnings;
    int mainWindowShown = 0;
    std::vector<std::string> selectorEntries;
    ListPresentation presentation;
    std::vector<TerminalRow> rows;
    std::vector<std::size_t> selected;
    bool controlsEnabled = true;
    bool actionButtonsEnabled = true;
    bool waitCursor = false;
    std::string detail; // "idle", "terminal", "wait", "page"
    ShowTerminalText details;
    std::string waitTitle;
    std::vector<std::string> pages;
    std::optional<AboutTexts> about;
    std::vector<std::string> browserAddresses;
    int maintenanceGroupDialogs = 0;
    bool controlsEnabledInGroupDialog = true; // the controls' state while the group dialog ran
    std::string listFileDirectory;            // where the file dialog started; empty: not asked
    int closed = 0;
    ResetExe* resetDialog = nullptr; // the action dialog shown in the pane
    CSetIPAddress* setIPAddressDialog = nullptr;
    int actionDialogsClosed = 0;
    int idleMessages = 0;
    int setupLogins = 0;
    CTerminalTCL* tclConsole = nullptr;
    // The setup editor shown, and what it asked of its view.
    struct SetupView : SetupEditorView {
        void showPages(const std::vector<SetupTabEntry>& shown) override { tabs = shown; }
        void selectTab(SetupTab tab) override { selected.push_back(tab); }
        void refreshPages() override { ++refreshed; }
        void setProgressLine(const std::string& text) override { progress.push_back(text); }
        std::vector<SetupTabEntry> tabs;
        std::vector<SetupTab> selected;
        int refreshed = 0;
        std::vector<std::string> progress;
    };
    CTerminalSetup* setupEditor = nullptr;
    FirmwareUpdate* firmwareUpdate = nullptr;
    CLoadLBusKey* lbusDialog = nullptr;
    Matrix_Win* keyboardEditor = nullptr;
    bool terminalActionsHeld = false;
    SetupView setupView;
    RecordingTclView tclView;
    int tclLogins = 0;

    // How the fake answers.
    DialogFontSize fontSize{13, 7, 6};
    bool pageShown = true;
    bool browserOpens = true;
    bool maintenanceGroupAccepted = false;
    std::optional<std::string> listFileAnswer;
    std::optional<std::string> exportAnswer; // what the Export dialog answers
    std::optional<std::string> loginEntry; // nothing: the login is cancelled
    std::optional<std::string> tclLoginText;
    std::optional<std::string> tclLoginPassword;
};

} // namespace kestrix::test
