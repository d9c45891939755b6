#pragma once

#include "sim/ipv4_settings.h"

#include <string>

namespace kestrix::sim {

// Puts the terminal's IPv4 address on its network interface when a restart
// brings a new one. The responder calls it; tests give it a recording stand-in.
class InterfaceAddress {
public:
    virtual ~InterfaceAddress() = default;
    // Replaces the interface's address `from` (none when its address is 0) by
    // `to` (none when 0). Throws std::runtime_error with the reason.
    virtual void replaceIPv4(const std::string& interfaceName, const Ipv4Settings& from,
                             const Ipv4Settings& to) = 0;
};

// The real one, over rtnetlink (libnl-route-3) in the process's network
// namespace; needs CAP_NET_ADMIN. The new address goes on first, with its
// subnet broadcast (so the kernel makes the subnet's local broadcast route),
// and then the old one is removed, so that the interface never loses its last
// IPv4 address (which would flush every IPv4 route through it). Secondary
// addresses are promoted, so a new address in the old subnet survives the old
// one's removal. An on-link default route and local broadcast routes without
// a preferred source through the interface (the kind a test bed adds so that a
// terminal in a foreign subnet hears and answers the PC) are noted before and
// put back if they are gone afterwards. It adds no gateway route: the
// terminal reports its gateway but sends on-link.
class NetlinkInterfaceAddress : public InterfaceAddress {
public:
    void replaceIPv4(const std::string& interfaceName, const Ipv4Settings& from,
                     const Ipv4Settings& to) override;
};

} // namespace kestrix::sim
