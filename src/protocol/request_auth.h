#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// The two proofs that a request comes from a station of the terminal's
// maintenance group, as pure computations. The engine (IP-based) and the
// terminal record (ID-based) append them and write the trace lines.

// The IP-based check value: CRC-16/ARC (start 0, no final XOR) fed with the
// four numbers of the interface address, the low and the high byte of the
// group number, and every request character (a blank as a zero byte, the
// others sign-widened to 16 bits). Empty when the interface address is not
// four dot-separated decimal numbers of at most 65535 each.
std::optional<std::uint16_t> ipBasedCheckValue(std::string_view interfaceAddress, std::uint16_t group,
                                               std::string_view request);

// The ID-based suffix value: the last four bytes, big-endian, of the AES-CMAC
// over the request plus one blank (every blank as a zero byte), keyed from the
// serial number (its first ten characters, zero-padded), the group number and
// the security id.
std::uint32_t idBasedCheckValue(std::string_view request, std::string_view serialNumber, std::uint16_t group,
                                std::uint32_t securityId);

} // namespace kestrix
