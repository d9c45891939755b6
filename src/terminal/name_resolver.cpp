#include "terminal/name_resolver.h"

#include "platform/trace.h"

#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kestrix {

namespace {

// The service the look-ups name: the terminals' maintenance port.
constexpr const char* kMaintenanceService = "57005";
constexpr std::uint16_t kMaintenancePort = 57005;

// The address text as the reverse look-up asks for it: a text with ":" without
// a leading "[" and without everything from the last "]" on; any other text in
// its IPv4-mapped form.
std::string reverseLookupText(const std::string& addressText) {
    if (addressText.find(':') == std::string::npos)
        return "::ffff:" + addressText;
    std::string text = addressText;
    if (!text.empty() && text.front() == '[')
        text.erase(0, 1);
    if (auto closing = text.rfind(']'); closing != std::string::npos)
        text.erase(closing);
    return text;
}

// The resolver's answer "this family has no address for the name" (the
// system's counterparts of WSANO_DATA and WSAHOST_NOT_FOUND).
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

class SystemNameResolver final : public NameResolver {
public:
    std::optional<ResolvedAddress> DNSNameResolution(const std::string& name) const override {
        addrinfo* list = nullptr;
        int error = ask(name, AF_INET6, &list);
        if (error != 0) {
            // This system's resolver reports a name that only has an IPv4
            // address (in the hosts file, say) as a temporary failure when no
            // name server answers the IPv6 question: that, too, means "ask
            // for IPv4".
            if (!familyHasNoAddress(error) && error != EAI_AGAIN) {
                trace("Terminal::DNSNameResolution(%s): getaddrinfo(AF_INET6) failed with error=%ld (!= WSANO_DATA, "
                      "!= WSAHOST_NOT_FOUND)\n",
                      name.c_str(), static_cast<long>(error));
                return std::nullopt;
            }
            error = ask(name, AF_INET, &list);
            if (error != 0) {
                if (familyHasNoAddress(error))
                    return std::nullopt; // the name has no address at all
                trace("Terminal::DNSNameResolution(%s): getaddrinfo(AF_INET) failed with error=%ld (!= WSANO_DATA, "
                      "!= WSAHOST_NOT_FOUND)\n",
                      name.c_str(), static_cast<long>(error));
                return std::nullopt;
            }
        }
        if (list == nullptr) {
            trace("Terminal::DNSNameResolution(%s) no addrinfo list returned\n", name.c_str());
            return std::nullopt;
        }
        ResolvedAddress resolved;
        if (list->ai_family == AF_INET6 && list->ai_addrlen >= sizeof(sockaddr_in6)) {
            sockaddr_in6 found{};
            std::memcpy(&found, list->ai_addr, sizeof found);
            resolved.address = fromSocketAddress(found);
            resolved.text = addressToText(resolved.address, MappedForm::DottedOnly);
            trace("Terminal::DNSNameResolution(%s): IPv6-Adresse: '%s'\n", name.c_str(), resolved.text.c_str());
        } else if (list->ai_family == AF_INET && list->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in found{};
            std::memcpy(&found, list->ai_addr, sizeof found);
            resolved.address = Ip6Address::fromIPv4(found.sin_addr.s_addr);
            resolved.text = "::ffff:" + ipv4ToText(found.sin_addr.s_addr);
            trace("Terminal::DNSNameResolution(%s): IPv4-Adresse: '%s'\n", name.c_str(), resolved.text.c_str());
        } else {
            freeaddrinfo(list);
            trace("Terminal::DNSNameResolution(%s) no addrinfo list returned\n", name.c_str());
            return std::nullopt;
        }
        freeaddrinfo(list);
        return resolved;
    }

    std::optional<std::string> IPAddrResolution(const std::string& addressText) const override {
        if (addressText.empty())
            return std::nullopt;
        std::string text = reverseLookupText(addressText);
        std::optional<Ip6Address> address = addressFromText(text);
        char host[NI_MAXHOST] = {};
        int error = EAI_NONAME;
        if (address) {
            // The system's host table and DNS know IPv4 addresses under their
            // IPv4 form only, so an IPv4-mapped address is asked as IPv4.
            if (address->isIPv4Mapped()) {
                sockaddr_in socketAddress{};
                socketAddress.sin_family = AF_INET;
                socketAddress.sin_port = htons(kMaintenancePort);
                socketAddress.sin_addr.s_addr = address->ipv4NetworkOrder();
                error = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                                    sizeof host, nullptr, 0, NI_NAMEREQD);
            } else {
                sockaddr_in6 socketAddress = toSocketAddress(*address, kMaintenancePort);
                error = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                                    sizeof host, nullptr, 0, NI_NAMEREQD);
            }
        }
        if (error != 0) {
            trace("Terminal::IPAddrResolution(%s): getnameinfo() failed with error=%ld\n", text.c_str(),
                  static_cast<long>(error));
            return std::nullopt;
        }
        if (text == host) {
            trace("Terminal::IPAddrResolution(%s): hostname und IP-Adresse identisch -> kein DNS-Namen\n",
                  text.c_str());
            return std::nullopt;
        }
        trace("Terminal::IPAddrResolution(%s): hostname: '%s'\n", text.c_str(), host);
        return std::string(host);
    }

private:
    static int ask(const std::string& name, int family, addrinfo** list) {
        addrinfo hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        return getaddrinfo(name.c_str(), kMaintenanceService, &hints, list);
    }
};

} // namespace

std::string NameResolver::lookupConfirmedName(const std::string& addressText) const {
    std::optional<std::string> name = IPAddrResolution(addressText);
    if (!name)
        return std::string();
    std::optional<ResolvedAddress> forward = DNSNameResolution(*name);
    std::optional<Ip6Address> address = addressFromText(reverseLookupText(addressText));
    // The forward answer must lead back to the address asked about (compared
    // as addresses, so that differently written texts of one address match).
    if (!forward || !address || !forward->address.sameBytes(*address))
        return std::string();
    return *name;
}

const NameResolver& systemNameResolver() {
    static const SystemNameResolver resolver;
    return resolver;
}

} // namespace kestrix
