#include "ui/firmware_update_widget.h"

#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace kestrix {

namespace {

// How often the scheduler's end looks again whether the window's operation has ended.
constexpr int kEndRetryMilliseconds = 50;

QPushButton* dialogButton(const std::string& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(qtText(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QProgressBar* progressBar(const QString& name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

} // namespace

FirmwareUpdateWidget::FirmwareUpdateWidget(FirmwareUpdate& dialog, std::function<bool()> operationRunning,
                                           QWidget* parent)
    : QWidget(parent), dialog_(dialog), operationRunning_(std::move(operationRunning)) {
    setObjectName(QStringLiteral("firmwareUpdate"));
    const FirmwareUpdateTexts& texts = dialog_.texts();
    QLabel* heading = plainLabel(texts.heading, this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    replaceMonitor_ = new QCheckBox(qtText(texts.replaceMonitor), this);
    replaceMonitor_->setObjectName(QStringLiteral("replaceMonitor"));
    replacePcmcia_ = new QCheckBox(qtText(texts.replacePcmcia), this);
    replacePcmcia_->setObjectName(QStringLiteral("replacePcmcia"));
    connect(replaceMonitor_, &QCheckBox::toggled, this, [this] { optionsChanged(); });
    connect(replacePcmcia_, &QCheckBox::toggled, this, [this] { optionsChanged(); });

    start_ = dialogButton(texts.start, "start", this);
    cancel_ = dialogButton(texts.cancel, "cancel", this);
    connect(start_, &QPushButton::clicked, this, [this] { dialog_.OnStart(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { dialog_.OnCancel(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);

    overall_ = progressBar(QStringLiteral("overall"), this);
    auto* overallRow = new QHBoxLayout;
    QLabel* allSelected = plainLabel(texts.allSelected, this);
    allSelected->setWordWrap(false); // the bar gives way, not the label
    overallRow->addWidget(allSelected);
    overallRow->addWidget(overall_, 1);

    auto* slotRow = new QHBoxLayout;
    for (int slot = 0; slot < SchedFirmUpd::kDialogSlots; ++slot)
        slotRow->addWidget(buildSlot(slot), 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(buildChoices());
    layout->addWidget(replaceMonitor_);
    layout->addWidget(replacePcmcia_);
    layout->addLayout(buttons);
    layout->addLayout(overallRow);
    layout->addLayout(slotRow, 1);
    dialog_.attachView(*this);
}

FirmwareUpdateWidget::~FirmwareUpdateWidget() {
    dialog_.detachView();
}

QWidget* FirmwareUpdateWidget::buildChoices() {
    auto* choices = new QWidget(this);
    auto* grid = new QGridLayout(choices);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(plainLabel(dialog_.texts().languageLabel, choices), 0, 2);
    static constexpr const char* kNames[] = {"tclVersion", "serverVersion", "tclLanguage", "serverLanguage"};
    for (std::size_t index = 0; index < lists_.size(); ++index) {
        auto* list = new QComboBox(choices);
        list->setObjectName(QString::fromLatin1(kNames[index]));
        const auto choice = static_cast<FirmwareChoice>(index);
        connect(list, &QComboBox::activated, this,
                [this, choice](int entry) { dialog_.OnSelectChoice(choice, static_cast<std::size_t>(entry)); });
        lists_[index] = list;
    }
    // The depots' own names: "TCL" and "Server".
    grid->addWidget(plainLabel("TCL", choices), 1, 0);
    grid->addWidget(plainLabel("Server", choices), 2, 0);
    grid->addWidget(lists_[static_cast<std::size_t>(FirmwareChoice::TclVersion)], 1, 1);
    grid->addWidget(lists_[static_cast<std::size_t>(FirmwareChoice::ServerVersion)], 2, 1);
    grid->addWidget(lists_[static_cast<std::size_t>(FirmwareChoice::TclLanguage)], 1, 2);
    grid->addWidget(lists_[static_cast<std::size_t>(FirmwareChoice::ServerLanguage)], 2, 2);
    grid->setColumnStretch(3, 1);
    return choices;
}

QWidget* FirmwareUpdateWidget::buildSlot(int slot) {
    const QString prefix = QStringLiteral("slot%1").arg(slot);
    auto* box = new QGroupBox(this);
    box->setObjectName(prefix);
    SlotControls& controls = slots_[static_cast<std::size_t>(slot)];
    controls.header = plainLabel(std::string(), box);
    controls.header->setObjectName(prefix + QStringLiteral("Header"));
    controls.header->setWordWrap(true);
    controls.messages = new QListWidget(box);
    controls.messages->setObjectName(prefix + QStringLiteral("Messages"));
    controls.file = plainLabel(dialog_.texts().fileLabel, box);
    controls.file->setObjectName(prefix + QStringLiteral("File"));
    controls.fileBar = progressBar(prefix + QStringLiteral("FileBar"), box);
    controls.terminal = plainLabel(dialog_.texts().terminalLabel, box);
    controls.terminal->setObjectName(prefix + QStringLiteral("Terminal"));
    controls.terminalBar = progressBar(prefix + QStringLiteral("TerminalBar"), box);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(controls.header);
    layout->addWidget(controls.messages, 1);
    layout->addWidget(controls.file);
    layout->addWidget(controls.fileBar);
    layout->addWidget(controls.terminal);
    layout->addWidget(controls.terminalBar);
    return box;
}

template <typename Call> void FirmwareUpdateWidget::queue(Call call) {
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

FirmwareUpdateWidget::SlotControls* FirmwareUpdateWidget::slotAt(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size())
        return nullptr;
    return &slots_[static_cast<std::size_t>(slot)];
}

void FirmwareUpdateWidget::optionsChanged() {
    dialog_.OnOptions({replaceMonitor_->isChecked() ? MonitorReplacement::Always : MonitorReplacement::WhenOlder,
                       replacePcmcia_->isChecked() ? PcmciaReplacement::Always : PcmciaReplacement::Never});
}

void FirmwareUpdateWidget::showChoices(FirmwareChoice list, const std::vector<std::string>& entries,
                                       std::size_t selected) {
    queue([this, list, entries, selected] {
        QComboBox* box = lists_[static_cast<std::size_t>(list)];
        const QSignalBlocker blocker(box);
        box->clear();
        for (const std::string& entry : entries)
            box->addItem(qtText(entry));
        box->setCurrentIndex(static_cast<int>(selected));
    });
}

void FirmwareUpdateWidget::setListsEnabled(bool enabled) {
    queue([this, enabled] {
        for (QComboBox* list : lists_)
            list->setEnabled(enabled);
    });
}

void FirmwareUpdateWidget::setOptionsEnabled(bool enabled) {
    queue([this, enabled] {
        replaceMonitor_->setEnabled(enabled);
        replacePcmcia_->setEnabled(enabled);
    });
}

void FirmwareUpdateWidget::setStartEnabled(bool enabled) {
    queue([this, enabled] { start_->setEnabled(enabled); });
}

void FirmwareUpdateWidget::setCancelEnabled(bool enabled) {
    queue([this, enabled] { cancel_->setEnabled(enabled); });
}

void FirmwareUpdateWidget::setOverallRange(int terminals) {
    queue([this, terminals] {
        overall_->setRange(0, terminals > 0 ? terminals : 1);
        overall_->setValue(0);
    });
}

void FirmwareUpdateWidget::postSchedulerEnd() {
    QMetaObject::invokeMethod(this, [this] { deliverSchedulerEnd(); }, Qt::QueuedConnection);
}

void FirmwareUpdateWidget::deliverSchedulerEnd() {
    // Not inside a window operation, and not inside a box (the Cancel box's
    // own event loop would otherwise end the dialog, and destroy this widget,
    // under the click that opened the box).
    if (operationRunning_() || QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(kEndRetryMilliseconds, this, [this] { deliverSchedulerEnd(); });
        return;
    }
    dialog_.OnSchedFirmUpdEnd();
}

void FirmwareUpdateWidget::slotLabel(int slot, const std::string& text) {
    queue([this, slot, text] {
        if (SlotControls* controls = slotAt(slot))
            controls->file->setText(qtText(text));
    });
}

void FirmwareUpdateWidget::slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) {
    queue([this, slot, kind, kibibytes] {
        SlotControls* controls = slotAt(slot);
        if (controls == nullptr)
            return;
        const int value = static_cast<int>(std::min<std::uint64_t>(kibibytes, INT32_MAX));
        if (kind == ProgressValue::TotalKiB) {
            controls->fileBar->setRange(0, value > 0 ? value : 1);
            controls->fileBar->setValue(0);
        } else {
            controls->fileBar->setValue(std::min(value, controls->fileBar->maximum()));
        }
    });
}

void FirmwareUpdateWidget::slotHeader(int slot, const std::string& text) {
    queue([this, slot, text] {
        if (SlotControls* controls = slotAt(slot))
            controls->header->setText(qtText(text));
    });
}

void FirmwareUpdateWidget::slotMessage(int slot, const std::string& text) {
    queue([this, slot, text] {
        SlotControls* controls = slotAt(slot);
        if (controls == nullptr)
            return;
        if (text.empty()) {
            controls->messages->clear();
            return;
        }
        controls->messages->addItem(qtText(text));
        controls->messages->setCurrentRow(controls->messages->count() - 1);
    });
}

void FirmwareUpdateWidget::slotTerminal(int slot, const std::string& text) {
    queue([this, slot, text] {
        if (SlotControls* controls = slotAt(slot))
            controls->terminal->setText(qtText(text));
    });
}

void FirmwareUpdateWidget::slotFileCount(int slot, FileCountValue kind, int files) {
    queue([this, slot, kind, files] {
        SlotControls* controls = slotAt(slot);
        if (controls == nullptr)
            return;
        if (kind == FileCountValue::Total) {
            controls->terminalBar->setRange(0, files > 0 ? files : 1);
            controls->terminalBar->setValue(0);
        } else {
            controls->terminalBar->setValue(std::min(files, controls->terminalBar->maximum()));
        }
    });
}

void FirmwareUpdateWidget::advanceOverall() {
    queue([this] { overall_->setValue(std::min(overall_->value() + 1, overall_->maximum())); });
}

} // namespace kestrix
