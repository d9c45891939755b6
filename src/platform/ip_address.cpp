#include "platform/ip_address.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>

namespace kestrix {

Ip6Address Ip6Address::fromIPv4(std::uint32_t networkOrder) {
    Ip6Address address;
    address.bytes[10] = 0xff;
    address.bytes[11] = 0xff;
    std::memcpy(&address.bytes[12], &networkOrder, 4);
    return address;
}

Ip6Address Ip6Address::fromIPv4Bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    Ip6Address address;
    address.bytes[10] = 0xff;
    address.bytes[11] = 0xff;
    address.bytes[12] = a;
    address.bytes[13] = b;
    address.bytes[14] = c;
    address.bytes[15] = d;
    return address;
}

bool Ip6Address::isIPv4Mapped() const {
    for (int i = 0; i < 10; ++i)
        if (bytes[i] != 0)
            return false;
    return bytes[10] == 0xff && bytes[11] == 0xff;
}

std::uint32_t Ip6Address::ipv4NetworkOrder() const {
    if (!isIPv4Mapped())
        return 0;
    std::uint32_t value;
    std::memcpy(&value, &bytes[12], 4);
    return value;
}

bool Ip6Address::isUnspecified() const {
    for (auto byte : bytes)
        if (byte != 0)
            return false;
    return true;
}

bool Ip6Address::isLinkLocal() const { return bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80; }

std::string addressToText(const Ip6Address& address, MappedForm form) {
    char text[INET6_ADDRSTRLEN + 1] = {};
    if (address.isIPv4Mapped()) {
        if (inet_ntop(AF_INET, &address.bytes[12], text, sizeof text) == nullptr)
            return kAddressSyntaxError;
        return form == MappedForm::DottedOnly ? std::string(text) : "::ffff:" + std::string(text);
    }
    if (inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text) == nullptr)
        return kAddressSyntaxError;
    return text;
}

std::string ipv4ToText(std::uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN + 1] = {};
    if (inet_ntop(AF_INET, &networkOrder, text, sizeof text) == nullptr)
        return kAddressSyntaxError;
    return text;
}

std::optional<Ip6Address> addressFromText(std::string_view text) {
    std::string copy(text);
    std::string scope;
    if (auto percent = copy.find('%'); percent != std::string::npos) {
        scope = copy.substr(percent + 1);
        copy.resize(percent);
        if (scope.empty())
            return std::nullopt;
    }
    Ip6Address address;
    in_addr ipv4{};
    if (scope.empty() && inet_pton(AF_INET, copy.c_str(), &ipv4) == 1)
        return Ip6Address::fromIPv4(ipv4.s_addr);
    if (inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) != 1)
        return std::nullopt;
    if (!scope.empty()) {
        unsigned index = if_nametoindex(scope.c_str());
        if (index == 0) {
            char* end = nullptr;
            unsigned long number = std::strtoul(scope.c_str(), &end, 10);
            if (end == scope.c_str() || *end != '\0' || number == 0 || number > 0xffffffffUL)
                return std::nullopt;
            index = static_cast<unsigned>(number);
        }
        address.scopeId = index;
    }
    return address;
}

sockaddr_in6 toSocketAddress(const Ip6Address& address, std::uint16_t port) {
    sockaddr_in6 socketAddress{};
    socketAddress.sin6_family = AF_INET6;
    socketAddress.sin6_port = htons(port);
    std::memcpy(&socketAddress.sin6_addr, address.bytes.data(), 16);
    socketAddress.sin6_scope_id = address.scopeId;
    return socketAddress;
}

Ip6Address fromSocketAddress(const sockaddr_in6& socketAddress) {
    Ip6Address address;
    std::memcpy(address.bytes.data(), &socketAddress.sin6_addr, 16);
    address.scopeId = socketAddress.sin6_scope_id;
    return address;
}

} // namespace kestrix
