#include "sim/interface_address.h"

#include <linux/ip.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <net/if.h>
#include <netlink/cache.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/link/inet.h>
#include <netlink/route/route.h>
#include <stdexcept>
#include <vector>

namespace kestrix::sim {
namespace {

struct SocketFree {
    void operator()(nl_sock* socket) const { nl_socket_free(socket); }
};
struct ObjectPut {
    void operator()(nl_object* object) const { nl_object_put(object); }
};
struct CacheFree {
    void operator()(nl_cache* cache) const { nl_cache_free(cache); }
};
struct AddressPut {
    void operator()(nl_addr* address) const { nl_addr_put(address); }
};
using Socket = std::unique_ptr<nl_sock, SocketFree>;
using Object = std::unique_ptr<nl_object, ObjectPut>;
using Cache = std::unique_ptr<nl_cache, CacheFree>;
using NetlinkAddress = std::unique_ptr<nl_addr, AddressPut>;

void check(int result, const std::string& what) {
    if (result < 0)
        throw std::runtime_error(what + ": " + nl_geterror(result));
}

Socket connectRoute() {
    Socket socket(nl_socket_alloc());
    if (!socket)
        throw std::runtime_error("netlink socket: out of memory");
    check(nl_connect(socket.get(), NETLINK_ROUTE), "netlink connect");
    return socket;
}

NetlinkAddress ipv4Address(std::uint32_t address, int prefixLength) {
    NetlinkAddress result(nl_addr_build(AF_INET, &address, sizeof address));
    if (!result)
        throw std::runtime_error("netlink address: out of memory");
    nl_addr_set_prefixlen(result.get(), prefixLength);
    return result;
}

// The interface's address object for the given address; with its subnet broadcast when asked.
Object addressObject(int interfaceIndex, std::uint32_t address, int prefixLength, bool withBroadcast) {
    Object object(OBJ_CAST(rtnl_addr_alloc()));
    if (!object)
        throw std::runtime_error("netlink address: out of memory");
    auto* entry = reinterpret_cast<rtnl_addr*>(object.get());
    rtnl_addr_set_ifindex(entry, interfaceIndex);
    rtnl_addr_set_family(entry, AF_INET);
    check(rtnl_addr_set_local(entry, ipv4Address(address, prefixLength).get()), "netlink address");
    rtnl_addr_set_prefixlen(entry, prefixLength);
    if (withBroadcast)
        check(rtnl_addr_set_broadcast(entry, ipv4Address(subnetBroadcast(address, prefixLength), 32).get()),
              "netlink broadcast address");
    return object;
}

// Lets a secondary address take over when the primary one is removed.
void promoteSecondaries(nl_sock* socket, int interfaceIndex) {
    rtnl_link* current = nullptr;
    check(rtnl_link_get_kernel(socket, interfaceIndex, nullptr, &current), "netlink link");
    Object currentObject(OBJ_CAST(current));
    Object change(OBJ_CAST(rtnl_link_alloc()));
    if (!change)
        throw std::runtime_error("netlink link: out of memory");
    auto* changeLink = reinterpret_cast<rtnl_link*>(change.get());
    check(rtnl_link_inet_set_conf(changeLink, IPV4_DEVCONF_PROMOTE_SECONDARIES, 1), "promote_secondaries");
    check(rtnl_link_change(socket, current, changeLink, 0), "promote_secondaries");
}

// The on-link default route and the local broadcast routes without a
// preferred source that go through the interface.
std::vector<Object> routesToKeep(nl_sock* socket, int interfaceIndex) {
    nl_cache* raw = nullptr;
    check(rtnl_route_alloc_cache(socket, AF_INET, 0, &raw), "netlink route dump");
    Cache cache(raw);
    std::vector<Object> kept;
    for (nl_object* object = nl_cache_get_first(raw); object != nullptr; object = nl_cache_get_next(object)) {
        auto* route = reinterpret_cast<rtnl_route*>(object);
        if (rtnl_route_get_nnexthops(route) != 1)
            continue;
        rtnl_nexthop* hop = rtnl_route_nexthop_n(route, 0);
        if (rtnl_route_nh_get_ifindex(hop) != interfaceIndex || rtnl_route_nh_get_gateway(hop) != nullptr)
            continue;
        nl_addr* destination = rtnl_route_get_dst(route);
        const bool onLinkDefault = rtnl_route_get_table(route) == RT_TABLE_MAIN &&
                                   rtnl_route_get_type(route) == RTN_UNICAST &&
                                   (destination == nullptr || nl_addr_get_prefixlen(destination) == 0);
        const bool addedBroadcast = rtnl_route_get_table(route) == RT_TABLE_LOCAL &&
                                    rtnl_route_get_type(route) == RTN_BROADCAST &&
                                    rtnl_route_get_pref_src(route) == nullptr;
        if (onLinkDefault || addedBroadcast)
            kept.emplace_back(nl_object_clone(object));
    }
    return kept;
}

} // namespace

void NetlinkInterfaceAddress::replaceIPv4(const std::string& interfaceName, const Ipv4Settings& from,
                                          const Ipv4Settings& to) {
    const int interfaceIndex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
    if (interfaceIndex == 0)
        throw std::runtime_error("no interface " + interfaceName);
    Socket socket = connectRoute();
    promoteSecondaries(socket.get(), interfaceIndex);
    std::vector<Object> kept = routesToKeep(socket.get(), interfaceIndex);

    if (to.address != 0) {
        Object added = addressObject(interfaceIndex, to.address, to.prefixLength, true);
        int result = rtnl_addr_add(socket.get(), reinterpret_cast<rtnl_addr*>(added.get()), 0);
        if (result != -NLE_EXIST)
            check(result, "adding the address");
    }
    if (from.address != 0) {
        Object removed = addressObject(interfaceIndex, from.address, from.prefixLength, false);
        int result = rtnl_addr_delete(socket.get(), reinterpret_cast<rtnl_addr*>(removed.get()), 0);
        if (result != -NLE_NOADDR && result != -NLE_OBJ_NOTFOUND)
            check(result, "removing the address");
    }
    for (const auto& route : kept) {
        int result = rtnl_route_add(socket.get(), reinterpret_cast<rtnl_route*>(route.get()), NLM_F_EXCL);
        if (result != -NLE_EXIST)
            check(result, "putting a route back");
    }
}

} // namespace kestrix::sim
