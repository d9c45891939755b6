#include "terminal/name_resolver.h"

#include "platform/ip_address.h"

#include <cstring>
#include <initializer_list>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace kestrix {

namespace {

// The service the look-ups name: the terminals' maintenance port.
constexpr const char* kMaintenanceService = "57005";
constexpr std::uint16_t kMaintenancePort = 57005;

// The address a text names: one containing ":" is an IPv6 text, possibly in
// brackets; any other is a dotted IPv4 address.
std::optional<Ip6Address> addressOfText(const std::string& addressText) {
    if (addressText.find(':') == std::string::npos)
        return addressFromText("::ffff:" + addressText);
    std::string_view text = addressText;
    if (text.starts_with('['))
        text.remove_prefix(1);
    if (auto closing = text.rfind(']'); closing != std::string_view::npos)
        text = text.substr(0, closing);
    return addressFromText(text);
}

// The system's reverse look-up, a name required. An IPv4-mapped address is
// asked as the IPv4 address it stands for: the system's host table and DNS
// know IPv4 addresses under their IPv4 form only.
std::string reverseName(const Ip6Address& address) {
    char host[NI_MAXHOST] = {};
    int error = 0;
    if (address.isIPv4Mapped()) {
        sockaddr_in socketAddress{};
        socketAddress.sin_family = AF_INET;
        socketAddress.sin_port = htons(kMaintenancePort);
        socketAddress.sin_addr.s_addr = address.ipv4NetworkOrder();
        error = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                            sizeof host, nullptr, 0, NI_NAMEREQD);
    } else {
        sockaddr_in6 socketAddress = toSocketAddress(address, kMaintenancePort);
        error = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                            sizeof host, nullptr, 0, NI_NAMEREQD);
    }
    return error == 0 ? std::string(host) : std::string();
}

bool familyHasNoAddress(int error) {
    if (error == EAI_NONAME)
        return true;
#ifdef EAI_NODATA
    if (error == EAI_NODATA)
        return true;
#endif
#ifdef EAI_ADDRFAMILY
    if (error == EAI_ADDRFAMILY)
        return true;
#endif
    return false;
}

// The first address of a name, IPv6 asked first; an IPv4 address in its
// IPv4-mapped form.
std::optional<Ip6Address> forwardAddress(const std::string& name) {
    for (int family : {AF_INET6, AF_INET}) {
        addrinfo hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        addrinfo* list = nullptr;
        int error = getaddrinfo(name.c_str(), kMaintenanceService, &hints, &list);
        if (error != 0) {
            if (familyHasNoAddress(error))
                continue;
            return std::nullopt;
        }
        std::optional<Ip6Address> result;
        if (list != nullptr && list->ai_family == AF_INET6) {
            sockaddr_in6 found{};
            std::memcpy(&found, list->ai_addr, sizeof found);
            result = fromSocketAddress(found);
        } else if (list != nullptr && list->ai_family == AF_INET) {
            sockaddr_in found{};
            std::memcpy(&found, list->ai_addr, sizeof found);
            result = Ip6Address::fromIPv4(found.sin_addr.s_addr);
        }
        freeaddrinfo(list);
        return result;
    }
    return std::nullopt;
}

class SystemNameResolver final : public NameResolver {
public:
    std::string lookupConfirmedName(const std::string& addressText) const override {
        if (addressText.empty())
            return std::string();
        std::optional<Ip6Address> address = addressOfText(addressText);
        if (!address)
            return std::string();
        std::string name = reverseName(*address);
        // A system without a name for the address may answer with the address text.
        if (name.empty() || addressFromText(name).has_value())
            return std::string();
        std::optional<Ip6Address> forward = forwardAddress(name);
        if (!forward || !forward->sameBytes(*address))
            return std::string();
        return name;
    }
};

} // namespace

const NameResolver& systemNameResolver() {
    static const SystemNameResolver resolver;
    return resolver;
}

} // namespace kestrix
