#pragma once

#include "config/setup_page_tcl.h"
#include "ui/setup_page_view.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kestrix {

// The "TCL-Parameter" page's view: the sizes and times as spin boxes on the
// page's ranges, the application options, the host interface settings (login,
// its format and the two host passwords, host encryption) and the destination
// MAC address, shown and enabled as the page says. Unchecking the host login
// lets the page warn.
//
// "Schlüssel erzeugen" and "PIN-Code Schlüssel..." open the key dialogs,
// whose keys the editor holds until OK writes them.
class SetupTclView : public SetupPageView {
    Q_OBJECT
public:
    SetupTclView(SetupPageTcl& page, CTerminalSetup& editor, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    QWidget* buildSizes(const CToolBoxLang& language);
    QGroupBox* buildHostInterface(const CToolBoxLang& language);
    QGroupBox* buildDestinationMac(const CToolBoxLang& language);
    void makeHostKey();
    void takePinCodeKey();

    SetupPageTcl& page_;
    SetupPendingKeys& keys_;
    const CToolBoxLang& language_;
    QSpinBox* tableField_;
    QSpinBox* saveBuffer_;
    QSpinBox* acknowledgeTime_;
    QSpinBox* totalLabels_;
    QSpinBox* terminalAddress_;
    QCheckBox* logicalRecordNumber_;
    QCheckBox* bmiField88_;
    QCheckBox* applicationFlag9_;
    QGroupBox* hostInterface_ = nullptr;
    QCheckBox* hostLogin_ = nullptr;
    QRadioButton* transmissionRecord_ = nullptr;
    QRadioButton* routingBytes_ = nullptr;
    QLineEdit* loginFormatText_ = nullptr;
    QLineEdit* recordCharacter_ = nullptr;
    QLineEdit* simpleAccessPassword_ = nullptr;
    QLineEdit* administrativePassword_ = nullptr;
    QCheckBox* hostEncryption_ = nullptr;
    QPushButton* hostKey_ = nullptr;
    QPushButton* pinCodeKey_ = nullptr;
    QGroupBox* destinationMac_ = nullptr;
    QRadioButton* fromIncomingPacket_ = nullptr;
    QRadioButton* byArpRequest_ = nullptr;
    bool loading_ = false;
};

} // namespace kestrix
