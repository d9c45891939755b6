#include "ui/setup_firewall_view.h"

#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kStatus = 10;
constexpr int kInUse = 446;
constexpr int kIpv4Rules = 447;
constexpr int kIpv6Rules = 448;
constexpr int kNet = 449;
constexpr int kMask = 450;
constexpr int kPrefix = 451;
constexpr int kServices = 452;
constexpr int kData = 453;
constexpr int kMaintenance = 454;
constexpr int kIpv4Length = 15;
constexpr int kIpv6Length = 45;
constexpr int kPrefixDigits = 3;

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

SetupFirewallView::SetupFirewallView(FirewallPage& page, const CToolBoxLang& language, QWidget* parent)
    : SetupPageView(parent), page_(page), inUse_(setupCheckBox(setupText(language, kInUse), "inUse", this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inUse_);
    layout->addWidget(buildRules(language, kIpv4Rules, kMask, kIpv4Length, kIpv4Length, ipv4_));
    layout->addWidget(buildRules(language, kIpv6Rules, kPrefix, kIpv6Length, kPrefixDigits, ipv6_));
    layout->addStretch(1);
}

QWidget* SetupFirewallView::buildRules(const CToolBoxLang& language, int title, int lengthTitle,
                                       int addressLength, int lengthLength, Rules& rules) {
    auto* group = new QGroupBox(setupText(language, title), this);
    const QString prefix = title == kIpv4Rules ? QStringLiteral("ipv4") : QStringLiteral("ipv6");
    group->setObjectName(prefix + QStringLiteral("Rules"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(heading(setupText(language, kNet), group), 0, 0);
    grid->addWidget(heading(setupText(language, lengthTitle), group), 0, 1);
    grid->addWidget(heading(setupText(language, kServices), group), 0, 2, 1, 3);
    for (std::size_t index = 0; index < rules.size(); ++index) {
        RuleControls& rule = rules[index];
        const QString number = QString::number(index + 1);
        rule.address = setupLineEdit(addressLength, "address", group);
        rule.address->setObjectName(prefix + QStringLiteral("Address") + number);
        rule.length = setupLineEdit(lengthLength, "length", group);
        rule.length->setObjectName(prefix + QStringLiteral("Length") + number);
        rule.data = setupCheckBox(setupText(language, kData), "data", group);
        rule.status = setupCheckBox(setupText(language, kStatus), "status", group);
        rule.maintenance = setupCheckBox(setupText(language, kMaintenance), "maintenance", group);
        const int row = static_cast<int>(index) + 1;
        grid->addWidget(rule.address, row, 0);
        grid->addWidget(rule.length, row, 1);
        grid->addWidget(rule.data, row, 2);
        grid->addWidget(rule.status, row, 3);
        grid->addWidget(rule.maintenance, row, 4);
    }
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, lengthLength == kPrefixDigits ? 1 : 3);
    return group;
}

void SetupFirewallView::loadServices(const FirewallServices& services, const RuleControls& controls) {
    controls.data->setChecked(services.data);
    controls.status->setChecked(services.status);
    controls.maintenance->setChecked(services.maintenance);
}

FirewallServices SetupFirewallView::storedServices(const RuleControls& controls) {
    return {controls.data->isChecked(), controls.status->isChecked(), controls.maintenance->isChecked()};
}

void SetupFirewallView::load() {
    const FirewallPageValues& values = page_.values;
    inUse_->setChecked(values.inUse);
    for (std::size_t index = 0; index < ipv4_.size(); ++index) {
        ipv4_[index].address->setText(qtText(values.ipv4Rules[index].net));
        ipv4_[index].length->setText(qtText(values.ipv4Rules[index].mask));
        loadServices(values.ipv4Rules[index].services, ipv4_[index]);
        ipv6_[index].address->setText(qtText(values.ipv6Rules[index].prefix));
        ipv6_[index].length->setText(qtText(values.ipv6Rules[index].prefixLength));
        loadServices(values.ipv6Rules[index].services, ipv6_[index]);
    }
}

void SetupFirewallView::store() {
    FirewallPageValues& values = page_.values;
    values.inUse = inUse_->isChecked();
    for (std::size_t index = 0; index < ipv4_.size(); ++index) {
        values.ipv4Rules[index] = {plainText(ipv4_[index].address->text()), plainText(ipv4_[index].length->text()),
                                   storedServices(ipv4_[index])};
        values.ipv6Rules[index] = {plainText(ipv6_[index].address->text()), plainText(ipv6_[index].length->text()),
                                   storedServices(ipv6_[index])};
    }
}

} // namespace kestrix
