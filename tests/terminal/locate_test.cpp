#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// Locating against a scripted terminal on loopback, in a network namespace of
// its own with one LAN interface kxla (10.97.0.1/24): the order of attempts
// and the error codes. The test bed's tests locate across real subnets.

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

class Locating : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(
            std::system("ip link add kxla type veth peer name kxlb && ip addr add 10.97.0.1/24 dev kxla && "
                        "ip link set kxla up && ip link set kxlb up"),
            0);
        enumerateLanInterfaces();
    }
    // The scripted terminal binds its port before the engine binds the unspecified address.
    ScriptedPeer terminal_{"127.0.0.2", 0xdead, answerFindAndEcho};
    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    void TearDown() override { T7000ip::releaseT7000ip(); }

    template <typename Construct> void expectError(int code, Construct construct) {
        try {
            construct();
            ADD_FAILURE() << "located although code " << code << " was expected";
        } catch (const Terminal::TerminalError& error) {
            EXPECT_EQ(error.code, code) << error.text;
        }
    }
};

TEST_F(Locating, ByAddressWithFindThenTheIDBasedSearch) {
    TraceCapture trace;
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
    EXPECT_TRUE(
        trace.contains("Terminal::T7000ipLocateByFind(IP = ::ffff:127.0.0.2, DNS = , SN = ) startet\n"));
    EXPECT_TRUE(trace.contains("Terminal::findIDBasedAuthentification(): ok\n"));
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

TEST_F(Locating, AnAddressThatAnswersNowhereGetsExactlyOneRouteAttempt) {
    TraceCapture trace;
    expectError(1, [&] { Terminal record(engine_, AuthenticationMode::IDBased, "10.96.0.5", "", -1); });
    const std::string text = trace.text();
    const auto attempt = text.find("Terminal::tryToRoute() für '10.96.0.5' startet\n");
    ASSERT_NE(attempt, std::string::npos);
    EXPECT_EQ(text.find("Terminal::tryToRoute() für", attempt + 1), std::string::npos);
    EXPECT_TRUE(
        trace.contains("CreateIpForwardEntry() for Destination: 10.96.0.5, NextHop: 10.97.0.1 done.\n"));
    // The route of the failed attempt is gone again.
    std::vector<RouteRow> rows;
    int error = 0;
    ASSERT_TRUE(route_table::read(rows, error));
    for (const auto& row : rows)
        EXPECT_NE(row.destination, Ip6Address::fromIPv4Bytes(10, 96, 0, 5).ipv4NetworkOrder());
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

} // namespace
} // namespace kestrix
