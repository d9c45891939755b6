#pragma once

#include "config/setup_page_network.h"
#include "ui/setup_page_view.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kestrix {

// The TCP/IP page's view: the IPv4 address, mask and router, the IPv6
// address, prefix length and router, the DHCP host name, the link speed and
// the IP stack boxes, enabled as the page says. Unchecking IPv4 asks the page
// first and checks the box again when the user declines. "WEP Einstellungen..."
// opens the WEP dialog on the editor's pending settings.
class SetupNetworkView : public SetupPageView {
    Q_OBJECT
public:
    SetupNetworkView(NetworkPage& page, CTerminalSetup& editor, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    void onIpv4Toggled(bool checked);
    void enableControls();
    void editWep();

    NetworkPage& page_;
    CTerminalSetup& editor_;
    const CToolBoxLang& language_;
    QLineEdit* ipv4Address_;
    QLineEdit* ipv4Mask_;
    QLineEdit* ipv4Router_;
    QLineEdit* ipv6Address_;
    QLineEdit* ipv6PrefixLength_;
    QLineEdit* ipv6Router_;
    QLineEdit* dhcpHostName_;
    QComboBox* linkSpeed_;
    QCheckBox* ipv4Stack_;
    QCheckBox* ipv6Stack_;
    QCheckBox* stackOptionBit6_;
    QCheckBox* stackOptionBit7_;
    bool loading_ = false;
};

} // namespace kestrix
