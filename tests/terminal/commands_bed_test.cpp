#include "messages/toolbox_lang.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

// The command set against talmo-sim on the test bed (br0 10.77.0.1/24, the
// terminal 10.77.0.11), with its restarts shortened by KESTRIX_TIME_SCALE.

namespace kestrix {
namespace {

using test::BedLayout;
using test::NetworkBed;
using test::TerminalSetup;
using test::TraceCapture;

BedLayout oneTerminal(std::map<std::string, std::string> extra) {
    TerminalSetup terminal;
    terminal.ipv4 = "10.77.0.11/24";
    terminal.ipv6LinkLocal = "fe80::11";
    terminal.terminalSection = {{"serial_number", "100101"},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", "4711"},
                                {"sram", "2048"},
                                {"wiegand", "1"},
                                {"tcl_host", "10.77.0.1:4711"},
                                {"eeprom_keyboard", "8"},
                                {"eeprom_display", "7"},
                                {"reader_answer", "done 1"}};
    for (auto& entry : extra)
        terminal.terminalSection.insert_or_assign(entry.first, entry.second);
    BedLayout layout;
    layout.terminals = {terminal};
    layout.pcHostsLines = {"10.77.0.1 pc.bed.test"};
    return layout;
}

void asTheProgram(const std::function<void(Terminal&)>& body) {
    enumerateLanInterfaces();
    static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(4711);
    try {
        Terminal terminal(engine, AuthenticationMode::IDBased, "10.77.0.11", "", -1);
        body(terminal);
    } catch (const Terminal::TerminalError& error) {
        ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
    }
    T7000ip::releaseT7000ip();
}

class CommandsOnBed : public test::NetworkBedTest {};

TEST_F(CommandsOnBed, EveryReadingCommandAndAResetWithItsRestart) {
    NetworkBed bed(oneTerminal({}));
    EXPECT_TRUE(bed.runOnPc([] {
        asTheProgram([](Terminal& terminal) {
            ASSERT_TRUE(terminal.AuthOK);
            EXPECT_EQ(terminal.T7000ipGetHostInfo(), "pc.bed.test (10.77.0.1:4711)");
            EXPECT_EQ(terminal.getSramParameter(), 2048u);
            EXPECT_TRUE(terminal.hasWiegandInterface());
            EXPECT_EQ(terminal.RootFileSystemVersion, 0); // a 7450 is of platform group 3
            EXPECT_TRUE(terminal.getKeyboardType());
            EXPECT_EQ(terminal.getDisplayType(), 1);
            // Erased EEPROM bytes stay 0xFF.
            EXPECT_EQ(terminal.EepromContents[0], 0xFF);
            EXPECT_EQ(terminal.T7000ipRKeyTransfer(5), " done 1 ");
            EXPECT_EQ(terminal.T7000ipRCardCfgTransfer(5, 0), " done 1 ");

            TraceCapture trace;
            ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
            terminal.waitOnReboot(RebootWait::Normal);
            terminal.isStartedSameTCL(60, StartExpectation::Application);
            EXPECT_FALSE(terminal.isMonitorMode());
            EXPECT_TRUE(terminal.AuthOK);
            EXPECT_TRUE(trace.contains("T7000ipReset(100101): Quittung ok\n"));
            EXPECT_TRUE(trace.contains("Terminal::findIDBasedAuthentification(): ok\n"));

            // Into the monitor: its version, and the wait that expects it there.
            EXPECT_EQ(terminal.getSortMonitorVersion(MonitorVersionCache::Forget), "2_05~");
            terminal.isStartedSameTCL(60, StartExpectation::Monitor);
            EXPECT_TRUE(trace.contains("Terminal::isStartedSameTCL(100101): Ok, System im Monitor.\n"));
            EXPECT_FALSE(terminal.T7000ipGetExchgDefPrgr()); // AMD29F400BT
            EXPECT_TRUE(terminal.FlashKnown);
        });
    }));
}

TEST_F(CommandsOnBed, ATerminalThatDoesNotComeBackEndsTheWaitAtTheDeadline) {
    NetworkBed bed(oneTerminal({{"reboot_ms", "3600000"}}));
    EXPECT_TRUE(bed.runOnPc([] {
        asTheProgram([](Terminal& terminal) {
            ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, ""));
            TraceCapture trace;
            try {
                terminal.isStartedSameTCL(2, StartExpectation::Application);
                ADD_FAILURE() << "the wait ended without the terminal";
            } catch (const Terminal::TerminalError& error) {
                EXPECT_EQ(error.code, 1);
                EXPECT_EQ(error.text, "keine Antwort vom Netz");
            }
            EXPECT_TRUE(trace.contains("Terminal::isStartedSameTCL(100101): keine Antwort vom Netz\n"));
        });
    }));
}

// The terminal comes back in its monitor, which starts the application some
// seconds later (3 s at this time scale): a wait that expects the
// application goes on asking until the application answers.
TEST_F(CommandsOnBed, AWaitForTheApplicationGoesOnWhileTheMonitorAnswers) {
    NetworkBed bed(oneTerminal({{"monitor_pass_ms", "60000"}}));
    EXPECT_TRUE(bed.runOnPc([] {
        asTheProgram([](Terminal& terminal) {
            ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
            terminal.waitOnReboot(RebootWait::Normal);
            TraceCapture trace;
            terminal.isStartedSameTCL(60, StartExpectation::Application);
            EXPECT_FALSE(terminal.isMonitorMode());
            EXPECT_TRUE(terminal.AuthOK);
            EXPECT_FALSE(trace.contains("Ok, System im Monitor"));
            const std::string text = trace.text();
            const auto monitorAnswer = text.find("Antwort: TALMO 7450 IP 100101 MONITOR 2.05");
            EXPECT_NE(monitorAnswer, std::string::npos) << "the monitor was never seen";
            EXPECT_NE(text.find("Antwort: TALMO 7450 IP 100101 ACM 6.12", monitorAnswer), std::string::npos);
        });
    }));
}

TEST_F(CommandsOnBed, AfterARestartWithAnotherTclFindDecidesTheAuthenticationAndAPzeIsAskedTwice) {
    NetworkBed bed(oneTerminal({{"kind", "PZE"}, {"product", "TALMO 7460"}}));
    EXPECT_TRUE(bed.runOnPc([] {
        asTheProgram([](Terminal& terminal) {
            ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
            terminal.waitOnReboot(RebootWait::Normal);
            TraceCapture trace;
            terminal.IDBasedAuth = false; // whatever it was: the new TCL's answer decides
            terminal.isStartedDiffTCL(60, StartExpectation::Application);
            EXPECT_TRUE(terminal.IDBasedAuth);
            EXPECT_TRUE(terminal.AuthOK);
            EXPECT_TRUE(trace.contains("Terminal::isStartedDiffTCL(100101): Ok, aber PZE, deshalb wdh.\n"));
        });
    }));
}

TEST_F(CommandsOnBed, AfterARestartWithAnotherTclThatAnswersOnlyEchoTheIPBasedSearchRuns) {
    NetworkBed bed(oneTerminal({{"authentication", "ip"}, {"answers_find", "0"}}));
    EXPECT_TRUE(bed.runOnPc([] {
        enumerateLanInterfaces();
        static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
        T7000ip& engine = T7000ip::getT7000ip(&language);
        engine.setT7000ipMaintGroup(4711);
        try {
            Terminal terminal(engine, AuthenticationMode::IPBased, "10.77.0.11", "", -1);
            ASSERT_TRUE(terminal.AuthOK);
            ASSERT_TRUE(terminal.T7000ipReset(ResetBoot::Application, "cold"));
            terminal.waitOnReboot(RebootWait::Normal);
            terminal.IDBasedAuth = true;
            terminal.setLanIf(-1);
            terminal.isStartedDiffTCL(60, StartExpectation::Application);
            EXPECT_FALSE(terminal.IDBasedAuth);
            EXPECT_TRUE(terminal.AuthOK);
            EXPECT_EQ(terminal.HostIfAddr, "10.77.0.1");
        } catch (const Terminal::TerminalError& error) {
            ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
        }
        T7000ip::releaseT7000ip();
    }));
}

} // namespace
} // namespace kestrix
