#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

// The texts in which the setup editor's network pages show addresses and
// numbers of the block, and how they read them back. An IPv4 field of the
// block is a 32-bit number with the first octet most significant (the
// SetupBlock reads it); its text is dotted ("192.168.0.1"), an empty text
// reads as 0.0.0.0, as an empty address control does. An IPv6 field is 16
// bytes in network order; its text is what inet_pton takes for AF_INET6 (at
// most kIpv6TextLimit characters), the all-zero address shows as "::" and an
// empty text reads as "::".
//
// They do not show messages: each page says what a text that does not read
// means for its field.

using Ipv6Bytes = std::array<std::uint8_t, 16>;

// The characters an IPv6 text field holds.
inline constexpr std::size_t kIpv6TextLimit = 64;

std::string ipv4NumberToText(std::uint32_t number);
// The number of a dotted IPv4 text; nothing for any other text.
std::optional<std::uint32_t> ipv4NumberFromText(std::string_view text);

std::string ipv6BytesToText(std::span<const std::uint8_t> bytes);
// The bytes of an IPv6 text; nothing when it does not read or is too long.
std::optional<Ipv6Bytes> ipv6BytesFromText(std::string_view text);

// A text of decimal digits only (no sign, no blanks) whose value is at most
// maximum; nothing for anything else, the empty text included.
std::optional<unsigned> decimalNumber(std::string_view text, unsigned maximum);

} // namespace kestrix
