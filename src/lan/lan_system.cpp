#include "lan/lan_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <memory>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <string_view>
#include <unistd.h>

namespace kestrix {

namespace {

// True when /sys/class/net/NAME/ENTRY exists.
bool sysfsEntryExists(const std::string& name, const char* entry) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    const std::string path = "/sys/class/net/" + name + "/" + entry;
    return access(path.c_str(), F_OK) == 0;
}

WirelessKind wirelessKindOf(const std::string& name) {
    return sysfsEntryExists(name, "wireless") || sysfsEntryExists(name, "phy80211") ? WirelessKind::Ieee80211
                                                                                    : WirelessKind::None;
}

TunnelKind tunnelKindOf(const std::string& name) {
    return sysfsEntryExists(name, "tun_flags") ? TunnelKind::TunTap : TunnelKind::None;
}

// IPv4 addresses carry their label as name ("eth0:1"); interface names never
// contain ':', so the interface is the part before it.
std::string_view interfaceNameOf(const char* addressName) {
    const std::string_view name(addressName);
    return name.substr(0, name.find(':'));
}

SystemAdapter* adapterNamed(std::vector<SystemAdapter>& adapters, std::string_view name) {
    const auto found = std::find_if(adapters.begin(), adapters.end(),
                                    [&](const SystemAdapter& adapter) { return adapter.name == name; });
    return found == adapters.end() ? nullptr : &*found;
}

std::uint32_t ipv4Of(const sockaddr* address) {
    if (address == nullptr)
        return 0;
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, address, sizeof ipv4);
    return ipv4.sin_addr.s_addr;
}

void addLink(std::vector<SystemAdapter>& adapters, const ifaddrs& item) {
    sockaddr_ll link{};
    std::memcpy(&link, item.ifa_addr, sizeof link);
    SystemAdapter adapter;
    adapter.name = item.ifa_name;
    adapter.index = static_cast<std::uint32_t>(link.sll_ifindex);
    adapter.hardwareType = link.sll_hatype;
    adapter.flags = item.ifa_flags;
    adapter.wireless = wirelessKindOf(adapter.name);
    adapter.tunnel = tunnelKindOf(adapter.name);
    adapters.push_back(std::move(adapter));
}

void addAddress(std::vector<SystemAdapter>& adapters, const ifaddrs& item) {
    SystemAdapter* adapter = adapterNamed(adapters, interfaceNameOf(item.ifa_name));
    if (adapter == nullptr)
        return;
    if (item.ifa_addr->sa_family == AF_INET) {
        adapter->ipv4Addresses.push_back({ipv4Of(item.ifa_addr), ipv4Of(item.ifa_netmask)});
    } else {
        sockaddr_in6 ipv6{};
        std::memcpy(&ipv6, item.ifa_addr, sizeof ipv6);
        adapter->ipv6Addresses.push_back(fromSocketAddress(ipv6));
    }
}

} // namespace

SystemInterfaces readSystemInterfaces() {
    SystemInterfaces system;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        system.readError = errno;
        return system;
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    const auto hasFamily = [](const ifaddrs* item, int family) {
        return item->ifa_name != nullptr && item->ifa_addr != nullptr && item->ifa_addr->sa_family == family;
    };
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next)
        if (hasFamily(item, AF_PACKET))
            addLink(system.adapters, *item);
    std::stable_sort(
        system.adapters.begin(), system.adapters.end(),
        [](const SystemAdapter& left, const SystemAdapter& right) { return left.index < right.index; });
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next)
        if (hasFamily(item, AF_INET) || hasFamily(item, AF_INET6))
            addAddress(system.adapters, *item);
    return system;
}

} // namespace kestrix
