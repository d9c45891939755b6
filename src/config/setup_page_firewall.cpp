#include "config/setup_page_firewall.h"

#include "config/setup_firewall_check.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"

#include <algorithm>

namespace kestrix {

namespace {

// Message table entries of the page.
constexpr int kAddressFormatMessage = 13;   // "Das Format der IP-Adresse ... ist fehlerhaft."
constexpr int kRuleIgnored = 455;         // "Ein Eintrag wird ignoriert, da keine Dienste ausgewählt sind."
constexpr int kIpv6AddressNumbered = 456; // "Konvertierungsfehler bei der IPv6-Adresse Nummer "
constexpr int kPrefixLengthNumbered = 457; // "Konvertierungsfehler bei der Prefixlänge Nummer "
constexpr int kLockedOut = 458;           // "Mit diesen Einstellungen der Firewall ..."

std::size_t ipv4RuleOffset(std::size_t rule) {
    return setup_field::kIpv4RulesOffset + setup_field::kIpv4RuleWidth * rule;
}

std::size_t ipv6RuleOffset(std::size_t rule) {
    return setup_field::kIpv6RulesOffset + setup_field::kIpv6RuleWidth * rule;
}

FirewallServices servicesOf(std::uint16_t word) {
    return {(word & firewall_service::kData) != 0, (word & firewall_service::kStatus) != 0,
            (word & firewall_service::kMaintenance) != 0};
}

// The service word of the checked boxes (kUnused alone when none is).
std::uint16_t serviceWord(const FirewallServices& services) {
    std::uint16_t word = firewall_service::kUnused;
    if (services.data)
        word |= firewall_service::kData;
    if (services.status)
        word |= firewall_service::kStatus;
    if (services.maintenance)
        word |= firewall_service::kMaintenance;
    return word;
}

bool anyService(const FirewallServices& services) {
    return services.data || services.status || services.maintenance;
}

} // namespace

void FirewallPage::Get(const SetupBlock& block) {
    values.inUse = block.number(setup_field::FirewallInUse) != 0;
    for (std::size_t rule = 0; rule < setup_field::kFirewallRules; ++rule) {
        const std::size_t ipv4 = ipv4RuleOffset(rule);
        FirewallIpv4RuleValues& ipv4Rule = values.ipv4Rules[rule];
        ipv4Rule.net = ipv4NumberToText(block.ipv4Number(ipv4 + setup_field::kIpv4RuleNetOffset));
        ipv4Rule.mask = ipv4NumberToText(block.ipv4Number(ipv4 + setup_field::kIpv4RuleMaskOffset));
        ipv4Rule.services = servicesOf(block.unsigned16(ipv4 + setup_field::kIpv4RuleServiceOffset));

        const std::size_t ipv6 = ipv6RuleOffset(rule);
        FirewallIpv6RuleValues& ipv6Rule = values.ipv6Rules[rule];
        ipv6Rule.prefix = ipv6BytesToText(block.span(ipv6 + setup_field::kIpv6RulePrefixOffset, 16));
        ipv6Rule.prefixLength = std::to_string(block.byte(ipv6 + setup_field::kIpv6RulePrefixLengthOffset));
        ipv6Rule.services = servicesOf(block.unsigned16(ipv6 + setup_field::kIpv6RuleServiceOffset));
    }
    request_ = FirewallPageRequest::None;
}

bool FirewallPage::Put(SetupBlock& block) {
    request_ = FirewallPageRequest::None;
    block.setNumber(setup_field::FirewallReserved, 0);
    block.setNumber(setup_field::FirewallInUse, values.inUse ? 1 : 0);
    for (std::size_t rule = 0; rule < setup_field::kFirewallRules; ++rule)
        putIpv4Rule(block, rule);
    for (std::size_t rule = 0; rule < setup_field::kFirewallRules; ++rule)
        putIpv6Rule(block, rule);
    if (!values.inUse || VerifyFirewall(block, context_.lanInterfaces, context_.actualVersion))
        return true;
    const MessageAnswer answer = context_.messageBoxes.show({kProductCaption, context_.language.GetText(kLockedOut),
                                                             MessageIcon::Exclamation, MessageButtons::OkCancel});
    if (answer == MessageAnswer::Ok)
        return true;
    request_ = FirewallPageRequest::SelectFirewallTab;
    return false;
}

void FirewallPage::putIpv4Rule(SetupBlock& block, std::size_t rule) {
    const FirewallIpv4RuleValues& values4 = values.ipv4Rules[rule];
    const std::size_t offset = ipv4RuleOffset(rule);
    const std::size_t netOffset = offset + setup_field::kIpv4RuleNetOffset;
    const std::size_t maskOffset = offset + setup_field::kIpv4RuleMaskOffset;
    std::uint32_t net = block.ipv4Number(netOffset);
    std::uint32_t mask = block.ipv4Number(maskOffset);
    if (const auto number = ipv4NumberFromText(values4.net))
        net = *number;
    else
        showMessage(context_.language.GetText(kAddressFormatMessage), MessageIcon::Error);
    if (const auto number = ipv4NumberFromText(values4.mask))
        mask = *number;
    else
        showMessage(context_.language.GetText(kAddressFormatMessage), MessageIcon::Error);

    std::uint16_t service = firewall_service::kUnused;
    if (net != 0 && mask != 0)
        service = serviceWord(values4.services);
    if (service == firewall_service::kUnused) {
        // An empty rule is simply unused; one with something in it is reported.
        if (net != 0 || mask != 0 || anyService(values4.services))
            showMessage(context_.language.GetText(kRuleIgnored), MessageIcon::Exclamation);
        net = 0;
        mask = 0;
    }
    block.setIpv4Number(netOffset, net);
    block.setIpv4Number(maskOffset, mask);
    block.setUnsigned16(offset + setup_field::kIpv4RuleServiceOffset, service);
}

void FirewallPage::putIpv6Rule(SetupBlock& block, std::size_t rule) {
    const FirewallIpv6RuleValues& values6 = values.ipv6Rules[rule];
    const std::size_t offset = ipv6RuleOffset(rule);
    const std::size_t lengthOffset = offset + setup_field::kIpv6RulePrefixLengthOffset;
    const std::span<std::uint8_t> prefixField = block.span(offset + setup_field::kIpv6RulePrefixOffset, 16);
    Ipv6Bytes prefix{};
    std::ranges::copy(prefixField, prefix.begin());
    unsigned length = block.byte(lengthOffset);
    if (const auto bytes = ipv6BytesFromText(values6.prefix))
        prefix = *bytes;
    else
        showNumbered(kIpv6AddressNumbered, rule);
    if (const auto number = decimalNumber(values6.prefixLength, kPrefixLengthLimit))
        length = *number;
    else
        showNumbered(kPrefixLengthNumbered, rule);

    const bool prefixSet = std::ranges::any_of(prefix, [](std::uint8_t byte) { return byte != 0; });
    std::uint16_t service = firewall_service::kUnused;
    if (prefixSet && length != 0)
        service = serviceWord(values6.services);
    if (service == firewall_service::kUnused) {
        if (prefixSet || length != 0 || anyService(values6.services))
            showMessage(context_.language.GetText(kRuleIgnored), MessageIcon::Exclamation);
        prefix = Ipv6Bytes{};
        length = 0;
    }
    std::ranges::copy(prefix, prefixField.begin());
    block.setByte(lengthOffset, static_cast<std::uint8_t>(length));
    block.setUnsigned16(offset + setup_field::kIpv6RuleServiceOffset, service);
}

void FirewallPage::showNumbered(int messageId, std::size_t rule) {
    showMessage(context_.language.GetText(messageId) + " " + std::to_string(rule + 1), MessageIcon::Error);
}

void FirewallPage::showMessage(const std::string& text, MessageIcon icon) {
    context_.messageBoxes.show({kProductCaption, text, icon});
}

} // namespace kestrix
