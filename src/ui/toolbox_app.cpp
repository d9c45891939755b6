#include "ui/toolbox_app.h"

#include <QMetaObject>

#include <string>
#include <vector>

namespace kestrix {

CToolBoxApp::CToolBoxApp(CommandLineSwitches switches)
    : view_(
          window_, [this](std::function<void()> operation) { runInBackground(std::move(operation)); },
          [this] { return operation_.running(); },
          [this] {
              // From any thread: answered on this one, after the poster's call has returned.
              QMetaObject::invokeMethod(
                  this,
                  [this] {
                      idleMessagePending_ = true;
                      deliverIdleMessage();
                  },
                  Qt::QueuedConnection);
          }),
      messageBoxes_(window_), dialog_(view_, messageBoxes_, switches) {
    connect(&operation_, &BackgroundOperation::runningChanged, &window_, &MainWindow::setOperationRunning);
    connectWindow();
}

CToolBoxApp::~CToolBoxApp() = default;

bool CToolBoxApp::initInstance() {
    return dialog_.OnInitDialog();
}

void CToolBoxApp::connectWindow() {
    connect(&window_, &MainWindow::searchClicked, this,
            [this] { runInBackground([this] { dialog_.OnNewTerminalList(); }); });
    connect(&window_, &MainWindow::addClicked, this, [this](const std::string& text) {
        runInBackground([this, text] { dialog_.OnAddIPAddr(text); });
    });
    connect(&window_, &MainWindow::maintenanceGroupClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonSetKeyAndShow(); }); });
    connect(&window_, &MainWindow::resetClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonReset(); }); });
    connect(&window_, &MainWindow::setupClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonSetup(); }); });
    connect(&window_, &MainWindow::firmwareClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonFirmUpdate(); }); });
    connect(&window_, &MainWindow::lbusClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonLbuskey(); }); });
    connect(&window_, &MainWindow::keyboardClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonKeyb(); }); });
    connect(&window_, &MainWindow::tclClicked, this,
            [this] { runInBackground([this] { dialog_.OnButtonTcl(); }); });
    connect(&window_, &MainWindow::setipaClicked, this,
            [this] { runHere([this] { dialog_.OnButtonSetipa(); }); });
    connect(&window_, &MainWindow::clearClicked, this,
            [this] { runHere([this] { dialog_.OnClearList(); }); });
    // The export looks up missing DNS names: it runs beside the window, as a list file does.
    connect(&window_, &MainWindow::exportClicked, this,
            [this] { runInBackground([this] { dialog_.OnExport(); }); });
    connect(&window_, &MainWindow::removeClicked, this,
            [this] { runHere([this] { dialog_.OnRemoveSelected(); }); });
    connect(&window_, &MainWindow::selectionChanged, this, [this](const std::vector<std::size_t>& selected) {
        runHere([this, &selected] { dialog_.OnSelectionChange(selected); });
    });
    connect(&window_, &MainWindow::selectorChanged, this,
            [this](int index) { runHere([this, index] { dialog_.OnSelectorChange(index); }); });
    connect(&window_, &MainWindow::sortOrderChosen, this,
            [this](SortOrder order) { runHere([this, order] { dialog_.OnSortOrder(order); }); });
    connect(&window_, &MainWindow::groupFilterChosen, this,
            [this](GroupFilter filter) { runHere([this, filter] { dialog_.OnGroupFilter(filter); }); });
    connect(&window_, &MainWindow::ipv6Shown, this,
            [this](bool shown) { runHere([this, shown] { dialog_.OnShowIPv6(shown); }); });
    connect(&window_, &MainWindow::statusClicked, this,
            [this] { runHere([this] { dialog_.OnButtonHTML(); }); });
    connect(&window_, &MainWindow::helpClicked, this,
            [this] { runHere([this] { dialog_.OnButtonHelp(); }); });
    connect(&window_, &MainWindow::informationClicked, this,
            [this] { runHere([this] { dialog_.OnAbout(); }); });
    connect(&window_, &MainWindow::closeRequested, this, [this](CloseRequest way) { requestShutdown(way); });
}

void CToolBoxApp::runInBackground(std::function<void()> operation, std::function<void()> whenDone) {
    operation_.start(std::move(operation), [this, whenDone = std::move(whenDone)] {
        if (whenDone)
            whenDone();
        deliverIdleMessage();
        if (pendingShutdown_) {
            const CloseRequest way = *pendingShutdown_;
            pendingShutdown_.reset();
            requestShutdown(way);
        }
    });
}

void CToolBoxApp::runHere(const std::function<void()>& call) {
    // The controls that lead here are disabled while an operation runs; the
    // logic is never entered from two threads.
    if (!operation_.running())
        call();
}

void CToolBoxApp::deliverIdleMessage() {
    if (!idleMessagePending_ || operation_.running() || mayEnd_)
        return;
    idleMessagePending_ = false;
    dialog_.ShowIdleWindow();
}

void CToolBoxApp::requestShutdown(CloseRequest way) {
    if (mayEnd_)
        return; // the window is closing already
    if (operation_.running()) {
        pendingShutdown_ = way;
        return;
    }
    runInBackground([this, way] { mayEnd_ = way == CloseRequest::Close ? dialog_.OnClose() : dialog_.OnCancel(); },
                    [this] {
                        if (mayEnd_)
                            window_.closeForGood();
                    });
}

} // namespace kestrix
