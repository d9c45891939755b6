#include "ui/login_for_tcl_dialog.h"

#include "config/login_for_tcl.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "ui/background_operation.h"
#include "ui/plain_label.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace kestrix {

LoginForTclDialog::LoginForTclDialog(CLoginForTCL& login, const CToolBoxLang& language, QWidget* parent)
    : QDialog(parent), login_(login), text_(new QLineEdit(this)), password_(new QLineEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QString::fromUtf8(kProductCaption));
    QLabel* heading = plainLabel(login.heading(), this);
    heading->setObjectName(QStringLiteral("heading"));
    text_->setObjectName(QStringLiteral("text"));
    text_->setMaxLength(static_cast<int>(CLoginForTCL::kTextLimit));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    buttons_->button(QDialogButtonBox::Cancel)->setText(QString::fromStdString(language.GetText(0)));
    connect(buttons_, &QDialogButtonBox::accepted, this, &LoginForTclDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &LoginForTclDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addSpacing(8);
    layout->addWidget(plainLabel(login.textLabel(), this));
    layout->addWidget(text_);
    layout->addWidget(plainLabel(login.orWord(), this), 0, Qt::AlignHCenter);
    layout->addWidget(plainLabel(login.passwordLabel(), this));
    layout->addWidget(password_);
    layout->addWidget(buttons_);
    // The heading wraps within a width that keeps the fields usable.
    setMinimumWidth(fontMetrics().averageCharWidth() * 56);
    text_->setFocus();
}

bool LoginForTclDialog::run(QWidget* parent, CLoginForTCL& login, const CToolBoxLang& language) {
    LoginForTclDialog dialog(login, language, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool LoginForTclDialog::askLogin() {
    const std::string text = text_->text().toStdString();
    const std::string password = password_->text().toStdString();
    bool known = false;
    QEventLoop waiting;
    BackgroundOperation operation;
    operation.start([this, &text, &password, &known] { known = login_.OnOK(text, password); },
                    [&waiting] { waiting.quit(); });
    waiting.exec();
    return known;
}

void LoginForTclDialog::accept() {
    if (asking_)
        return;
    const auto setAsking = [this](bool asking) {
        asking_ = asking;
        for (QWidget* control : {static_cast<QWidget*>(text_), static_cast<QWidget*>(password_),
                                 static_cast<QWidget*>(buttons_)})
            control->setEnabled(!asking);
    };
    setAsking(true);
    const bool known = askLogin();
    setAsking(false);
    if (known) {
        QDialog::accept();
        return;
    }
    // The reason has been shown; the user corrects the field that was used.
    QLineEdit* used = text_->text().isEmpty() ? password_ : text_;
    used->setFocus();
    used->selectAll();
}

void LoginForTclDialog::reject() {
    // Escape and the window's close button while the login asks the
    // terminal wait for its answer.
    if (asking_)
        return;
    login_.OnCancel();
    QDialog::reject();
}

} // namespace kestrix
