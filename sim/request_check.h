#pragma once

#include "platform/ip_address.h"
#include "sim/request.h"
#include "sim/terminal_config.h"

#include <cstdint>
#include <string_view>

namespace kestrix::sim {

// How a request's authentication suffix fared.
enum class SuffixVerdict {
    Valid,   // the suffix the terminal's own computation gives
    Wrong,   // a suffix of the other kind, a malformed one or another value
    Missing, // no suffix at all
};

// The terminal's side of the two proofs. The terminal recomputes the value
// from what it knows (the sender as it sees it, its maintenance group, its
// serial number and security id) and compares; it never builds a suffix.

// The IP-based check value: CRC-16/ARC (start 0, no final XOR) over the four
// numbers of the sender's IPv4 address, the group's low and high byte and the
// request bytes before the suffix (zero bytes as they came, every other byte
// sign-widened to 16 bits).
std::uint16_t ipBasedCheck(const std::array<std::uint8_t, 4>& sender, std::uint16_t group,
                           std::string_view requestBytes);

// The ID-based check value: bytes 12 to 15, big-endian, of the AES-CMAC over
// the given message, keyed from the serial number's first ten characters
// (zero-padded), the group and the security id.
std::uint32_t idBasedCheck(std::string_view serialNumber, std::uint16_t group, std::uint32_t securityId,
                           std::string_view message);

// What the terminal makes of the request's suffix in the given mode. The
// IP-based check needs an IPv4 sender (plain or IPv4-mapped): from an IPv6
// sender no suffix is valid. The ID-based message is the request before the
// suffix together with the zero byte that separates it.
SuffixVerdict checkSuffix(const Request& request, const Ip6Address& sender, AuthenticationMode mode,
                          std::string_view serialNumber, std::uint16_t group, std::uint32_t securityId);

} // namespace kestrix::sim
