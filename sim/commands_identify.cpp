// find and echo: the identification line and what the terminal tells about
// its addresses and its TCL host port.
#include "sim/commands.h"
#include "sim/reply.h"

#include <cstdio>

namespace kestrix::sim {
namespace {

std::string hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::optional<std::vector<std::string>> find(CommandContext& context) {
    const TerminalConfig& config = context.config;
    const Ipv4Settings& ipv4 = context.state.ipv4;
    if (!config.answersFind)
        return std::nullopt;
    auto fields = identificationWords(config, context.state);
    fields.push_back("DEVID=" + std::to_string(config.deviceId));
    // DHCPNAME stands before IPv4: a word beginning with "DHCP" after the IPv4 value marks it as DHCP's.
    if (!ipv4.dhcpName.empty())
        fields.push_back("DHCPNAME=" + ipv4.dhcpName);
    if (ipv4.address != 0) {
        fields.push_back("IPv4=" + ipv4ToText(ipv4.address) + "/" + std::to_string(ipv4.prefixLength));
        if (ipv4.dhcp)
            fields.push_back("DHCP");
    }
    if (!config.ipv6LinkLocal.empty()) {
        fields.push_back("IPv6=" + config.ipv6LinkLocal + "/64");
        fields.push_back("LOCAL");
    }
    if (!config.ipv6Global.empty()) {
        fields.push_back("IPv6=" + config.ipv6Global + "/64");
        fields.push_back(config.ipv6GlobalOrigin == Ipv6Origin::Dhcp ? "DHCP" : "RADV");
    }
    if (config.authentication == AuthenticationMode::IDBased)
        fields.push_back("ID=" + hex8(config.securityId));
    return fields;
}

// "name=value", or with DHCP "name=DHCP:" and the value as the next field.
void addIpv4Value(std::vector<std::string>& fields, const char* name, std::uint32_t value, bool dhcp) {
    if (dhcp) {
        fields.push_back(std::string(name) + "=DHCP:");
        fields.push_back(ipv4ToText(value));
    } else {
        fields.push_back(std::string(name) + "=" + ipv4ToText(value));
    }
}

std::optional<std::vector<std::string>> echo(CommandContext& context) {
    const TerminalConfig& config = context.config;
    const Ipv4Settings& ipv4 = context.state.ipv4;
    auto fields = identificationWords(config, context.state);
    fields.push_back("port=" + std::to_string(context.state.tcl.port));
    fields.push_back(config.tclConnect == TclConnect::Passive ? "connect=passive" : "connect=active");
    fields.push_back(context.state.tcl.encrypt ? "encrypt=YES" : "encrypt=NO");
    if (config.authentication != AuthenticationMode::None)
        fields.push_back(context.suffix == SuffixVerdict::Valid ? "auth=OK" : "auth=FAILED");
    addIpv4Value(fields, "addr", ipv4.address, ipv4.dhcp);
    addIpv4Value(fields, "mask", maskFromPrefix(ipv4.prefixLength), ipv4.dhcp);
    addIpv4Value(fields, "gateway", ipv4.gateway, ipv4.dhcp);
    if (config.authentication == AuthenticationMode::IDBased)
        fields.push_back("ID=" + hex8(config.securityId));
    return fields;
}

} // namespace

std::vector<CommandEntry> identifyCommands() {
    return {{"find", SerialNumberMatch::OwnOrAny, find}, {"echo", SerialNumberMatch::OwnOrAny, echo}};
}

} // namespace kestrix::sim
