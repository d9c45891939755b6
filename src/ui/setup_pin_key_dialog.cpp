#include "ui/setup_pin_key_dialog.h"

#include "config/set_privkey.h"
#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrix {

SetupPinKeyDialog::SetupPinKeyDialog(CSetPrivkey& dialog, const QString& cancelText, QWidget* parent)
    : QDialog(parent), dialog_(dialog),
      hexadecimal_(new QRadioButton(qtText(dialog.inputName(PinKeyInput::Hexadecimal)), this)),
      base64_(new QRadioButton(qtText(dialog.inputName(PinKeyInput::Base64)), this)),
      key_(setupLineEdit(static_cast<int>(CSetPrivkey::kFieldLimit), "key", this)) {
    setWindowTitle(qtText(dialog_.title()));
    hexadecimal_->setObjectName(QStringLiteral("hexadecimal"));
    base64_->setObjectName(QStringLiteral("base64"));
    hexadecimal_->setChecked(true);
    key_->setMinimumWidth(key_->fontMetrics().horizontalAdvance(QString(CSetPrivkey::kHexadecimalLength, u'0')));

    auto* form = new QHBoxLayout;
    form->addWidget(plainLabel(dialog_.inputInLabel(), this));
    form->addWidget(hexadecimal_);
    form->addWidget(base64_);
    form->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(cancelText);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plainLabel(dialog_.prompt(), this));
    layout->addLayout(form);
    layout->addWidget(key_);
    layout->addWidget(buttons);
}

void SetupPinKeyDialog::accept() {
    const PinKeyInput form = base64_->isChecked() ? PinKeyInput::Base64 : PinKeyInput::Hexadecimal;
    if (dialog_.OnOK(form, plainText(key_->text())))
        QDialog::accept();
}

} // namespace kestrix
