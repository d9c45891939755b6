#pragma once

#include "platform/ip_address.h"

#include <optional>
#include <string>

namespace kestrix {

// An address that a DNS name resolved to: its text ("::ffff:" + the dotted
// address for IPv4, the dotted form for an IPv4-mapped IPv6 answer, else the
// IPv6 text) and the address itself.
struct ResolvedAddress {
    std::string text;
    Ip6Address address;
};

// The DNS look-ups of a terminal record go through this one seam, so that tests
// answer them without a name server. The program uses systemNameResolver().
//
// It keeps no cache: a name that the record has learned is kept in the record.
class NameResolver {
public:
    virtual ~NameResolver() = default;

    // The first address of a name (IPv6 asked first, then IPv4), or nothing.
    virtual std::optional<ResolvedAddress> DNSNameResolution(const std::string& name) const = 0;
    // The host name of an address text ("192.168.1.5", "2001:db8::5",
    // "[2001:db8::5]"), or nothing; a name equal to the address text is none.
    virtual std::optional<std::string> IPAddrResolution(const std::string& addressText) const = 0;

    // The DNS name of an address text, taken only when looking the name up
    // again leads back to the same address; empty when there is no such name.
    std::string lookupConfirmedName(const std::string& addressText) const;
};

// The system's resolver (getaddrinfo and getnameinfo), with its trace lines.
const NameResolver& systemNameResolver();

} // namespace kestrix
