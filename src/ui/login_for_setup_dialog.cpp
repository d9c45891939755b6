#include "ui/login_for_setup_dialog.h"

#include "config/login_for_setup.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrix {

LoginForSetupDialog::LoginForSetupDialog(CLoginForSetup& login, const CToolBoxLang& language, QWidget* parent)
    : QDialog(parent), login_(login), grades_(new QButtonGroup(this)), password_(new QLineEdit(this)) {
    setWindowTitle(QString::fromUtf8(kProductCaption));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QString::fromStdString(login.heading()), this);
    heading->setObjectName(QStringLiteral("heading"));
    layout->addWidget(heading);
    for (int grade = 1; grade <= CLoginForSetup::kGrades; ++grade) {
        auto* radio = new QRadioButton(QString::fromStdString(login.gradeText(grade)), this);
        radio->setObjectName(QStringLiteral("grade%1").arg(grade));
        radio->setEnabled(login.gradeEnabled(grade));
        radio->setChecked(grade == login.preselectedGrade());
        grades_->addButton(radio, grade);
        layout->addWidget(radio);
    }
    layout->addWidget(new QLabel(QString::fromStdString(login.passwordLabel()), this));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(CLoginForSetup::inputLimit(login.preselectedGrade()));
    layout->addWidget(password_);
    connect(grades_, &QButtonGroup::idClicked, this,
            [this](int grade) { password_->setMaxLength(CLoginForSetup::inputLimit(grade)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromStdString(language.GetText(0)));
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginForSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LoginForSetupDialog::reject);
    layout->addWidget(buttons);
    password_->setFocus();
}

bool LoginForSetupDialog::run(QWidget* parent, CLoginForSetup& login, const CToolBoxLang& language) {
    LoginForSetupDialog dialog(login, language, parent);
    return dialog.exec() == QDialog::Accepted;
}

int LoginForSetupDialog::selectedGrade() const {
    return grades_->checkedId();
}

void LoginForSetupDialog::accept() {
    if (login_.OnOK(selectedGrade(), password_->text().toStdString())) {
        QDialog::accept();
        return;
    }
    password_->clear();
    password_->setFocus();
}

} // namespace kestrix
