#include "mainwindow/main_dialog.h"

#include "lan/lan_interfaces.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/product.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/process_abort_event.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <string>
#include <system_error>

namespace kestrix {

namespace {

// A dialog font above these sizes does not fit the window's layout.
constexpr long kLargestCharacterHeight = 16;
constexpr long kLargestAverageCharacterWidth = 7;

} // namespace

bool CToolBoxDlg::OnInitDialog() {
    language_ = std::make_unique<CToolBoxLang>(localeIdFromEnvironment());

    if (switches_.warning == StartWarning::Show)
        view_.showStartWarning({language_->GetText(76), language_->GetText(77), language_->GetText(78)});

    if (std::error_code error; !initStartDirectory(&error)) {
        // Every file of the program is taken from there: without it nothing would be found.
        message(language_->GetText(5) + ": " + errorText(error.value()), MessageIcon::Error);
        view_.closeWindow();
        return false;
    }

    const TraceFileOutcome traceOutcome = openTraceFile(settingsDirectory(), *language_);
    if (traceOutcome.state == TraceFileState::NotWritable)
        message(traceOutcome.warning, MessageIcon::Exclamation);

    try {
        processAbortEvent();
    } catch (const std::system_error& error) {
        message("Exit, CreateEvent() failed, GetLastError() set: " + errorText(error.code().value()),
                MessageIcon::Error);
        view_.closeWindow();
        return false;
    }

    enumerateLanInterfaces();
    if (lanInterfaces().count() == 0) {
        message(language_->GetText(81), MessageIcon::Error);
        view_.closeWindow();
        return false;
    }

    // A malformed settings file has been shown by GetIniFile.
    if (GetIniFile(settingsFileName(), *language_, messageBoxes_, settings_) == SettingsResult::Malformed) {
        view_.closeWindow();
        return false;
    }

    try {
        engine_ = &T7000ip::getT7000ip(language_.get());
    } catch (const T7000ip::T7000ipError& error) {
        message(error.text, MessageIcon::Error);
        view_.closeWindow();
        return false;
    }

    view_.showMainWindow(*language_);

    const DialogFontSize font = view_.dialogFontSize();
    if (font.height > kLargestCharacterHeight || font.averageCharWidth > kLargestAverageCharacterWidth) {
        trace("Height: %ld, Max Char Width: %ld Ave Char Width: %ld\n", font.height, font.maximumCharWidth,
              font.averageCharWidth);
        message(std::string(kProductCaption) + " " + language_->GetText(45), MessageIcon::Exclamation);
    }

    fillSelector();

    view_.setPresentation(settings_.list);
    publishRows();

    ShowIdleWindow();
    return true;
}

bool CToolBoxDlg::OnCancel() {
    trace("CToolBoxDlg::OnCancel()\n");
    return endProgram();
}

bool CToolBoxDlg::OnClose() {
    trace("CToolBoxDlg::OnClose()\n");
    return endProgram();
}

bool CToolBoxDlg::endProgram() {
    if (!QueryTerminate())
        return false;

    const MessageAnswer answer =
        messageBoxes_.show({std::string(kProductCaption) + " " + language_->GetText(52),
                            language_->GetText(51), MessageIcon::Question, MessageButtons::YesNoCancel, 1});
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No)
        return false;
    if (answer == MessageAnswer::Yes)
        WriteFile();
    // The dialog agreed to end; it goes before the records it may refer to.
    destroyDetailDialog();
    selection_.clear();
    list_.clear();
    publishRows();
    view_.closeWindow();
    return true;
}

bool CToolBoxDlg::QueryTerminate() {
    // An action dialog decides for itself; the idle picture, a terminal's
    // details, the wait window and a page never refuse.
    if (detailDialog_)
        return detailDialog_->QueryTerminate();
    if (detailContents_ == DetailContents::None)
        trace("CToolBoxDlg::QueryTerminate() m_pDetailContents == NULL\n");
    return true;
}

void CToolBoxDlg::ShowIdleWindow() {
    view_.setControlsEnabled(true);
    destroyDetailDialog();
    detailContents_ = DetailContents::None;
    if (selection_.size() == 1) {
        view_.showTerminalDetails(showTerminalText(list_.at(selection_.front())));
        detailContents_ = DetailContents::TerminalDetails;
    } else {
        view_.showIdlePicture();
        detailContents_ = DetailContents::IdlePicture;
    }
}

} // namespace kestrix
