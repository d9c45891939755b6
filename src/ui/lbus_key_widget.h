#pragma once

#include "reader_security/load_lbus_key.h"

#include <QWidget>

#include <array>
#include <functional>

class QButtonGroup;
class QGridLayout;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kestrix {

// The LBus security dialog in the detail pane: the heading, the action
// radios, the internal reader and readers 1-16 in two columns (each a check
// box with its status line), the status text, the activity and result bars,
// Start and Cancel.
//
// Start runs the dialog's Start through runLong (the package copy takes
// minutes). The calls of the reader worker and of Start are queued to the
// widget's thread with their values, so neither worker waits for the window
// (the worker's boxes too: each is shown from the event loop later); only
// the package file dialog makes Start wait for the user's answer. The
// worker's end enters the dialog once no window operation runs and no box is
// open. It decides nothing: the texts, what is offered and checked are the
// dialog's. It attaches itself to the dialog when made.
class LBusKeyWidget : public QWidget, public LoadLBusKeyView {
    Q_OBJECT
public:
    LBusKeyWidget(CLoadLBusKey& dialog, std::function<void(std::function<void()>)> runLong,
                  std::function<bool()> operationRunning, QWidget* parent);
    ~LBusKeyWidget() override;

    void setActionEnabled(LBusFunction action, bool enabled) override;
    void setActionVisible(LBusFunction action, bool visible) override;
    void setActionChecked(LBusFunction action) override;
    void setReaderLine(int reader, bool enabled, bool checked) override;
    void setReaderStatus(int reader, const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setActivityBar(int lower, int upper, int position) override;
    void setResultRange(int lower, int upper) override;
    void setResultPosition(int position) override;
    void setStartEnabled(bool enabled) override;
    bool startActivityTimer(int periodMilliseconds) override;
    void stopActivityTimer() override;
    void showWorkerMessage(const std::string& text, MessageIcon icon) override;
    void postWorkerEnd(int endCode) override;
    std::optional<std::string> askPackageFile(const PackageFileRequest& request) override;

private:
    struct ReaderControls {
        QCheckBox* box = nullptr;
        QLabel* status = nullptr;
    };

    QGroupBox* buildBus(int bus);
    void addReader(int reader, const QString& label, QWidget* parent, QGridLayout* grid, int row);
    // Runs the call on the widget's thread: at once when called there, else queued.
    template <typename Call> void queue(Call call);
    QRadioButton* radio(LBusFunction action) const;
    void deliverWorkerEnd(int endCode);
    void onStart();

    CLoadLBusKey& dialog_;
    const std::function<void(std::function<void()>)> runLong_;
    const std::function<bool()> operationRunning_;
    std::array<QRadioButton*, 5> radios_{};
    std::array<ReaderControls, kReaderLines> readers_{};
    QLabel* statusText_;
    QProgressBar* activity_;
    QProgressBar* result_;
    QPushButton* start_;
    QPushButton* cancel_;
    QTimer* timer_;
};

} // namespace kestrix
