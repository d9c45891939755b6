#include "config/setup_page_network.h"

#include "config/setup_address_text.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"

#include <algorithm>
#include <cctype>

namespace kestrix {

namespace {

// Message table entries of the page.
constexpr int kAddressFormatMessage = 13;       // "Das Format der IP-Adresse ... ist fehlerhaft."
constexpr int kIpStack = 434;                 // "IP-Stack"
constexpr int kIpv6AddressError = 435;        // "Konvertierungsfehler bei der IPv6-Adresse"
constexpr int kPrefixLengthError = 436;       // "Konvertierungsfehler bei der Prefixlänge"
constexpr int kIpv6RouterError = 437;         // "... bei der IPv6-Adresse des Routers"
constexpr int kDhcpHostNameCharacters = 438;  // "Der DHCP-Hostname darf nur ..."
constexpr int kStackMissing = 439;            // "Auswahl des IP-Stacks fehlt: IPv4 gesetzt."
constexpr int kIpv4Unreachable = 440;         // "verwendet IPv4. Mit dieser Einstellung ..."

// ip_stack_option: bits 0-1 the stacks, bits 6 and 7 two check boxes; bits 2-5 are kept.
constexpr std::uint8_t kStackMask = 0x03;
constexpr std::uint8_t kStackIpv4 = 0;
constexpr std::uint8_t kStackBoth = 1;
constexpr std::uint8_t kStackIpv6 = 2;
constexpr std::uint8_t kOptionBit6 = 0x40;
constexpr std::uint8_t kOptionBit7 = 0x80;
constexpr std::uint8_t kKeptStackBits = 0x3c;

} // namespace

const std::array<std::string_view, NetworkPage::kLinkSpeeds>& NetworkPage::linkSpeedNames() {
    static constexpr std::array<std::string_view, kLinkSpeeds> names{
        "auto negotiation", "10Base-T half duplex", "10Base-T full duplex", "100Base-TX half duplex",
        "100Base-TX full duplex"};
    return names;
}

std::string NetworkPage::stackOptionLabel(int bit) const {
    return context_.language.GetText(kIpStack) + " (bit " + std::to_string(bit) + ")";
}

bool NetworkPage::isValidDhcpHostName(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char character) {
        const auto code = static_cast<unsigned char>(character);
        return code < 0x80 && (std::isalnum(code) != 0 || character == '-');
    });
}

TerminalAddressTexts NetworkPage::addresses(const SetupBlock& block) {
    return {ipv4NumberToText(block.number(setup_field::Ipv4Address)),
            ipv6BytesToText(block.span(setup_field::Ipv6Address.offset, setup_field::Ipv6Address.width))};
}

void NetworkPage::Get(const SetupBlock& block) {
    values.ipv4Address = ipv4NumberToText(block.number(setup_field::Ipv4Address));
    values.ipv4Mask = ipv4NumberToText(block.number(setup_field::Ipv4Mask));
    values.ipv4Router = ipv4NumberToText(block.number(setup_field::Ipv4Router));
    values.ipv6Address = ipv6BytesToText(block.span(setup_field::Ipv6Address.offset, setup_field::Ipv6Address.width));
    values.ipv6PrefixLength = std::to_string(block.number(setup_field::Ipv6PrefixLength));
    values.ipv6Router = ipv6BytesToText(block.span(setup_field::Ipv6Router.offset, setup_field::Ipv6Router.width));
    values.dhcpHostName = block.text(setup_field::DhcpHostName);
    const std::uint32_t linkSpeed = block.number(setup_field::LinkSpeed);
    values.linkSpeedIndex = linkSpeed >= 1 && linkSpeed <= kLinkSpeeds ? static_cast<int>(linkSpeed) - 1 : -1;
    const std::uint32_t option = block.number(setup_field::IpStackOption);
    values.ipv4Stack = (option & kStackMask) != kStackIpv6;
    values.ipv6Stack = (option & kStackMask) != kStackIpv4;
    values.stackOptionBit6 = (option & kOptionBit6) != 0;
    values.stackOptionBit7 = (option & kOptionBit7) != 0;
    focus_ = NetworkPageControl::None;
    fetched_ = addresses(block);
    stored_ = fetched_;
}

bool NetworkPage::Put(SetupBlock& block) {
    focus_ = NetworkPageControl::None;
    putIpv4(block, setup_field::Ipv4Address, values.ipv4Address);
    putIpv4(block, setup_field::Ipv4Mask, values.ipv4Mask);
    putIpv4(block, setup_field::Ipv4Router, values.ipv4Router);
    putIpv6(block, setup_field::Ipv6Address, values.ipv6Address, kIpv6AddressError);
    if (const auto length = decimalNumber(values.ipv6PrefixLength, kPrefixLengthLimit))
        block.setNumber(setup_field::Ipv6PrefixLength, *length);
    else
        showMessage(kPrefixLengthError, MessageIcon::Error);
    putIpv6(block, setup_field::Ipv6Router, values.ipv6Router, kIpv6RouterError);
    stored_ = addresses(block);

    if (context_.versionAtLeast("6.00")) {
        // The field takes no more characters than the block holds with its terminator.
        const std::string name = values.dhcpHostName.substr(0, kDhcpHostNameLimit);
        if (!isValidDhcpHostName(name)) {
            showMessage(kDhcpHostNameCharacters, MessageIcon::Error);
            focus_ = NetworkPageControl::DhcpHostName;
            return false;
        }
        block.setText(setup_field::DhcpHostName, name);
        if (values.linkSpeedIndex >= 0 && values.linkSpeedIndex < static_cast<int>(kLinkSpeeds))
            block.setNumber(setup_field::LinkSpeed, static_cast<std::uint32_t>(values.linkSpeedIndex) + 1);
    }
    if (context_.versionAtLeast("6.10"))
        putStacks(block);
    return true;
}

void NetworkPage::putIpv4(SetupBlock& block, const BlockField& field, const std::string& text) {
    if (const auto number = ipv4NumberFromText(text))
        block.setNumber(field, *number);
    else
        showMessage(kAddressFormatMessage, MessageIcon::Error);
}

void NetworkPage::putIpv6(SetupBlock& block, const BlockField& field, const std::string& text, int errorMessage) {
    if (const auto bytes = ipv6BytesFromText(text))
        std::ranges::copy(*bytes, block.span(field.offset, field.width).begin());
    else
        showMessage(errorMessage, MessageIcon::Error);
}

void NetworkPage::putStacks(SetupBlock& block) {
    std::uint8_t stack = kStackIpv4;
    if (values.ipv4Stack && values.ipv6Stack) {
        stack = kStackBoth;
    } else if (values.ipv6Stack) {
        stack = kStackIpv6;
    } else if (!values.ipv4Stack) {
        values.ipv4Stack = true;
        showMessage(kStackMissing, MessageIcon::Information);
    }
    const std::uint32_t kept = block.number(setup_field::IpStackOption) & kKeptStackBits;
    std::uint32_t option = kept | stack;
    if (values.stackOptionBit6)
        option |= kOptionBit6;
    if (values.stackOptionBit7)
        option |= kOptionBit7;
    block.setNumber(setup_field::IpStackOption, option);
}

bool NetworkPage::OnUncheckIpv4() {
    const std::string text = std::string(kProductCaption) + " " + context_.language.GetText(kIpv4Unreachable);
    const MessageAnswer answer =
        context_.messageBoxes.show({kProductCaption, text, MessageIcon::Exclamation, MessageButtons::OkCancel});
    values.ipv4Stack = answer != MessageAnswer::Ok;
    return !values.ipv4Stack;
}

void NetworkPage::showMessage(int messageId, MessageIcon icon) {
    context_.messageBoxes.show({kProductCaption, context_.language.GetText(messageId), icon});
}

} // namespace kestrix
