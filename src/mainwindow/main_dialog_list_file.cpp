// Terminal list files ("*.rch"): one saved line per terminal, CR LF line ends,
// no header; the list's export as CSV or JSON; and the buttons that empty the list.
#include "mainwindow/main_dialog.h"

#include "mainwindow/list_export.h"
#include "mainwindow/start_directory.h"
#include "platform/error_text.h"
#include "platform/file_replacement.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/terminal.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace kestrix {

namespace {

// The longest line a list file may hold (without its line end).
constexpr std::size_t kMaxListFileLineLength = 260;

// Reads the next line without its line end (LF, or CR LF). A line longer than
// the limit is read to its end but handed back empty with tooLong set, so
// that no line grows without bound. False at the end of the file.
bool readLine(std::FILE* file, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    int character = std::getc(file);
    if (character == EOF)
        return false;
    for (; character != EOF && character != '\n'; character = std::getc(file)) {
        if (tooLong)
            continue;
        line += static_cast<char>(character);
        // One byte more than the limit is kept for a CR before the LF.
        if (line.size() > kMaxListFileLineLength + 1)
            tooLong = true;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxListFileLineLength)
        tooLong = true;
    return true;
}

} // namespace

void CToolBoxDlg::WriteFile() {
    if (list_.empty()) {
        trace("CToolBoxDlg::WriteFile(): Terminalliste leer\n");
        return;
    }
    std::optional<std::string> chosen = view_.askListFileName(startDirectory(), language_->GetText(62));
    if (!chosen)
        return;
    const std::string& path = *chosen;
    view_.setWaitCursor(true);

    // The list goes to a new file beside the target first, which replaces the
    // target only when it is complete: a failed save leaves the old list file.
    std::string contents;
    for (std::size_t index = 0; index < list_.size(); ++index) {
        const std::string line = list_.at(index).fileLine();
        trace("CToolBoxDlg::WriteFile(): '%s'\n", line.c_str());
        contents += line + "\r\n";
    }
    const std::string error = replaceFileContents(
        path, std::span(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()),
        FileSecrecy::FollowUmask);
    view_.setWaitCursor(false);
    if (!error.empty()) {
        trace("CToolBoxDlg::WriteFile(): Fehler beim Schreiben in '%s': %s\n", path.c_str(), error.c_str());
        message(path + " " + language_->GetText(22), MessageIcon::Exclamation);
        return;
    }
    trace("CToolBoxDlg::WriteFile(): write done\n");
}

void CToolBoxDlg::OnExport() {
    if (list_.empty())
        return;
    const std::optional<std::string> chosen = view_.askExportFileName(startDirectory());
    if (!chosen)
        return;
    const std::string& path = *chosen;
    const std::optional<ExportFormat> format = exportFormatOfPath(path);
    if (!format) {
        message(path + ": the name must end in .csv or .json", MessageIcon::Exclamation);
        return;
    }
    view_.setWaitCursor(true);
    const std::string contents = listExportText(list_, *format);
    const std::string error = replaceFileContents(
        path, std::span(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()),
        FileSecrecy::FollowUmask);
    view_.setWaitCursor(false);
    trace("CToolBoxDlg::OnExport(%s): %s\n", path.c_str(), error.empty() ? "written" : error.c_str());
    if (!error.empty())
        message(path + " " + language_->GetText(22), MessageIcon::Exclamation);
}

bool CToolBoxDlg::ReadFile(const std::string& fileName) {
    const std::string path =
        !fileName.empty() && fileName.front() == '/' ? fileName : startDirectoryFile(fileName);
    // A FIFO or device would hang the search or stream without end.
    if (const std::string refusal = checkRegularInput(path); !refusal.empty()) {
        trace("CToolBoxDlg::ReadFile(): %s\n", refusal.c_str());
        return true;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return true;
    view_.setProgressLine(path + " " + language_->GetText(73));
    trace("CToolBoxDlg::ReadFile(%s) Abarbeitung startet\n", path.c_str());

    bool routed = true;
    std::string line;
    bool tooLong = false;
    while (readLine(file, line, tooLong)) {
        if (tooLong) {
            trace("CToolBoxDlg::ReadFile(): Zeile länger als %zu Zeichen, übersprungen: '%.60s...'\n",
                  kMaxListFileLineLength, line.c_str());
            view_.listFileLineLeftOut(line.substr(0, 60) + "...",
                                      "longer than " + std::to_string(kMaxListFileLineLength) + " characters");
            continue;
        }
        view_.setProgressLine(language_->GetText(74) + " " + line.substr(0, 60) + "...");
        trace("CToolBoxDlg::ReadFile(): '%s'\n", line.c_str());
        if (line.empty())
            continue;
        try {
            insertTerminal(std::make_unique<Terminal>(*engine_, line));
        } catch (const Terminal::TerminalError& error) {
            trace("CToolBoxDlg::ReadFile(): '%s' nicht zu finden, error: %s\n", line.c_str(),
                  error.text.c_str());
            // A line of another form is told as such (its code is shared with bad addresses).
            const int entry = error.reason == Terminal::TerminalError::Reason::WrongLineFormat
                                  ? 8
                                  : terminalErrorMessageId(error.code);
            view_.listFileLineLeftOut(line, language_->GetText(entry));
            if (error.code == 4)
                routed = false;
        } catch (...) {
            trace("CToolBoxDlg::ReadFile(): '%s' catch unbekannten Fehler\n", line.c_str());
            view_.listFileLineLeftOut(line, "unknown error");
        }
    }
    std::fclose(file);
    return routed;
}

void CToolBoxDlg::OnClearList() {
    list_.clear();
    selection_.clear();
    publishRows();
    ShowIdleWindow();
}

void CToolBoxDlg::OnRemoveSelected() {
    list_.remove(selection_);
    selection_.clear();
    publishRows();
    // The detail pane showed a terminal that is no longer listed.
    ShowIdleWindow();
    view_.setActionButtonsEnabled(true);
}

} // namespace kestrix
