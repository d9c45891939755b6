#pragma once

#include "address_reset/set_ip_address.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

// The set-IPv4 dialog in the main window's detail pane: the heading, the
// serial number field, three IPv4 address fields of four parts each (a part
// is empty or 0..255), the maintenance group field, the status line, OK and
// Cancel. OK hands the input to the logic's checks and, when they take it,
// runs the procedure through runLong (the frame's worker) with its own
// buttons disabled; Cancel goes to the logic. It does not check or send
// anything itself; setStatusLine is called on the user-interface thread.
class SetIPAddressDialogView : public QWidget {
    Q_OBJECT
public:
    SetIPAddressDialogView(CSetIPAddress& dialog, std::function<void(std::function<void()>)> runLong,
                           QWidget* parent);

    void setStatusLine(const std::string& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    using AddressParts = std::array<QLineEdit*, 4>;

    AddressParts addAddressField(const QString& name);
    SetIPAddressInput input() const;
    void onOK();

    CSetIPAddress& dialog_;
    std::function<void(std::function<void()>)> runLong_;
    QLineEdit* serialNumber_;
    AddressParts address_;
    AddressParts mask_;
    AddressParts gateway_;
    QLineEdit* group_;
    QLabel* statusLine_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace kestrix
