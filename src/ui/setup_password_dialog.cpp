#include "ui/setup_password_dialog.h"

#include "config/setup_password_change.h"
#include "messages/toolbox_lang.h"
#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kCancel = 0;

} // namespace

SetupPasswordDialog::SetupPasswordDialog(SetupPasswordChange& change, const CToolBoxLang& language,
                                         QWidget* parent)
    : QDialog(parent), change_(change) {
    setWindowTitle(qtText(change_.title()));
    const int length = 2 * static_cast<int>(SetupPasswordChange::passwordLength(3));
    current_ = setupLineEdit(length, "currentPassword", this);
    newPassword_ = setupLineEdit(length, "newPassword", this);
    retyped_ = setupLineEdit(length, "retypedPassword", this);
    for (QLineEdit* edit : {current_, newPassword_, retyped_})
        edit->setEchoMode(QLineEdit::Password);

    auto* fields = new QGridLayout;
    addSetupRow(*fields, qtText(change_.currentPasswordLabel()), current_);
    addSetupRow(*fields, qtText(change_.newPasswordLabel()), newPassword_);
    addSetupRow(*fields, qtText(change_.retypedPasswordLabel()), retyped_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(qtText(language.GetText(kCancel)));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plainLabel(change_.gradeLabel(), this));
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

void SetupPasswordDialog::accept() {
    if (change_.OnOK(plainText(current_->text()), plainText(newPassword_->text()), plainText(retyped_->text())))
        QDialog::accept();
}

} // namespace kestrix
