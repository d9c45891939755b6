#include "ui/setup_wep_dialog.h"

#include "config/setup_wep.h"
#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kCancel = 0;
constexpr int kEncryption = 383;
constexpr int kNetworkName = 384;
constexpr int kKey = 385;

} // namespace

SetupWepDialog::SetupWepDialog(SetWepkey& dialog, const CToolBoxLang& language, QWidget* parent)
    : QDialog(parent), dialog_(dialog),
      encryption_(setupCheckBox(setupText(language, kEncryption), "encryption", this)),
      networkName_(setupLineEdit(static_cast<int>(SetWepkey::kNetworkNameLimit), "networkName", this)),
      key_(setupLineEdit(static_cast<int>(SetWepkey::kKeyLimit), "key", this)) {
    setWindowTitle(qtText(dialog_.title()));
    encryption_->setChecked(dialog_.values.encryption);
    networkName_->setText(qtText(dialog_.values.networkName));
    key_->setText(qtText(dialog_.values.key));

    auto* fields = new QGridLayout;
    addSetupRow(*fields, setupText(language, kNetworkName), networkName_);
    addSetupRow(*fields, setupText(language, kKey), key_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(setupText(language, kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(encryption_);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

void SetupWepDialog::accept() {
    dialog_.values = {encryption_->isChecked(), plainText(networkName_->text()), plainText(key_->text())};
    if (dialog_.OnOK())
        QDialog::accept();
}

void SetupWepDialog::reject() {
    dialog_.OnCancel();
    QDialog::reject();
}

} // namespace kestrix
