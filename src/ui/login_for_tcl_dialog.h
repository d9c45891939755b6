#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;

namespace kestrix {

class CLoginForTCL;
class CToolBoxLang;

// The window of the TCL login (CLoginForTCL): the heading, the field for the
// text the key was made from, "oder", the field for a setup password of
// grade 2 or 3, OK and Cancel. OK goes to the logic on a worker thread (the
// password's check fetches the terminal's block) while this window keeps
// painting with its controls disabled; a refused entry leaves both fields as
// they are and the dialog open. It decides nothing itself.
class LoginForTclDialog : public QDialog {
    Q_OBJECT
public:
    LoginForTclDialog(CLoginForTCL& login, const CToolBoxLang& language, QWidget* parent);

    // Runs the dialog modally; true when it ended with OK (the login holds the key).
    static bool run(QWidget* parent, CLoginForTCL& login, const CToolBoxLang& language);

    void accept() override;
    void reject() override;

private:
    // The login's OK with the fields' texts; its boxes and wait cursor reach
    // this thread while it runs.
    bool askLogin();

    CLoginForTCL& login_;
    QLineEdit* text_;
    QLineEdit* password_;
    QDialogButtonBox* buttons_;
    bool asking_ = false;
};

} // namespace kestrix
