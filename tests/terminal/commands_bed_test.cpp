#include "messages/toolbox_lang.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

// The command set and the waits for a restart against talmo-sim on one test
// bed (br0 10.77.0.1/24), a terminal for each scenario, with their restarts
// shortened by KESTRIX_TIME_SCALE. The terminals answer only requests for
// their own serial number or address.

namespace kestrix {
namespace {

using test::TerminalSetup;
using test::TraceCapture;

TerminalSetup simulated(int host, std::map<std::string, std::string> extra) {
    TerminalSetup terminal;
    terminal.ipv4 = "10.77.0." + std::to_string(host) + "/24";
    terminal.terminalSection = {{"serial_number", "1001" + std::to_string(host)},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", "4711"}};
    for (auto& [key, value] : extra)
        terminal.terminalSection.insert_or_assign(key, value);
    return terminal;
}

class CommandsOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        layout.terminals = {
            simulated(11, {{"sram", "2048"},
                           {"wiegand", "1"},
                           {"tcl_host", "10.77.0.1:4711"},
                           {"eeprom_keyboard", "8"},
                           {"eeprom_display", "7"},
                           {"reader_answer", "done 1"}}),
            simulated(12, {{"reboot_ms", "3600000"}}),     // does not come back
            simulated(13, {{"monitor_pass_ms", "60000"}}), // restarts into its monitor first
            simulated(14, {{"kind", "PZE"}, {"product", "TALMO 7460"}}),
            simulated(15, {{"authentication", "ip"}, {"answers_find", "0"}}),
        };
        layout.pcHostsLines = {"10.77.0.1 pc.bed.test"};
        buildSharedBed(layout);
    }
    // Runs body on the PC with the record of the terminal at 10.77.0.HOST,
    // located as the program does.
    static void withTerminal(int host, AuthenticationMode mode, const std::function<void(Terminal&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
            T7000ip& engine = T7000ip::getT7000ip(&language);
            engine.setT7000ipMaintGroup(4711);
            try {
                Terminal terminal(engine, mode, "10.77.0." + std::to_string(host), "", -1);
                body(terminal);
            } catch (const Terminal::TerminalError& error) {
                ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
            }
            T7000ip::releaseT7000ip();
        }));
    }
};

TEST_F(CommandsOnBed, EveryReadingCommandAndAResetWithItsRestart) {
    withTerminal(11, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.AuthOK);
        EXPECT_EQ(terminal.T7000ipGetHostInfo(), "pc.bed.test (10.77.0.1:4711)");
        EXPECT_EQ(terminal.getSramParameter(), 2048u);
        EXPECT_TRUE(terminal.hasWiegandInterface());
        EXPECT_EQ(terminal.RootFileSystemVersion, 0); // a 7450 is of platform group 3
        EXPECT_TRUE(terminal.getKeyboardType());
        EXPECT_EQ(terminal.getDisplayType(), 1);
        EXPECT_EQ(terminal.EepromContents[0], 0xFF); // erased EEPROM bytes
        EXPECT_EQ(terminal.T7000ipRKeyTransfer(5), " done 1 ");
        EXPECT_EQ(terminal.T7000ipRCardCfgTransfer(5, 0), " done 1 ");

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
        EXPECT_TRUE(trace.contains("Terminal::isStartedSameTCL(100111): Ok, System im Monitor.\n"));
        EXPECT_FALSE(terminal.T7000ipGetExchgDefPrgr()); // AMD29F400BT
        EXPECT_TRUE(terminal.FlashKnown);
    });
}

TEST_F(CommandsOnBed, ATerminalThatDoesNotComeBackEndsTheWaitAtTheDeadline) {
    withTerminal(12, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, ""));
        try {
            terminal.isStartedSameTCL(2, StartExpectation::Application);
            ADD_FAILURE() << "the wait ended without the terminal";
        } catch (const Terminal::TerminalError& error) {
            EXPECT_EQ(error.code, 1);
            EXPECT_EQ(error.text, "keine Antwort vom Netz");
        }
    });
}

// The monitor starts the application some seconds later (3 s at this time
// scale): a wait that expects the application goes on asking until it answers.
TEST_F(CommandsOnBed, AWaitForTheApplicationGoesOnWhileTheMonitorAnswers) {
    withTerminal(13, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        TraceCapture trace;
        terminal.isStartedSameTCL(60, StartExpectation::Application);
        EXPECT_FALSE(terminal.isMonitorMode());
        EXPECT_TRUE(terminal.AuthOK);
        const std::string text = trace.text();
        const auto monitorAnswer = text.find("Antwort: TALMO 7450 IP 100113 MONITOR 2.05");
        EXPECT_NE(monitorAnswer, std::string::npos) << "the monitor was never seen";
        EXPECT_NE(text.find("Antwort: TALMO 7450 IP 100113 ACM 6.12", monitorAnswer), std::string::npos);
    });
}

// After a restart with another TCL its answer decides the authentication.
TEST_F(CommandsOnBed, AfterARestartWithAnotherTclFindOrEchoDecidesTheAuthentication) {
    withTerminal(14, AuthenticationMode::IDBased, [](Terminal& terminal) {
        ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
        terminal.waitOnReboot(RebootWait::Normal);
        TraceCapture trace;
        terminal.IDBasedAuth = false;
        terminal.isStartedDiffTCL(60, StartExpectation::Application);
        EXPECT_TRUE(terminal.IDBasedAuth && terminal.AuthOK);
        EXPECT_TRUE(trace.contains("Terminal::isStartedDiffTCL(100114): Ok, aber PZE, deshalb wdh.\n"));
    });
    // One that answers echo only: the IP-based search runs.
    withTerminal(15, AuthenticationMode::IPBased, [](Terminal& terminal) {
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
