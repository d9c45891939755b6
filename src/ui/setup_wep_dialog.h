#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace kestrix {

class CToolBoxLang;
class SetWepkey;

// The window of the WEP settings (SetWepkey): "Verschlüsselung verwenden",
// the optional network name and the key (a stored one shown as "*****"), OK
// and Cancel. OK goes to the logic; a refused entry keeps the dialog open.
// It decides nothing itself; the caller hands the ended dialog to the editor.
class SetupWepDialog : public QDialog {
    Q_OBJECT
public:
    SetupWepDialog(SetWepkey& dialog, const CToolBoxLang& language, QWidget* parent);
    void accept() override;
    void reject() override;

private:
    SetWepkey& dialog_;
    QCheckBox* encryption_;
    QLineEdit* networkName_;
    QLineEdit* key_;
};

} // namespace kestrix
