#include "ui/qt_main_dialog_view.h"

#include "ui/about_dialog.h"
#include "ui/login_for_setup_dialog.h"
#include "ui/login_for_tcl_dialog.h"
#include "ui/main_window.h"
#include "ui/reset_view.h"
#include "ui/set_ip_address_view.h"
#include "ui/firmware_update_widget.h"
#include "ui/lbus_key_widget.h"
#include "ui/keyboard_editor_widget.h"
#include "ui/setup_editor_widget.h"
#include "ui/t7000ip_key_dialog.h"
#include "ui/terminal_tcl_view.h"
#include "ui/toolbox_warn.h"
#include "ui/ui_thread.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace kestrix {

void QtMainDialogView::showStartWarning(const StartWarningTexts& texts) {
    onThreadOf(window_, [this, &texts] {
        CToolBoxWarn warning(texts, &window_);
        warning.exec();
    });
}

void QtMainDialogView::showMainWindow(const CToolBoxLang& language) {
    language_ = &language;
    onThreadOf(window_, [this, &language] {
        window_.applyTexts(language);
        window_.placeAndShow();
    });
}

DialogFontSize QtMainDialogView::dialogFontSize() const {
    return onThreadOf(window_, [this] { return window_.fontSize(); });
}

void QtMainDialogView::setSelectorEntries(const std::vector<std::string>& entries, int current) {
    onThreadOf(window_, [this, &entries, current] { window_.setSelectorEntries(entries, current); });
}

void QtMainDialogView::setPresentation(const ListPresentation& presentation) {
    onThreadOf(window_, [this, &presentation] { window_.setPresentation(presentation); });
}

void QtMainDialogView::showRows(const std::vector<TerminalRow>& rows,
                                const std::vector<std::size_t>& selected) {
    onThreadOf(window_, [this, &rows, &selected] { window_.showRows(rows, selected); });
}

void QtMainDialogView::setControlsEnabled(bool enabled) {
    onThreadOf(window_, [this, enabled] { window_.setControlsEnabled(enabled); });
}

void QtMainDialogView::setActionButtonsEnabled(bool enabled) {
    onThreadOf(window_, [this, enabled] { window_.setActionButtonsEnabled(enabled); });
}

void QtMainDialogView::setWaitCursor(bool waiting) {
    onThreadOf(window_, [this, waiting] { window_.setWaitCursor(waiting); });
}

void QtMainDialogView::showIdlePicture() {
    onThreadOf(window_, [this] { window_.showIdlePicture(); });
}

void QtMainDialogView::showTerminalDetails(const ShowTerminalText& text) {
    onThreadOf(window_, [this, &text] { window_.showTerminalDetails(text); });
}

void QtMainDialogView::showWaitWindow(const std::string& title, const std::string& pleaseWait) {
    onThreadOf(window_, [this, &title, &pleaseWait] { window_.showWaitWindow(title, pleaseWait); });
}

void QtMainDialogView::setProgressLine(const std::string& text) {
    onThreadOf(window_, [this, &text] { window_.setProgressLine(text); });
}

bool QtMainDialogView::showPage(const std::string& url) {
    return onThreadOf(window_, [this, &url] { return window_.showPage(url); });
}

void QtMainDialogView::showAbout(const AboutTexts& texts) {
    onThreadOf(window_, [this, &texts] {
        CAboutDlg about(texts, &window_);
        about.exec();
    });
}

bool QtMainDialogView::openInBrowser(const std::string& address) {
    return onThreadOf(window_, [&address] {
        // The terminal's address without a scheme: the web page of the
        // terminal, as a browser takes a typed address.
        const QUrl url = QUrl::fromUserInput(QString::fromStdString(address));
        return url.isValid() && QDesktopServices::openUrl(url);
    });
}

bool QtMainDialogView::runMaintenanceGroupDialog(T7000ip& engine, const CToolBoxLang& language) {
    return onThreadOf(
        window_, [this, &engine, &language] { return T7000ipKeyDialog::run(&window_, engine, language); });
}

std::optional<std::string> QtMainDialogView::askListFileName(const std::string& directory,
                                                             const std::string& filterText) {
    return onThreadOf(window_, [this, &directory, &filterText]() -> std::optional<std::string> {
        QFileDialog dialog(&window_);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDirectory(QString::fromStdString(directory));
        dialog.setNameFilter(QString::fromStdString(filterText));
        dialog.setDefaultSuffix(QStringLiteral("rch"));
        dialog.selectFile(QStringLiteral("*.rch"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst().toStdString();
    });
}

std::optional<std::string> QtMainDialogView::askExportFileName(const std::string& directory) {
    return onThreadOf(window_, [this, &directory]() -> std::optional<std::string> {
        QFileDialog dialog(&window_);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDirectory(QString::fromStdString(directory));
        dialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON (*.json)")});
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        // The default suffix follows the filter chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter.startsWith(QStringLiteral("JSON")) ? QStringLiteral("json")
                                                                              : QStringLiteral("csv"));
        });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst().toStdString();
    });
}

void QtMainDialogView::showResetDialog(ResetExe& dialog) {
    onThreadOf(window_, [this, &dialog] { window_.showActionWidget(new ResetDialogView(dialog, runLong_, nullptr)); });
}

void QtMainDialogView::showSetIPAddressDialog(CSetIPAddress& dialog) {
    onThreadOf(window_, [this, &dialog] {
        window_.showActionWidget(new SetIPAddressDialogView(dialog, runLong_, nullptr));
    });
}

void QtMainDialogView::showTclConsole(CTerminalTCL& console) {
    onThreadOf(window_, [this, &console] {
        // The view attaches itself to the console as it is made.
        window_.showActionWidget(
            new TerminalTclView(console, *language_, runLong_, operationRunning_, nullptr));
    });
}

void QtMainDialogView::holdTerminalActions(bool held) {
    onThreadOf(window_, [this, held] { window_.holdTerminalActions(held); });
}

void QtMainDialogView::showFirmwareUpdate(FirmwareUpdate& dialog) {
    onThreadOf(window_, [this, &dialog] {
        // The widget attaches itself to the dialog as it is made.
        window_.showActionWidget(new FirmwareUpdateWidget(dialog, operationRunning_, nullptr));
    });
}

void QtMainDialogView::showLoadLBusKey(CLoadLBusKey& dialog) {
    onThreadOf(window_, [this, &dialog] {
        // The widget attaches itself to the dialog as it is made.
        window_.showActionWidget(new LBusKeyWidget(dialog, runLong_, operationRunning_, nullptr));
    });
}

void QtMainDialogView::showKeyboardEditor(Matrix_Win& editor) {
    onThreadOf(window_, [this, &editor] {
        // The widget attaches itself to the editor as it is made.
        window_.showActionWidget(new KeyboardEditorWidget(editor, runLong_, nullptr));
    });
}

void QtMainDialogView::showSetupEditor(CTerminalSetup& editor) {
    onThreadOf(window_, [this, &editor] {
        // The widget attaches itself to the editor as it is made.
        window_.showActionWidget(new SetupEditorWidget(editor, *language_, runLong_, nullptr));
    });
}

void QtMainDialogView::setActionStatusLine(const std::string& text) {
    onThreadOf(window_, [this, &text] { window_.setActionStatusLine(text); });
}

void QtMainDialogView::closeActionDialog() {
    onThreadOf(window_, [this] { window_.closeActionWidget(); });
}

bool QtMainDialogView::runSetupLogin(CLoginForSetup& login) {
    return onThreadOf(window_, [this, &login] {
        // The login's own boxes (QtMessageBoxes) come from this thread too.
        return LoginForSetupDialog::run(&window_, login, *language_);
    });
}

bool QtMainDialogView::runTclLogin(CLoginForTCL& login) {
    return onThreadOf(window_,
                      [this, &login] { return LoginForTclDialog::run(&window_, login, *language_); });
}

void QtMainDialogView::closeWindow() {
    onThreadOf(window_, [this] { window_.closeForGood(); });
}

} // namespace kestrix
