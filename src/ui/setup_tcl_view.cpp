#include "ui/setup_tcl_view.h"

#include "config/set_encrypt.h"
#include "config/set_privkey.h"
#include "messages/toolbox_lang.h"
#include "ui/qt_message_boxes.h"
#include "ui/setup_controls.h"
#include "ui/setup_encrypt_dialog.h"
#include "ui/setup_pin_key_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kTableField = 294;
constexpr int kSaveBuffer = 295;
constexpr int kAcknowledgeTime = 296;
constexpr int kTotalLabels = 297;
constexpr int kTerminalAddress = 298;
constexpr int kLogicalRecordNumber = 299;
constexpr int kBmiField88 = 300;
constexpr int kHostInterface = 301;
constexpr int kHostLogin = 302;
constexpr int kTransmissionRecord = 303;
constexpr int kRoutingBytes = 304;
constexpr int kSimpleAccessPassword = 305;
constexpr int kAdministrativePassword = 306;
constexpr int kCancel = 0;
constexpr int kHostEncryption = 308;
constexpr int kGenerateKey = 309;
constexpr int kPinCodeKey = 310;
constexpr int kDestinationMac = 311;
constexpr int kFromIncomingPacket = 312;
constexpr int kByArpRequest = 313;

void setRange(QSpinBox& spin, SpinRange range) {
    spin.setRange(range.minimum, range.maximum);
    spin.setSingleStep(range.step);
}

} // namespace

SetupTclView::SetupTclView(SetupPageTcl& page, CTerminalSetup& editor, const CToolBoxLang& language,
                           QWidget* parent)
    : SetupPageView(parent), page_(page), keys_(editor.pendingKeys()), language_(language) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildSizes(language));
    layout->addWidget(buildHostInterface(language));
    layout->addWidget(buildDestinationMac(language));
    layout->addStretch(1);
}

QWidget* SetupTclView::buildSizes(const CToolBoxLang& language) {
    auto* sizes = new QWidget(this);
    tableField_ = setupSpinBox(page_.tableFieldRange(), "tableField", sizes);
    saveBuffer_ = setupSpinBox(page_.saveBufferRange(), "saveBuffer", sizes);
    acknowledgeTime_ = setupSpinBox(page_.acknowledgeTimeRange(), "acknowledgeTime", sizes);
    totalLabels_ = setupSpinBox(page_.totalLabelsRange(), "totalLabels", sizes);
    terminalAddress_ = setupSpinBox(page_.terminalAddressRange(), "terminalAddress", sizes);
    logicalRecordNumber_ = setupCheckBox(setupText(language, kLogicalRecordNumber), "logicalRecordNumber", sizes);
    bmiField88_ = setupCheckBox(setupText(language, kBmiField88), "bmiField88", sizes);
    applicationFlag9_ = setupCheckBox(qtText(page_.applicationFlag9Label()), "applicationFlag9", sizes);

    auto* grid = new QGridLayout(sizes);
    grid->setContentsMargins(0, 0, 0, 0);
    addSetupRow(*grid, setupText(language, kTableField), tableField_);
    addSetupRow(*grid, setupText(language, kSaveBuffer), saveBuffer_);
    addSetupRow(*grid, setupText(language, kAcknowledgeTime), acknowledgeTime_);
    addSetupRow(*grid, setupText(language, kTotalLabels), totalLabels_);
    addSetupRow(*grid, setupText(language, kTerminalAddress), terminalAddress_);
    grid->addWidget(logicalRecordNumber_, 0, 2);
    grid->addWidget(bmiField88_, 1, 2);
    grid->addWidget(applicationFlag9_, 2, 2);
    grid->setColumnStretch(3, 1);
    return sizes;
}

QGroupBox* SetupTclView::buildHostInterface(const CToolBoxLang& language) {
    hostInterface_ = new QGroupBox(setupText(language, kHostInterface), this);
    hostInterface_->setObjectName(QStringLiteral("hostInterface"));
    hostLogin_ = setupCheckBox(setupText(language, kHostLogin), "hostLogin", hostInterface_);
    transmissionRecord_ = new QRadioButton(setupText(language, kTransmissionRecord), hostInterface_);
    transmissionRecord_->setObjectName(QStringLiteral("transmissionRecord"));
    routingBytes_ = new QRadioButton(setupText(language, kRoutingBytes), hostInterface_);
    routingBytes_->setObjectName(QStringLiteral("routingBytes"));
    loginFormatText_ = setupLineEdit(SetupPageTcl::kLoginFormatLength, "loginFormatText", hostInterface_);
    recordCharacter_ = setupLineEdit(1, "recordCharacter", hostInterface_);
    simpleAccessPassword_ =
        setupLineEdit(SetupPageTcl::kHostPasswordLength, "simpleAccessPassword", hostInterface_);
    administrativePassword_ =
        setupLineEdit(SetupPageTcl::kHostPasswordLength, "administrativePassword", hostInterface_);
    hostEncryption_ = setupCheckBox(setupText(language, kHostEncryption), "hostEncryption", hostInterface_);

    auto* format = new QGridLayout;
    format->addWidget(transmissionRecord_, 0, 0);
    format->addWidget(loginFormatText_, 0, 1);
    format->addWidget(routingBytes_, 1, 0);
    format->addWidget(recordCharacter_, 1, 1);
    addSetupRow(*format, setupText(language, kSimpleAccessPassword), simpleAccessPassword_);
    addSetupRow(*format, setupText(language, kAdministrativePassword), administrativePassword_);
    format->setColumnStretch(1, 1);

    hostKey_ = new QPushButton(setupText(language, kGenerateKey), hostInterface_);
    hostKey_->setObjectName(QStringLiteral("hostKey"));
    pinCodeKey_ = new QPushButton(setupText(language, kPinCodeKey), hostInterface_);
    pinCodeKey_->setObjectName(QStringLiteral("pinCodeKey"));
    auto* encryption = new QHBoxLayout;
    encryption->addWidget(hostEncryption_);
    encryption->addWidget(hostKey_);
    encryption->addWidget(pinCodeKey_);
    encryption->addStretch(1);
    for (QPushButton* button : {hostKey_, pinCodeKey_})
        button->setAutoDefault(false);
    connect(hostKey_, &QPushButton::clicked, this, &SetupTclView::makeHostKey);
    connect(pinCodeKey_, &QPushButton::clicked, this, &SetupTclView::takePinCodeKey);

    auto* layout = new QVBoxLayout(hostInterface_);
    layout->addWidget(hostLogin_);
    layout->addLayout(format);
    layout->addLayout(encryption);

    connect(hostLogin_, &QCheckBox::toggled, this, [this](bool checked) {
        if (!loading_ && !checked)
            page_.OnUncheckHostLogin();
    });
    return hostInterface_;
}

QGroupBox* SetupTclView::buildDestinationMac(const CToolBoxLang& language) {
    destinationMac_ = new QGroupBox(setupText(language, kDestinationMac), this);
    destinationMac_->setObjectName(QStringLiteral("destinationMac"));
    fromIncomingPacket_ = new QRadioButton(setupText(language, kFromIncomingPacket), destinationMac_);
    fromIncomingPacket_->setObjectName(QStringLiteral("fromIncomingPacket"));
    byArpRequest_ = new QRadioButton(setupText(language, kByArpRequest), destinationMac_);
    byArpRequest_->setObjectName(QStringLiteral("byArpRequest"));
    auto* layout = new QHBoxLayout(destinationMac_);
    layout->addWidget(fromIncomingPacket_);
    layout->addWidget(byArpRequest_);
    layout->addStretch(1);
    return destinationMac_;
}

void SetupTclView::makeHostKey() {
    QtMessageBoxes boxes(*this);
    CSetEncrypt dialog = CSetEncrypt::forHost(language_, boxes);
    SetupEncryptDialog window(dialog, setupText(language_, kCancel), this);
    if (window.exec() == QDialog::Accepted)
        keys_.host = dialog.key();
}

void SetupTclView::takePinCodeKey() {
    QtMessageBoxes boxes(*this);
    CSetPrivkey dialog(language_, boxes);
    SetupPinKeyDialog window(dialog, setupText(language_, kCancel), this);
    if (window.exec() == QDialog::Accepted)
        keys_.pinCode = dialog.key();
}

void SetupTclView::load() {
    loading_ = true;
    const TclPageValues& values = page_.values;
    setRange(*tableField_, page_.tableFieldRange());
    setRange(*saveBuffer_, page_.saveBufferRange());
    setRange(*acknowledgeTime_, page_.acknowledgeTimeRange());
    setRange(*totalLabels_, page_.totalLabelsRange());
    setRange(*terminalAddress_, page_.terminalAddressRange());
    tableField_->setValue(values.tableField);
    saveBuffer_->setValue(values.saveBuffer);
    acknowledgeTime_->setValue(values.acknowledgeTime);
    totalLabels_->setValue(values.totalLabels);
    terminalAddress_->setValue(values.terminalAddress);
    logicalRecordNumber_->setChecked(values.logicalRecordNumber);
    bmiField88_->setChecked(values.bmiField88);
    applicationFlag9_->setChecked(values.applicationFlag9);
    hostLogin_->setChecked(values.hostLogin);
    transmissionRecord_->setChecked(values.loginFormat == HostLoginFormat::TransmissionRecord);
    routingBytes_->setChecked(values.loginFormat == HostLoginFormat::RoutingBytes);
    loginFormatText_->setText(qtText(values.loginFormatText));
    recordCharacter_->setText(qtText(values.recordCharacter));
    simpleAccessPassword_->setText(qtText(values.simpleAccessPassword));
    administrativePassword_->setText(qtText(values.administrativePassword));
    hostEncryption_->setChecked(values.hostEncryption);
    fromIncomingPacket_->setChecked(values.destinationMac == DestinationMac::FromIncomingPacket);
    byArpRequest_->setChecked(values.destinationMac == DestinationMac::ByArpRequest);
    hostInterface_->setVisible(page_.hostLoginShown());
    hostEncryption_->setEnabled(page_.hostEncryptionEnabled());
    hostKey_->setEnabled(page_.hostEncryptionEnabled());
    pinCodeKey_->setEnabled(page_.pinCodeKeyEnabled());
    destinationMac_->setVisible(page_.destinationMacShown());
    loading_ = false;
}

void SetupTclView::store() {
    TclPageValues& values = page_.values;
    values.tableField = tableField_->value();
    values.saveBuffer = saveBuffer_->value();
    values.acknowledgeTime = acknowledgeTime_->value();
    values.totalLabels = totalLabels_->value();
    values.terminalAddress = terminalAddress_->value();
    values.logicalRecordNumber = logicalRecordNumber_->isChecked();
    values.bmiField88 = bmiField88_->isChecked();
    values.applicationFlag9 = applicationFlag9_->isChecked();
    values.hostLogin = hostLogin_->isChecked();
    values.loginFormat =
        routingBytes_->isChecked() ? HostLoginFormat::RoutingBytes : HostLoginFormat::TransmissionRecord;
    values.loginFormatText = plainText(loginFormatText_->text());
    values.recordCharacter = plainText(recordCharacter_->text());
    values.simpleAccessPassword = plainText(simpleAccessPassword_->text());
    values.administrativePassword = plainText(administrativePassword_->text());
    values.hostEncryption = hostEncryption_->isChecked();
    values.destinationMac =
        fromIncomingPacket_->isChecked() ? DestinationMac::FromIncomingPacket : DestinationMac::ByArpRequest;
}

} // namespace kestrix
