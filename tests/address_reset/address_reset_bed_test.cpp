#include "address_reset/recording_action_owner.h"
#include "address_reset/reset_exe.h"
#include "address_reset/set_ip_address.h"
#include "lan/lan_interfaces.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

// The reset and set-IPv4 dialogs against talmo-sim on one test bed of two
// LANs (br0 10.77.0.1/24, br1 10.78.0.1/24), restarts and start-up waits
// shortened by KESTRIX_TIME_SCALE (the 46-second wait for a terminal that does
// not come back is not). The reset: in every mode some terminal offers, and the
// two ways it fails. The set-IPv4 dialog: a stuck terminal sits in a foreign
// subnet whose gateway does not exist: it hears the PC's broadcasts and answers
// them, but its answers never reach the PC until it has the address the dialog
// gives it.

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::TerminalSetup;
using test::TraceCapture;
using Outcome = SetIPAddressOutcome;
using Lines = std::vector<std::string>;

constexpr std::uint16_t kGroup = 4711;
constexpr std::uint16_t kGroupInForce = 815; // the set-IPv4 runs' group, other than the terminals'
// The reset's terminals 1001HOST at 10.77.0.HOST, HOST = 10 + index.
constexpr std::size_t kModes = 0, kBeforeVersion600 = 1, kLinux = 2, kIceCold = 3, kNotBack = 4;
// The set-IPv4 dialog's terminals 2001-2005 follow them.
constexpr std::size_t kFirstSetIP = 5;

TerminalSetup simulated(const std::string& serialNumber, std::size_t bridge, const std::string& ipv4,
                        const std::map<std::string, std::string>& terminal,
                        const std::map<std::string, std::string>& faults = {}) {
    TerminalSetup setup;
    setup.bridge = bridge;
    setup.ipv4 = ipv4;
    setup.terminalSection = {{"serial_number", serialNumber},
                             {"security_id", "A1B2C3D4"},
                             {"maintenance_group", std::to_string(kGroup)}};
    for (const auto& [key, value] : terminal)
        setup.terminalSection.insert_or_assign(key, value);
    for (const auto& [key, value] : faults)
        setup.faultsSection.insert_or_assign(key, value);
    return setup;
}

TerminalSetup forReset(int host, const std::map<std::string, std::string>& terminal = {}) {
    return simulated("1001" + std::to_string(host), 0, "10.77.0." + std::to_string(host) + "/24", terminal);
}

TerminalSetup forSetIP(const std::string& serialNumber, std::size_t bridge, const std::string& ipv4,
                       std::map<std::string, std::string> terminal = {},
                       const std::map<std::string, std::string>& faults = {}) {
    terminal.insert({"authentication", "ip"});
    TerminalSetup setup = simulated(serialNumber, bridge, ipv4, terminal, faults);
    setup.terminalSection.erase("security_id");
    return setup;
}

struct NoStatus : SetIPAddressView {
    void setStatusLine(const std::string&) override {}
};

// One run of the dialog: what is typed (serial number, an address in
// 10.LAN.0.0/24 with the gateway 10.LAN.0.1) and what it must come to.
struct Scenario {
    const char* name;
    std::size_t terminal;
    std::uint8_t lan;
    std::uint8_t host;
    Outcome outcome;
    int message;        // the one box shown, 0 for none
    Lines traced;       // in this order
    const char* unsent; // a request the terminal's own log must not show, or ""
};

// clang-format off
const Scenario kScenarios[] = {
    // The answers to the echo and to the first restart request get lost;
    // after the first restart it acknowledges the second one from its new
    // address. A DCU8e's wait is also the one before any reply was checked.
    {"StuckTerminalIsMovedAndAdded", 0, 77, 50, Outcome::Added, 0,
     {"CSetIPAddress::LookupAndAdd(10.77.0.50) startet, warte zunächst 40000 ms.\n"}, ""},
    {"ReachableTerminalIsLeftAlone", 1, 77, 60, Outcome::Reachable, 573, {}, "'ip 2002 "},
    {"RefusedParametersGetNoRestart", 2, 77, 61, Outcome::Refused, 579, {}, "'reset 2003 "},
    // It keeps its address (typed again) and is still restarted and found.
    {"TerminalIgnoringIpIsRestartedAndFound", 3, 77, 24, Outcome::Added, 0,
     {"CSetIPAddress::OnOK(): IP ohne Auth 2x keine Antwort auf Broadcast\n",
      "CSetIPAddress::LookupAndAdd(10.77.0.24) startet, warte zunächst 24000 ms.\n"}, ""},
    // Nobody answers over br0; over br1, after the pause, a 7450.
    {"NotFoundOverTheFirstLanFoundOverTheSecond", 4, 78, 50, Outcome::Added, 0,
     {"CSetIPAddress::OnOK(): 2x keine Antwort auf Reset mit Broadcast\n",
      "CSetIPAddress::LookupAndAdd(10.78.0.50) startet, warte zunächst 4000 ms.\n"}, ""},
};
// clang-format on

class AddressResetOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        layout.bridges.push_back({"10.78.0.1/24", "", ""});
        layout.terminals = {
            forReset(10),
            forReset(11, {{"firmware_version", "5.60"}, {"authentication", "ip"}, {"answers_find", "0"}}),
            forReset(12, {{"product", "TALMO 7460"}}),
            forReset(13),
            forReset(14, {{"reboot_ms", "3600000"}, {"authentication", "ip"}, {"answers_find", "0"}}),
            forSetIP("2001", 0, "192.168.44.50/24", {{"product", "TALMO DCU8e"}, {"product_word", "R"}}),
            forSetIP("2002", 0, "10.77.0.22/24"),
            // Refuses the parameters also when asked without authentication.
            forSetIP("2003", 0, "10.77.0.23/24", {{"secured_requests", "reset monitor"}},
                     {{"ignored_requests", "echo"}, {"refuse_ip", "1"}}),
            forSetIP("2004", 0, "10.77.0.24/24", {{"product", "TALMO DCU40"}},
                     {{"ignored_requests", "echo ip"}}),
            forSetIP("2005", 1, "192.168.43.50/24"),
        };
        // Where the ice-cold start puts a terminal: its factory address and name.
        layout.pcHostsLines = {"192.168.42.127 talmo-100113"};
        buildSharedBed(layout);
        if (!bed_)
            return;
        for (auto [terminal, gateway] :
             {std::pair{kFirstSetIP, "192.168.44.1"}, {kFirstSetIP + 4, "192.168.43.1"}})
            EXPECT_TRUE(bed_->shellOnTerminal(terminal, std::string("ip route replace default via ") +
                                                            gateway + " dev eth0 onlink")
                            .succeeded());
    }

    // Runs body as the program on the PC, its engine in the maintenance group.
    static void
    asTheProgram(std::uint16_t group,
                 const std::function<void(T7000ip&, const CToolBoxLang&, RecordingActionOwner&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
            T7000ip& engine = T7000ip::getT7000ip(&language);
            engine.setT7000ipMaintGroup(group);
            {
                RecordingActionOwner owner(engine, language);
                body(engine, language, owner);
            }
            T7000ip::releaseT7000ip();
        }));
    }

    // Runs body with a list of the one reset terminal, located as the program
    // does, and its reset dialog at the given grade.
    static void withDialog(std::size_t terminal, AuthenticationMode mode, int accessLevel,
                           const std::function<void(RecordingActionOwner&, ResetExe&)>& body) {
        asTheProgram(kGroup, [&](T7000ip& engine, const CToolBoxLang&, RecordingActionOwner& owner) {
            try {
                owner.terminals.push_back(std::make_unique<Terminal>(
                    engine, mode, "10.77.0." + std::to_string(10 + terminal), "", -1));
                ResetExe dialog(owner, 0, accessLevel);
                body(owner, dialog);
            } catch (const Terminal::TerminalError& error) {
                ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
            }
        });
    }

    static void expectExecuted(const RecordingActionOwner& owner) {
        ASSERT_EQ(owner.boxes.texts().back(), "Reset executed.");
        EXPECT_EQ(owner.boxes.shown.back().icon, MessageIcon::Information);
        EXPECT_EQ(owner.deselected.back(), 0u);
        EXPECT_EQ(owner.idleMessages, 1);
        EXPECT_FALSE(owner.waitCursor);
    }
};

TEST_F(AddressResetOnBed, EveryOfferedModeRestartsTheTerminalAndFindsItAgain) {
    struct Row {
        std::size_t terminal;
        AuthenticationMode authentication;
        ResetMode mode;
        ResetBoot boot;
        const char* request; // without its suffix
    };
    using enum ResetMode;
    const Row rows[] = {
        {kModes, AuthenticationMode::IDBased, Warm, ResetBoot::Application, "reset 100110"},
        {kModes, AuthenticationMode::IDBased, Cold, ResetBoot::Application, "reset 100110 mode=cold"},
        {kModes, AuthenticationMode::IDBased, Communication, ResetBoot::Application,
         "reset 100110 mode=comm"},
        {kBeforeVersion600, AuthenticationMode::IPBased, Restart, ResetBoot::Application,
         "reset 100111 mode=restart"},
        {kLinux, AuthenticationMode::IDBased, Warm, ResetBoot::System, "reset 100112 sysboot"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        withDialog(row.terminal, row.authentication, 3, [&](RecordingActionOwner& owner, ResetExe& dialog) {
            TraceCapture trace;
            EXPECT_EQ(dialog.OnOK(row.mode, row.boot), ResetOutcome::Executed);
            expectExecuted(owner);
            EXPECT_TRUE(trace.contains("reqdata '" + std::string(row.request) + "' startet"));
            EXPECT_TRUE(owner.terminalAt(0).AuthOK);
        });
    }
}

// The PC reaches the factory subnet on its LAN (as a technician sets it up to
// take new terminals); the terminal hears no more broadcasts of the PC's subnet.
TEST_F(AddressResetOnBed, AnIceColdStartFindsTheTerminalAtItsFactoryAddressByItsFactoryName) {
    ASSERT_TRUE(bed_->shellOnPc("ip route add 192.168.42.0/24 dev br0").succeeded());
    withDialog(kIceCold, AuthenticationMode::IDBased, 3, [](RecordingActionOwner& owner, ResetExe& dialog) {
        EXPECT_EQ(dialog.OnOK(ResetMode::IceCold, ResetBoot::Application), ResetOutcome::Executed);
        expectExecuted(owner);
        Terminal& terminal = owner.terminalAt(0);
        EXPECT_EQ(terminal.displayAddress(AddressDisplay::DottedIPv4), "192.168.42.127");
        EXPECT_EQ(terminal.DNSNameInUse, "talmo-100113");
        EXPECT_FALSE(terminal.AuthOK); // it has forgotten its maintenance group too
    });
}

// While it waits the dialog refuses to end; after the 46 seconds it reports
// the terminal lost and refreshes its entry. Still restarting, the terminal
// is silent: a second reset is not acknowledged.
TEST_F(AddressResetOnBed, ATerminalThatDoesNotComeBackOrDoesNotAnswerIsReported) {
    withDialog(kNotBack, AuthenticationMode::IPBased, 1, [](RecordingActionOwner& owner, ResetExe& dialog) {
        TraceCapture trace;
        ResetOutcome outcome = ResetOutcome::NotRun;
        std::thread worker([&] { outcome = dialog.OnOK(ResetMode::Warm, ResetBoot::Application); });
        while (!dialog.running())
            std::this_thread::yield();
        EXPECT_FALSE(dialog.QueryTerminate());
        worker.join();
        EXPECT_EQ(outcome, ResetOutcome::NotBack);
        EXPECT_TRUE(trace.contains("OnOK(): 100114: Fehler keine Antwort vom Netz\n"));
        EXPECT_EQ(owner.redrawn, std::vector<std::size_t>{0});

        EXPECT_EQ(ResetExe(owner, 0, 1).OnOK(ResetMode::Warm, ResetBoot::Application),
                  ResetOutcome::NotExecuted);
        EXPECT_EQ(owner.boxes.texts(),
                  (std::vector<std::string>{"Please wait a moment...",
                                            "Terminal start-up after reset failed.", "Reset not executed."}));
        EXPECT_EQ(owner.boxes.shown.back().icon, MessageIcon::Error);
        EXPECT_TRUE(owner.deselected.empty());
        EXPECT_EQ(owner.idleMessages, 2);
        EXPECT_FALSE(owner.waitCursor);
    });
}

TEST_F(AddressResetOnBed, SetIPv4Scenarios) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        const std::string serialNumber = "200" + std::to_string(scenario.terminal + 1);
        const auto address = [&](std::uint8_t host) { return Ipv4Fields{10, scenario.lan, 0, host}; };
        asTheProgram(
            kGroupInForce, [&](T7000ip& engine, const CToolBoxLang& language, RecordingActionOwner& owner) {
                NoStatus status;
                CSetIPAddress dialog(owner, status, lanInterfaces());
                ASSERT_TRUE(dialog.checkInput({serialNumber,
                                               address(scenario.host),
                                               {255, 255, 255, 0},
                                               address(1),
                                               std::to_string(kGroup)}));
                TraceCapture trace;
                EXPECT_EQ(dialog.OnOK(), scenario.outcome);
                const std::string traced = trace.text();
                std::size_t at = 0;
                for (const std::string& line : scenario.traced) {
                    at = traced.find(line, at);
                    ASSERT_NE(at, std::string::npos) << line;
                }
                EXPECT_EQ(owner.boxes.texts(),
                          scenario.message == 0 ? Lines{} : Lines{language.GetText(scenario.message)});
                EXPECT_EQ(owner.terminals.size(), scenario.outcome == Outcome::Added ? 1u : 0u);
                if (!owner.terminals.empty()) {
                    EXPECT_EQ(owner.terminals[0]->SerialNumber, serialNumber);
                    EXPECT_EQ(owner.terminals[0]->IPAddrInUse, "::ffff:10." + std::to_string(scenario.lan) +
                                                                   ".0." + std::to_string(scenario.host));
                }
                EXPECT_EQ(engine.getT7000ipMaintGroup(), kGroupInForce);
                EXPECT_EQ(owner.idleMessages, 1);
                EXPECT_FALSE(owner.waitCursor);
            });
        if (*scenario.unsent != '\0') {
            std::ostringstream log;
            log << std::ifstream(bed_->logFile(kFirstSetIP + scenario.terminal)).rdbuf();
            EXPECT_EQ(log.str().find(scenario.unsent), std::string::npos) << log.str();
        }
    }
}

} // namespace
} // namespace kestrix
