#include "messages/toolbox_lang.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/route_table.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

// Locating simulated terminals on a private LAN, and the command set and the
// waits for a restart against them: the PC's bridge br0 is 10.77.0.1/24
// (fe80::1), br1 10.78.0.1/24 (fe80::2). Each terminal stands for one
// scenario, in or outside the PC's subnets; they answer only requests for
// their own serial number or address, so they share a bed. The program side
// runs in the PC's namespace (runOnPc); restarts are shortened by
// KESTRIX_TIME_SCALE.

namespace kestrix {
namespace {

using test::TerminalSetup;
using test::TraceCapture;

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4,
                        const std::string& linkLocal, std::map<std::string, std::string> extra = {},
                        std::size_t bridge = 0) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.ipv6LinkLocal = linkLocal;
    terminal.bridge = bridge;
    terminal.terminalSection = {{"serial_number", serialNumber},
                                {"authentication", "id"},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", "4711"}};
    for (auto& [key, value] : extra)
        terminal.terminalSection.insert_or_assign(key, value);
    return terminal;
}

bool routeTo(const char* dotted) {
    std::vector<RouteRow> rows;
    int error = 0;
    route_table::read(rows, error);
    for (const auto& row : rows)
        if (addressToText(Ip6Address::fromIPv4(row.destination), MappedForm::DottedOnly) == dotted)
            return true;
    return false;
}

// One bed for each layout: the scenarios of one bridge, and those that need
// the second bridge (a search over two interfaces waits on each).
class BedOfTerminals : public test::SharedNetworkBedTest {
protected:
    static void build(std::vector<TerminalSetup> terminals, std::size_t bridges) {
        test::BedLayout layout;
        if (bridges == 2)
            layout.bridges.push_back(test::BridgeSetup{"10.78.0.1/24", "fe80::2", ""});
        layout.terminals = std::move(terminals);
        // alias.bed.test leads elsewhere: its IPv6 address is asked for first.
        layout.pcHostsLines = {"10.77.0.1 pc.bed.test", "10.77.0.11 t1.bed.test", "10.77.0.50 alias.bed.test",
                               "2001:db8:77::50 alias.bed.test"};
        buildSharedBed(layout);
    }
    // Runs body as the program on the PC: its LAN table, the engine with the terminals' group.
    static void onPc(const std::function<void(T7000ip&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
            T7000ip& engine = T7000ip::getT7000ip(&language);
            engine.setT7000ipMaintGroup(4711);
            try {
                body(engine);
            } catch (const Terminal::TerminalError& error) {
                ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
            }
            T7000ip::releaseT7000ip();
        }));
    }
    // Runs body with the record of the terminal at 10.77.0.HOST, located as the program does.
    static void withTerminal(int host, AuthenticationMode mode, const std::function<void(Terminal&)>& body) {
        onPc([&](T7000ip& engine) {
            Terminal terminal(engine, mode, "10.77.0." + std::to_string(host), "", -1);
            body(terminal);
        });
    }
};

class OneBridge : public BedOfTerminals {
protected:
    static void SetUpTestSuite() {
        build({simulated("100101", "10.77.0.11/24", "fe80::11"),
               simulated("100103", "192.168.99.5/24", ""), // IPv4 only: found by the IPv4 broadcast
               simulated("100105", "", "fe80::15"),
               simulated("100107", "192.168.99.7/24", "fe80::17"), simulated("100109", "10.77.0.39/24", ""),
               // The command set and the waits for a restart.
               simulated("100121", "10.77.0.21/24", "", {{"tcl_host", "10.77.0.1:4711"}}),
               simulated("100123", "10.77.0.23/24", "", {{"monitor_pass_ms", "60000"}}), // restarts into its monitor
               simulated("100124", "10.77.0.24/24", "", {{"kind", "PZE"}, {"product", "TALMO 7460"}}),
               simulated("100125", "10.77.0.25/24", "", {{"authentication", "ip"}, {"answers_find", "0"}})},
              1);
    }
};

class TwoBridges : public BedOfTerminals {
protected:
    static void SetUpTestSuite() {
        build({simulated("100106", "10.78.0.16/24", "", {{"authentication", "ip"}}, 1),
               simulated("100108", "", "fe80::28", {}, 1)},
              2);
    }
};

TEST_F(OneBridge, ByAddressByDnsNameAndByASavedLine) {
    onPc([](T7000ip& engine) {
        Terminal byAddress(engine, AuthenticationMode::IDBased, "10.77.0.11", "", -1);
        EXPECT_EQ(byAddress.SerialNumber, "100101");
        EXPECT_EQ(byAddress.TerminalId, 0xA1B2C3D4u);
        EXPECT_TRUE(byAddress.AuthOK) << "the ID-based echo was not accepted";
        EXPECT_EQ(byAddress.IPv6LinkLocal, "fe80::11");

        Terminal byName(engine, AuthenticationMode::IDBased, "t1.bed.test", "", -1);
        EXPECT_EQ(byName.IPAddrInUse, "::ffff:10.77.0.11");
        EXPECT_EQ(byName.nameResolver().lookupConfirmedName("10.77.0.11"), "t1.bed.test");
        EXPECT_EQ(systemNameResolver().lookupConfirmedName("10.77.0.50"), "");

        // A list-file line "SN;IP;DNS" is located by its serial number alone,
        // and the IPv6 broadcast is asked first.
        Terminal fromLine(engine, std::string("100101;10.99.99.99;nowhere.bed.test"));
        EXPECT_EQ(fromLine.IPAddrInUse, "fe80::11");
        // Without an IPv4 address (its global IPv6 one does not answer) it goes on to the serial number.
        EXPECT_EQ(Terminal(engine, std::string("100109;;;;2001:db8:99::39;;;")).IPAddrInUse,
                  "::ffff:10.77.0.39");
    });
}

TEST_F(OneBridge, ForeignSubnetFoundByBroadcastAndReachedThroughAHostRouteThatEndsWithTheRecord) {
    onPc([](T7000ip& engine) {
        {
            TraceCapture trace;
            Terminal record(engine, std::string("100103;;;;;;;"));
            EXPECT_EQ(record.IPv4Addr, "192.168.99.5");
            EXPECT_EQ(record.IPAddrInUse, "::ffff:192.168.99.5");
            EXPECT_TRUE(record.RouteAdded && routeTo("192.168.99.5"));
            EXPECT_TRUE(trace.contains("Terminal::T7000ipLocateByFind(SN = 100103) nach Broadcast mit "
                                       "Seriennummer Antwort von IP Adresse: ::ffff:192.168.99.5\n"));
        }
        EXPECT_FALSE(routeTo("192.168.99.5"));
        {
            Terminal record(engine, AuthenticationMode::IDBased, "192.168.99.5", "100103", -1);
            EXPECT_TRUE(record.RouteAdded && routeTo("192.168.99.5"));
        }
        EXPECT_FALSE(routeTo("192.168.99.5"));
        {
            // Located once more, the terminal answers over IPv6 first: the route still goes with the record.
            Terminal record(engine, AuthenticationMode::IDBased, "192.168.99.7", "", -1);
            ASSERT_TRUE(record.RouteAdded);
            record.T7000ipLocateByFind("", "", "100107", RouteUse::NotAllowed);
            EXPECT_EQ(record.IPAddrInUse, "fe80::17");
        }
        EXPECT_FALSE(routeTo("192.168.99.7")) << "the route outlived its record";
    });
}

TEST_F(OneBridge, ALinkLocalOnlyTerminalBySerialNumberOverIPv6) {
    onPc([](T7000ip& engine) {
        TraceCapture trace;
        Terminal record(engine, AuthenticationMode::IDBased, "", "100105", -1);
        EXPECT_EQ(record.IPAddrInUse, "fe80::15");
        EXPECT_TRUE(record.AddrInUse.isLinkLocal());
        EXPECT_FALSE(record.RouteAdded || trace.contains("CreateIpForwardEntry"));
    });
}

TEST_F(TwoBridges, TheIPBasedSearchPicksTheInterfaceTheTerminalAccepts) {
    onPc([](T7000ip& engine) {
        // Told the wrong interface, the terminal answers but does not accept.
        const int first = lanInterfaces().entries()[0].IPv4Addr.data() == std::string("10.77.0.1") ? 0 : 1;
        Terminal record(engine, AuthenticationMode::IPBased, "10.78.0.16", "", first);
        EXPECT_EQ(record.SerialNumber, "100106");
        EXPECT_FALSE(record.IDBasedAuth || record.AuthOK);
        EXPECT_TRUE(record.findIPBasedAuthentification());
        EXPECT_TRUE(record.AuthOK);
        EXPECT_EQ(record.HostIfAddr, "10.78.0.1");
        // A link-local terminal behind the second interface is authenticated.
        EXPECT_TRUE(Terminal(engine, AuthenticationMode::IDBased, "", "100108", -1).AuthOK);
    });
}

TEST_F(OneBridge, AResetWithItsRestartAndTheWaitForTheMonitor) {
    withTerminal(21, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.AuthOK);
        EXPECT_EQ(terminal.T7000ipGetHostInfo(), "pc.bed.test (10.77.0.1:4711)");
        TraceCapture trace;
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        terminal.isStartedSameTCL(60, StartExpectation::Application);
        EXPECT_FALSE(terminal.isMonitorMode());
        EXPECT_TRUE(terminal.AuthOK);
        EXPECT_TRUE(trace.contains("Terminal::findIDBasedAuthentification(): ok\n"));
        // Into the monitor: its version, and the wait that expects it there.
        EXPECT_EQ(terminal.getSortMonitorVersion(MonitorVersionCache::Forget), "2_05~");
        terminal.isStartedSameTCL(60, StartExpectation::Monitor);
        EXPECT_TRUE(trace.contains("Terminal::isStartedSameTCL(100121): Ok, System im Monitor.\n"));
        EXPECT_FALSE(terminal.T7000ipGetExchgDefPrgr()); // AMD29F400BT
        EXPECT_TRUE(terminal.FlashKnown);
    });
}

// The monitor starts the application some seconds later (3 s at this time
// scale): a wait that expects the application goes on asking until it answers.
TEST_F(OneBridge, AWaitForTheApplicationGoesOnWhileTheMonitorAnswers) {
    withTerminal(23, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        TraceCapture trace;
        terminal.isStartedSameTCL(60, StartExpectation::Application);
        EXPECT_FALSE(terminal.isMonitorMode());
        EXPECT_TRUE(terminal.AuthOK);
        const std::string text = trace.text();
        const auto monitorAnswer = text.find("Antwort: TALMO 7450 IP 100123 MONITOR 2.05");
        EXPECT_NE(monitorAnswer, std::string::npos) << "the monitor was never seen";
        EXPECT_NE(text.find("Antwort: TALMO 7450 IP 100123 ACM 6.12", monitorAnswer), std::string::npos);
    });
}

// After a restart with another TCL its answer decides the authentication.
TEST_F(OneBridge, AfterARestartWithAnotherTclFindOrEchoDecidesTheAuthentication) {
    withTerminal(24, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        TraceCapture trace;
        terminal.IDBasedAuth = false;
        terminal.isStartedDiffTCL(60, StartExpectation::Application);
        EXPECT_TRUE(terminal.IDBasedAuth && terminal.AuthOK);
        EXPECT_TRUE(trace.contains("Terminal::isStartedDiffTCL(100124): Ok, aber PZE, deshalb wdh.\n"));
    });
    // One that answers echo only: the IP-based search runs.
    withTerminal(25, AuthenticationMode::IPBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.AuthOK);
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        terminal.IDBasedAuth = true;
        terminal.setLanIf(-1);
        terminal.isStartedDiffTCL(60, StartExpectation::Application);
        EXPECT_FALSE(terminal.IDBasedAuth);
        EXPECT_TRUE(terminal.AuthOK);
        EXPECT_EQ(terminal.HostIfAddr, "10.77.0.1");
    });
}

} // namespace
} // namespace kestrix
