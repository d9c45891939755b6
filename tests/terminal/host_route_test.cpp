#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/capabilities.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <thread>

// Changes the routing table: runs in a network namespace of its own, with one
// LAN interface kxra (10.99.0.1/24) whose peer kxrb is up.

namespace kestrix {
namespace {

using test::TraceCapture;

std::uint32_t ipv4(const char* text) {
    in_addr value{};
    inet_pton(AF_INET, text, &value);
    return value.s_addr;
}

// The main table's rows whose destination is the address.
std::vector<RouteRow> routesTo(const char* address) {
    std::vector<RouteRow> rows, matching;
    int error = 0;
    EXPECT_TRUE(route_table::read(rows, error));
    for (const auto& row : rows)
        if (row.destination == ipv4(address))
            matching.push_back(row);
    return matching;
}

class HostRoutes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Link-local addresses without duplicate detection, so that the IPv6
        // routes (and so the metric) and kxrb's row are there at once.
        ASSERT_EQ(
            std::system("ip link add kxra type veth peer name kxrb && ip addr add 10.99.0.1/24 dev kxra && "
                        "ip addr add fe80::1/64 dev kxra nodad && ip addr add fe80::2/64 dev kxrb nodad && "
                        "ip link set kxra up && ip link set kxrb up"),
            0);
        enumerateLanInterfaces();
        ASSERT_EQ(lanInterfaces().count(), 2); // kxra and kxrb (without IPv4 address)
    }
    void TearDown() override {
        std::system("ip route flush 10.98.0.0/16 2>/dev/null");
        T7000ip::releaseT7000ip();
    }
    int kxraRow() const { return 0; } // IPv4 rows come first

    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
};

TEST_F(HostRoutes, AddRouteCreatesAnOnLinkHostRouteOneAboveTheInterfaceMetric) {
    Terminal record(engine_, TerminalFields{});
    TraceCapture trace;
    ASSERT_TRUE(record.addRoute("10.98.0.5", kxraRow()));
    auto routes = routesTo("10.98.0.5");
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].prefixLength, 32);
    EXPECT_EQ(routes[0].nextHop, 0u); // on-link
    EXPECT_EQ(routes[0].type, 3);
    EXPECT_EQ(routes[0].protocol, route_table::kOwnRouteProtocol);
    EXPECT_EQ(routes[0].interfaceIndex,
              lanInterfaces().entries()[static_cast<std::size_t>(kxraRow())].IPv4IfIndex);
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): CreateIpForwardEntry() for Destination: 10.98.0.5, "
                               "NextHop: 10.99.0.1 done.\n"));
    EXPECT_TRUE(trace.contains("has Metric " + std::to_string(routes[0].metric - 1) + ".\n"));
    // A second route to the same destination is refused, with the error traced.
    EXPECT_FALSE(record.addRoute("10.98.0.5", kxraRow()));
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): Destination: 10.98.0.5, NextHop: 10.99.0.1 failed: " +
                               std::to_string(EEXIST) + ".\n"));

    bool added = true;
    std::thread unprivileged([&] {
        ASSERT_TRUE(test::dropNetworkAdministration());
        added = record.addRoute("10.98.0.6", kxraRow());
    });
    unprivileged.join();
    EXPECT_FALSE(added);
    EXPECT_TRUE(routesTo("10.98.0.6").empty());
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): Destination: 10.98.0.6, NextHop: 10.99.0.1 failed: "
                               "Administratorrechte fehlen!\n"));
}

// Only the program's own host routes to the address go (an earlier run's
// too); an administrator's route to it, the default route (a terminal
// without IPv4) and a subnet's route stay.
TEST_F(HostRoutes, DeleteRouteRemovesOnlyTheProgramsOwnHostRoutes) {
    ASSERT_EQ(std::system("ip route add 10.98.0.7 dev kxra metric 5 proto 176 && "
                          "ip route add 10.98.0.7 via 10.99.0.2 metric 9 proto static && "
                          "ip route add 10.98.0.8 dev kxra proto 176 && ip route add default via 10.99.0.2 dev kxra"),
              0);
    Terminal record(engine_, TerminalFields{});
    TraceCapture trace;
    EXPECT_TRUE(record.deleteRoute("10.98.0.7"));
    const std::vector<RouteRow> kept = routesTo("10.98.0.7");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].nextHop, ipv4("10.99.0.2"));
    EXPECT_EQ(routesTo("10.98.0.8").size(), 1u);
    EXPECT_TRUE(
        trace.contains("\nTerminal::deleteRoute(): IpForwardTable Dump:\n"
                       "Nr.   Destination       Mask              NextHop         \tPolicy\tIfIndex\tType\t"
                       "Proto\tAge\tNextHopAs\tMetric1\n"));
    EXPECT_TRUE(trace.contains("         10.98.0.7   255.255.255.255         10.99.0.2\t0\t"));
    EXPECT_TRUE(trace.contains("Terminal::deleteRoute(): DeleteIpForwardEntry(10.98.0.7) done.\n"));
    EXPECT_TRUE(
        trace.contains("Terminal::deleteRoute(): route to 10.98.0.7 of protocol 4 is not ours, left alone.\n"));
    for (const char* address : {"0.0.0.0", "10.99.0.0"}) {
        EXPECT_TRUE(record.deleteRoute(address));
        ASSERT_EQ(routesTo(address).size(), 1u) << address;
        EXPECT_LT(routesTo(address)[0].prefixLength, 32) << address;
    }
    std::system("ip route del default 2>/dev/null");

    // An interrupted process deletes the routes it added, and only those.
    ASSERT_TRUE(record.addRoute("10.98.0.9", kxraRow()));
    ASSERT_TRUE(record.addRoute("10.98.0.10", kxraRow()));
    Terminal::deleteAllOwnRoutes();
    EXPECT_TRUE(routesTo("10.98.0.9").empty());
    EXPECT_TRUE(routesTo("10.98.0.10").empty());
    EXPECT_EQ(routesTo("10.98.0.7").size(), 1u);
    EXPECT_EQ(routesTo("10.98.0.8").size(), 1u) << "an earlier run's route is no business of the interrupt";
}

TEST_F(HostRoutes, TryToRouteLeavesAnIPv6TerminalAlone) {
    TerminalFields fields;
    fields.AddrInUse = *addressFromText("fe80::5");
    fields.IPAddrInUse = "fe80::5";
    Terminal terminal(engine_, fields);
    std::vector<RouteRow> before, after;
    int error = 0;
    route_table::read(before, error);
    TraceCapture trace;
    EXPECT_EQ(terminal.tryToRoute(), 0);
    route_table::read(after, error);
    EXPECT_EQ(before.size(), after.size());
    EXPECT_EQ(trace.text(),
              "Terminal::tryToRoute(): wird nicht ausgeführt, da 'fe80::5' keine IPv4-Adresse ist.\n");
}

TEST_F(HostRoutes, ANewAddressInNoSubnetIsRoutedThroughTheKnownInterfaceAsLongAsTheRecordLives) {
    TerminalFields accepted;
    accepted.AuthOK = true;
    Terminal record(engine_, accepted);
    EXPECT_TRUE(record.prepareForNewAddr("::ffff:10.99.0.20", ""));
    EXPECT_FALSE(record.AuthOK); // to be found again at the new address
    EXPECT_FALSE(record.RouteAdded); // in the interface's subnet
    EXPECT_EQ(record.LanIfIndex, kxraRow());
    {
        Terminal terminal(engine_, TerminalFields{});
        terminal.setLanIf(kxraRow());
        TraceCapture trace;
        EXPECT_TRUE(terminal.prepareForNewAddr("::ffff:10.98.0.9", "t9.example"));
        EXPECT_TRUE(terminal.RouteAdded);
        EXPECT_EQ(routesTo("10.98.0.9").size(), 1u);
        EXPECT_EQ(terminal.IPAddrInUse, "::ffff:10.98.0.9");
        EXPECT_EQ(terminal.DNSNameInUse, "t9.example");
        EXPECT_TRUE(trace.contains(
            "Terminal::prepareForNewAddr(): neue IP-Adresse 10.98.0.9 passt in kein Subnetz\n"));
        // Another new address: the old route goes, the new one comes.
        EXPECT_TRUE(terminal.prepareForNewAddr("::ffff:10.98.0.10", ""));
        EXPECT_TRUE(routesTo("10.98.0.9").empty());
        EXPECT_EQ(routesTo("10.98.0.10").size(), 1u);
    }
    EXPECT_TRUE(routesTo("10.98.0.10").empty());
    EXPECT_TRUE(routesTo("10.99.0.20").empty());
}

} // namespace
} // namespace kestrix
