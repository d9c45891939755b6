#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/capabilities.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

// Locating against a scripted terminal on loopback, and the host routes it
// adds, in a network namespace of its own with one LAN interface kxra
// (10.99.0.1/24) whose peer kxrb (no IPv4) is up: the order of attempts, the
// error codes and the routing table. The test bed's tests locate across real subnets.

namespace kestrix {
namespace {

using test::PeerRequest;
using test::ScriptedPeer;
using test::TraceCapture;

// A terminal that answers find and echo requests for its serial number or "*".
void answerFindAndEcho(const PeerRequest& request, ScriptedPeer& peer) {
    const std::string text = request.text();
    if (text.starts_with("find 100200") || text.starts_with("find *"))
        peer.reply(request, ScriptedPeer::datagram(
                                "TALMO 7460 1 100200 PZE 6.20 DEVID=3 IPv4=127.0.0.2/8 ID=0A1B2C3D"));
    else if (text.starts_with("echo 100200") || text.starts_with("echo *"))
        peer.reply(request,
                   ScriptedPeer::datagram("TALMO 7460 1 100200 PZE 6.20 port=4711 connect=PASSIVE auth=OK"));
}

// The main table's rows whose destination is the dotted address.
std::vector<RouteRow> routesTo(const char* address) {
    std::vector<RouteRow> rows, matching;
    int error = 0;
    EXPECT_TRUE(route_table::read(rows, error));
    for (const auto& row : rows)
        if (addressToText(Ip6Address::fromIPv4(row.destination), MappedForm::DottedOnly) == address)
            matching.push_back(row);
    return matching;
}

class Locating : public ::testing::Test {
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
        ASSERT_EQ(lanInterfaces().count(), 2); // kxra (row 0: IPv4 rows come first) and kxrb
    }
    void TearDown() override {
        std::system("ip route flush 10.98.0.0/16 2>/dev/null");
        T7000ip::releaseT7000ip();
    }
    template <typename Construct> void expectError(int code, Construct construct) {
        try {
            construct();
            ADD_FAILURE() << "located although code " << code << " was expected";
        } catch (const Terminal::TerminalError& error) {
            EXPECT_EQ(error.code, code) << error.text;
        }
    }

    // The scripted terminal binds its port before the engine binds the unspecified address.
    ScriptedPeer terminal_{"127.0.0.2", 0xdead, answerFindAndEcho};
    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
};

TEST_F(Locating, ByAddressWithFindThenTheIDBasedSearch) {
    Terminal record(engine_, AuthenticationMode::IDBased, "127.0.0.2", "", -1);
    EXPECT_EQ(record.SerialNumber, "100200");
    EXPECT_EQ(record.IPAddrInUse, "::ffff:127.0.0.2");
    EXPECT_EQ(record.TerminalId, 0x0A1B2C3Du);
    EXPECT_TRUE(record.IDBasedAuth && record.AuthOK);
    EXPECT_EQ(record.TclPort, 4711);
    // The echo of the search carried the ID-based suffix.
    const auto requests = terminal_.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].text(), "find *");
    EXPECT_EQ(requests[1].text(), "echo 100200 sid=06181B88");
}

TEST_F(Locating, ListFileLinesOfEveryFormat) {
    // The saved line with an IPv4 address and no PC interface: find first.
    EXPECT_EQ(Terminal(engine_, std::string("100200;127.0.0.2;;;;;;")).SerialNumber, "100200");
    EXPECT_EQ(terminal_.requests().front().text(), "find 100200");
    EXPECT_EQ(Terminal(engine_, std::string("127.0.0.2")).SerialNumber, "100200");
    // Nothing to locate by: the record stays as reset.
    EXPECT_EQ(Terminal(engine_, std::string(";;;;;;;")).SerialNumber, "");
    expectError(1, [&] { Terminal line(engine_, std::string("")); });
    for (const char* line : {"100200;127.0.0.2", "a;b;c;d;", "1;2;3;4;5;6;7;8;"})
        expectError(3, [&] { Terminal record(engine_, std::string(line)); });
    expectError(1, [&] { Terminal both(engine_, AuthenticationMode::IPBased, "", "", -1); });
}

TEST_F(Locating, ANameThatDoesNotResolveFailsWithCode2OnlyWithoutSerialNumber) {
    expectError(2, [&] {
        Terminal record(engine_, AuthenticationMode::IDBased, "no-such-terminal.invalid", "", -1);
    });
    TraceCapture trace;
    // With a serial number the broadcast search still runs (and finds nothing here).
    expectError(1, [&] {
        Terminal record(engine_, AuthenticationMode::IDBased, "no-such-terminal.invalid", "4711", -1);
    });
    EXPECT_TRUE(trace.contains("Terminal::T7000ipLocateByFind(SN = 4711) Versuche\n"));
}

TEST_F(Locating, AnAddressThatAnswersNowhereGetsExactlyOneRouteAttemptAndNoRouteAfterwards) {
    TraceCapture trace;
    expectError(1, [&] { Terminal record(engine_, AuthenticationMode::IDBased, "10.96.0.5", "", -1); });
    const std::string text = trace.text();
    const auto attempt = text.find("Terminal::tryToRoute() für '10.96.0.5' startet\n");
    ASSERT_NE(attempt, std::string::npos);
    EXPECT_EQ(text.find("Terminal::tryToRoute() für", attempt + 1), std::string::npos);
    EXPECT_TRUE(
        trace.contains("CreateIpForwardEntry() for Destination: 10.96.0.5, NextHop: 10.99.0.1 done.\n"));
    EXPECT_TRUE(routesTo("10.96.0.5").empty());
}

TEST_F(Locating, DisplayAddressPrefersWhatTheUserKnows) {
    TerminalFields fields;
    fields.AddrInUse = *addressFromText("::ffff:10.1.2.3");
    fields.IPAddrInUse = "::ffff:10.1.2.3";
    Terminal ipv4(engine_, fields);
    EXPECT_EQ(ipv4.displayAddress(AddressDisplay::DottedIPv4), "10.1.2.3");
    EXPECT_EQ(ipv4.displayAddress(AddressDisplay::AsKnown), "::ffff:10.1.2.3");
    fields.IPv6Addresses = {{"2001:db8::7", "64", false, false, ""}};
    EXPECT_EQ(Terminal(engine_, fields).displayAddress(AddressDisplay::AsKnown), "2001:db8::7");
}

TEST_F(Locating, AddRouteCreatesAnOnLinkHostRouteOneAboveTheInterfaceMetric) {
    Terminal record(engine_, TerminalFields{});
    TraceCapture trace;
    ASSERT_TRUE(record.addRoute("10.98.0.5", 0));
    auto routes = routesTo("10.98.0.5");
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].prefixLength, 32);
    EXPECT_EQ(routes[0].nextHop, 0u); // on-link
    EXPECT_EQ(routes[0].type, 3);
    EXPECT_EQ(routes[0].protocol, route_table::kOwnRouteProtocol);
    EXPECT_EQ(routes[0].interfaceIndex, lanInterfaces().entries()[0].IPv4IfIndex);
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): CreateIpForwardEntry() for Destination: 10.98.0.5, "
                               "NextHop: 10.99.0.1 done.\n"));
    EXPECT_TRUE(trace.contains("has Metric " + std::to_string(routes[0].metric - 1) + ".\n"));
    // A second route to the same destination is refused, with the error traced.
    EXPECT_FALSE(record.addRoute("10.98.0.5", 0));
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): Destination: 10.98.0.5, NextHop: 10.99.0.1 failed: " +
                               std::to_string(EEXIST) + ".\n"));
    bool added = true;
    std::thread unprivileged([&] {
        ASSERT_TRUE(test::dropNetworkAdministration());
        added = record.addRoute("10.98.0.6", 0);
    });
    unprivileged.join();
    EXPECT_FALSE(added);
    EXPECT_TRUE(routesTo("10.98.0.6").empty());
    EXPECT_TRUE(trace.contains("Terminal::addRoute(): Destination: 10.98.0.6, NextHop: 10.99.0.1 failed: "
                               "Administratorrechte fehlen!\n"));
}

// Only the program's own host routes to the address go (an earlier run's
// too); an administrator's route to it, the default route (a terminal
// without IPv4) and a subnet's route, even one of the program's protocol, stay.
TEST_F(Locating, DeleteRouteRemovesOnlyTheProgramsOwnHostRoutes) {
    ASSERT_EQ(std::system("ip route add 10.98.0.7 dev kxra metric 5 proto 176 && "
                          "ip route add 10.98.0.7 via 10.99.0.2 metric 9 proto static && "
                          "ip route add 10.98.0.8 dev kxra proto 176 && ip route add 10.98.1.0/24 dev kxra proto 176 && "
                          "ip route add default via 10.99.0.2 dev kxra"),
              0);
    Terminal record(engine_, TerminalFields{});
    TraceCapture trace;
    EXPECT_TRUE(record.deleteRoute("10.98.0.7"));
    const std::vector<RouteRow> kept = routesTo("10.98.0.7");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].nextHop, Ip6Address::fromIPv4Bytes(10, 99, 0, 2).ipv4NetworkOrder());
    EXPECT_EQ(routesTo("10.98.0.8").size(), 1u);
    EXPECT_TRUE(trace.contains("         10.98.0.7   255.255.255.255         10.99.0.2\t0\t"));
    EXPECT_TRUE(trace.contains("Terminal::deleteRoute(): DeleteIpForwardEntry(10.98.0.7) done.\n"));
    EXPECT_TRUE(
        trace.contains("Terminal::deleteRoute(): route to 10.98.0.7 of protocol 4 is not ours, left alone.\n"));
    for (const char* address : {"0.0.0.0", "10.99.0.0", "10.98.1.0"}) {
        EXPECT_TRUE(record.deleteRoute(address));
        ASSERT_EQ(routesTo(address).size(), 1u) << address;
        EXPECT_LT(routesTo(address)[0].prefixLength, 32) << address;
    }
    std::system("ip route del default 2>/dev/null");

    // An interrupted process deletes the routes it added, and only those.
    ASSERT_TRUE(record.addRoute("10.98.0.9", 0));
    ASSERT_TRUE(record.addRoute("10.98.0.10", 0));
    Terminal::deleteAllOwnRoutes();
    EXPECT_TRUE(routesTo("10.98.0.9").empty() && routesTo("10.98.0.10").empty());
    EXPECT_EQ(routesTo("10.98.0.7").size(), 1u);
    EXPECT_EQ(routesTo("10.98.0.8").size(), 1u) << "an earlier run's route is no business of the interrupt";
}

TEST_F(Locating, ANewAddressInNoSubnetIsRoutedThroughTheKnownInterfaceAsLongAsTheRecordLives) {
    TerminalFields accepted;
    accepted.AuthOK = true;
    Terminal record(engine_, accepted);
    EXPECT_TRUE(record.prepareForNewAddr("::ffff:10.99.0.20", ""));
    EXPECT_FALSE(record.AuthOK);     // to be found again at the new address
    EXPECT_FALSE(record.RouteAdded); // in the interface's subnet
    EXPECT_EQ(record.LanIfIndex, 0);
    {
        Terminal terminal(engine_, TerminalFields{});
        terminal.setLanIf(0);
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
    EXPECT_TRUE(routesTo("10.98.0.10").empty() && routesTo("10.99.0.20").empty());
    // An IPv6 terminal is left alone.
    TerminalFields ipv6;
    ipv6.AddrInUse = *addressFromText("fe80::5");
    ipv6.IPAddrInUse = "fe80::5";
    Terminal ipv6Terminal(engine_, ipv6);
    TraceCapture trace;
    EXPECT_EQ(ipv6Terminal.tryToRoute(), 0);
    EXPECT_EQ(trace.text(), "Terminal::tryToRoute(): wird nicht ausgeführt, da 'fe80::5' keine IPv4-Adresse ist.\n");
}

// By address the engine is given no serial number: another terminal's reply
// from that address is traced and refused by the reply parser.
TEST(LocatingByAddress, AReplyWithAnotherSerialNumberIsTracedAndRefused) {
    const std::string other = "TALMO 7460 1 100201 PZE 6.20 port=4712 auth=OK";
    auto echoes = std::make_shared<int>(0);
    ScriptedPeer terminal("127.0.0.2", 0xdead, [echoes, other](const PeerRequest& request, ScriptedPeer& peer) {
        if (request.text().starts_with("echo 100200"))
            peer.reply(request, ScriptedPeer::datagram(
                                    (*echoes)++ == 0 ? other : "TALMO 7460 1 100200 PZE 6.20 port=4711 auth=OK"));
    });
    CToolBoxLang language{kLocaleIdEnglishUnitedStates};
    T7000ip& engine = T7000ip::getT7000ip(&language);
    {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        Terminal record(engine, fields);
        TraceCapture trace;
        record.T7000ipLocateByEcho("::ffff:127.0.0.2", "", "100200", RouteUse::NotAllowed);
        EXPECT_TRUE(
            trace.contains("Terminal::T7000ipLocateByEcho(IP = ::ffff:127.0.0.2):\n\tAntwort: " + other + "\n"));
        EXPECT_EQ(record.TclPort, 4711);
    }
    T7000ip::releaseT7000ip();
}

// A terminal that accepts ID-based requests only and that no directed find
// reaches (as in a foreign subnet before the host route): given by its
// address alone it is reached by echo, whose answer carries its ID, and is
// then asked the ID-based way instead of being left unauthenticated.
TEST(LocatingByAddress, AnEchoAnswerWithASecurityIdLeadsToTheIDBasedSearch) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, [](const PeerRequest& request, ScriptedPeer& peer) {
        const std::string text = request.text();
        if (!text.starts_with("echo "))
            return;
        const bool idBased = text.find(" sid=") != std::string::npos;
        peer.reply(request, ScriptedPeer::datagram(std::string("TALMO 7460 1 100200 PZE 6.20 port=4711 auth=") +
                                                   (idBased ? "OK" : "FAILED") + " ID=0A1B2C3D"));
    });
    CToolBoxLang language{kLocaleIdEnglishUnitedStates};
    T7000ip& engine = T7000ip::getT7000ip(&language);
    {
        Terminal record(engine, std::string("127.0.0.2"));
        EXPECT_TRUE(record.IDBasedAuth);
        EXPECT_TRUE(record.AuthOK);
        EXPECT_EQ(record.TerminalId, 0x0A1B2C3Du);
    }
    T7000ip::releaseT7000ip();
}

} // namespace
} // namespace kestrix
