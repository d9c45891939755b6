#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr_in6;

namespace kestrix {

// A terminal or interface address. Every address is held as a 16-byte IPv6
// address; IPv4 addresses are held in their IPv4-mapped form
// (::ffff:a.b.c.d). The scope is the interface index an IPv6 link-local
// address needs on this system (0 for every other address); it takes no part
// in comparing two addresses' bytes.
struct Ip6Address {
    std::array<std::uint8_t, 16> bytes{};
    std::uint32_t scopeId = 0;

    // The IPv4-mapped form of an IPv4 address given in network byte order.
    static Ip6Address fromIPv4(std::uint32_t networkOrder);
    // The IPv4-mapped form of an IPv4 address given as four bytes a.b.c.d.
    static Ip6Address fromIPv4Bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

    bool isIPv4Mapped() const;
    // The IPv4 address in network byte order; 0 when the address is not IPv4-mapped.
    std::uint32_t ipv4NetworkOrder() const;
    bool isUnspecified() const;
    bool isLinkLocal() const;

    bool sameBytes(const Ip6Address& other) const { return bytes == other.bytes; }
    bool operator==(const Ip6Address& other) const = default;
};

// How addressToText writes an IPv4-mapped address.
enum class MappedForm {
    WithPrefix, // "::ffff:192.168.1.2"
    DottedOnly, // "192.168.1.2"
};

// The one conversion of an address to text: full IPv6 text, IPv4-mapped
// addresses as "::ffff:" plus the dotted address (or the dotted address alone
// on request). When the conversion fails the text is "IPv6 address syntax error".
std::string addressToText(const Ip6Address& address, MappedForm form = MappedForm::WithPrefix);

// The dotted text of an IPv4 address given in network byte order.
std::string ipv4ToText(std::uint32_t networkOrder);

// Reads a numeric IPv6 address text ("fe80::1", "::ffff:10.0.0.1") or a dotted
// IPv4 address text (taken in its IPv4-mapped form). A "%scope" suffix on an
// IPv6 text is read as an interface name or number. Nothing else is accepted:
// names are not resolved here.
std::optional<Ip6Address> addressFromText(std::string_view text);

// Socket address of the given address and port (host byte order).
sockaddr_in6 toSocketAddress(const Ip6Address& address, std::uint16_t port);
// The address part of an IPv6 socket address.
Ip6Address fromSocketAddress(const sockaddr_in6& socketAddress);

inline constexpr const char* kAddressSyntaxError = "IPv6 address syntax error";

} // namespace kestrix
