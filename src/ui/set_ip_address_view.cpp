#include "ui/set_ip_address_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace kestrix {

namespace {

QLabel* plainLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

Ipv4Fields fieldsOf(const std::array<QLineEdit*, 4>& parts) {
    Ipv4Fields fields;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        bool number = false;
        const int value = parts[index]->text().toInt(&number);
        if (number && value >= 0 && value <= 255)
            fields[index] = static_cast<std::uint8_t>(value);
    }
    return fields;
}

} // namespace

SetIPAddressDialogView::SetIPAddressDialogView(CSetIPAddress& dialog,
                                               std::function<void(std::function<void()>)> runLong,
                                               QWidget* parent)
    : QWidget(parent), dialog_(dialog), runLong_(std::move(runLong)), serialNumber_(new QLineEdit(this)),
      address_(addAddressField(QStringLiteral("address"))), mask_(addAddressField(QStringLiteral("mask"))),
      gateway_(addAddressField(QStringLiteral("gateway"))), group_(new QLineEdit(this)),
      statusLine_(new QLabel(this)), ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(this)) {
    const SetIPAddressTexts& texts = dialog_.texts();
    serialNumber_->setObjectName(QStringLiteral("serialNumber"));
    serialNumber_->setMaxLength(static_cast<int>(CSetIPAddress::kSerialNumberLimit));
    group_->setObjectName(QStringLiteral("group"));
    group_->setMaxLength(static_cast<int>(CSetIPAddress::kGroupLimit));
    group_->setText(QString::fromStdString(dialog_.groupText()));
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setWordWrap(true);
    ok_->setObjectName(QStringLiteral("ok"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setText(QString::fromStdString(texts.cancel));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &SetIPAddressDialogView::onOK);
    connect(cancel_, &QPushButton::clicked, this, [this] { dialog_.OnCancel(); });

    auto* heading = plainLabel(texts.heading, this);
    heading->setWordWrap(true);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setVerticalSpacing(10);
    layout->addWidget(heading, 0, 0, 1, 2);
    layout->addWidget(plainLabel(texts.serialNumber, this), 1, 0);
    layout->addWidget(serialNumber_, 1, 1, Qt::AlignLeft);
    int row = 2;
    for (const auto& [label, parts] :
         {std::pair{&texts.address, &address_}, {&texts.mask, &mask_}, {&texts.gateway, &gateway_}}) {
        auto* field = new QHBoxLayout;
        field->setSpacing(2);
        for (std::size_t index = 0; index < parts->size(); ++index) {
            if (index > 0)
                field->addWidget(new QLabel(QStringLiteral("."), this));
            field->addWidget((*parts)[index]);
        }
        field->addStretch(1);
        layout->addWidget(plainLabel(*label, this), row, 0);
        layout->addLayout(field, row++, 1);
    }
    layout->addWidget(plainLabel(texts.group, this), row, 0);
    layout->addWidget(group_, row++, 1, Qt::AlignLeft);
    layout->addWidget(statusLine_, row++, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons, row++, 0, 1, 2);
    layout->setRowStretch(row, 1);
    layout->setColumnStretch(1, 1);
}

SetIPAddressDialogView::AddressParts SetIPAddressDialogView::addAddressField(const QString& name) {
    // A part is empty or a number from 0 to 255.
    static const QRegularExpression part(QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?"));
    AddressParts parts;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name + QString::number(index));
        edit->setMaxLength(3);
        edit->setValidator(new QRegularExpressionValidator(part, edit));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 10);
        edit->setAlignment(Qt::AlignCenter);
        parts[index] = edit;
    }
    return parts;
}

void SetIPAddressDialogView::setStatusLine(const std::string& text) {
    statusLine_->setText(QString::fromStdString(text));
}

void SetIPAddressDialogView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    serialNumber_->setFocus();
}

SetIPAddressInput SetIPAddressDialogView::input() const {
    return {serialNumber_->text().toStdString(), fieldsOf(address_), fieldsOf(mask_), fieldsOf(gateway_),
            group_->text().toStdString()};
}

void SetIPAddressDialogView::onOK() {
    if (!dialog_.checkInput(input()))
        return;
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    // The worker needs the logic only, which outlives this view.
    CSetIPAddress& dialog = dialog_;
    runLong_([&dialog] { dialog.OnOK(); });
}

} // namespace kestrix
