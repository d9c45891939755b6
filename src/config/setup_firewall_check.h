#pragma once

#include "config/setup_address_text.h"
#include "config/setup_block.h"

#include <cstdint>
#include <string_view>

namespace kestrix {

class LanInterfaces;

// The bits of a firewall rule's service word.
namespace firewall_service {
inline constexpr std::uint16_t kData = 0x0001;        // the host interface
inline constexpr std::uint16_t kStatus = 0x0080;
inline constexpr std::uint16_t kMaintenance = 0x0700; // any of them lets maintenance through
inline constexpr std::uint16_t kUnused = 0x3000;      // always set; exactly this marks an unused rule
} // namespace firewall_service

// Whether the terminal's firewall rules in the working copy still let this
// PC in for maintenance: true when an address of an interface that is up
// (its IPv4 address against the IPv4 rules, its IPv6 address against the
// IPv6 rules) lies in the net of a used rule whose service includes
// maintenance. Every step is traced.
//
// It looks at the rules whether or not the firewall is switched on (the
// firewall page asks only when it is), and at every rule, whatever the IP
// stack of the terminal.
bool VerifyFirewall(const SetupBlock& block, const LanInterfaces& interfaces, std::string_view actualVersion);

// Whether (address AND mask) equals (net AND mask), byte by byte; traces the
// three values and a match.
bool CompareIPv6TabEntry(const Ipv6Bytes& address, const Ipv6Bytes& net, const Ipv6Bytes& mask);

// The mask of an IPv6 prefix length: whole 0xff bytes, then one byte with the
// remaining high bits; a length above 128 counts as 128.
Ipv6Bytes ipv6PrefixMask(unsigned prefixLength);

} // namespace kestrix
