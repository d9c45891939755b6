#include "console_view.h"

#include "cli_common.h"
#include "config/login_for_setup.h"
#include "protocol/t7000ip.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrix::cli {
namespace {

// The columns of the terminal on standard error; 80 when it does not tell.
std::size_t terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// The text cut to at most limit bytes, never inside a UTF-8 sequence.
std::string cutToBytes(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

const char* answerWord(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return "OK";
    case MessageAnswer::Cancel:
        return "Cancel";
    case MessageAnswer::Yes:
        return "Yes";
    case MessageAnswer::No:
        return "No";
    }
    return "?";
}

} // namespace

ConsoleProgressLine::ConsoleProgressLine() : shown_(::isatty(STDERR_FILENO) == 1) {}

void ConsoleProgressLine::show(const std::string& text) {
    if (!shown_)
        return;
    // One column stays free, so that the cursor never wraps to the next line.
    std::fprintf(stderr, "\r%s\033[K", cutToBytes(text, terminalColumns() - 1).c_str());
    std::fflush(stderr);
    visible_ = true;
}

void ConsoleProgressLine::clear() {
    if (!visible_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    visible_ = false;
}

MessageAnswer ConsoleMessageBoxes::show(const MessageBoxRequest& request) {
    const std::lock_guard lock(mutex_);
    progress_.clear();
    if (request.icon == MessageIcon::Error)
        ++failures_;
    else if (request.icon == MessageIcon::Exclamation)
        ++warnings_;
    MessageAnswer answer = MessageAnswer::Ok;
    switch (request.buttons) {
    case MessageButtons::Ok:
        answer = MessageAnswer::Ok;
        break;
    case MessageButtons::OkCancel:
        answer = okCancelAnswer_.value_or(MessageAnswer::Cancel);
        break;
    case MessageButtons::YesNoCancel:
        answer = MessageAnswer::Cancel;
        break;
    case MessageButtons::YesNo:
        answer = yesNoAnswer_.value_or(MessageAnswer::No);
        break;
    }
    const std::string subject = subject_.empty() ? "" : subject_ + ": ";
    if (request.buttons == MessageButtons::Ok)
        std::fprintf(stderr, "kestrix-cli: %s%s\n", subject.c_str(), request.text.c_str());
    else
        std::fprintf(stderr, "kestrix-cli: %s%s (answered %s)\n", subject.c_str(), request.text.c_str(),
                     answerWord(answer));
    return answer;
}

DialogFontSize ConsoleView::dialogFontSize() const {
    // The console has no dialog font; these are the sizes the window is laid out for.
    return DialogFontSize{13, 7, 6};
}

void ConsoleView::setWaitCursor(bool waiting) {
    if (!waiting)
        progress_.clear();
}

void ConsoleView::showWaitWindow(const std::string& title, const std::string& pleaseWait) {
    progress_.show(title + " " + pleaseWait);
}

void ConsoleView::listFileLineLeftOut(const std::string& line, const std::string& reason) {
    progress_.clear();
    ++linesLeftOut_;
    std::fprintf(stderr, "kestrix-cli: left out '%s': %s\n", echoed(line).c_str(), reason.c_str());
}

void ConsoleView::showTclConsole(CTerminalTCL& console) {
    tclConsole_ = &console;
    console.attachView(tclView_);
}

void ConsoleView::showSetupEditor(CTerminalSetup& editor) {
    setupEditor_ = &editor;
    editor.attachView(setupProgress_);
}

void ConsoleView::showFirmwareUpdate(FirmwareUpdate& dialog) {
    if (!onFirmwareUpdate)
        throw std::logic_error("the firmware update dialog has no view on this command line");
    onFirmwareUpdate(dialog);
}

void ConsoleView::showLoadLBusKey(CLoadLBusKey& dialog) {
    if (!onLoadLBusKey)
        throw std::logic_error("the LBus security dialog has no view on this command line");
    onLoadLBusKey(dialog);
}

void ConsoleView::showKeyboardEditor(Matrix_Win&) {
    // The command line sends and fetches keyboard files without the editor.
    throw std::logic_error("the keyboard editor has no view on this command line");
}

void ConsoleView::closeActionDialog() {
    if (tclConsole_ != nullptr)
        tclConsole_->detachView();
    tclConsole_ = nullptr;
    if (setupEditor_ != nullptr)
        setupEditor_->detachView();
    setupEditor_ = nullptr;
    resetDialog_ = nullptr;
    setIPAddressDialog_ = nullptr;
}

void ConsoleView::setActionStatusLine(const std::string& text) {
    progress_.clear();
    if (!text.empty())
        std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
}

WaitTicker::WaitTicker(std::string what) : what_(std::move(what)), thread_([this] { run(); }) {}

WaitTicker::~WaitTicker() {
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WaitTicker::run() {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(5), [this] { return stopped_; })) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        std::fprintf(stderr, "kestrix-cli: %s (%lld s)\n", what_.c_str(),
                     static_cast<long long>(seconds.count()));
    }
}

bool loginWithPassword(CLoginForSetup& login, const std::string& password) {
    for (int grade = CLoginForSetup::kGrades; grade >= 1; --grade)
        if (login.matches(grade, password))
            return login.OnOK(grade, password);
    login.OnOK(login.preselectedGrade(), password);
    return false;
}

ConsoleWindow::ConsoleWindow(const Invocation& invocation)
    : dialog(view, messageBoxes, CommandLineSwitches{StartWarning::Suppressed, invocation.adding}) {}

bool ConsoleWindow::start(const Invocation& invocation) {
    if (!dialog.OnInitDialog())
        return false;
    if (invocation.groupGiven)
        dialog.engine().setT7000ipMaintGroup(invocation.maintenanceGroup);
    return true;
}

bool ConsoleWindow::startWithTerminal(const Invocation& invocation, const std::string& terminal) {
    if (!start(invocation))
        return false;
    messageBoxes.setSubject(terminal);
    dialog.OnAddIPAddr(terminal);
    if (dialog.terminalList().empty())
        return false; // why it was not found has been shown
    dialog.OnSelectionChange({0});
    return true;
}

} // namespace kestrix::cli
