#pragma once

#include "lan/lan_interfaces.h"

#include <string>
#include <vector>

namespace kestrix::test {

// One row of a LAN interface table as
// "name IPv4Addr mask broadcast IPv4IfIndex IPv6IfIndex 'IPv6Addr' up|down",
// so that tests compare whole rows at once.
inline std::string describe(const LanInterface& entry) {
    return friendlyNameToLocalText(entry.FriendlyName) + " " + entry.IPv4Addr.data() + " " +
           ipv4ToText(entry.UIPv4MaskAddr) + " " +
           addressToText(entry.UIPv4BroadcastAddr_AsIPv6, MappedForm::DottedOnly) + " " +
           std::to_string(entry.IPv4IfIndex) + " " + std::to_string(entry.IPv6IfIndex) + " '" +
           entry.IPv6Addr.data() + "' " + (entry.bUp ? "up" : "down");
}

inline std::vector<std::string> describe(const LanInterfaces& table) {
    std::vector<std::string> rows;
    for (const LanInterface& entry : table.entries())
        rows.push_back(describe(entry));
    return rows;
}

} // namespace kestrix::test
