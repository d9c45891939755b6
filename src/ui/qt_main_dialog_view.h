#pragma once

#include "mainwindow/main_view.h"

namespace kestrix {

class MainWindow;

// The MainDialogView of the Qt program: every call goes to the main window
// or opens one of the program's dialogs (warning, about box, maintenance
// group, save file). A call that arrives on a worker thread runs on the
// window's thread while the caller waits for its answer; a call on that
// thread runs at once. It keeps no state of its own.
class QtMainDialogView : public MainDialogView {
public:
    explicit QtMainDialogView(MainWindow& window) : window_(window) {}

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
    void closeWindow() override;

private:
    MainWindow& window_;
};

} // namespace kestrix
