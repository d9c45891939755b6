#pragma once

#include "mainwindow/main_view.h"

#include <functional>

namespace kestrix {

class MainWindow;

// The MainDialogView of the Qt program: every call goes to the main window
// or opens one of the program's dialogs (warning, about box, maintenance
// group, save file, setup login) or an action dialog's view in the detail
// pane. A call that arrives on a worker thread runs on the window's thread
// while the caller waits for its answer; a call on that thread runs at once.
// The application hands it how to run an action dialog's long operation,
// whether one runs, and how to deliver the idle message; it keeps the
// language the window was shown in (for the dialogs it opens) and no other state.
class QtMainDialogView : public MainDialogView {
public:
    using LongOperationRunner = std::function<void(std::function<void()>)>;

    QtMainDialogView(MainWindow& window, LongOperationRunner runLong, std::function<bool()> operationRunning,
                     std::function<void()> postIdle)
        : window_(window), runLong_(std::move(runLong)), operationRunning_(std::move(operationRunning)),
          postIdle_(std::move(postIdle)) {}

    void showStartWarning(const StartWarningTexts& texts) override;
    void showMainWindow(const CToolBoxLang& language) override;
    DialogFontSize dialogFontSize() const override;
    void setSelectorEntries(const std::vector<std::string>& entries, int current) override;
    void setPresentation(const ListPresentation& presentation) override;
    void showRows(const std::vector<TerminalRow>& rows, const std::vector<std::size_t>& selected) override;
    void setControlsEnabled(bool enabled) override;
    void setActionButtonsEnabled(bool enabled) override;
    void setWaitCursor(bool waiting) override;
    void showIdlePicture() override;
    void showTerminalDetails(const ShowTerminalText& text) override;
    void showWaitWindow(const std::string& title, const std::string& pleaseWait) override;
    void setProgressLine(const std::string& text) override;
    bool showPage(const std::string& url) override;
    void showAbout(const AboutTexts& texts) override;
    bool openInBrowser(const std::string& address) override;
    bool runMaintenanceGroupDialog(T7000ip& engine, const CToolBoxLang& language) override;
    std::optional<std::string> askListFileName(const std::string& directory,
                                               const std::string& filterText) override;
    std::optional<std::string> askExportFileName(const std::string& directory) override;
    void closeWindow() override;
    void showResetDialog(ResetExe& dialog) override;
    void showSetIPAddressDialog(CSetIPAddress& dialog) override;
    void showTclConsole(CTerminalTCL& console) override;
    void showSetupEditor(CTerminalSetup& editor) override;
    void showFirmwareUpdate(FirmwareUpdate& dialog) override;
    void showLoadLBusKey(CLoadLBusKey& dialog) override;
    void showKeyboardEditor(Matrix_Win& editor) override;
    void holdTerminalActions(bool held) override;
    void setActionStatusLine(const std::string& text) override;
    void closeActionDialog() override;
    void postIdleMessage() override { postIdle_(); }
    bool runSetupLogin(CLoginForSetup& login) override;
    bool runTclLogin(CLoginForTCL& login) override;

private:
    MainWindow& window_;
    LongOperationRunner runLong_;
    std::function<bool()> operationRunning_;
    std::function<void()> postIdle_;
    const CToolBoxLang* language_ = nullptr;
};

} // namespace kestrix
