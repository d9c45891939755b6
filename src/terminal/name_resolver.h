#pragma once

#include <string>

namespace kestrix {

// The DNS look-ups of a terminal record go through this one seam, so that tests
// answer them without a name server. The program uses systemNameResolver().
//
// It resolves nothing by itself and keeps no cache: a name that the record
// has learned is kept in the record.
class NameResolver {
public:
    virtual ~NameResolver() = default;

    // The DNS name of an address text ("192.168.1.5", "::ffff:192.168.1.5",
    // "2001:db8::5", "[2001:db8::5]"), taken only when looking the name up again
    // leads back to the same address; empty when there is no such name.
    virtual std::string lookupConfirmedName(const std::string& addressText) const = 0;
};

// The system's resolver: the reverse look-up (getnameinfo, a name required)
// followed by the forward look-up of that name (getaddrinfo, IPv6 first, then
// IPv4), whose first address must be the address asked about.
const NameResolver& systemNameResolver();

} // namespace kestrix
