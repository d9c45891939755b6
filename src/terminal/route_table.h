#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

// One row of the system's IPv4 routing table (the main table), as the trace
// dump and the route deletion read it. Addresses in network byte order.
struct RouteRow {
    std::uint32_t destination = 0;
    int prefixLength = 0;
    std::uint32_t nextHop = 0; // 0 for an on-link route
    std::uint32_t interfaceIndex = 0;
    int type = 0;     // 3 direct (on-link), 4 indirect (through a gateway)
    int protocol = 0; // the system's routing protocol number
    std::uint32_t metric = 0;
};

// The outcome of a change to the routing table.
enum class RouteChange {
    Done,
    AccessDenied, // the process lacks the right to change routes (CAP_NET_ADMIN)
    Failed,       // any other error; see the error text
};

struct RouteChangeResult {
    RouteChange change = RouteChange::Failed;
    int error = 0;         // the system's error number
    std::string errorText; // its text
};

// The system's IPv4 routing table through netlink: read the main table, add an
// on-link host route, delete a row, and ask for an interface's metric.
// It knows nothing of terminals; the terminal record decides what to route.
namespace route_table {

// The routing protocol number that marks the host routes this program adds,
// so that it deletes only its own (those of earlier runs included) and never
// a route an administrator made. iproute2 shows it by name when
// /etc/iproute2/rt_protos.d holds "176 kestrix".
inline constexpr int kOwnRouteProtocol = 176;

// The rows of the main table; false (with the error number) when it cannot be read.
bool read(std::vector<RouteRow>& rows, int& error);

// Adds the host route destination/32 on-link through the interface, with the
// interface's address as preferred source and the given metric, marked with
// kOwnRouteProtocol. An existing route to the same destination is an error.
RouteChangeResult addHostRoute(std::uint32_t destination, std::uint32_t interfaceIndex,
                               std::uint32_t preferredSource, std::uint32_t metric);

// Deletes exactly that row.
RouteChangeResult remove(const RouteRow& row);

// The metric of an interface: the lowest metric of the routes the system made
// for the interface's own subnets (family AF_INET or AF_INET6). False when the
// interface has none.
bool interfaceMetric(std::uint32_t interfaceIndex, int family, std::uint32_t& metric, int& error);

} // namespace route_table
} // namespace kestrix
