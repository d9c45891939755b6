#include "ui/reset_view.h"

#include "ui/plain_label.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace kestrix {

namespace {

constexpr std::array<const char*, 5> kModeObjectNames = {"modeWarm", "modeCold", "modeRestart", "modeIceCold",
                                                         "modeCommunication"};

// Heights in dialog units (an eighth of the font's height): the mode group
// and the buttons of the two layouts.
struct LayoutHeights {
    int modeGroup;
    int buttons;
};

LayoutHeights heights(ResetLayout layout) {
    return layout == ResetLayout::From600 ? LayoutHeights{135, 48} : LayoutHeights{165, 30};
}

} // namespace

ResetDialogView::ResetDialogView(ResetExe& dialog, std::function<void(std::function<void()>)> runLong,
                                 QWidget* parent)
    : QWidget(parent), dialog_(dialog), runLong_(std::move(runLong)) {
    const ResetDialogTexts& texts = dialog_.texts();
    QLabel* title = plainLabel(texts.title, this);
    title->setObjectName(QStringLiteral("title"));
    QLabel* terminalLine = plainLabel(texts.terminalLine, this);
    terminalLine->setObjectName(QStringLiteral("terminalLine"));
    QFont bold = terminalLine->font();
    bold.setBold(true);
    terminalLine->setFont(bold);
    QLabel* questionEnd = plainLabel(texts.questionEnd, this);
    questionEnd->setObjectName(QStringLiteral("questionEnd"));

    auto* group = new QGroupBox(QString::fromStdString(texts.modeGroup), this);
    group->setObjectName(QStringLiteral("modeGroup"));
    auto* groupLayout = new QVBoxLayout(group);
    for (std::size_t index = 0; index < modes_.size(); ++index) {
        const ResetModeControl& control = dialog_.modes()[index];
        auto* radio = new QRadioButton(QString::fromStdString(control.text), group);
        radio->setObjectName(QString::fromLatin1(kModeObjectNames[index]));
        radio->setEnabled(control.enabled);
        radio->setVisible(control.visible);
        radio->setChecked(control.mode == ResetMode::Warm);
        groupLayout->addWidget(radio);
        modes_[index] = radio;
    }
    groupLayout->addStretch(1);

    forceReboot_ = new QCheckBox(QString::fromStdString(texts.forceReboot), this);
    forceReboot_->setObjectName(QStringLiteral("forceReboot"));
    forceReboot_->setChecked(false);
    forceReboot_->setVisible(dialog_.forceRebootVisible());

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    cancel_ = new QPushButton(QString::fromStdString(texts.cancel), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    ok_->setAutoDefault(false);
    cancel_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &ResetDialogView::onOK);
    connect(cancel_, &QPushButton::clicked, this, [this] { dialog_.OnCancel(); });

    const double unit = fontMetrics().height() / 8.0;
    const LayoutHeights layoutHeights = heights(dialog_.layout());
    group->setMinimumHeight(static_cast<int>(layoutHeights.modeGroup * unit));
    for (QPushButton* button : {ok_, cancel_})
        button->setFixedHeight(static_cast<int>(layoutHeights.buttons * unit));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(title);
    layout->addWidget(terminalLine);
    layout->addWidget(questionEnd);
    layout->addWidget(group);
    layout->addWidget(forceReboot_);
    layout->addLayout(buttons);
    layout->addStretch(1);
    setFocusProxy(cancel_);
}

ResetMode ResetDialogView::checkedMode() const {
    for (std::size_t index = 0; index < modes_.size(); ++index)
        if (modes_[index]->isChecked())
            return dialog_.modes()[index].mode;
    return ResetMode::Warm;
}

void ResetDialogView::onOK() {
    const ResetMode mode = checkedMode();
    const ResetBoot boot = forceReboot_->isVisibleTo(this) && forceReboot_->isChecked()
                               ? ResetBoot::System
                               : ResetBoot::Application;
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    ResetExe& dialog = dialog_;
    runLong_([&dialog, mode, boot] { dialog.OnOK(mode, boot); });
}

} // namespace kestrix
