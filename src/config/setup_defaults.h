#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrix {

class SetupBlock;
class TerminalFields;

// The values the setup editor's defaults button puts into a working copy.
namespace setup_defaults {
inline constexpr std::string_view kCode = "00000000";     // bytes 4-11
inline constexpr std::string_view kPassword1 = "246813";  // grade 1
inline constexpr std::string_view kPassword2 = "39174025"; // grade 2
inline constexpr std::string_view kPassword3 = "52803617"; // grade 3
inline constexpr std::uint32_t kIpv4Address = 0xC0A82A7F; // 192.168.42.127
inline constexpr std::uint32_t kIpv4Mask = 0xFFFFFF00;    // 255.255.255.0
inline constexpr std::uint16_t kHostPort = 3001;
} // namespace setup_defaults

// Resets the working copy to the defaults of a terminal: its addresses (it
// keeps the IPv4 address it is reached by, else 192.168.42.127/24), stack
// and link speed by platform, DHCP host name "talmo-" and its serial number,
// no maintenance group, the host port 3001, no firewall, the six channel
// records (9600 baud 8N1 on every product), the display and "Sonstiges"
// bytes, the setup passwords, no summer time and the first MUX setup table
// (1-8 twice, an access-control manager with an LBus of the DCU4 kind 1-2
// repeated).
//
// Bytes it has no default for (the other MUX tables, the secret area, the
// readers, the application area, the version) stay as they are.
void applySetupDefaults(SetupBlock& block, const TerminalFields& terminal);

} // namespace kestrix
