#pragma once

#include "mainwindow/command_line.h"
#include "mainwindow/main_dialog.h"
#include "ui/background_operation.h"
#include "ui/main_window.h"
#include "ui/qt_main_dialog_view.h"
#include "ui/qt_message_boxes.h"

#include <QObject>

#include <functional>
#include <optional>

namespace kestrix {

// The application object `CToolBoxApp`: builds the main window, its view and
// message boxes and the main dialog's logic (CToolBoxDlg), and carries the
// user's actions to the logic. Search, add, the maintenance group (with its
// new search), the Reset and TCL buttons (their checks, block fetch and
// login, the console's connect), an action dialog's long operations and the
// shutdown question (with saving the list) run on the
// worker thread, one at a time, with the controls disabled; everything else
// runs at once on the user-interface thread. A close request while an
// operation runs waits for it: the shutdown question follows its end. An
// action dialog's idle message is answered (ShowIdleWindow) on this thread
// once no operation runs.
//
// It needs a QApplication; it does not run the event loop.
class CToolBoxApp : public QObject {
    Q_OBJECT
public:
    explicit CToolBoxApp(CommandLineSwitches switches);
    ~CToolBoxApp() override;

    // The main dialog's start-up; false when the program must end (the
    // reason has been shown).
    bool initInstance();

    MainWindow& window() { return window_; }
    CToolBoxDlg& dialog() { return dialog_; }
    bool operationRunning() const { return operation_.running(); }

private:
    void connectWindow();
    // Runs operation on the worker thread unless one runs already.
    void runInBackground(std::function<void()> operation, std::function<void()> whenDone = {});
    // Runs a quick call of the logic here, unless an operation runs.
    void runHere(const std::function<void()>& call);
    // Close button (OnClose) and Escape (OnCancel) decide; a running
    // operation first ends.
    void requestShutdown(CloseRequest way);
    // Delivers a posted idle message unless an operation runs.
    void deliverIdleMessage();

    MainWindow window_;
    QtMainDialogView view_;
    QtMessageBoxes messageBoxes_;
    CToolBoxDlg dialog_;
    // Last: destroyed first, it waits for a running operation while the
    // window and the logic still exist.
    BackgroundOperation operation_;
    std::optional<CloseRequest> pendingShutdown_;
    bool idleMessagePending_ = false;
    bool mayEnd_ = false;
};

} // namespace kestrix
