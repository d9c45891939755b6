#include "sim/ipv4_settings.h"

#include "platform/ip_address.h"

#include <arpa/inet.h>

namespace kestrix::sim {

Ipv4Settings factoryIpv4Settings(const std::string& serialNumber) {
    Ipv4Settings settings;
    settings.address = htonl(0xC0A82A7Fu); // 192.168.42.127
    settings.prefixLength = 24;
    settings.dhcpName = "talmo-" + serialNumber;
    return settings;
}

std::optional<std::uint32_t> ipv4FromText(std::string_view text) {
    if (text.empty() || text.find(':') != std::string_view::npos)
        return std::nullopt;
    auto address = addressFromText(text);
    if (!address || !address->isIPv4Mapped())
        return std::nullopt;
    return address->ipv4NetworkOrder();
}

std::optional<int> prefixFromMask(std::uint32_t mask) {
    const std::uint32_t hostOrder = ntohl(mask);
    int length = 0;
    while (length < 32 && (hostOrder & (0x80000000u >> length)) != 0)
        ++length;
    if (hostOrder != ntohl(maskFromPrefix(length)))
        return std::nullopt;
    return length;
}

std::uint32_t maskFromPrefix(int prefixLength) {
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xFFFFFFFFu;
    return htonl(~(0xFFFFFFFFu >> prefixLength));
}

std::uint32_t subnetBroadcast(std::uint32_t address, int prefixLength) {
    return address | ~maskFromPrefix(prefixLength);
}

bool usableAddress(std::uint32_t address, int prefixLength) {
    const std::uint32_t hostOrder = ntohl(address);
    if (hostOrder == 0 || (hostOrder >> 24) == 127 || (hostOrder >> 29) == 7)
        return false;
    if (prefixLength <= 30) {
        const std::uint32_t mask = maskFromPrefix(prefixLength);
        if (address == (address & mask) || address == subnetBroadcast(address, prefixLength))
            return false;
    }
    return true;
}

} // namespace kestrix::sim
