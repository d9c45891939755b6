#include "ui/setup_encrypt_dialog.h"

#include "config/set_encrypt.h"
#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

// The logic makes the key from the first 512 characters.
constexpr int kTextLimit = 512;

} // namespace

SetupEncryptDialog::SetupEncryptDialog(CSetEncrypt& dialog, const QString& cancelText, QWidget* parent)
    : QDialog(parent), dialog_(dialog), text_(setupLineEdit(kTextLimit, "text", this)) {
    setWindowTitle(qtText(dialog_.title()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(cancelText);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plainLabel(dialog_.heading(), this));
    layout->addWidget(plainLabel(dialog_.prompt(), this));
    layout->addWidget(text_);
    layout->addWidget(buttons);
}

void SetupEncryptDialog::accept() {
    if (dialog_.OnOK(plainText(text_->text())))
        QDialog::accept();
}

void SetupEncryptDialog::reject() {
    dialog_.OnCancel();
    QDialog::reject();
}

} // namespace kestrix
