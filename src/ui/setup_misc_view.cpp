#include "ui/setup_misc_view.h"

#include "ui/setup_controls.h"
#include "ui/setup_password_dialog.h"
#include "ui/setup_summer_time_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kCharacterSet = 314;
constexpr int kMaintenanceGroup = 315;
constexpr int kBacklight = 316;
constexpr int kFunctionKeyClicks = 318;
constexpr int kOtherKeyClicks = 319;
constexpr int kNoBuzzer = 320;
constexpr int kBlueLed = 321;
constexpr int kDcu4Button = 322;
constexpr int kSetupPasswords = 323;
constexpr int kChangePassword = 324;

} // namespace

SetupMiscView::SetupMiscView(SetupPageMisc& page, const CToolBoxLang& language, QWidget* parent)
    : SetupPageView(parent), page_(page), language_(language), characterSet_(new QComboBox(this)),
      maintenanceGroup_(setupLineEdit(SetupPageMisc::kMaintenanceGroupLength, "maintenanceGroup", this)),
      backlightDims_(setupCheckBox(setupText(language, kBacklight), "backlightDims", this)),
      functionKeyClicks_(setupCheckBox(setupText(language, kFunctionKeyClicks), "functionKeyClicks", this)),
      otherKeyClicks_(setupCheckBox(setupText(language, kOtherKeyClicks), "otherKeyClicks", this)),
      noBuzzer_(setupCheckBox(setupText(language, kNoBuzzer), "noBuzzer", this)),
      blueLed_(setupSpinBox(page.blueLedRange(), "blueLed", this)),
      dcu4Button_(setupCheckBox(setupText(language, kDcu4Button), "dcu4Button", this)),
      summerTime_(new SetupSummerTimeView(page.summerTime, language, this)) {
    characterSet_->setObjectName(QStringLiteral("characterSet"));
    for (int index = 0; index < SetupPageMisc::kCharacterSets; ++index)
        characterSet_->addItem(QString::number(index));

    auto* fields = new QGridLayout;
    addSetupRow(*fields, setupText(language, kCharacterSet), characterSet_);
    addSetupRow(*fields, setupText(language, kMaintenanceGroup), maintenanceGroup_);
    addSetupRow(*fields, setupText(language, kBlueLed), blueLed_);
    fields->setColumnStretch(2, 1);

    auto* switches = new QVBoxLayout;
    for (QCheckBox* box : {backlightDims_, functionKeyClicks_, otherKeyClicks_, noBuzzer_, dcu4Button_})
        switches->addWidget(box);

    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(switches);
    top->addLayout(left, 1);
    top->addWidget(buildPasswords(language));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(summerTime_);
    layout->addStretch(1);

    connect(backlightDims_, &QCheckBox::toggled, this, [this](bool checked) {
        if (loading_ || checked)
            return;
        page_.values.backlightDims = false;
        if (!page_.OnUncheckBacklight()) {
            const QSignalBlocker blocker(backlightDims_);
            backlightDims_->setChecked(true);
        }
    });
}

QWidget* SetupMiscView::buildPasswords(const CToolBoxLang& language) {
    auto* group = new QGroupBox(setupText(language, kSetupPasswords), this);
    group->setObjectName(QStringLiteral("setupPasswords"));
    auto* layout = new QVBoxLayout(group);
    for (int grade = 1; grade <= 3; ++grade) {
        auto* button = new QPushButton(setupText(language, kChangePassword), group);
        button->setObjectName(QStringLiteral("changePassword%1").arg(grade));
        button->setAutoDefault(false);
        layout->addWidget(new QLabel(qtText(SetupPasswordChange::gradeLabel(language, grade)), group));
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, grade] { changePassword(grade); });
        passwordButtons_[static_cast<std::size_t>(grade - 1)] = button;
    }
    layout->addStretch(1);
    return group;
}

void SetupMiscView::changePassword(int grade) {
    SetupPasswordChange change = page_.passwordChange(grade);
    SetupPasswordDialog dialog(change, language_, this);
    dialog.exec();
}

void SetupMiscView::load() {
    loading_ = true;
    const MiscPageValues& values = page_.values;
    characterSet_->setCurrentIndex(values.characterSet);
    maintenanceGroup_->setText(qtText(values.maintenanceGroup));
    maintenanceGroup_->setEnabled(page_.maintenanceGroupEnabled());
    backlightDims_->setChecked(values.backlightDims);
    functionKeyClicks_->setChecked(values.functionKeyClicks);
    otherKeyClicks_->setChecked(values.otherKeyClicks);
    noBuzzer_->setChecked(values.noBuzzer);
    const SpinRange range = page_.blueLedRange();
    blueLed_->setRange(range.minimum, range.maximum);
    blueLed_->setValue(values.blueLed);
    dcu4Button_->setChecked(values.dcu4ButtonIsFunctionKey);
    dcu4Button_->setVisible(page_.dcu4ButtonShown());
    for (int grade = 1; grade <= 3; ++grade)
        passwordButtons_[static_cast<std::size_t>(grade - 1)]->setEnabled(page_.passwordChangeEnabled(grade));
    summerTime_->load();
    loading_ = false;
}

void SetupMiscView::store() {
    MiscPageValues& values = page_.values;
    values.characterSet = characterSet_->currentIndex();
    values.maintenanceGroup = plainText(maintenanceGroup_->text());
    values.backlightDims = backlightDims_->isChecked();
    values.functionKeyClicks = functionKeyClicks_->isChecked();
    values.otherKeyClicks = otherKeyClicks_->isChecked();
    values.noBuzzer = noBuzzer_->isChecked();
    values.blueLed = blueLed_->value();
    values.dcu4ButtonIsFunctionKey = dcu4Button_->isChecked();
    summerTime_->store();
}

} // namespace kestrix
