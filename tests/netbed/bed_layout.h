#pragma once

#include "settings_files/ini_data.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrix::test {

// Faults of one terminal's link, each applied on the receiving side: packets
// are dropped at random (iptables "statistic") and delayed (an NFQUEUE helper)
// before the receiving stack sees them. IPv6 neighbour discovery is exempt.
struct LinkFaults {
    double dropToTerminal = 0.0; // probability 0..1
    std::chrono::milliseconds delayToTerminal{0};
    double dropToPc = 0.0;
    std::chrono::milliseconds delayToPc{0};

    bool operator==(const LinkFaults&) const = default;
};

// What runs in a terminal's namespace.
enum class TerminalProgram {
    TalmoSim, // talmo-sim with the configuration the bed writes (the default)
    Command,  // TerminalSetup::command, e.g. udp-answer
};

enum class Dhcp { Off, On };

// One LAN interface of the PC: a bridge in the PC's namespace.
struct BridgeSetup {
    std::string ipv4 = "10.77.0.1/24";     // address/prefix length; empty: no IPv4
    std::string ipv6LinkLocal = "fe80::1"; // prefix length 64; empty: none
    std::string ipv6Global;                // prefix length 64; empty: none
};

// One terminal: a namespace joined to a bridge by a veth pair (eth0 inside).
struct TerminalSetup {
    std::size_t bridge = 0;
    std::string ipv4;                    // "10.77.0.11/24"; empty: an IPv6-only terminal
    std::string gateway;                 // only handed to talmo-sim
    Dhcp dhcp = Dhcp::Off;               // only handed to talmo-sim
    std::string dhcpName;                // only handed to talmo-sim
    std::string ipv6LinkLocal;           // "fe80::11" (prefix length 64); empty with no global one: IPv6 off
    std::string ipv6Global;              // "2001:db8:77::11" (prefix length 64); empty: none
    std::vector<std::string> hostsLines; // the namespace's own hosts file ("ADDRESS NAME...")

    TerminalProgram program = TerminalProgram::TalmoSim;
    std::vector<std::string> command; // TerminalProgram::Command: program and arguments
    // TerminalProgram::Command counts as started once a UDP socket is bound
    // to this port in the namespace (0: at once).
    std::uint16_t readyPort = 0xdead;

    // talmo-sim's sections, written as they stand. Without a "directory" in
    // [tftp] the bed gives the terminal an empty directory of its own.
    IniSection terminalSection;
    IniSection tftpSection;
    IniSection faultsSection;
    IniSection readersSection;

    LinkFaults linkFaults;
};

// The whole private LAN: the PC's bridges and the terminals.
struct BedLayout {
    std::vector<BridgeSetup> bridges{BridgeSetup{}};
    std::vector<TerminalSetup> terminals;
    std::vector<std::string> pcHostsLines; // the PC namespace's hosts file ("ADDRESS NAME...")
};

// The layout file that netbed.sh reads. Throws std::invalid_argument for a
// hosts line that is empty or holds a line break; netbed.sh refuses a layout
// without bridges or with a terminal on a missing bridge, its ip commands an
// address that does not parse, and talmo-sim a gateway that does not.
std::string layoutFileText(const BedLayout& layout);

// The fixed MAC address of terminal N's eth0 (02:4b:42:00:HH:LL); it stays
// when the terminal changes its addresses, so link faults keep finding it.
std::string terminalMacAddress(std::size_t terminal);

// talmo-sim's configuration of one terminal: [network] from the layout, the
// terminal's own [terminal], [tftp] and [faults] sections as they stand, and
// tftpDirectory as [tftp] directory when the terminal names none.
IniData simConfiguration(const BedLayout& layout, std::size_t terminal, const std::string& tftpDirectory);

} // namespace kestrix::test
