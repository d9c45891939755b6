#include "config/setup_address_text.h"

#include "platform/ip_address.h"

#include <algorithm>
#include <arpa/inet.h>

namespace kestrix {

std::string ipv4NumberToText(std::uint32_t number) {
    return ipv4ToText(htonl(number));
}

std::optional<std::uint32_t> ipv4NumberFromText(std::string_view text) {
    if (text.empty())
        return 0;
    // Only a dotted text: the address reader would take IPv6 texts too.
    if (text.find(':') != std::string_view::npos)
        return std::nullopt;
    const std::optional<Ip6Address> address = addressFromText(text);
    if (!address || !address->isIPv4Mapped())
        return std::nullopt;
    return ntohl(address->ipv4NetworkOrder());
}

std::string ipv6BytesToText(std::span<const std::uint8_t> bytes) {
    Ip6Address address;
    std::copy_n(bytes.begin(), std::min(bytes.size(), address.bytes.size()), address.bytes.begin());
    return addressToText(address);
}

std::optional<Ipv6Bytes> ipv6BytesFromText(std::string_view text) {
    Ipv6Bytes bytes{};
    if (text.empty())
        return bytes;
    if (text.size() > kIpv6TextLimit)
        return std::nullopt;
    const std::string terminated(text);
    if (inet_pton(AF_INET6, terminated.c_str(), bytes.data()) != 1)
        return std::nullopt;
    return bytes;
}

std::optional<unsigned> decimalNumber(std::string_view text, unsigned maximum) {
    if (text.empty())
        return std::nullopt;
    unsigned value = 0;
    for (const char character : text) {
        if (character < '0' || character > '9')
            return std::nullopt;
        const unsigned digit = static_cast<unsigned>(character - '0');
        if (digit > maximum || value > (maximum - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace kestrix
