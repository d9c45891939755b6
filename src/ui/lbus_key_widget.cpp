#include "ui/lbus_key_widget.h"

#include "config/lbus_readers.h"
#include "messages/product.h"
#include "ui/plain_label.h"
#include "ui/qt_message_boxes.h"
#include "ui/setup_controls.h"
#include "ui/ui_thread.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace kestrix {

namespace {

// How often the worker's end looks again whether the window's operation has ended.
constexpr int kEndRetryMilliseconds = 50;

QProgressBar* progressBar(const QString& name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QPushButton* dialogButton(const std::string& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(qtText(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

LBusKeyWidget::LBusKeyWidget(CLoadLBusKey& dialog, std::function<void(std::function<void()>)> runLong,
                             std::function<bool()> operationRunning, QWidget* parent)
    : QWidget(parent), dialog_(dialog), runLong_(std::move(runLong)),
      operationRunning_(std::move(operationRunning)) {
    setObjectName(QStringLiteral("lbusKey"));
    const LoadLBusKeyTexts& texts = dialog_.texts();
    QLabel* heading = plainLabel(texts.heading, this);
    heading->setObjectName(QStringLiteral("heading"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* actions = new QGroupBox(this);
    actions->setObjectName(QStringLiteral("actions"));
    auto* actionLayout = new QVBoxLayout(actions);
    for (std::size_t index = 0; index < radios_.size(); ++index) {
        auto* button = new QRadioButton(qtText(texts.actions[index]), actions);
        button->setObjectName(QStringLiteral("action%1").arg(index + 1));
        const auto action = static_cast<LBusFunction>(index + 1);
        connect(button, &QRadioButton::clicked, this, [this, action] { dialog_.OnSelectAction(action); });
        actionLayout->addWidget(button);
        radios_[index] = button;
    }

    auto* internal = new QWidget(this);
    internal->setObjectName(QStringLiteral("internalReader"));
    auto* internalGrid = new QGridLayout(internal);
    internalGrid->setContentsMargins(0, 0, 0, 0);
    addReader(0, qtText(texts.internalReader), internal, internalGrid, 0);
    auto* buses = new QHBoxLayout;
    buses->addWidget(buildBus(1), 1);
    buses->addWidget(buildBus(2), 1);

    statusText_ = plainLabel(std::string(), this);
    statusText_->setObjectName(QStringLiteral("statusText"));
    activity_ = progressBar(QStringLiteral("activity"), this);
    activity_->setRange(0, 5);
    result_ = progressBar(QStringLiteral("result"), this);

    start_ = dialogButton(texts.start, "start", this);
    cancel_ = dialogButton(texts.cancel, "cancel", this);
    connect(start_, &QPushButton::clicked, this, [this] { onStart(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { dialog_.OnCancel(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { dialog_.OnTimer(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(actions);
    layout->addWidget(internal);
    layout->addLayout(buses);
    layout->addWidget(statusText_);
    layout->addWidget(activity_);
    layout->addWidget(result_);
    layout->addLayout(buttons);
    layout->addStretch(1);
    dialog_.attachView(*this);
}

LBusKeyWidget::~LBusKeyWidget() {
    dialog_.detachView();
}

QGroupBox* LBusKeyWidget::buildBus(int bus) {
    auto* box = new QGroupBox(qtText(dialog_.texts().busLabels[static_cast<std::size_t>(bus - 1)]), this);
    box->setObjectName(QStringLiteral("lbus%1").arg(bus));
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    const int first = bus == 1 ? 1 : kReadersPerBus + 1;
    for (int row = 0; row < kReadersPerBus; ++row)
        addReader(first + row, QString::number(first + row), box, grid, row);
    return box;
}

void LBusKeyWidget::addReader(int reader, const QString& label, QWidget* parent, QGridLayout* grid, int row) {
    ReaderControls& controls = readers_[static_cast<std::size_t>(reader)];
    controls.box = new QCheckBox(label, parent);
    controls.box->setObjectName(QStringLiteral("reader%1").arg(reader));
    controls.status = plainLabel(std::string(), parent);
    controls.status->setObjectName(QStringLiteral("readerStatus%1").arg(reader));
    connect(controls.box, &QCheckBox::toggled, this,
            [this, reader](bool checked) { dialog_.OnReaderCheck(reader, checked); });
    grid->addWidget(controls.box, row, 0);
    grid->addWidget(controls.status, row, 1);
}

template <typename Call> void LBusKeyWidget::queue(Call call) {
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

QRadioButton* LBusKeyWidget::radio(LBusFunction action) const {
    return radios_[static_cast<std::size_t>(action) - 1];
}

void LBusKeyWidget::onStart() {
    start_->setEnabled(false);
    // Cancel waits for the package copy: the dialog has no worker to refuse with yet.
    cancel_->setEnabled(false);
    CLoadLBusKey& dialog = dialog_;
    runLong_([this, &dialog] {
        dialog.OnButtonstart();
        queue([this] { cancel_->setEnabled(true); });
    });
}

void LBusKeyWidget::setActionEnabled(LBusFunction action, bool enabled) {
    queue([this, action, enabled] { radio(action)->setEnabled(enabled); });
}

void LBusKeyWidget::setActionVisible(LBusFunction action, bool visible) {
    queue([this, action, visible] { radio(action)->setVisible(visible); });
}

void LBusKeyWidget::setActionChecked(LBusFunction action) {
    queue([this, action] { radio(action)->setChecked(true); });
}

void LBusKeyWidget::setReaderLine(int reader, bool enabled, bool checked) {
    queue([this, reader, enabled, checked] {
        QCheckBox* box = readers_[static_cast<std::size_t>(reader)].box;
        const QSignalBlocker blocker(box);
        box->setEnabled(enabled);
        box->setChecked(checked);
        readers_[static_cast<std::size_t>(reader)].status->setEnabled(enabled);
    });
}

void LBusKeyWidget::setReaderStatus(int reader, const std::string& text) {
    if (reader < 0 || reader >= kReaderLines)
        return;
    queue([this, reader, text] { readers_[static_cast<std::size_t>(reader)].status->setText(qtText(text)); });
}

void LBusKeyWidget::setStatusText(const std::string& text) {
    queue([this, text] { statusText_->setText(qtText(text)); });
}

void LBusKeyWidget::setActivityBar(int lower, int upper, int position) {
    queue([this, lower, upper, position] {
        activity_->setRange(lower, upper);
        activity_->setValue(position);
    });
}

void LBusKeyWidget::setResultRange(int lower, int upper) {
    queue([this, lower, upper] { result_->setRange(lower, upper > lower ? upper : lower + 1); });
}

void LBusKeyWidget::setResultPosition(int position) {
    queue([this, position] { result_->setValue(std::min(position, result_->maximum())); });
}

void LBusKeyWidget::setStartEnabled(bool enabled) {
    // While an action runs the choices stay as they are.
    queue([this, enabled] {
        start_->setEnabled(enabled);
        for (QWidget* choices : {static_cast<QWidget*>(radios_[0]->parentWidget()),
                                 static_cast<QWidget*>(readers_[0].box->parentWidget()),
                                 static_cast<QWidget*>(readers_[1].box->parentWidget()),
                                 static_cast<QWidget*>(readers_[kReadersPerBus + 1].box->parentWidget())})
            choices->setEnabled(enabled);
    });
}

bool LBusKeyWidget::startActivityTimer(int periodMilliseconds) {
    queue([this, periodMilliseconds] { timer_->start(periodMilliseconds); });
    return true;
}

void LBusKeyWidget::stopActivityTimer() {
    queue([this] { timer_->stop(); });
}

void LBusKeyWidget::showWorkerMessage(const std::string& text, MessageIcon icon) {
    // Queued also on the widget's own thread: the worker never waits for the box.
    QMetaObject::invokeMethod(
        this,
        [this, text, icon] {
            QtMessageBoxes(*window()).show({kProductCaption, text, icon});
        },
        Qt::QueuedConnection);
}

void LBusKeyWidget::postWorkerEnd(int endCode) {
    QMetaObject::invokeMethod(
        this, [this, endCode] { deliverWorkerEnd(endCode); }, Qt::QueuedConnection);
}

void LBusKeyWidget::deliverWorkerEnd(int endCode) {
    // Not inside a window operation (Start may still be returning) and not
    // inside a box, whose own event loop would otherwise run the end under it.
    if (operationRunning_() || QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(kEndRetryMilliseconds, this, [this, endCode] { deliverWorkerEnd(endCode); });
        return;
    }
    dialog_.OnMsgT7000ipLBusCommEnd(endCode);
}

std::optional<std::string> LBusKeyWidget::askPackageFile(const PackageFileRequest& request) {
    return onThreadOf(*this, [this, &request]() -> std::optional<std::string> {
        QFileDialog files(this);
        files.setObjectName(QStringLiteral("packageFile"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setFileMode(QFileDialog::ExistingFile);
        files.setAcceptMode(QFileDialog::AcceptOpen);
        files.setNameFilters({qtText(request.packageFilter), qtText(request.allFilter)});
        files.setDefaultSuffix(qtText(request.defaultExtension));
        files.selectFile(qtText(request.initialName));
        if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
            return std::nullopt;
        return files.selectedFiles().front().toStdString();
    });
}

} // namespace kestrix
