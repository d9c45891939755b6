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

// Locating against scripted terminals on loopback, in a network namespace of
// its own with one LAN interface kxla (10.97.0.1/24). The test bed's tests
// locate simulated terminals across real subnets; these pin the order of
// attempts and the error codes.

namespace kestrix {
namespace {

using test::PeerRequest;
using test::ScriptedPeer;
using test::TraceCapture;
using Reason = Terminal::TerminalError::Reason;

const std::string kFindReply = "TALMO 7460 1 100200 PZE 6.20 DEVID=3 IPv4=127.0.0.2/8 ID=0A1B2C3D";
const std::string kEchoReply = "TALMO 7460 1 100200 PZE 6.20 port=4711 connect=PASSIVE auth=OK";

// A terminal that answers find and echo requests (for its serial number or "*").
ScriptedPeer::Responder terminalAnswers() {
    return [](const PeerRequest& request, ScriptedPeer& peer) {
        std::string text = request.text();
        if (text.rfind("find 100200", 0) == 0 || text.rfind("find *", 0) == 0)
            peer.reply(request, ScriptedPeer::datagram(kFindReply));
        else if (text.rfind("echo 100200", 0) == 0 || text.rfind("echo *", 0) == 0)
            peer.reply(request, ScriptedPeer::datagram(kEchoReply));
    };
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class Locating : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(std::system("ip link add kxla type veth peer name kxlb && ip addr add 10.97.0.1/24 dev kxla && "
                              "ip link set kxla up && ip link set kxlb up"),
                  0);
        enumerateLanInterfaces();
    }
    T7000ip& startEngine() {
        engine_ = &T7000ip::getT7000ip(&language_);
        return *engine_;
    }
    void TearDown() override {
        if (engine_ != nullptr)
            T7000ip::releaseT7000ip();
    }
    void expectError(const std::function<void()>& construct, int code) {
        try {
            construct();
            ADD_FAILURE() << "located although code " << code << " was expected";
        } catch (const Terminal::TerminalError& error) {
            EXPECT_EQ(error.code, code) << error.text;
        }
    }
    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip* engine_ = nullptr;
};

TEST_F(Locating, ByAddressWithFindThenTheIDBasedSearch) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, terminalAnswers());
    T7000ip& engine = startEngine();
    TraceCapture trace;
    Terminal record(engine, AuthenticationMode::IDBased, "127.0.0.2", "", -1);
    EXPECT_EQ(record.SerialNumber, "100200");
    EXPECT_EQ(addressToText(record.AddrInUse), "::ffff:127.0.0.2");
    EXPECT_EQ(record.IPAddrInUse, "::ffff:127.0.0.2");
    EXPECT_EQ(record.TerminalId, 0x0A1B2C3Du);
    EXPECT_TRUE(record.IDBasedAuth);
    EXPECT_TRUE(record.AuthOK);
    EXPECT_EQ(record.TclPort, 4711);
    // The echo of the search carried the ID-based suffix.
    auto requests = terminal.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].text(), "find *");
    EXPECT_EQ(requests[1].text().rfind("echo 100200 sid=", 0), 0u) << requests[1].text();
    EXPECT_TRUE(trace.contains("Terminal::T7000ipLocateByFind(IP = ::ffff:127.0.0.2, DNS = , SN = ) startet\n"));
    EXPECT_TRUE(trace.contains("Terminal::findIDBasedAuthentification(): ok\n"));
}

TEST_F(Locating, ListFileLinesOfEveryFormat) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, terminalAnswers());
    T7000ip& engine = startEngine();
    // The saved line with an IPv4 address and no PC interface: find first.
    Terminal saved(engine, std::string("100200;127.0.0.2;;;;;;"));
    EXPECT_EQ(saved.SerialNumber, "100200");
    EXPECT_EQ(terminal.requests().front().text(), "find 100200");
    // A bare address.
    Terminal bare(engine, std::string("127.0.0.2"));
    EXPECT_EQ(bare.SerialNumber, "100200");
    // Nothing to locate by: the record stays as reset.
    Terminal empty(engine, std::string(";;;;;;;"));
    EXPECT_EQ(empty.SerialNumber, "");
    expectError([&] { Terminal line(engine, std::string("")); }, 1);
    expectError([&] { Terminal line(engine, std::string("100200;127.0.0.2")); }, 3);
    expectError([&] { Terminal line(engine, std::string("a;b;c;d;")); }, 3);
    expectError([&] { Terminal line(engine, std::string("1;2;3;4;5;6;7;8;")); }, 3);
    expectError([&] { Terminal both(engine, AuthenticationMode::IPBased, "", "", -1); }, 1);
}

TEST_F(Locating, ANameThatDoesNotResolveFailsWithCode2OnlyWithoutSerialNumber) {
    T7000ip& engine = startEngine();
    expectError([&] { Terminal record(engine, AuthenticationMode::IDBased, "no-such-terminal.invalid", "", -1); }, 2);
    TraceCapture trace;
    // With a serial number the broadcast search still runs (and finds nothing here).
    expectError([&] { Terminal record(engine, AuthenticationMode::IDBased, "no-such-terminal.invalid", "4711", -1); },
                1);
    EXPECT_TRUE(trace.contains("Terminal::T7000ipLocateByFind(SN = 4711) Versuche\n"));
}

TEST_F(Locating, AnAddressThatAnswersNowhereGetsExactlyOneRouteAttempt) {
    T7000ip& engine = startEngine();
    TraceCapture trace;
    expectError([&] { Terminal record(engine, AuthenticationMode::IDBased, "10.96.0.5", "", -1); }, 1);
    EXPECT_EQ(countOf(trace.text(), "Terminal::tryToRoute() für '10.96.0.5' startet\n"), 1);
    EXPECT_TRUE(trace.contains("CreateIpForwardEntry() for Destination: 10.96.0.5, NextHop: 10.97.0.1 done.\n"));
    // The route of the failed attempt is gone again.
    std::vector<RouteRow> rows;
    int error = 0;
    ASSERT_TRUE(route_table::read(rows, error));
    for (const auto& row : rows)
        EXPECT_NE(addressToText(Ip6Address::fromIPv4(row.destination), MappedForm::DottedOnly), "10.96.0.5");
}

TEST_F(Locating, DisplayAddressPrefersWhatTheUserKnows) {
    TerminalFields fields;
    fields.AddrInUse = *addressFromText("::ffff:10.1.2.3");
    fields.IPAddrInUse = "::ffff:10.1.2.3";
    T7000ip& engine = startEngine();
    Terminal ipv4(engine, fields);
    EXPECT_EQ(ipv4.displayAddress(AddressDisplay::DottedIPv4), "10.1.2.3");
    EXPECT_EQ(ipv4.displayAddress(AddressDisplay::AsKnown), "::ffff:10.1.2.3");
    fields.IPv6Addresses = {{"2001:db8::7", "64", false, false, ""}};
    Terminal withGlobal(engine, fields);
    EXPECT_EQ(withGlobal.displayAddress(AddressDisplay::AsKnown), "2001:db8::7");
}

TEST_F(Locating, ByAddressAReplyWithAnotherSerialNumberIsTracedAndRefused) {
    const std::string other = "TALMO 7460 1 100201 PZE 6.20 port=4712 auth=OK";
    auto echoes = std::make_shared<int>(0);
    ScriptedPeer terminal("127.0.0.2", 0xdead, [echoes, other](const PeerRequest& request, ScriptedPeer& peer) {
        if (request.text().rfind("echo 100200", 0) == 0)
            peer.reply(request, ScriptedPeer::datagram((*echoes)++ == 0 ? other : kEchoReply));
    });
    T7000ip& engine = startEngine();
    TerminalFields fields;
    fields.SerialNumber = "100200";
    Terminal record(engine, fields);
    TraceCapture trace;
    record.T7000ipLocateByEcho("::ffff:127.0.0.2", "", "100200", RouteUse::NotAllowed);
    EXPECT_TRUE(trace.contains("Terminal::T7000ipLocateByEcho(IP = ::ffff:127.0.0.2):\n\tAntwort: " + other + "\n"));
    EXPECT_EQ(record.TclPort, 4711);
}

} // namespace
} // namespace kestrix
