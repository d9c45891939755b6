#include "lan/lan_interfaces.h"
#include "platform/error_text.h"
#include "platform/trace.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <arpa/inet.h>
#include <mutex>
#include <set>
#include <sys/socket.h>

namespace kestrix {

namespace {

// The metric used when the interface's own cannot be found.
constexpr std::uint32_t kDefaultRouteMetric = 51;
// The prefix length of a route to one address.
constexpr int kHostRoutePrefixLength = 32;

// The addresses of the host routes this process added and has not deleted
// yet, for the clean-up of an interrupted run. Records of any thread add to it.
std::mutex ownRoutesMutex;
std::set<std::string>& ownRoutes() {
    static std::set<std::string> addresses;
    return addresses;
}

void rememberOwnRoute(const std::string& address) {
    std::lock_guard lock(ownRoutesMutex);
    ownRoutes().insert(address);
}

void forgetOwnRoute(const std::string& address) {
    std::lock_guard lock(ownRoutesMutex);
    ownRoutes().erase(address);
}

std::optional<std::uint32_t> dottedIPv4(const std::string& text) {
    in_addr value{};
    if (inet_pton(AF_INET, text.c_str(), &value) != 1)
        return std::nullopt;
    return value.s_addr;
}

void traceRouteTable(const std::vector<RouteRow>& rows) {
    if (!traceOn())
        return;
    trace("\nTerminal::deleteRoute(): IpForwardTable Dump:\n");
    trace("Nr.   Destination       Mask              NextHop         \tPolicy\tIfIndex\tType\tProto\tAge\tNextHopAs\t"
          "Metric1\n");
    int number = 0;
    for (const RouteRow& row : rows) {
        std::uint32_t mask = row.prefixLength <= 0 ? 0 : htonl(~std::uint32_t(0) << (32 - row.prefixLength));
        trace("%3d %18s%18s%18s\t%d\t%d\t%d\t%d\t%d\t%d\t\t%d\n", number++, ipv4ToText(row.destination).c_str(),
              ipv4ToText(mask).c_str(), ipv4ToText(row.nextHop).c_str(), 0, static_cast<int>(row.interfaceIndex),
              row.type, row.protocol, 0, 0, static_cast<int>(row.metric));
    }
    trace("\n");
}

} // namespace

int Terminal::tryToRoute() {
    std::string address = displayAddress(AddressDisplay::DottedIPv4);
    if (address.find(':') != std::string::npos) {
        trace("Terminal::tryToRoute(): wird nicht ausgeführt, da '%s' keine IPv4-Adresse ist.\n", address.c_str());
        return 0;
    }
    trace("Terminal::tryToRoute() für '%s' startet\n", address.c_str());
    setLanIf(-1);
    const LanInterfaces& table = lanInterfaces();
    for (int row = 0; row < table.count(); ++row) {
        const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
        // A row without an IPv4 address cannot carry an IPv4 host route.
        if (!entry.bUp || entry.UIPv4Addr == 0)
            continue;
        if (!addRoute(address, row))
            return -1;
        setLanIf(row);
        try {
            if (IDBasedAuth)
                T7000ipLocateByFind("::ffff:" + address, std::string(), SerialNumber, RouteUse::NotAllowed);
            else
                T7000ipLocateByEcho("::ffff:" + address, std::string(), SerialNumber, RouteUse::NotAllowed);
            routedAddress_ = address; // the caller marks RouteAdded; the route is this one
            return 1;
        } catch (const TerminalError&) {
            trace("Terminal::tryToRoute(): Terminal::T7000ipLocateByFind() über Interface %s schlug fehl\n",
                  entry.IPv4Addr.data());
            setLanIf(-1);
            deleteRoute(address);
        } catch (...) {
            deleteRoute(address);
            throw;
        }
    }
    return 0;
}

bool Terminal::addRoute(const std::string& address, int entryIndex) {
    const LanInterfaces& table = lanInterfaces();
    std::optional<std::uint32_t> destination = dottedIPv4(address);
    if (entryIndex < 0 || entryIndex >= table.count() || !destination) {
        trace("Terminal::addRoute(): Destination: %s, NextHop: %s failed: %d.\n", address.c_str(), "", EINVAL);
        trace("%s\n", errorText(EINVAL).c_str());
        return false;
    }
    const LanInterface& entry = table.entries()[static_cast<std::size_t>(entryIndex)];
    std::uint32_t metric = 0;
    int error = 0;
    bool known = entry.IPv6IfIndex != 0 ? route_table::interfaceMetric(entry.IPv6IfIndex, AF_INET6, metric, error)
                                        : route_table::interfaceMetric(entry.IPv4IfIndex, AF_INET, metric, error);
    std::uint32_t metric1 = kDefaultRouteMetric;
    if (known) {
        trace("Terminal::addRoute(): GetIpInterfaceEntry(): IPv6IfIndex %d or IPv4IfIndex %d has Metric %d.\n",
              static_cast<int>(entry.IPv6IfIndex), static_cast<int>(entry.IPv4IfIndex), static_cast<int>(metric));
        metric1 = metric + 1;
    } else {
        trace("Terminal::addRoute(): GetIpInterfaceEntry() for IPv6IfIndex %d or IPv4IfIndex %d failed: %d.\n",
              static_cast<int>(entry.IPv6IfIndex), static_cast<int>(entry.IPv4IfIndex), error);
        trace("\tFehlermeldung '%s'\n", errorText(error).c_str());
    }
    std::uint32_t interfaceIndex = entry.IPv4IfIndex != 0 ? entry.IPv4IfIndex : entry.IPv6IfIndex;
    RouteChangeResult result = route_table::addHostRoute(*destination, interfaceIndex, entry.UIPv4Addr, metric1);
    const char* nextHop = entry.IPv4Addr.data();
    switch (result.change) {
    case RouteChange::Done:
        trace("Terminal::addRoute(): CreateIpForwardEntry() for Destination: %s, NextHop: %s done.\n", address.c_str(),
              nextHop);
        rememberOwnRoute(address);
        return true;
    case RouteChange::AccessDenied:
        trace("Terminal::addRoute(): Destination: %s, NextHop: %s failed: Administratorrechte fehlen!\n",
              address.c_str(), nextHop);
        return false;
    case RouteChange::Failed:
        break;
    }
    trace("Terminal::addRoute(): Destination: %s, NextHop: %s failed: %d.\n", address.c_str(), nextHop, result.error);
    trace("%s\n", result.errorText.c_str());
    return false;
}

bool Terminal::deleteRoute(const std::string& address) {
    std::vector<RouteRow> rows;
    int error = 0;
    if (!route_table::read(rows, error)) {
        trace("Terminal::deleteRoute(): GetIpForwardTable() failed: %d.\n", error);
        return false;
    }
    traceRouteTable(rows);
    std::optional<std::uint32_t> destination = dottedIPv4(address);
    bool allDeleted = true;
    for (const RouteRow& row : rows) {
        // Host routes only: the default route (destination 0.0.0.0) and a
        // subnet's route (its own address) have the same destination but are
        // the PC's, never a terminal's.
        if (!destination || row.destination != *destination || row.prefixLength != kHostRoutePrefixLength)
            continue;
        // Only routes this program made: an administrator's route stays.
        if (row.protocol != route_table::kOwnRouteProtocol) {
            trace("Terminal::deleteRoute(): route to %s of protocol %d is not ours, left alone.\n", address.c_str(),
                  row.protocol);
            continue;
        }
        RouteChangeResult result = route_table::remove(row);
        if (result.change == RouteChange::Done) {
            forgetOwnRoute(address);
            trace("Terminal::deleteRoute(): DeleteIpForwardEntry(%s) done.\n", address.c_str());
        } else {
            trace("Terminal::deleteRoute(): DeleteIpForwardEntry(%s) failed: %d.\n", address.c_str(), result.error);
            allDeleted = false;
        }
    }
    return allDeleted;
}

void Terminal::deleteAllOwnRoutes() {
    std::set<std::string> addresses;
    {
        std::lock_guard lock(ownRoutesMutex);
        addresses = ownRoutes();
    }
    for (const std::string& address : addresses)
        deleteRoute(address);
}

void Terminal::removeOwnRoute() {
    if (!RouteAdded)
        return;
    // The address the route was added for: the record may be in use by
    // another address (its IPv6 link-local one, say) by now.
    deleteRoute(routedAddress_.empty() ? displayAddress(AddressDisplay::DottedIPv4) : routedAddress_);
    RouteAdded = false;
    routedAddress_.clear();
}

void Terminal::takeOverHostRoute(Terminal& replaced) {
    if (!replaced.RouteAdded || RouteAdded)
        return;
    const std::string routed = replaced.routedAddress_.empty()
                                   ? replaced.displayAddress(AddressDisplay::DottedIPv4)
                                   : replaced.routedAddress_;
    if (routed.find(':') != std::string::npos || routed != displayAddress(AddressDisplay::DottedIPv4))
        return;
    RouteAdded = true;
    routedAddress_ = routed;
    replaced.RouteAdded = false;
    replaced.routedAddress_.clear();
}

bool Terminal::prepareForNewAddr(const std::string& newAddress, const std::string& newDnsName) {
    trace("Terminal::prepareForNewAddr(): neue IP-Adresse '%s', neuer DNSName '%s'\n", newAddress.c_str(),
          newDnsName.c_str());
    bool result = true;
    removeOwnRoute();
    // What the terminal accepted at its old address must be found again.
    AuthOK = false;
    if (!newAddress.empty()) {
        std::optional<Ip6Address> parsed = addressFromText(newAddress);
        AddrInUse = parsed ? *parsed : Ip6Address();
        const LanInterfaces& table = lanInterfaces();
        int index = table.findLanIfForIPv4(AddrInUse);
        if (AddrInUse.isIPv4Mapped()) {
            std::string dotted = addressToText(AddrInUse, MappedForm::DottedOnly);
            bool routeNeeded = false;
            if (index == -1) {
                trace("Terminal::prepareForNewAddr(): neue IP-Adresse %s passt in kein Subnetz\n", dotted.c_str());
                if (LanIfIndex >= 0) {
                    trace("Terminal::prepareForNewAddr(): Interface bekannt: '%s', LanIfIndex: %d, Versuch zu routen\n",
                          HostIfAddr.c_str(), LanIfIndex);
                    routeNeeded = true;
                }
            } else {
                if (index == 0 && LanIfIndex == -1)
                    setLanIf(0);
                if (LanIfIndex >= 0 && LanIfIndex != index) {
                    trace("Terminal::prepareForNewAddr(): neue IP-Adresse passt nicht zum aktuellen Interface '%s' "
                          "(LanIfIndex: %d), Versuch zu routen\n",
                          HostIfAddr.c_str(), LanIfIndex);
                    routeNeeded = true;
                }
            }
            if (routeNeeded) {
                if (addRoute(dotted, LanIfIndex)) {
                    RouteAdded = true;
                    routedAddress_ = dotted;
                } else {
                    result = false;
                }
            }
        }
    } else {
        AddrInUse = Ip6Address();
    }
    if (newAddress.rfind("fe80", 0) != 0)
        IPAddrInUse = newAddress;
    DNSNameInUse = newDnsName;
    IPv6Addresses.clear();
    return result;
}

} // namespace kestrix
