#include "terminal/route_table.h"

#include <cerrno>
#include <cstring>
#include <linux/rtnetlink.h>
#include <memory>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/route/route.h>

namespace kestrix::route_table {

namespace {

struct SocketDeleter {
    void operator()(nl_sock* socket) const { nl_socket_free(socket); }
};
struct CacheDeleter {
    void operator()(nl_cache* cache) const { nl_cache_free(cache); }
};
struct RouteDeleter {
    void operator()(rtnl_route* route) const { rtnl_route_put(route); }
};
struct AddressDeleter {
    void operator()(nl_addr* address) const { nl_addr_put(address); }
};
using Socket = std::unique_ptr<nl_sock, SocketDeleter>;
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;
using Route = std::unique_ptr<rtnl_route, RouteDeleter>;
using Address = std::unique_ptr<nl_addr, AddressDeleter>;

// The system error number behind a netlink library error.
int systemError(int netlinkError) {
    switch (-netlinkError) {
    case NLE_PERM:
        return EPERM;
    case NLE_NOACCESS:
        return EACCES;
    case NLE_EXIST:
        return EEXIST;
    case NLE_OBJ_NOTFOUND:
        return ESRCH;
    case NLE_NOMEM:
        return ENOMEM;
    case NLE_INVAL:
        return EINVAL;
    case NLE_NODEV:
        return ENODEV;
    default:
        return EIO;
    }
}

RouteChangeResult outcome(int netlinkError) {
    if (netlinkError >= 0)
        return {RouteChange::Done, 0, std::string()};
    int error = systemError(netlinkError);
    RouteChange change = error == EPERM || error == EACCES ? RouteChange::AccessDenied : RouteChange::Failed;
    return {change, error, nl_geterror(netlinkError)};
}

Socket connect(int& error) {
    Socket socket(nl_socket_alloc());
    if (!socket) {
        error = ENOMEM;
        return nullptr;
    }
    int result = nl_connect(socket.get(), NETLINK_ROUTE);
    if (result < 0) {
        error = systemError(result);
        return nullptr;
    }
    return socket;
}

std::uint32_t ipv4Of(nl_addr* address) {
    std::uint32_t value = 0;
    if (address != nullptr && nl_addr_get_family(address) == AF_INET && nl_addr_get_len(address) == 4)
        std::memcpy(&value, nl_addr_get_binary_addr(address), 4);
    return value;
}

Address ipv4Address(std::uint32_t value, int prefixLength) {
    Address address(nl_addr_build(AF_INET, &value, 4));
    if (address)
        nl_addr_set_prefixlen(address.get(), prefixLength);
    return address;
}

Cache routeCache(nl_sock* socket, int family, int& error) {
    nl_cache* cache = nullptr;
    int result = rtnl_route_alloc_cache(socket, family, 0, &cache);
    if (result < 0) {
        error = systemError(result);
        return nullptr;
    }
    return Cache(cache);
}

} // namespace

bool read(std::vector<RouteRow>& rows, int& error) {
    rows.clear();
    Socket socket = connect(error);
    if (!socket)
        return false;
    Cache cache = routeCache(socket.get(), AF_INET, error);
    if (!cache)
        return false;
    for (nl_object* object = nl_cache_get_first(cache.get()); object != nullptr; object = nl_cache_get_next(object)) {
        auto* route = reinterpret_cast<rtnl_route*>(object);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN || rtnl_route_get_family(route) != AF_INET)
            continue;
        RouteRow row;
        nl_addr* destination = rtnl_route_get_dst(route);
        row.destination = ipv4Of(destination);
        row.prefixLength = destination != nullptr ? static_cast<int>(nl_addr_get_prefixlen(destination)) : 0;
        if (rtnl_route_get_nnexthops(route) > 0) {
            rtnl_nexthop* nextHop = rtnl_route_nexthop_n(route, 0);
            row.nextHop = ipv4Of(rtnl_route_nh_get_gateway(nextHop));
            row.interfaceIndex = static_cast<std::uint32_t>(rtnl_route_nh_get_ifindex(nextHop));
        }
        row.type = row.nextHop != 0 ? 4 : 3;
        row.protocol = rtnl_route_get_protocol(route);
        row.metric = rtnl_route_get_priority(route);
        rows.push_back(row);
    }
    return true;
}

namespace {

// A route of the main IPv4 table to destination/prefixLength through one
// interface (and a gateway, unless 0); nullptr when memory runs out.
Route mainTableRoute(std::uint32_t destination, int prefixLength, int protocol, int scope, std::uint32_t metric,
                     std::uint32_t interfaceIndex, std::uint32_t gateway) {
    Route route(rtnl_route_alloc());
    Address target = ipv4Address(destination, prefixLength);
    Address gatewayAddress = gateway != 0 ? ipv4Address(gateway, 32) : nullptr;
    rtnl_nexthop* nextHop = rtnl_route_nh_alloc();
    if (!route || !target || (gateway != 0 && !gatewayAddress) || nextHop == nullptr) {
        if (nextHop != nullptr)
            rtnl_route_nh_free(nextHop);
        return nullptr;
    }
    rtnl_route_set_family(route.get(), AF_INET);
    rtnl_route_set_dst(route.get(), target.get());
    rtnl_route_set_table(route.get(), RT_TABLE_MAIN);
    rtnl_route_set_protocol(route.get(), static_cast<std::uint8_t>(protocol));
    rtnl_route_set_scope(route.get(), static_cast<std::uint8_t>(scope));
    rtnl_route_set_priority(route.get(), metric);
    rtnl_route_nh_set_ifindex(nextHop, static_cast<int>(interfaceIndex));
    if (gatewayAddress)
        rtnl_route_nh_set_gateway(nextHop, gatewayAddress.get());
    rtnl_route_add_nexthop(route.get(), nextHop); // the route owns it now
    return route;
}

// Sends one change of the routing table: adding or deleting the route.
enum class Change { Add, Delete };
RouteChangeResult changeTable(Change change, const Route& route) {
    if (!route)
        return {RouteChange::Failed, ENOMEM, std::strerror(ENOMEM)};
    int error = 0;
    Socket socket = connect(error);
    if (!socket)
        return {RouteChange::Failed, error, std::strerror(error)};
    return outcome(change == Change::Add ? rtnl_route_add(socket.get(), route.get(), NLM_F_EXCL)
                                         : rtnl_route_delete(socket.get(), route.get(), 0));
}

} // namespace

RouteChangeResult addHostRoute(std::uint32_t destination, std::uint32_t interfaceIndex,
                               std::uint32_t preferredSource, std::uint32_t metric) {
    Route route = mainTableRoute(destination, 32, kOwnRouteProtocol, RT_SCOPE_LINK, metric, interfaceIndex, 0);
    if (route) {
        rtnl_route_set_type(route.get(), RTN_UNICAST);
        if (preferredSource != 0) {
            Address source = ipv4Address(preferredSource, 32);
            if (!source)
                return {RouteChange::Failed, ENOMEM, std::strerror(ENOMEM)};
            rtnl_route_set_pref_src(route.get(), source.get());
        }
    }
    return changeTable(Change::Add, route);
}

RouteChangeResult remove(const RouteRow& row) {
    // The row as the system holds it; any scope matches.
    return changeTable(Change::Delete, mainTableRoute(row.destination, row.prefixLength, row.protocol, RT_SCOPE_NOWHERE,
                                                row.metric, row.interfaceIndex, row.nextHop));
}

bool interfaceMetric(std::uint32_t interfaceIndex, int family, std::uint32_t& metric, int& error) {
    Socket socket = connect(error);
    if (!socket)
        return false;
    Cache cache = routeCache(socket.get(), family, error);
    if (!cache)
        return false;
    bool found = false;
    for (nl_object* object = nl_cache_get_first(cache.get()); object != nullptr; object = nl_cache_get_next(object)) {
        auto* route = reinterpret_cast<rtnl_route*>(object);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN || rtnl_route_get_protocol(route) != RTPROT_KERNEL ||
            rtnl_route_get_nnexthops(route) < 1)
            continue;
        if (static_cast<std::uint32_t>(rtnl_route_nh_get_ifindex(rtnl_route_nexthop_n(route, 0))) != interfaceIndex)
            continue;
        std::uint32_t priority = rtnl_route_get_priority(route);
        if (!found || priority < metric)
            metric = priority;
        found = true;
    }
    if (!found)
        error = ENOENT;
    return found;
}

} // namespace kestrix::route_table
