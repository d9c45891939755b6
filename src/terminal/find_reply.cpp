// The named values of a "find" reply, after its identification line:
// DEVID=n, DHCPNAME=name, IPv4=addr[/prefix] [DHCP], IPv6=addr[/prefix]
// followed by LOCAL, DHCP, RADV or the next IPv6 value, and ID=xxxxxxxx.
#include "terminal/reply_words.h"
#include "terminal/terminal_fields.h"

#include <charconv>

namespace kestrix {

namespace {

using reply_words::beginsWith;
using reply_words::nextBeginsWith;
using reply_words::readAssignedValue;
using reply_words::readFlag;
using reply_words::readSecurityId;

struct AddressAndPrefix {
    std::string address;
    std::string prefix; // empty when the value has none
};

AddressAndPrefix splitPrefix(std::string_view value) {
    auto slash = value.find('/');
    if (slash == std::string_view::npos)
        return {std::string(value), std::string()};
    return {std::string(value.substr(0, slash)), std::string(value.substr(slash + 1))};
}

std::optional<int> readDecimal(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A terminal reports its addresses in every find reply: an address already
// listed is updated in place (keeping its DNS name), a new one is appended.
void rememberAddress(std::vector<IPv6AddrEntry>& addresses, IPv6AddrEntry entry) {
    for (IPv6AddrEntry& known : addresses)
        if (known.Address == entry.Address) {
            known.Prefix = std::move(entry.Prefix);
            known.IsDhcp = entry.IsDhcp;
            known.IsRadv = entry.IsRadv;
            return;
        }
    addresses.push_back(std::move(entry));
}

} // namespace

bool TerminalFields::parseFindReply(std::string_view reply, std::string_view expectedSerialNumber) {
    std::optional<std::string> rest = parseIdent(reply, expectedSerialNumber);
    if (!rest)
        return false;

    WordReader reader(*rest);
    while (auto word = reader.next()) {
        const bool isDeviceId = beginsWith(*word, "DEVID");
        const bool isDhcpName = beginsWith(*word, "DHCPNAME");
        const bool isIPv4 = beginsWith(*word, "IPv4");
        const bool isIPv6 = beginsWith(*word, "IPv6");
        const bool isSecurityId = beginsWith(*word, "ID");
        if (!isDeviceId && !isDhcpName && !isIPv4 && !isIPv6 && !isSecurityId)
            continue;
        std::optional<std::string> value = readAssignedValue(reader);
        if (!value)
            break;

        if (isDeviceId) {
            if (auto number = readDecimal(*value))
                DeviceId = *number;
        } else if (isDhcpName) {
            DhcpName = std::move(*value);
        } else if (isIPv4) {
            AddressAndPrefix parts = splitPrefix(*value);
            IPv4Addr = std::move(parts.address);
            IPv4Mask = std::move(parts.prefix);
            if (readFlag(reader, "DHCP"))
                IPv4Dhcp = true;
        } else if (isIPv6) {
            AddressAndPrefix parts = splitPrefix(*value);
            IPv6AddrEntry entry{parts.address, parts.prefix, false, false, std::string()};
            if (readFlag(reader, "LOCAL")) {
                IPv6LinkLocal = std::move(parts.address);
                IPv6LinkLocalPrefix = std::move(parts.prefix);
            } else if (readFlag(reader, "DHCP")) {
                entry.IsDhcp = true;
                rememberAddress(IPv6Addresses, std::move(entry));
            } else if (readFlag(reader, "RADV")) {
                entry.IsRadv = true;
                rememberAddress(IPv6Addresses, std::move(entry));
            } else if (nextBeginsWith(reader, "IPv6")) {
                rememberAddress(IPv6Addresses, std::move(entry)); // the next IPv6 value follows at once
            }
            // An address followed by anything else is not stored.
        } else {
            takeSecurityId(readSecurityId(*value));
        }
    }
    return true;
}

} // namespace kestrix
