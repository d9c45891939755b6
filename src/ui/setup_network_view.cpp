#include "ui/setup_network_view.h"

#include "ui/setup_controls.h"
#include "ui/setup_wep_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kIpAddress = 4;
constexpr int kMask = 450;
constexpr int kIpv4Router = 428;
constexpr int kIpv6Address = 429;
constexpr int kPrefixLength = 430;
constexpr int kIpv6Router = 431;
constexpr int kDhcpHostName = 432;
constexpr int kLinkSpeed = 433;
constexpr int kIpStack = 434;
constexpr int kWepSettings = 381;
constexpr int kAddressLength = 15;
constexpr int kIpv6Length = 45;
constexpr int kPrefixDigits = 3;

} // namespace

SetupNetworkView::SetupNetworkView(NetworkPage& page, CTerminalSetup& editor, const CToolBoxLang& language,
                                   QWidget* parent)
    : SetupPageView(parent), page_(page), editor_(editor), language_(language), ipv4Address_(setupLineEdit(kAddressLength, "ipv4Address", this)),
      ipv4Mask_(setupLineEdit(kAddressLength, "ipv4Mask", this)),
      ipv4Router_(setupLineEdit(kAddressLength, "ipv4Router", this)),
      ipv6Address_(setupLineEdit(kIpv6Length, "ipv6Address", this)),
      ipv6PrefixLength_(setupLineEdit(kPrefixDigits, "ipv6PrefixLength", this)),
      ipv6Router_(setupLineEdit(kIpv6Length, "ipv6Router", this)),
      dhcpHostName_(setupLineEdit(static_cast<int>(NetworkPage::kDhcpHostNameLimit), "dhcpHostName", this)),
      linkSpeed_(new QComboBox(this)), ipv4Stack_(setupCheckBox(QStringLiteral("IPv4"), "ipv4Stack", this)),
      ipv6Stack_(setupCheckBox(QStringLiteral("IPv6"), "ipv6Stack", this)),
      stackOptionBit6_(setupCheckBox(qtText(page.stackOptionLabel(6)), "stackOptionBit6", this)),
      stackOptionBit7_(setupCheckBox(qtText(page.stackOptionLabel(7)), "stackOptionBit7", this)) {
    linkSpeed_->setObjectName(QStringLiteral("linkSpeed"));
    for (std::string_view name : NetworkPage::linkSpeedNames())
        linkSpeed_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));

    auto* addresses = new QGridLayout;
    addSetupRow(*addresses, setupText(language, kIpAddress), ipv4Address_);
    addSetupRow(*addresses, setupText(language, kMask), ipv4Mask_);
    addSetupRow(*addresses, setupText(language, kIpv4Router), ipv4Router_);
    addSetupRow(*addresses, setupText(language, kIpv6Address), ipv6Address_);
    addSetupRow(*addresses, setupText(language, kPrefixLength), ipv6PrefixLength_);
    addSetupRow(*addresses, setupText(language, kIpv6Router), ipv6Router_);
    addSetupRow(*addresses, setupText(language, kDhcpHostName), dhcpHostName_);
    addSetupRow(*addresses, setupText(language, kLinkSpeed), linkSpeed_);
    addresses->setColumnStretch(1, 1);

    auto* stacks = new QGroupBox(setupText(language, kIpStack), this);
    stacks->setObjectName(QStringLiteral("ipStack"));
    auto* stackLayout = new QVBoxLayout(stacks);
    for (QCheckBox* box : {ipv4Stack_, ipv6Stack_, stackOptionBit6_, stackOptionBit7_})
        stackLayout->addWidget(box);

    auto* wep = new QPushButton(setupText(language, kWepSettings), this);
    wep->setObjectName(QStringLiteral("wepSettings"));
    wep->setAutoDefault(false);
    connect(wep, &QPushButton::clicked, this, &SetupNetworkView::editWep);
    auto* wepRow = new QHBoxLayout;
    wepRow->addWidget(wep);
    wepRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addresses);
    layout->addWidget(stacks);
    layout->addLayout(wepRow);
    layout->addStretch(1);

    connect(ipv4Stack_, &QCheckBox::toggled, this, &SetupNetworkView::onIpv4Toggled);
}

void SetupNetworkView::load() {
    loading_ = true;
    const NetworkPageValues& values = page_.values;
    ipv4Address_->setText(qtText(values.ipv4Address));
    ipv4Mask_->setText(qtText(values.ipv4Mask));
    ipv4Router_->setText(qtText(values.ipv4Router));
    ipv6Address_->setText(qtText(values.ipv6Address));
    ipv6PrefixLength_->setText(qtText(values.ipv6PrefixLength));
    ipv6Router_->setText(qtText(values.ipv6Router));
    dhcpHostName_->setText(qtText(values.dhcpHostName));
    linkSpeed_->setCurrentIndex(values.linkSpeedIndex);
    ipv4Stack_->setChecked(values.ipv4Stack);
    ipv6Stack_->setChecked(values.ipv6Stack);
    stackOptionBit6_->setChecked(values.stackOptionBit6);
    stackOptionBit7_->setChecked(values.stackOptionBit7);
    enableControls();
    loading_ = false;
}

void SetupNetworkView::store() {
    NetworkPageValues& values = page_.values;
    values.ipv4Address = plainText(ipv4Address_->text());
    values.ipv4Mask = plainText(ipv4Mask_->text());
    values.ipv4Router = plainText(ipv4Router_->text());
    values.ipv6Address = plainText(ipv6Address_->text());
    values.ipv6PrefixLength = plainText(ipv6PrefixLength_->text());
    values.ipv6Router = plainText(ipv6Router_->text());
    values.dhcpHostName = plainText(dhcpHostName_->text());
    values.linkSpeedIndex = linkSpeed_->currentIndex();
    values.ipv4Stack = ipv4Stack_->isChecked();
    values.ipv6Stack = ipv6Stack_->isChecked();
    values.stackOptionBit6 = stackOptionBit6_->isChecked();
    values.stackOptionBit7 = stackOptionBit7_->isChecked();
}

void SetupNetworkView::onIpv4Toggled(bool checked) {
    if (loading_)
        return;
    page_.values.ipv4Stack = checked;
    if (!checked && !page_.OnUncheckIpv4()) {
        const QSignalBlocker blocker(ipv4Stack_);
        ipv4Stack_->setChecked(page_.values.ipv4Stack);
    }
    enableControls();
}

void SetupNetworkView::editWep() {
    SetWepkey dialog = editor_.wepDialog();
    SetupWepDialog window(dialog, language_, this);
    const bool taken = window.exec() == QDialog::Accepted;
    editor_.wepDialogEnded(dialog, taken);
}

void SetupNetworkView::enableControls() {
    for (QLineEdit* edit : {ipv4Address_, ipv4Mask_, ipv4Router_})
        edit->setEnabled(page_.ipv4ControlsEnabled());
    dhcpHostName_->setEnabled(page_.hostNameAndLinkSpeedEnabled());
    linkSpeed_->setEnabled(page_.hostNameAndLinkSpeedEnabled());
    for (QCheckBox* box : {ipv4Stack_, ipv6Stack_, stackOptionBit6_, stackOptionBit7_})
        box->setEnabled(page_.stackControlsEnabled());
}

} // namespace kestrix
