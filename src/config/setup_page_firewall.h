#pragma once

#include "config/setup_address_text.h"
#include "config/setup_page.h"
#include "platform/message_box.h"

#include <array>
#include <cstdint>
#include <string>

namespace kestrix {

// The three service check boxes of a firewall rule.
struct FirewallServices {
    bool data = false;        // "Daten": the host interface
    bool status = false;      // "Status"
    bool maintenance = false; // "Wartung"
    bool operator==(const FirewallServices&) const = default;
};

// An IPv4 rule as the page shows it: dotted net and mask.
struct FirewallIpv4RuleValues {
    std::string net = "0.0.0.0";
    std::string mask = "0.0.0.0";
    FirewallServices services;
    bool operator==(const FirewallIpv4RuleValues&) const = default;
};

// An IPv6 rule as the page shows it: the prefix as IPv6 text ("::" for
// none) and its length as a decimal text.
struct FirewallIpv6RuleValues {
    std::string prefix = "::";
    std::string prefixLength = "0";
    FirewallServices services;
    bool operator==(const FirewallIpv6RuleValues&) const = default;
};

struct FirewallPageValues {
    bool inUse = false; // "Firewall verwenden"
    std::array<FirewallIpv4RuleValues, setup_field::kFirewallRules> ipv4Rules;
    std::array<FirewallIpv6RuleValues, setup_field::kFirewallRules> ipv6Rules;
    bool operator==(const FirewallPageValues&) const = default;
};

// What the editor does after the firewall page's Put.
enum class FirewallPageRequest {
    None,
    SelectFirewallTab, // the user kept the dialog open: show this page and refill all pages
};

// The firewall page: whether the terminal's firewall is in use, and its five
// IPv4 and five IPv6 rules with the services each lets through.
//
// Put stores every rule: a rule whose net (prefix) or mask (length) is zero,
// or that has no service checked, is stored as unused (cleared) and, when
// something was entered in it, reported. A net, mask, prefix or length that
// does not read is reported and keeps its previous value. With the firewall
// in use, Put then checks that this PC can still reach the terminal for
// maintenance (VerifyFirewall); if not, the user decides: OK stores the
// rules anyway, Cancel stops OK and asks the editor to select this page.
//
// It neither writes the block to the terminal nor switches the editor's tab.
class FirewallPage : public SetupPage {
public:
    static constexpr unsigned kPrefixLengthLimit = 128;

    explicit FirewallPage(const SetupContext& context) : context_(context) {}

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    // What the last Put asks of the editor.
    FirewallPageRequest request() const { return request_; }

    FirewallPageValues values;

private:
    void putIpv4Rule(SetupBlock& block, std::size_t rule);
    void putIpv6Rule(SetupBlock& block, std::size_t rule);
    void showMessage(const std::string& text, MessageIcon icon);
    void showNumbered(int messageId, std::size_t rule);

    const SetupContext& context_;
    FirewallPageRequest request_ = FirewallPageRequest::None;
};

} // namespace kestrix
