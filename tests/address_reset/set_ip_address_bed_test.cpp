#include "address_reset/recording_action_owner.h"
#include "address_reset/set_ip_address.h"
#include "lan/lan_interfaces.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

// The set-IPv4 dialog against talmo-sim on a bed of two LANs (br0
// 10.77.0.1/24, br1 10.78.0.1/24), restarts and start-up waits shortened by
// KESTRIX_TIME_SCALE. A stuck terminal sits in a foreign subnet whose gateway
// does not exist: it hears the PC's broadcasts and answers them, but its
// answers never reach the PC until it has the address the dialog gives it.

namespace kestrix {
namespace {

using Outcome = SetIPAddressOutcome;
using Lines = std::vector<std::string>;

constexpr std::uint16_t kGroup = 4711;
constexpr std::uint16_t kGroupInForce = 815;

test::TerminalSetup simulated(const std::string& serialNumber, std::size_t bridge, const std::string& ipv4,
                              const std::map<std::string, std::string>& terminal,
                              const std::map<std::string, std::string>& faults = {}) {
    test::TerminalSetup setup;
    setup.bridge = bridge;
    setup.ipv4 = ipv4;
    setup.terminalSection = {{"serial_number", serialNumber},
                             {"authentication", "ip"},
                             {"maintenance_group", std::to_string(kGroup)}};
    for (const auto& [key, value] : terminal)
        setup.terminalSection.insert_or_assign(key, value);
    for (const auto& [key, value] : faults)
        setup.faultsSection.insert_or_assign(key, value);
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

class SetIPAddressOnBed : public test::SharedNetworkBedTest, public ::testing::WithParamInterface<Scenario> {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        layout.bridges.push_back({"10.78.0.1/24", "", ""});
        layout.terminals = {
            simulated("2001", 0, "192.168.42.50/24", {{"product", "TALMO DCU8e"}, {"product_word", "R"}}),
            simulated("2002", 0, "10.77.0.22/24", {}),
            // Refuses the parameters also when asked without authentication.
            simulated("2003", 0, "10.77.0.23/24", {{"secured_requests", "reset monitor"}},
                      {{"ignored_requests", "echo"}, {"refuse_ip", "1"}}),
            simulated("2004", 0, "10.77.0.24/24", {{"product", "TALMO DCU40"}},
                      {{"ignored_requests", "echo ip"}}),
            simulated("2005", 1, "192.168.43.50/24", {}),
        };
        buildSharedBed(layout);
        if (!bed_)
            return;
        for (auto [terminal, gateway] : {std::pair{0, "192.168.42.1"}, {4, "192.168.43.1"}})
            EXPECT_TRUE(bed_->shellOnTerminal(terminal, std::string("ip route replace default via ") +
                                                            gateway + " dev eth0 onlink")
                            .succeeded());
    }
};

TEST_P(SetIPAddressOnBed, Scenario) {
    const Scenario& scenario = GetParam();
    const std::string serialNumber = "200" + std::to_string(scenario.terminal + 1);
    const auto address = [&](std::uint8_t host) { return Ipv4Fields{10, scenario.lan, 0, host}; };
    // The program on the PC, in a group other than the terminals'.
    EXPECT_TRUE(bed_->runOnPc([&] {
        enumerateLanInterfaces();
        const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
        T7000ip& engine = T7000ip::getT7000ip(&language);
        engine.setT7000ipMaintGroup(kGroupInForce);
        {
            test::RecordingActionOwner owner(engine, language);
            NoStatus status;
            CSetIPAddress dialog(owner, status, lanInterfaces());
            ASSERT_TRUE(dialog.checkInput({serialNumber,
                                           address(scenario.host),
                                           {255, 255, 255, 0},
                                           address(1),
                                           std::to_string(kGroup)}));
            test::TraceCapture trace;
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
        }
        T7000ip::releaseT7000ip();
    }));
    if (*scenario.unsent != '\0') {
        std::ostringstream log;
        log << std::ifstream(bed_->logFile(scenario.terminal)).rdbuf();
        EXPECT_EQ(log.str().find(scenario.unsent), std::string::npos) << log.str();
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SetIPAddressOnBed, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace kestrix
