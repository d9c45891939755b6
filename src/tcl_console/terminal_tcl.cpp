#include "tcl_console/terminal_tcl.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/process_abort_event.h"
#include "platform/local_time_text.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kestrix {

namespace {

// Message table entries of the console.
constexpr int kOnlineAsHost = 65;          // "ist bereits als Host online."
constexpr int kConnectedTo = 490;          // "Verbindung zu"
constexpr int kWithAddress = 491;          // "mit IP-Adresse"
constexpr int kAndPort = 492;              // "und Portnummer"
constexpr int kIsConnected = 493;          // "ist aufgebaut:"
constexpr int kFirstStatement = 494;       // "ISR,'Verbindung OK':\r"
constexpr int kNotConnected = 495;         // "Es konnte keine Verbindung aufgebaut werden."
constexpr int kConnectFailed = 496;        // "Verbindung zum Terminal konnte nicht aufgebaut werden."
constexpr int kConnectTimedOut = 497;      // "Timeout beim Verbindungsaufbau zum Terminal."
constexpr int kSocketError = 498;          // "Socket Fehler: "
constexpr int kDisconnectFailed = 499;     // "Abbruch der Verbindung fehlgeschlagen."
constexpr int kConnectionEnded = 500;      // "Die Verbindung ist abgebaut."
constexpr int kConnectionClosed = 501;     // "Die Verbindung zum Terminal ist abgebaut."
constexpr int kCannotSend = 502;           // "Das Senden ans Terminal wurde mit Fehler beendet."
constexpr int kOutputTruncated = 503;      // "\r\n(Ausgabe gekürzt!)\r\n"
constexpr int kTclFilesFilter = 504;       // "TCL-Dateien (*.tcl)"
constexpr int kSelectFileFirst = 506;      // "Wählen Sie zunächst eine Datei aus!"
constexpr int kCannotOpen = 507;           // "Fehler beim Öffnen von"
constexpr int kSent = 508;                 // "gesendet"
constexpr int kLines = 509;                // "Zeilen"
constexpr int kClockSetTo = 511;           // " ist eingestellt auf "
constexpr int kReadClockBack = 512;        // "Aktuelle Zeit mit TCL-Anweisungen auslesen?"

constexpr const char* kNoFiles = "---";
constexpr char kEscape = 27;
constexpr const char* kReadClockStatement =
    "ISR,KT+2,2&'.'&KT,2&'.'&KT+5,4:SR,UR,2&':'&UR+3,2&':'&UR+6,2:\r";

std::string testProgramDirectory(const ActionOwner& owner) {
    return owner.startDirectory() + "/TCLTests";
}

// The regular files of the test program folder by name; empty when there is
// no such folder.
std::vector<std::string> listTestPrograms(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.front() != '.' && entry->is_regular_file(error))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The file's lines as a text-mode read gives them (without CR LF), each cut
// at lineLimit characters. cutLines counts the lines that were longer: their
// rest is dropped, never taken as a line of its own.
struct FileLines {
    bool opened = false;
    std::vector<std::string> lines;
    int cutLines = 0;
};

FileLines readFileLines(const std::string& path, std::size_t lineLimit, std::size_t maximumLines) {
    FileLines result;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return result;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return result;
    result.opened = true;
    std::string line;
    while (result.lines.size() < maximumLines && std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > lineLimit) {
            line.resize(lineLimit);
            ++result.cutLines;
        }
        result.lines.push_back(line);
    }
    return result;
}

} // namespace

CTerminalTCL::CTerminalTCL(ActionOwner& owner, std::size_t listIndex, const std::optional<AesKey>& key)
    : owner_(owner), listIndex_(listIndex) {
    Terminal& terminal = owner_.terminalAt(listIndex_);
    trace("CTerminalTCL::CTerminalTCL() für '%s'\n", terminal.IPAddrInUse.c_str());
    encrypt_ = terminal.Encrypt;
    cipherMode_ = terminal.usesEncryptedTcl() ? AesMode::Standard : AesMode::Legacy;
    if (encrypt_ && key)
        key_ = *key;
}

CTerminalTCL::~CTerminalTCL() {
    trace("~CTerminalTCL() startet\n");
    trace(socket_ ? "~CTerminalTCL() pTCLSocket != NULL\n" : "~CTerminalTCL() pTCLSocket == NULL\n");
    socket_.reset();
}

void CTerminalTCL::attachView(TerminalTCLView& view) {
    std::lock_guard lock(outputMutex_);
    view_ = &view;
}

void CTerminalTCL::detachView() {
    std::lock_guard lock(outputMutex_);
    view_ = nullptr;
}

bool CTerminalTCL::OnInitDialog() {
    const bool connectedNow = TCLConnect();
    if (view_)
        view_->setConnectedControlsEnabled(connectedNow);
    testPrograms_ = listTestPrograms(testProgramDirectory(owner_));
    if (!testPrograms_.empty())
        selectFile(testProgramDirectory(owner_) + "/" + testPrograms_.front());
    showFiles();
    return connectedNow;
}

bool CTerminalTCL::TCLConnect() {
    trace("CTerminalTCL::TCLConnect(): startet\n");
    const CToolBoxLang& language = owner_.language();
    owner_.setWaitCursor(true);
    timerRunning_ = view_ != nullptr && view_->startPollTimer();
    trace(timerRunning_ ? "CTerminalTCL::TCLConnect(): SetTimer() ok\n"
                        : "CTerminalTCL::TCLConnect(): SetTimer() faled\n");
    Terminal& terminal = owner_.terminalAt(listIndex_);
    try {
        socket_ = std::make_unique<TCLSocket>(terminal.tftpAddress(), terminal.TclPort, *this, encrypt_,
                                              cipherMode_, key_);
        trace("CTerminalTCL::TCLConnect(): nach new TCLSocket()\n");
        char text[512] = {};
        std::snprintf(text, sizeof text, "%s %s %s %s %s %u %s", language.GetText(kConnectedTo).c_str(),
                      terminal.SerialNumber.c_str(), language.GetText(kWithAddress).c_str(),
                      terminal.IPAddrInUse.c_str(), language.GetText(kAndPort).c_str(),
                      static_cast<unsigned>(terminal.TclPort), language.GetText(kIsConnected).c_str());
        header_ = text;
        if (view_)
            view_->setHeader(header_);
        // The terminal answers with the text: the first line of the output.
        SendTCLCmd(language.GetText(kFirstStatement));
        owner_.setWaitCursor(false);
        return true;
    } catch (const TCLSocket::TCLSocketError& error) {
        header_ = language.GetText(kNotConnected);
        if (view_)
            view_->setHeader(header_);
        trace("CTerminalTCL::TCLConnect(): Socket Error %d\n", error.code);
        std::string message;
        if (error.code == ECONNREFUSED) {
            // Refused: another host may hold the terminal's TCL connection.
            const std::string host = terminal.T7000ipGetHostInfo();
            message = host.empty() ? language.GetText(kConnectFailed)
                                   : host + " " + language.GetText(kOnlineAsHost);
        } else if (error.code == ETIMEDOUT || error.code == EHOSTUNREACH) {
            message = language.GetText(kConnectTimedOut);
        } else {
            message = language.GetText(kSocketError) + error.text;
        }
        if (timerRunning_ && view_)
            view_->stopPollTimer();
        timerRunning_ = false;
        owner_.setWaitCursor(false);
        owner_.messageBoxes().show({kProductCaption, message, MessageIcon::Error});
        return false;
    }
}

void CTerminalTCL::TCLSocketEnd() {
    trace("CTerminalTCL::TCLSocketEnd(): TCLSocket hat Ende signalisiert\n");
    socket_.reset();
    // The worker has ended: a notice it left in the process-wide event
    // belongs to this connection, never to the next one.
    processAbortEvent().wait(std::chrono::milliseconds(0));
    trace("CTerminalTCL::TCLSocketEnd(): pTCLSocket wieder NULL\n");
    if (timerRunning_ && view_)
        view_->stopPollTimer();
    timerRunning_ = false;
    if (view_) {
        const CToolBoxLang& language = owner_.language();
        view_->setConnectedControlsEnabled(false);
        header_ = language.GetText(kConnectionEnded);
        view_->setHeader(header_);
        owner_.messageBoxes().show({kProductCaption, language.GetText(kConnectionClosed), MessageIcon::Information});
    } else {
        owner_.postIdleMessage();
    }
}

void CTerminalTCL::OnTimer(int timerId) {
    trace("CTerminalTCL::OnTimer(): Start %d\n", timerId);
    if (timerId != kPollTimerId || !socket_)
        return;
    switch (processAbortEvent().wait(std::chrono::milliseconds(0))) {
    case WaitResult::Signalled:
        trace("CTerminalTCL::OnTimer(): WaitForSingleObject() Abort Event erhalten\n");
        TCLSocketEnd();
        break;
    case WaitResult::Timeout:
        break;
    default:
        trace("CTerminalTCL::OnTimer() WaitForSingleObject() returned: error=%d: %s\n", errno,
              errorText(errno).c_str());
        break;
    }
}

void CTerminalTCL::OnButtonConn() {
    trace("CTerminalTCL::OnButtonConn() startet\n");
    if (socket_) {
        if (socket_->CancelTCLSocket() != 0)
            owner_.messageBoxes().show(
                {kProductCaption, owner_.language().GetText(kDisconnectFailed), MessageIcon::Error});
        TCLSocketEnd();
        return;
    }
    const bool connectedNow = TCLConnect();
    if (view_)
        view_->setConnectedControlsEnabled(connectedNow);
}

void CTerminalTCL::OnButtonSend(const std::string& boxText) {
    const std::string text = boxText.substr(0, kSendLimit);
    if (text.empty())
        return;
    if (history_.empty() || history_.front() != text) {
        if (history_.size() >= kHistoryEntries)
            history_.resize(kHistoryEntries - 1);
        history_.insert(history_.begin(), text);
    }
    if (view_)
        view_->showStatementHistory(history_);
    SendTCLCmd(text + "\r");
}

void CTerminalTCL::OnButtonEsc(const std::string& boxText) {
    if (view_)
        view_->setStatementText(boxText + kEscape);
}

bool CTerminalTCL::SendTCLCmd(const std::string& text) {
    trace("CTerminalTCL::SendTCLCmd(): len: %d TCLline: '%s'\n", static_cast<int>(text.size()), text.c_str());
    const CToolBoxLang& language = owner_.language();
    // The statement goes out from a buffer of 256 bytes: at most 255 characters.
    std::array<std::uint8_t, kSendLimit + 1> buffer{};
    std::size_t length = std::min(text.size(), kSendLimit);
    std::copy_n(text.begin(), length, buffer.begin());
    try {
        if (!socket_)
            throw std::logic_error("not connected");
        socket_->write(buffer.data(), length);
        return true;
    } catch (const TCLSocket::TCLSocketError& error) {
        trace("CTerminalTCL::SendTCLCmd(): pTCLSocket->write() failed: %s\n", error.text.c_str());
        owner_.messageBoxes().show({kProductCaption, language.GetText(kSocketError) + error.text, MessageIcon::Error});
    } catch (...) {
        trace("CTerminalTCL::SendTCLCmd(): any else exception\n");
        owner_.messageBoxes().show({kProductCaption, language.GetText(kCannotSend), MessageIcon::Error});
    }
    return false;
}

void CTerminalTCL::showFiles() {
    std::vector<std::string> names;
    if (!chosenFile_.empty())
        names.push_back(chosenFile_);
    names.insert(names.end(), testPrograms_.begin(), testPrograms_.end());
    int selected = -1;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string path =
            index == 0 && !chosenFile_.empty() ? names[index] : testProgramDirectory(owner_) + "/" + names[index];
        if (path == selectedFile_)
            selected = static_cast<int>(index);
    }
    if (names.empty()) {
        // Nothing to choose: the list shows "---" as its entry.
        names.push_back(kNoFiles);
        selected = 0;
    }
    if (view_)
        view_->showFileList(names, selected);
}

void CTerminalTCL::selectFile(const std::string& path) {
    if (path.size() > kFilePathLimit) {
        trace("TerminalTCL: Pfad mit %zu Zeichen zu lang: %s\n", path.size(), path.c_str());
        owner_.messageBoxes().show(
            {kProductCaption, owner_.language().GetText(kCannotOpen) + " " + path + ".", MessageIcon::Error});
        return;
    }
    selectedFile_ = path;
    std::string preview;
    for (const std::string& line : readFileLines(path, kFileLineLimit, SIZE_MAX).lines) {
        if (line.empty())
            continue;
        preview += line + "\n";
        if (std::count(preview.begin(), preview.end(), '\n') == 2)
            break;
    }
    if (view_)
        view_->setPreview(preview);
    trace("TerminalTCL: %s ist TCLFile\n", path.c_str());
}

void CTerminalTCL::OnButtonFile() {
    if (!view_)
        return;
    const std::optional<std::string> chosen =
        view_->askTclFile(owner_.startDirectory(), owner_.language().GetText(kTclFilesFilter));
    if (!chosen)
        return;
    std::error_code error;
    const std::string path = std::filesystem::absolute(*chosen, error).string();
    selectFile(path);
    if (selectedFile_ != path)
        return;
    chosenFile_ = path;
    showFiles();
}

void CTerminalTCL::OnSelectFile(int index) {
    const std::size_t offset = chosenFile_.empty() ? 0 : 1;
    if (index < 0)
        return;
    const auto entry = static_cast<std::size_t>(index);
    if (entry < offset) {
        selectFile(chosenFile_);
    } else if (entry - offset < testPrograms_.size()) {
        // A name that is a path is taken as it is, any other is a test program.
        const std::string& name = testPrograms_[entry - offset];
        selectFile(name.front() == '/' ? name : testProgramDirectory(owner_) + "/" + name);
    }
}

void CTerminalTCL::OnButtonDownload() {
    if (selectedFile_.empty()) {
        owner_.messageBoxes().show(
            {kProductCaption, owner_.language().GetText(kSelectFileFirst), MessageIcon::Information});
        return;
    }
    owner_.setWaitCursor(true);
    Download(selectedFile_);
    owner_.setWaitCursor(false);
}

DownloadResult CTerminalTCL::Download(const std::string& path) {
    const CToolBoxLang& language = owner_.language();
    DownloadResult result;
    const FileLines file = readFileLines(path, kFileLineLimit, SIZE_MAX);
    if (!file.opened) {
        owner_.messageBoxes().show(
            {kProductCaption, language.GetText(kCannotOpen) + " " + path + ".", MessageIcon::Error});
        return result;
    }
    if (file.cutLines > 0)
        trace("CTerminalTCL::Download(): %d Zeilen über %zu Zeichen gekürzt\n", file.cutLines, kFileLineLimit);
    for (const std::string& line : file.lines) {
        // Empty lines and comments ("*" first) are not sent.
        if (line.empty() || line.front() == '*')
            continue;
        std::array<std::uint8_t, kFileLineLimit + 1> buffer{};
        std::copy(line.begin(), line.end(), buffer.begin());
        buffer[line.size()] = '\r';
        std::size_t length = line.size() + 1;
        try {
            if (!socket_)
                throw std::logic_error("not connected");
            socket_->write(buffer.data(), length);
        } catch (const TCLSocket::TCLSocketError& error) {
            trace("CTerminalTCL::Download(): pTCLSocket->write() failed: %s\n", error.text.c_str());
            owner_.messageBoxes().show(
                {kProductCaption, language.GetText(kSocketError) + error.text, MessageIcon::Error});
            return result;
        } catch (...) {
            trace("CTerminalTCL::Download(): any else exception\n");
            owner_.messageBoxes().show({kProductCaption, language.GetText(kCannotSend), MessageIcon::Error});
            return result;
        }
        ++result.linesSent;
    }
    result.completed = true;
    char text[1024] = {};
    std::snprintf(text, sizeof text, "%s %s (%d %s).", path.c_str(), language.GetText(kSent).c_str(),
                  result.linesSent, language.GetText(kLines).c_str());
    owner_.messageBoxes().show({kProductCaption, text, MessageIcon::Information});
    return result;
}

void CTerminalTCL::OnButtonDateTime() {
    sendDateTime(localTimeNow());
}

void CTerminalTCL::sendDateTime(const std::tm& localTime) {
    const CToolBoxLang& language = owner_.language();
    char statement[128] = {};
    std::snprintf(statement, sizeof statement, "IK,'%02d%02d%1d%4.4d',KT:K,'%02d:%02d:%02d',UR:\r",
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_wday, localTime.tm_year + 1900,
                  localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    if (!SendTCLCmd(statement))
        return;
    const std::string question = owner_.terminalAt(listIndex_).SerialNumber + language.GetText(kClockSetTo) +
                                 dateTimeText(localTime) + "!\n" +
                                 language.GetText(kReadClockBack);
    if (owner_.messageBoxes().show({kProductCaption, question, MessageIcon::Information, MessageButtons::YesNo}) ==
        MessageAnswer::Yes)
        SendTCLCmd(kReadClockStatement);
}

void CTerminalTCL::addOutputLine(const std::string& text) {
    std::lock_guard lock(outputMutex_);
    const std::string piece = "\r\n" + text + "\r\n";
    bool truncated = false;
    if (output_.size() + piece.size() > kOutputLimit) {
        trace("Anfang der Ausgabe um %u gekürzt\n", static_cast<unsigned>(kOutputLimit / 10));
        output_.replace(0, kOutputLimit / 10, owner_.language().GetText(kOutputTruncated));
        truncated = true;
    }
    // The piece takes the place of the line end that ends the text.
    output_.erase(output_.size() - std::min<std::size_t>(2, output_.size()));
    output_ += piece;
    if (!view_)
        return;
    if (truncated)
        view_->replaceOutput(output_);
    else
        view_->appendOutputLine(text);
}

std::string CTerminalTCL::output() const {
    std::lock_guard lock(outputMutex_);
    return output_;
}

void CTerminalTCL::Quit() {
    trace("CTerminalTCL::Quit() startet\n");
    if (!socket_)
        return;
    if (socket_->CancelTCLSocket() != 0)
        owner_.messageBoxes().show({kProductCaption, owner_.language().GetText(kDisconnectFailed), MessageIcon::Error});
    TCLSocketEnd();
}

bool CTerminalTCL::QueryTerminate() {
    Quit();
    return true;
}

void CTerminalTCL::OnClose() {
    trace("CTerminalTCL::OnClose() entered\n");
    if (socket_)
        Quit();
    else
        owner_.postIdleMessage();
}

} // namespace kestrix
