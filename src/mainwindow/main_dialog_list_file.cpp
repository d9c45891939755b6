// Terminal list files ("*.rch"): one saved line per terminal, CR LF line ends,
// no header; and the buttons that empty the list.
#include "mainwindow/main_dialog.h"

#include "mainwindow/start_directory.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/terminal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The file the save replaces: the file a symbolic link leads to, so that the
// link stays.
std::filesystem::path saveTarget(const std::string& path) {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? std::filesystem::path(path) : resolved;
}

// A new file beside the target that the list is written to first (mode 0666
// less the process's file mask, or the mode of the file it replaces); -1 with
// errno set when none can be made. Refuses a target that is a directory or a
// file that may not be written, as opening the target itself would.
int createFileBeside(const std::filesystem::path& target, std::string& name) {
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target.string() + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            if (exists && S_ISREG(existing.st_mode) && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
                const int error = errno;
                ::close(descriptor);
                ::unlink(name.c_str());
                errno = error;
                return -1;
            }
            return descriptor;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
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
    const std::filesystem::path target = saveTarget(path);
    std::string temporary;
    const int descriptor = createFileBeside(target, temporary);
    std::FILE* file = descriptor < 0 ? nullptr : ::fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int error = errno;
        if (descriptor >= 0) {
            ::close(descriptor);
            ::unlink(temporary.c_str());
        }
        trace("CToolBoxDlg::WriteFile(): Fehler beim Öffnen von '%s': %s\n", path.c_str(),
              errorText(error).c_str());
        view_.setWaitCursor(false);
        message(path + " " + language_->GetText(22), MessageIcon::Exclamation);
        return;
    }

    bool written = true;
    for (std::size_t index = 0; written && index < list_.size(); ++index) {
        const std::string line = list_.at(index).fileLine();
        trace("CToolBoxDlg::WriteFile(): '%s'\n", line.c_str());
        written = std::fputs(line.c_str(), file) >= 0 && std::fputs("\r\n", file) >= 0;
    }
    written = written && std::fflush(file) == 0 && ::fsync(descriptor) == 0;
    int error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    view_.setWaitCursor(false);
    if (!written) {
        ::unlink(temporary.c_str());
        trace("CToolBoxDlg::WriteFile(): Fehler beim Schreiben in '%s': %s\n", path.c_str(),
              errorText(error).c_str());
        message(path + " " + language_->GetText(22), MessageIcon::Exclamation);
        return;
    }
    trace("CToolBoxDlg::WriteFile(): write done\n");
}

bool CToolBoxDlg::ReadFile(const std::string& fileName) {
    const std::string path =
        !fileName.empty() && fileName.front() == '/' ? fileName : startDirectoryFile(fileName);
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
            if (error.code == 4)
                routed = false;
        } catch (...) {
            trace("CToolBoxDlg::ReadFile(): '%s' catch unbekannten Fehler\n", line.c_str());
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
