#pragma once

#include "crypto/aes.h"
#include "platform/pane_dialog.h"
#include "tcl_console/tcl_socket.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

class ActionOwner;
class Terminal;

// The console's controls as its logic sets them. Every call but the two
// output calls comes from the thread that runs the console's operations (the
// view runs connecting on a worker, since a connect may take seconds). The
// output calls come from the connection's worker thread: a window forwards
// them to its own thread without waiting (the console's thread may be
// waiting for that worker).
class TerminalTCLView {
public:
    virtual ~TerminalTCLView() = default;

    virtual void setHeader(const std::string& text) = 0;
    // The send, download and set-date-and-time buttons.
    virtual void setConnectedControlsEnabled(bool enabled) = 0;

    // The output area gets one more line at its end (the text before it
    // already ends with a line end). From the connection's worker.
    virtual void appendOutputLine(const std::string& line) = 0;
    // The output area's whole text after its oldest tenth was removed (the
    // logic's text, with "\r\n" line ends). From the connection's worker.
    virtual void replaceOutput(const std::string& text) = 0;

    // The statement box: its history, newest first, the top entry selected.
    virtual void showStatementHistory(const std::vector<std::string>& history) = 0;
    // The statement box's text (after ESC was appended).
    virtual void setStatementText(const std::string& text) = 0;

    // The file list ("---" alone when there is nothing to choose) and the
    // entry selected in it (-1: none).
    virtual void showFileList(const std::vector<std::string>& names, int selected) = 0;
    // The preview label: the first two non-empty lines of the selected file.
    virtual void setPreview(const std::string& text) = 0;

    // The poll timer: the view calls CTerminalTCL::OnTimer(kPollTimerId)
    // every kPollPeriodMilliseconds until it is stopped, never while an
    // operation of the console runs. False when it cannot be started.
    virtual bool startPollTimer() = 0;
    virtual void stopPollTimer() = 0;

    // The open-file dialog for TCL files (existing files only), starting in
    // the directory with the filter text; nothing when cancelled.
    virtual std::optional<std::string> askTclFile(const std::string& directory, const std::string& filter) = 0;
};

// How a TCL file's download ended.
struct DownloadResult {
    bool completed = false; // every line was sent (false: not opened, or a send failed)
    int linesSent = 0;
};

// `CTerminalTCL`, the TCL console: talks to one listed terminal's TCL
// application over its TCL host port. It connects as it opens, shows every
// line the terminal sends, sends statements typed by the user (with a history
// of ten), downloads a TCL file line by line, sets the terminal's clock from
// the PC's and offers the test programs of "TCLTests" in the start directory.
// The connection's end is seen only through the process-wide abort event at
// the next poll of the timer.
//
// It does not log in: the main window obtains the key (CLoginForTCL) before it
// opens the console, and checks that the terminal takes a TCL connection.
// Its calls (but addOutputLine) come from one thread at a time.
class CTerminalTCL : public PaneDialog, public TCLOutputSink {
public:
    static constexpr int kPollTimerId = 1;
    static constexpr int kPollPeriodMilliseconds = 1000;
    // The statement box takes 254 characters; SendTCLCmd cuts at 255.
    static constexpr std::size_t kStatementLimit = 254;
    static constexpr std::size_t kSendLimit = 255;
    static constexpr std::size_t kHistoryEntries = 10;
    // The output area's text limit L: at L the oldest tenth goes.
    static constexpr std::size_t kOutputLimit = 1024 * 1024;
    // A file line is read up to this many characters.
    static constexpr std::size_t kFileLineLimit = 255;
    // The selected file's path holds at most this many characters.
    static constexpr std::size_t kFilePathLimit = 259;

    // The console for list entry listIndex of the owner. The key is needed
    // (and kept) only when the terminal encrypts its TCL traffic.
    CTerminalTCL(ActionOwner& owner, std::size_t listIndex, const std::optional<AesKey>& key);
    ~CTerminalTCL() override;

    // The view shows the console from now on; detachView before it goes.
    void attachView(TerminalTCLView& view);
    void detachView();

    // Opening: connects, enables the three buttons by the result, lists the
    // test programs. True when connected.
    bool OnInitDialog();
    // Connects and sends the first statement; on failure shows why. True when connected.
    bool TCLConnect();
    // The connection has ended: frees it and stops the timer; while the view
    // is shown, disables the three buttons and says so, else sends the idle message.
    void TCLSocketEnd();
    void OnTimer(int timerId);

    void OnButtonConn();
    // Send: the statement box's text (history, carriage return, SendTCLCmd).
    void OnButtonSend(const std::string& boxText);
    // ESC: appends the ESC character to the box's text.
    void OnButtonEsc(const std::string& boxText);
    // Sends the text as it is (cut at 255 characters); false when it failed (shown).
    bool SendTCLCmd(const std::string& text);

    void OnButtonFile();
    // A file list entry was selected (index into the names shown).
    void OnSelectFile(int index);
    void OnButtonDownload();
    DownloadResult Download(const std::string& path);
    // Sets the terminal's clock to the PC's local time, then offers to read it back.
    void OnButtonDateTime();
    // The same for a given local time (tests).
    void sendDateTime(const std::tm& localTime);

    // From the connection's worker thread.
    void addOutputLine(const std::string& text) override;

    // Asked by the main window before it closes the console: ends a connection.
    void Quit();
    // The main window may always close the console; it quits first.
    bool QueryTerminate() override;
    // The console's close: with a connection as Quit, else the idle message.
    void OnClose();

    bool connected() const { return socket_ != nullptr; }
    const std::string& header() const { return header_; }
    const std::vector<std::string>& history() const { return history_; }
    const std::string& selectedFile() const { return selectedFile_; }
    // The output area's text as the logic keeps it.
    std::string output() const;

private:
    // The file list as shown: a chosen file (absolute path) first, then the test programs.
    void showFiles();
    void selectFile(const std::string& path);

    ActionOwner& owner_;
    std::size_t listIndex_;
    bool encrypt_ = false;
    AesMode cipherMode_ = AesMode::Legacy;
    AesKey key_{};
    std::unique_ptr<TCLSocket> socket_;
    std::string header_;
    std::vector<std::string> history_;
    std::string chosenFile_;
    std::vector<std::string> testPrograms_;
    std::string selectedFile_;
    bool timerRunning_ = false;

    mutable std::mutex outputMutex_; // guards output_ and view_ against the connection's worker
    std::string output_;
    TerminalTCLView* view_ = nullptr;
};

} // namespace kestrix
