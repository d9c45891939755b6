#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::sim {

// The IPv4 configuration of a terminal's network interface as the terminal
// keeps it: address, prefix length, gateway, the DHCP flag and the DHCP name it
// reports. Addresses are in network byte order; 0 means none. It does not
// touch any interface; InterfaceAddress does that.
struct Ipv4Settings {
    std::uint32_t address = 0;
    int prefixLength = 0;
    std::uint32_t gateway = 0;
    bool dhcp = false;
    std::string dhcpName;

    bool operator==(const Ipv4Settings&) const = default;
};

// The factory configuration a terminal comes back with after an ice-cold
// start: 192.168.42.127/24, no gateway, no DHCP, DHCP name "talmo-" + serial number.
Ipv4Settings factoryIpv4Settings(const std::string& serialNumber);

// A dotted IPv4 address text ("10.0.0.1") in network byte order; nothing for
// any other text.
std::optional<std::uint32_t> ipv4FromText(std::string_view text);

// The prefix length of a contiguous net mask (network byte order); nothing for
// a mask with holes.
std::optional<int> prefixFromMask(std::uint32_t mask);

// The net mask (network byte order) of a prefix length 0..32.
std::uint32_t maskFromPrefix(int prefixLength);

// The broadcast address of the subnet (network byte order).
std::uint32_t subnetBroadcast(std::uint32_t address, int prefixLength);

// A unicast address that may stand on an interface: not 0.0.0.0, not in
// 127/8 or 224/3 (multicast and reserved), and for subnets of more than two
// addresses neither the subnet's own address nor its broadcast address.
bool usableAddress(std::uint32_t address, int prefixLength);

} // namespace kestrix::sim
