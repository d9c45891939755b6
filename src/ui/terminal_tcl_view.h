#pragma once

#include "tcl_console/terminal_tcl.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace kestrix {

class CToolBoxLang;

// The output area's text for the screen: every "\r\n" is one line break; a
// lone carriage return or line feed shows as nothing, as the console has
// always shown it (the line feed that a terminal's CR LF leaves at the start
// of the next line included: an answer is followed by one empty line). Each
// line is read as UTF-8, or as Latin-1 when it is not valid UTF-8.
QString outputDisplayText(std::string_view text);

// The TCL console in the main window's detail pane: the header with a small
// close button, the output area, the statement box with ESC and Send, the
// file list with the file chooser and its preview, Download, Set date/time
// and Connect/Disconnect. Return sends; Escape and the close button close.
//
// Threads: the output calls come from the connection's worker and are queued
// to this widget's thread without waiting; the other calls of the logic may
// come from the window's worker and run here while the caller waits. Send,
// Download, Set date/time, Connect/Disconnect and Close run on the window's
// worker through runLong (the window disables the pane meanwhile); ESC, the
// file list and the file chooser run here. The poll timer calls the logic's
// OnTimer here, skipping a tick while an operation of the window runs or while
// this widget is inside another call of the logic (a dialog it opened).
//
// It decides nothing: texts and enabled states come from the logic. It
// attaches itself to the logic when made and detaches before it goes; the
// logic outlives it.
class TerminalTclView : public QWidget, public TerminalTCLView {
    Q_OBJECT
public:
    using LongOperationRunner = std::function<void(std::function<void()>)>;

    TerminalTclView(CTerminalTCL& dialog, const CToolBoxLang& language, LongOperationRunner runLong,
                    std::function<bool()> operationRunning, QWidget* parent);
    ~TerminalTclView() override;

    // TerminalTCLView
    void setHeader(const std::string& text) override;
    void setConnectedControlsEnabled(bool enabled) override;
    void appendOutputLine(const std::string& line) override;
    void replaceOutput(const std::string& text) override;
    void showStatementHistory(const std::vector<std::string>& history) override;
    void setStatementText(const std::string& text) override;
    void showFileList(const std::vector<std::string>& names, int selected) override;
    void setPreview(const std::string& text) override;
    bool startPollTimer() override;
    void stopPollTimer() override;
    std::optional<std::string> askTclFile(const std::string& directory, const std::string& filter) override;

protected:
    // Return sends (the send button is the default button), Escape closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls(const CToolBoxLang& language);
    void buildLayout(const CToolBoxLang& language);
    // Runs call of the logic on this thread unless the logic is busy.
    void callHere(const std::function<void()>& call);
    void onPollTick();
    void appendHere(const QString& lines);
    void replaceHere(const QString& text);
    void scrollToEnd();

    CTerminalTCL& dialog_;
    LongOperationRunner runLong_;
    std::function<bool()> operationRunning_;
    QString connectText_;
    QString disconnectText_;
    bool callingLogic_ = false;

    QLabel* header_ = nullptr;
    QToolButton* close_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QComboBox* statement_ = nullptr;
    QPushButton* escape_ = nullptr;
    QPushButton* send_ = nullptr;
    QComboBox* files_ = nullptr;
    QPushButton* chooseFile_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* dateTime_ = nullptr;
    QPushButton* connection_ = nullptr;
    QTimer* pollTimer_ = nullptr;
};

} // namespace kestrix
