#include "netbed/bed_layout.h"

#include "platform/ip_address.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace kestrix::test {

namespace {

struct Ipv4WithPrefix {
    std::string address;
    int prefixLength = 0;
};

// "a.b.c.d/len" with 0 < len <= 32.
Ipv4WithPrefix parseIpv4WithPrefix(std::string_view text) {
    const std::size_t slash = text.find('/');
    Ipv4WithPrefix result;
    in_addr ignored{};
    if (slash != std::string_view::npos) {
        result.address = std::string(text.substr(0, slash));
        const std::string_view length = text.substr(slash + 1);
        const auto [end, error] =
            std::from_chars(length.data(), length.data() + length.size(), result.prefixLength);
        if (error == std::errc() && end == length.data() + length.size() && result.prefixLength > 0 &&
            result.prefixLength <= 32 && inet_pton(AF_INET, result.address.c_str(), &ignored) == 1)
            return result;
    }
    throw std::invalid_argument("not an IPv4 address with prefix length: '" + std::string(text) + "'");
}

// A layout word: the text, or "-" for none. netbed.sh's ip commands refuse
// an address that does not parse.
std::string word(const std::string& text, std::string_view suffix = "") {
    return text.empty() ? "-" : text + std::string(suffix);
}

void appendHostsLines(std::string& layout, const std::string& name, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.find_first_not_of(" \t") == std::string::npos ||
            line.find_first_of("\r\n") != std::string::npos)
            throw std::invalid_argument("bad hosts line for " + name + ": '" + line + "'");
        layout += "hosts " + name + " " + line + "\n";
    }
}

std::string maskText(int prefixLength) {
    const std::uint32_t mask = prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - prefixLength);
    return ipv4ToText(htonl(mask));
}

} // namespace

std::string terminalMacAddress(std::size_t terminal) {
    if (terminal > 0xffff)
        throw std::invalid_argument("the bed numbers at most 65536 terminals");
    char text[18];
    std::snprintf(text, sizeof text, "02:4b:42:00:%02x:%02x", static_cast<unsigned>(terminal >> 8),
                  static_cast<unsigned>(terminal & 0xff));
    return text;
}

std::string layoutFileText(const BedLayout& layout) {
    std::string text;
    for (std::size_t index = 0; index < layout.bridges.size(); ++index) {
        const BridgeSetup& bridge = layout.bridges[index];
        text += "bridge " + std::to_string(index) + " " + word(bridge.ipv4) + " " + word(bridge.ipv6LinkLocal) +
                " " + word(bridge.ipv6Global, "/64") + "\n";
    }
    for (std::size_t index = 0; index < layout.terminals.size(); ++index) {
        const TerminalSetup& terminal = layout.terminals[index];
        text += "terminal " + std::to_string(index) + " " + std::to_string(terminal.bridge) + " " +
                terminalMacAddress(index) + " " + word(terminal.ipv4) + " " + word(terminal.ipv6LinkLocal) + " " +
                word(terminal.ipv6Global, "/64") + "\n";
    }
    appendHostsLines(text, "pc", layout.pcHostsLines);
    for (std::size_t index = 0; index < layout.terminals.size(); ++index)
        appendHostsLines(text, "t" + std::to_string(index), layout.terminals[index].hostsLines);
    return text;
}

IniData simConfiguration(const BedLayout& layout, std::size_t terminal, const std::string& tftpDirectory) {
    const TerminalSetup& setup = layout.terminals.at(terminal);
    IniData configuration;
    std::string address;
    std::string mask;
    if (!setup.ipv4.empty()) {
        const Ipv4WithPrefix ipv4 = parseIpv4WithPrefix(setup.ipv4);
        address = ipv4.address;
        mask = maskText(ipv4.prefixLength);
    }
    configuration.setValue("network", "interface", "eth0");
    configuration.setValue("network", "ipv4", address);
    configuration.setValue("network", "mask", mask);
    configuration.setValue("network", "gateway", setup.gateway);
    configuration.setValue("network", "dhcp", setup.dhcp == Dhcp::On ? "1" : "0");
    configuration.setValue("network", "dhcp_name", setup.dhcpName);
    configuration.setValue("network", "ipv6_linklocal", setup.ipv6LinkLocal);
    configuration.setValue("network", "ipv6_global", setup.ipv6Global);
    const std::pair<const char*, const IniSection*> sections[] = {
        {"terminal", &setup.terminalSection}, {"tftp", &setup.tftpSection}, {"faults", &setup.faultsSection},
        {"readers", &setup.readersSection}};
    for (const auto& [name, section] : sections) {
        configuration.addSection(name);
        for (const auto& [key, value] : *section)
            configuration.setValue(name, key, value);
    }
    if (!setup.tftpSection.contains("directory"))
        configuration.setValue("tftp", "directory", tftpDirectory);
    return configuration;
}

} // namespace kestrix::test
