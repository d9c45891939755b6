#include "config/setup_firewall_check.h"

#include "lan/lan_interfaces.h"
#include "platform/trace.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <optional>

namespace kestrix {

namespace {

using setup_field::kFirewallRules;

std::uint16_t ipv4RuleService(const SetupBlock& block, std::size_t rule) {
    return block.unsigned16(setup_field::kIpv4RulesOffset + setup_field::kIpv4RuleWidth * rule +
                            setup_field::kIpv4RuleServiceOffset);
}

std::uint16_t ipv6RuleService(const SetupBlock& block, std::size_t rule) {
    return block.unsigned16(setup_field::kIpv6RulesOffset + setup_field::kIpv6RuleWidth * rule +
                            setup_field::kIpv6RuleServiceOffset);
}

void traceServiceTest(const char* table, std::size_t rule, std::uint16_t service) {
    trace("VerifyFirewall(): net & mask == <eigene IP> & mask ist ok, teste jetzt\n"
          "\t%s[%zu].service: %04x (%04x muss gesetzt sein).\n",
          table, rule, static_cast<unsigned>(service), static_cast<unsigned>(firewall_service::kMaintenance));
}

// One of the three values of CompareIPv6TabEntry as a trace line.
void traceBytes(const Ipv6Bytes& bytes) {
    char line[16 * 3 + 1] = {};
    for (std::size_t index = 0; index < bytes.size(); ++index)
        std::snprintf(line + 3 * index, sizeof line - 3 * index, "%02x ", static_cast<unsigned>(bytes[index]));
    trace("%s\n", line);
}

bool ipv4RulesAllow(const SetupBlock& block, const LanInterface& entry, int index) {
    if (entry.UIPv4Addr == 0) {
        trace("VerifyFirewall(): keine IPv4-Adresse vorhanden.\n");
        return false;
    }
    const std::uint32_t address = ntohl(entry.UIPv4Addr);
    trace("VerifyFirewall(): LanInterfaces[%d]: IPv4-Adresse: %s\n", index, entry.IPv4Addr.data());
    for (std::size_t rule = 0; rule < kFirewallRules; ++rule) {
        const std::size_t offset = setup_field::kIpv4RulesOffset + setup_field::kIpv4RuleWidth * rule;
        const std::uint16_t service = ipv4RuleService(block, rule);
        if (service == firewall_service::kUnused) {
            trace("VerifyFirewall(): rules_ipv4[%zu].service nicht gesetzt.\n", rule);
            continue;
        }
        const std::uint32_t net = block.ipv4Number(offset + setup_field::kIpv4RuleNetOffset);
        const std::uint32_t mask = block.ipv4Number(offset + setup_field::kIpv4RuleMaskOffset);
        trace("VerifyFirewall(): user_params.firewall.rules_ipv4[%zu]:\n", rule);
        trace("\tipv4 if:\t%08lx\n\tipv4 net:\t%08lx\n\tipv4 mask:\t%08lx\n", static_cast<unsigned long>(address),
              static_cast<unsigned long>(net), static_cast<unsigned long>(mask));
        if ((net & mask) != (address & mask))
            continue;
        traceServiceTest("rules_ipv4", rule, service);
        if ((service & firewall_service::kMaintenance) != 0) {
            trace("VerifyFirewall(): korrekten IPv4-Eintrag gefunden.\n");
            return true;
        }
    }
    return false;
}

bool ipv6RulesAllow(const SetupBlock& block, const LanInterface& entry) {
    // An address text that does not read (the table's "IPv6 address syntax
    // error") is no address either.
    const std::string_view text(entry.IPv6Addr.data());
    const std::optional<Ipv6Bytes> address = text.empty() ? std::nullopt : ipv6BytesFromText(text);
    if (!address) {
        trace("VerifyFirewall(): keine IPv6-Adresse vorhanden.\n");
        return false;
    }
    for (std::size_t rule = 0; rule < kFirewallRules; ++rule) {
        const std::size_t offset = setup_field::kIpv6RulesOffset + setup_field::kIpv6RuleWidth * rule;
        const std::uint16_t service = ipv6RuleService(block, rule);
        if (service == firewall_service::kUnused) {
            trace("VerifyFirewall(): rules_ipv6[%zu].service nicht gesetzt.\n", rule);
            continue;
        }
        Ipv6Bytes prefix{};
        std::ranges::copy(block.span(offset + setup_field::kIpv6RulePrefixOffset, prefix.size()), prefix.begin());
        const Ipv6Bytes mask = ipv6PrefixMask(block.byte(offset + setup_field::kIpv6RulePrefixLengthOffset));
        trace("VerifyFirewall(): user_params.firewall.rules_ipv6[%zu]:\n", rule);
        if (!CompareIPv6TabEntry(*address, prefix, mask))
            continue;
        traceServiceTest("rules_ipv6", rule, service);
        if ((service & firewall_service::kMaintenance) != 0) {
            trace("VerifyFirewall(): korrekten IPv6-Eintrag gefunden.\n");
            return true;
        }
    }
    return false;
}

} // namespace

Ipv6Bytes ipv6PrefixMask(unsigned prefixLength) {
    Ipv6Bytes mask{};
    const unsigned length = std::min(prefixLength, 128u);
    for (unsigned index = 0; index < length / 8; ++index)
        mask[index] = 0xff;
    if (length % 8 != 0)
        mask[length / 8] = static_cast<std::uint8_t>(0xff00u >> (length % 8));
    return mask;
}

bool CompareIPv6TabEntry(const Ipv6Bytes& address, const Ipv6Bytes& net, const Ipv6Bytes& mask) {
    trace("CTerminalSetup::CompareIPv6TabEntry():\n");
    traceBytes(address);
    traceBytes(net);
    traceBytes(mask);
    for (std::size_t index = 0; index < address.size(); ++index)
        if ((address[index] & mask[index]) != (net[index] & mask[index]))
            return false;
    trace("CTerminalSetup::CompareIPv6TabEntry(): MyIp & mask == net & mask\n");
    return true;
}

bool VerifyFirewall(const SetupBlock& block, const LanInterfaces& interfaces, std::string_view actualVersion) {
    trace("VerifyFirewall(): IPv4- und IPv6-Einträge mit eigenen Adressen vergleichen. (ActualVersion: %.*s)\n",
          static_cast<int>(actualVersion.size()), actualVersion.data());
    const std::span<const LanInterface> entries = interfaces.entries();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const LanInterface& entry = entries[row];
        if (!entry.bUp)
            continue;
        const int index = static_cast<int>(row);
        if (ipv4RulesAllow(block, entry, index))
            return true;
        trace("VerifyFirewall(): IPv4-Einträge getestet, ip_stack_option: %d\n",
              static_cast<int>(block.number(setup_field::IpStackOption) & 3));
        trace("VerifyFirewall(): IPv6 Start\n");
        trace("VerifyFirewall(): LanInterfaces[%d]: IPv6-Adresse: '%s'\n", index, entry.IPv6Addr.data());
        if (ipv6RulesAllow(block, entry))
            return true;
        trace("VerifyFirewall(): IPv6 getestet\n");
    }
    return false;
}

} // namespace kestrix
