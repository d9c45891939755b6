#pragma once

#include "config/setup_page_firewall.h"
#include "ui/setup_page_view.h"

#include <array>

class QCheckBox;
class QGridLayout;
class QLineEdit;

namespace kestrix {

// The firewall page's view: "Firewall verwenden", then the five IPv4 rules
// (net, mask) and the five IPv6 rules (prefix, length), each with its three
// service boxes. The checks, and what happens when this PC would be shut
// out, are the page's.
class SetupFirewallView : public SetupPageView {
    Q_OBJECT
public:
    SetupFirewallView(FirewallPage& page, const CToolBoxLang& language, QWidget* parent);
    void load() override;
    void store() override;

private:
    // The controls of one rule row.
    struct RuleControls {
        QLineEdit* address;
        QLineEdit* length;
        QCheckBox* data;
        QCheckBox* status;
        QCheckBox* maintenance;
    };
    using Rules = std::array<RuleControls, setup_field::kFirewallRules>;
    QWidget* buildRules(const CToolBoxLang& language, int title, int lengthTitle, int addressLength,
                        int lengthLength, Rules& rules);
    static void loadServices(const FirewallServices& services, const RuleControls& controls);
    static FirewallServices storedServices(const RuleControls& controls);

    FirewallPage& page_;
    QCheckBox* inUse_;
    Rules ipv4_{};
    Rules ipv6_{};
};

} // namespace kestrix
