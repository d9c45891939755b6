#pragma once

#include "platform/ip_address.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

// Whether the system marks an interface as an IEEE 802.11 wireless one.
enum class WirelessKind { None, Ieee80211 };

// Whether an interface is a tunnel device (tun or tap) of the system.
enum class TunnelKind { None, TunTap };

struct SystemIPv4Address {
    std::uint32_t address = 0; // network byte order
    std::uint32_t mask = 0;    // network byte order
};

// One network interface as the system reports it, before any choice is made:
// every interface is described, loopback and tunnels included.
struct SystemAdapter {
    std::string name;          // interface name, bytes as the kernel holds them
    std::uint32_t index = 0;   // interface index
    unsigned hardwareType = 0; // ARPHRD_* of the link
    unsigned flags = 0;        // IFF_* of the link, IFF_RUNNING included
    WirelessKind wireless = WirelessKind::None;
    TunnelKind tunnel = TunnelKind::None;
    std::vector<SystemIPv4Address> ipv4Addresses; // in the order the system lists them
    std::vector<Ip6Address> ipv6Addresses;        // unicast, in the order the system lists them
};

// The system's interfaces at one moment, or the error that reading them gave.
struct SystemInterfaces {
    int readError = 0;                   // errno of a failed read; 0 when adapters is valid
    std::vector<SystemAdapter> adapters; // in interface-index order
};

// Reads every interface of the process's network namespace in one snapshot:
// links, flags and addresses from getifaddrs, the wireless and tun/tap marks
// from sysfs (/sys/class/net, which must be mounted for the same network
// namespace, as it is for the system's own one and under "ip netns exec").
// It does not choose interfaces; LanInterfaces does.
SystemInterfaces readSystemInterfaces();

} // namespace kestrix
