#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;

namespace kestrix {

class CLoginForSetup;
class CToolBoxLang;

// The window of the setup login (CLoginForSetup): the heading, the three
// access-grade radio buttons as the logic preselects and disables them, the
// password field whose input limit follows the selected grade, OK and
// Cancel. OK goes to the logic; a refused entry clears the field and the
// dialog stays open. It decides nothing itself.
class LoginForSetupDialog : public QDialog {
    Q_OBJECT
public:
    LoginForSetupDialog(CLoginForSetup& login, const CToolBoxLang& language, QWidget* parent);

    // Runs the dialog modally; true when it ended with OK (the login holds the grade).
    static bool run(QWidget* parent, CLoginForSetup& login, const CToolBoxLang& language);

    void accept() override;

private:
    int selectedGrade() const;

    CLoginForSetup& login_;
    QButtonGroup* grades_;
    QLineEdit* password_;
};

} // namespace kestrix
