#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrix {

class CSetEncrypt;

// The window of the key made from a text (CSetEncrypt): its heading, the
// prompt, the text field, OK and Cancel. OK goes to the logic, which refuses
// an empty text (the dialog stays open); Cancel lets the logic say that no
// key was made. It decides nothing itself; the caller takes the key.
class SetupEncryptDialog : public QDialog {
    Q_OBJECT
public:
    SetupEncryptDialog(CSetEncrypt& dialog, const QString& cancelText, QWidget* parent);
    void accept() override;
    void reject() override;

private:
    CSetEncrypt& dialog_;
    QLineEdit* text_;
};

} // namespace kestrix
