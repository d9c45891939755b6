#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace kestrix {

class CSetPrivkey;

// The window of the PIN-code verification key (CSetPrivkey): the prompt,
// "Eingabe in" hexadecimal or Base64, the key field, OK and Cancel. OK goes
// to the logic; a refused key keeps the dialog open. It decides nothing
// itself; the caller takes the key.
class SetupPinKeyDialog : public QDialog {
    Q_OBJECT
public:
    SetupPinKeyDialog(CSetPrivkey& dialog, const QString& cancelText, QWidget* parent);
    void accept() override;

private:
    CSetPrivkey& dialog_;
    QRadioButton* hexadecimal_;
    QRadioButton* base64_;
    QLineEdit* key_;
};

} // namespace kestrix
