#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrix {

class CToolBoxLang;
class SetupPasswordChange;

// The window of the password change of the "Sonstiges" page
// (SetupPasswordChange): the grade, the current password, the new one and
// its repetition, OK and Cancel. OK goes to the logic; a refused entry keeps
// the dialog open. It decides nothing itself.
class SetupPasswordDialog : public QDialog {
    Q_OBJECT
public:
    SetupPasswordDialog(SetupPasswordChange& change, const CToolBoxLang& language, QWidget* parent);
    void accept() override;

private:
    SetupPasswordChange& change_;
    QLineEdit* current_;
    QLineEdit* newPassword_;
    QLineEdit* retyped_;
};

} // namespace kestrix
