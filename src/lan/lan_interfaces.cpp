#include "lan/lan_interfaces.h"

#include "platform/trace.h"

#include <algorithm>
#include <net/if.h>
#include <net/if_arp.h>
#include <string_view>

namespace kestrix {

namespace {

// The system is read once; there is no buffer to grow and no further attempt.
constexpr int kReadAttempt = 1;

// Ethernet-type and wireless adapters; a tap adapter (of VPN software) is an
// Ethernet-type one.
bool isLanAdapter(const SystemAdapter& adapter) {
    if ((adapter.flags & IFF_LOOPBACK) != 0)
        return false;
    return adapter.hardwareType == ARPHRD_ETHER || adapter.wireless == WirelessKind::Ieee80211;
}

// The IPv6 pass leaves tunnels out.
bool isIPv6LanAdapter(const SystemAdapter& adapter) {
    return isLanAdapter(adapter) && adapter.tunnel == TunnelKind::None;
}

bool isOperational(const SystemAdapter& adapter) {
    return (adapter.flags & IFF_UP) != 0 && (adapter.flags & IFF_RUNNING) != 0;
}

template <std::size_t Size> void copyText(std::array<char, Size>& target, std::string_view text) {
    const std::size_t length = std::min(text.size(), Size - 1);
    std::copy_n(text.begin(), length, target.begin());
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(length), target.end(), '\0');
}

bool sameName(const FriendlyNameBuffer& left, const FriendlyNameBuffer& right) {
    return std::wstring_view(left.data()) == std::wstring_view(right.data());
}

} // namespace

LanInterfaces LanInterfaces::build(const SystemInterfaces& system) {
    LanInterfaces table;
    if (system.readError != 0) {
        trace("%d. Aufruf von GetAdaptersAddresses(AF_INET) failed: %d\n", kReadAttempt, system.readError);
        return table;
    }
    trace("Aufruf von GetAdaptersAddresses(AF_INET) done\n");
    table.addIPv4Addresses(system.adapters);
    trace("Aufruf von GetIpAddrTable() ok\n");
    table.applyMasks(system.adapters);
    trace("Aufruf von GetAdaptersAddresses(AF_INET6) done\n");
    table.addIPv6Data(system.adapters);
    // A full table is not traced.
    if (table.count_ < kMaxEntries)
        table.traceTable();
    return table;
}

LanInterfaces LanInterfaces::enumerate() {
    return build(readSystemInterfaces());
}

LanInterface* LanInterfaces::append() {
    if (count_ == kMaxEntries)
        return nullptr;
    return &entries_[static_cast<std::size_t>(count_++)];
}

// One row per IPv4 address of every LAN adapter. A full table takes no more
// rows, but the masks and the IPv6 data still go to the rows it has.
void LanInterfaces::addIPv4Addresses(const std::vector<SystemAdapter>& adapters) {
    for (const SystemAdapter& adapter : adapters) {
        if (!isLanAdapter(adapter))
            continue;
        for (const SystemIPv4Address& address : adapter.ipv4Addresses) {
            LanInterface* entry = append();
            if (entry == nullptr)
                return;
            entry->FriendlyName = friendlyNameFromSystemName(adapter.name);
            entry->UIPv4Addr = address.address;
            copyText(entry->IPv4Addr, ipv4ToText(address.address));
            entry->IPv4IfIndex = adapter.index;
            entry->bUp = isOperational(adapter);
        }
    }
}

// The system's IPv4 address table holds every IPv4 address with its interface
// and mask. Each of its rows gives its mask and broadcast address to the first
// row of ours with the same address on the same interface that has none yet.
void LanInterfaces::applyMasks(const std::vector<SystemAdapter>& adapters) {
    std::array<bool, kMaxEntries> masked{};
    for (const SystemAdapter& adapter : adapters) {
        for (const SystemIPv4Address& address : adapter.ipv4Addresses) {
            for (std::size_t row = 0; row < static_cast<std::size_t>(count_); ++row) {
                LanInterface& entry = entries_[row];
                if (masked[row] || entry.UIPv4Addr != address.address || entry.IPv4IfIndex != adapter.index)
                    continue;
                entry.UIPv4MaskAddr = address.mask;
                entry.UIPv4BroadcastAddr_AsIPv6 =
                    Ip6Address::fromIPv4((address.address & address.mask) | ~address.mask);
                masked[row] = true;
                break;
            }
        }
    }
}

// Every row of a LAN adapter that is no tunnel and has IPv6 addresses gets its
// IPv6 index and first address; rows are matched by friendly name. An adapter
// without IPv4 row gets a row of its own while the table has room.
void LanInterfaces::addIPv6Data(const std::vector<SystemAdapter>& adapters) {
    for (const SystemAdapter& adapter : adapters) {
        if (!isIPv6LanAdapter(adapter) || adapter.ipv6Addresses.empty())
            continue;
        const FriendlyNameBuffer name = friendlyNameFromSystemName(adapter.name);
        const std::string addressText = addressToText(adapter.ipv6Addresses.front());
        bool matched = false;
        for (LanInterface& entry : std::span(entries_.data(), static_cast<std::size_t>(count_))) {
            if (!sameName(entry.FriendlyName, name))
                continue;
            entry.IPv6IfIndex = adapter.index;
            copyText(entry.IPv6Addr, addressText);
            matched = true;
        }
        if (matched)
            continue;
        LanInterface* entry = append();
        if (entry == nullptr)
            continue;
        entry->FriendlyName = name;
        copyText(entry->IPv4Addr, "none");
        entry->IPv6IfIndex = adapter.index;
        copyText(entry->IPv6Addr, addressText);
        entry->bUp = isOperational(adapter);
    }
}

void LanInterfaces::traceTable() const {
    if (!traceOn())
        return;
    trace("Anzahl LanInterfaces: %d\n", count_);
    for (int row = 0; row < count_; ++row) {
        const LanInterface& entry = entries_[static_cast<std::size_t>(row)];
        // "%ls" is glibc's "%S" under its ISO C name, which -Wpedantic accepts.
        trace("LanInterfaces[%d]: Friendly name: '%ls'\n", row,
              friendlyNameForTrace(entry.FriendlyName).c_str());
        trace("\tIPv4Addr: '%s' (UIPv4Addr: %x)\n", entry.IPv4Addr.data(), entry.UIPv4Addr);
        trace("\tIPv6Addr: '%s'\n", entry.IPv6Addr.data());
        trace("\tplain UIPv4MaskAddr: '%s'\n", ipv4ToText(entry.UIPv4MaskAddr).c_str());
        trace("\tplain UIPv4BroadcastAddr_AsIPv6: '%s'\n",
              addressToText(entry.UIPv4BroadcastAddr_AsIPv6, MappedForm::DottedOnly).c_str());
        trace("\tIPv4IfIndex: %d, IPv6IfIndex: %d\n", static_cast<int>(entry.IPv4IfIndex),
              static_cast<int>(entry.IPv6IfIndex));
        trace("\tbUp: %d\n", entry.bUp ? 1 : 0);
    }
    const auto rows = entries();
    const auto hasIPv6 = [](const LanInterface& entry) { return entry.IPv6Addr[0] != '\0'; };
    const auto hasGlobalIPv6 = [](const LanInterface& entry) {
        return std::string_view(entry.IPv6Addr.data()).starts_with("2001:");
    };
    if (std::none_of(rows.begin(), rows.end(), hasIPv6))
        trace("Warnung: Der PC besitzt keine IPv6 Adresse.\n");
    else if (std::none_of(rows.begin(), rows.end(), hasGlobalIPv6))
        trace(
            "Warnung: Der PC besitzt keine globale IPv6 Adresse [2001::...], sondern nur die local link IPv6 "
            "Adresse [fe80::...].\n");
}

int LanInterfaces::findLanIfForIPv4(const Ip6Address& address) const {
    if (count_ == 1)
        return 0;
    if (!address.isIPv4Mapped())
        return -1;
    const std::uint32_t ipv4 = address.ipv4NetworkOrder();
    for (int row = 0; row < count_; ++row) {
        const LanInterface& entry = entries_[static_cast<std::size_t>(row)];
        if (entry.bUp && entry.UIPv4Addr != 0 &&
            (entry.UIPv4Addr & entry.UIPv4MaskAddr) == (ipv4 & entry.UIPv4MaskAddr))
            return row;
    }
    return -1;
}

namespace {
LanInterfaces& processTable() {
    static LanInterfaces table;
    return table;
}
} // namespace

const LanInterfaces& lanInterfaces() {
    return processTable();
}

void enumerateLanInterfaces() {
    processTable() = LanInterfaces::enumerate();
}

} // namespace kestrix
