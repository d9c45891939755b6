#pragma once

#include "config/setup_page.h"
#include "platform/message_box.h"

#include <array>
#include <string>
#include <string_view>

namespace kestrix {

// The controls of the TCP/IP page as its view shows and edits them.
struct NetworkPageValues {
    std::string ipv4Address; // dotted texts
    std::string ipv4Mask;
    std::string ipv4Router;
    std::string ipv6Address; // IPv6 texts, "::" for none
    std::string ipv6PrefixLength;
    std::string ipv6Router;
    std::string dhcpHostName;
    int linkSpeedIndex = 0; // into NetworkPage::linkSpeedNames(); -1 when the block's value has no entry
    bool ipv4Stack = true;
    bool ipv6Stack = false;
    bool stackOptionBit6 = false; // bits 6 and 7 of ip_stack_option, whatever the firmware makes of them
    bool stackOptionBit7 = false;
};

// The control a refused Put puts the focus on.
enum class NetworkPageControl { None, DhcpHostName };

// The terminal's own addresses as the page shows them: "0.0.0.0" and "::"
// when the block holds none.
struct TerminalAddressTexts {
    std::string ipv4;
    std::string ipv6;
    bool operator==(const TerminalAddressTexts&) const = default;
};

// The TCP/IP page: the terminal's IPv4 address, mask and router, its IPv6
// address, prefix length and router, and from ActualVersion "6.00" on the
// DHCP host name and the Ethernet link speed, from "6.10" on the IP stacks
// (IPv4, IPv6, both) and the two further bits of ip_stack_option.
//
// Put stores every field it can read. An address or prefix length that does
// not read is reported and keeps its previous value; a DHCP host name with
// another character than a letter, a digit or "-" is refused and stops OK.
// Unchecking IPv4 asks first (OnUncheckIpv4). The page remembers the
// addresses of Get and of the last Put, so the editor can tell whether the
// terminal is about to get a new address.
//
// It neither writes the block to the terminal nor follows the terminal to
// its new address: the editor does.
class NetworkPage : public SetupPage {
public:
    static constexpr std::size_t kDhcpHostNameLimit = 19;
    static constexpr unsigned kPrefixLengthLimit = 128;
    static constexpr std::size_t kLinkSpeeds = 5;

    explicit NetworkPage(const SetupContext& context) : context_(context) {}

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    // The user unchecks IPv4: asks whether the terminal may be left without
    // IPv4. True when the box stays unchecked (OK); Cancel checks it again.
    bool OnUncheckIpv4();

    // Whether the view enables the IPv4 address controls (IPv4 is checked),
    // the DHCP host name and link speed (ActualVersion "6.00" and later) and
    // the stack check boxes (ActualVersion "6.10" and later).
    bool ipv4ControlsEnabled() const { return values.ipv4Stack; }
    bool hostNameAndLinkSpeedEnabled() const { return context_.versionAtLeast("6.00"); }
    bool stackControlsEnabled() const { return context_.versionAtLeast("6.10"); }

    // The entries of the link speed list (the same in every language).
    static const std::array<std::string_view, kLinkSpeeds>& linkSpeedNames();
    // The label of the check box of bit 6 or 7 of ip_stack_option.
    std::string stackOptionLabel(int bit) const;
    // A letter, a digit or "-" each.
    static bool isValidDhcpHostName(std::string_view name);

    // The control to focus after Put refused.
    NetworkPageControl focus() const { return focus_; }
    // The addresses Get found, and those the last Put left in the block.
    const TerminalAddressTexts& fetchedAddresses() const { return fetched_; }
    const TerminalAddressTexts& storedAddresses() const { return stored_; }
    // Whether the last Put gave the terminal another IPv4 or IPv6 address.
    bool addressChanged() const { return stored_ != fetched_; }

    NetworkPageValues values;

private:
    void putIpv4(SetupBlock& block, const BlockField& field, const std::string& text);
    void putIpv6(SetupBlock& block, const BlockField& field, const std::string& text, int errorMessage);
    void putStacks(SetupBlock& block);
    void showMessage(int messageId, MessageIcon icon);
    static TerminalAddressTexts addresses(const SetupBlock& block);

    const SetupContext& context_;
    NetworkPageControl focus_ = NetworkPageControl::None;
    TerminalAddressTexts fetched_;
    TerminalAddressTexts stored_;
};

} // namespace kestrix
