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
#include <functional>
#include <map>
#include <sstream>

// The set-IPv4 dialog against talmo-sim on a bed of two LANs (br0
// 10.77.0.1/24, br1 10.78.0.1/24), restarts and start-up waits shortened by
// KESTRIX_TIME_SCALE. A stuck terminal sits in a foreign subnet whose gateway
// does not exist: it hears the PC's broadcasts, but its replies never reach
// the PC until it has the address the dialog gives it.

namespace kestrix {
namespace {

using test::BedLayout;
using test::RecordingActionOwner;
using test::TerminalSetup;
using test::TraceCapture;

constexpr std::uint16_t kGroup = 4711;
constexpr std::uint16_t kGroupInForce = 815;

enum Index : std::size_t { Stuck, Reachable, Refusing, IgnoringIp, StuckOnSecondLan };

TerminalSetup simulated(const std::string& serialNumber, std::size_t bridge, const std::string& ipv4,
                        const std::map<std::string, std::string>& terminal,
                        const std::map<std::string, std::string>& faults = {}) {
    TerminalSetup setup;
    setup.bridge = bridge;
    setup.ipv4 = ipv4;
    setup.terminalSection = {
        {"serial_number", serialNumber}, {"authentication", "ip"}, {"maintenance_group", std::to_string(kGroup)}};
    for (const auto& [key, value] : terminal)
        setup.terminalSection.insert_or_assign(key, value);
    for (const auto& [key, value] : faults)
        setup.faultsSection.insert_or_assign(key, value);
    return setup;
}

struct RecordingStatus : SetIPAddressView {
    void setStatusLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

Ipv4Fields fields(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {a, b, c, d};
}

// The input for an address in 10.77.0.0/24 or 10.78.0.0/24 (third byte lan).
SetIPAddressInput input(const std::string& serialNumber, std::uint8_t lan, std::uint8_t host) {
    return {serialNumber, fields(10, lan, 0, host), fields(255, 255, 255, 0), fields(10, lan, 0, 1),
            std::to_string(kGroup)};
}

// What one run of the dialog ended with, as the check sees it in the PC's namespace.
struct DialogRun {
    SetIPAddressOutcome outcome;
    RecordingActionOwner& owner;
    const std::string& trace;
    std::string text(int id) const { return owner.language().GetText(id); }
};

std::string contents(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

class SetIPAddressOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        BedLayout layout;
        layout.bridges.push_back({"10.78.0.1/24", "", ""});
        layout.terminals = {
            simulated("2001", 0, "192.168.42.50/24", {{"product", "TALMO DCU8e"}, {"product_word", "R"}}),
            simulated("2002", 0, "10.77.0.22/24", {}),
            // Refuses the parameters also when asked without authentication.
            simulated("2003", 0, "10.77.0.23/24", {{"secured_requests", "reset monitor"}},
                      {{"ignored_requests", "echo"}, {"refuse_ip", "1"}}),
            simulated("2004", 0, "10.77.0.24/24", {{"product", "TALMO DCU40"}}, {{"ignored_requests", "echo ip"}}),
            simulated("2005", 1, "192.168.43.50/24", {}),
        };
        buildSharedBed(layout);
        if (bed_) {
            for (auto [terminal, gateway] : {std::pair{Stuck, "192.168.42.1"}, {StuckOnSecondLan, "192.168.43.1"}})
                EXPECT_TRUE(bed_->shellOnTerminal(terminal, std::string("ip route replace default via ") +
                                                                gateway + " dev eth0 onlink")
                                .succeeded());
        }
    }

    // Runs the dialog with the input as the program on the PC (the group in
    // force differs from the terminals'), then the check.
    static void runDialog(const SetIPAddressInput& typed, const std::function<void(const DialogRun&)>& check) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
            T7000ip& engine = T7000ip::getT7000ip(&language);
            engine.setT7000ipMaintGroup(kGroupInForce);
            {
                RecordingActionOwner owner(engine, language);
                RecordingStatus status;
                CSetIPAddress dialog(owner, status, lanInterfaces());
                ASSERT_TRUE(dialog.checkInput(typed));
                TraceCapture trace;
                const SetIPAddressOutcome outcome = dialog.OnOK();
                const std::string traced = trace.text();
                check(DialogRun{outcome, owner, traced});
                EXPECT_EQ(engine.getT7000ipMaintGroup(), kGroupInForce);
                EXPECT_EQ(owner.idleMessages, 1);
                EXPECT_FALSE(owner.waitCursor);
            }
            T7000ip::releaseT7000ip();
        }));
    }

    static std::string simLog(std::size_t terminal) { return contents(bed_->logFile(terminal)); }
};

void expectAdded(const DialogRun& run, const std::string& serialNumber, const std::string& address) {
    EXPECT_EQ(run.outcome, SetIPAddressOutcome::Added);
    EXPECT_TRUE(run.owner.boxes.shown.empty()) << ::testing::PrintToString(run.owner.boxes.texts());
    ASSERT_EQ(run.owner.terminals.size(), 1u);
    EXPECT_EQ(run.owner.terminals[0]->SerialNumber, serialNumber);
    EXPECT_EQ(run.owner.terminals[0]->IPAddrInUse, "::ffff:" + address);
}

// The stuck terminal answers the echo and the authenticated "ip", but the
// answers never reach the PC; it takes the address at the first restart and
// acknowledges the second restart request from there. It is found after a
// DCU8e's wait (which is also the wait before any reply was checked).
TEST_F(SetIPAddressOnBed, AStuckTerminalGetsAnAddressInThePcsSubnetAndIsAdded) {
    runDialog(input("2001", 77, 50), [](const DialogRun& run) {
        expectAdded(run, "2001", "10.77.0.50");
        EXPECT_NE(run.trace.find("CSetIPAddress::LookupAndAdd(10.77.0.50) startet, warte zunächst 40000 ms.\n"),
                  std::string::npos);
        EXPECT_NE(run.trace.find("CSetIPAddress::OnOK(): Reset Quittung ok\n"), std::string::npos);
    });
    const std::string log = simLog(Stuck);
    EXPECT_NE(log.find("'echo 2001' from ::ffff:10.77.0.1: answered"), std::string::npos) << log;
    EXPECT_NE(log.find("'ip 2001 addr=10.77.0.50 mask=255.255.255.0 gateway=10.77.0.1 auth="), std::string::npos)
        << log;
}

TEST_F(SetIPAddressOnBed, ATerminalReachableAtItsAddressIsLeftAlone) {
    runDialog(input("2002", 77, 60), [](const DialogRun& run) {
        EXPECT_EQ(run.outcome, SetIPAddressOutcome::Reachable);
        EXPECT_EQ(run.owner.boxes.texts(), std::vector<std::string>{run.text(573)});
        EXPECT_TRUE(run.owner.terminals.empty());
    });
    EXPECT_EQ(simLog(Reachable).find("'ip 2002 "), std::string::npos);
}

TEST_F(SetIPAddressOnBed, RefusedParametersEndWithoutARestart) {
    runDialog(input("2003", 77, 61), [](const DialogRun& run) {
        EXPECT_EQ(run.outcome, SetIPAddressOutcome::Refused);
        EXPECT_EQ(run.owner.boxes.texts(), std::vector<std::string>{run.text(579)});
        EXPECT_EQ(run.owner.boxes.shown[0].icon, MessageIcon::Error);
    });
    const std::string log = simLog(Refusing);
    EXPECT_NE(log.find("'ip 2003 addr=10.77.0.61 mask=255.255.255.0 gateway=10.77.0.1' from"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("'reset 2003 "), std::string::npos) << log;
}

// It neither answers nor takes "ip", so it keeps its address: typed again,
// the restart still goes out and it is found there after a DCU40's wait.
TEST_F(SetIPAddressOnBed, ATerminalThatIgnoresIpIsStillRestartedAndFound) {
    runDialog(input("2004", 77, 24), [](const DialogRun& run) {
        expectAdded(run, "2004", "10.77.0.24");
        for (const char* line : {"CSetIPAddress::OnOK(): IP mit Auth 2x keine Antwort auf Broadcast\n",
                                 "CSetIPAddress::OnOK(): IP ohne Auth 2x keine Antwort auf Broadcast\n",
                                 "CSetIPAddress::LookupAndAdd(10.77.0.24) startet, warte zunächst 24000 ms.\n"})
            EXPECT_NE(run.trace.find(line), std::string::npos) << line;
    });
    EXPECT_NE(simLog(IgnoringIp).find("'reset 2004 auth="), std::string::npos);
}

// Over br0 nobody answers: the first search (with the first wait, no reply
// having named a product) fails; over br1, after the pause, a plain 7450
// takes the address and is found.
TEST_F(SetIPAddressOnBed, NotFoundOverTheFirstLanItIsFoundOverTheSecond) {
    runDialog(input("2005", 78, 50), [](const DialogRun& run) {
        expectAdded(run, "2005", "10.78.0.50");
        const char* const lines[] = {
            "CSetIPAddress::OnOK(): 2x keine Antwort auf Reset mit Broadcast\n",
            "CSetIPAddress::LookupAndAdd(10.78.0.50) startet, warte zunächst 40000 ms.\n",
            "CSetIPAddress::OnOK(): Reset Quittung ok\n",
            "CSetIPAddress::LookupAndAdd(10.78.0.50) startet, warte zunächst 4000 ms.\n",
        };
        std::size_t at = 0;
        for (const char* line : lines) {
            at = run.trace.find(line, at);
            ASSERT_NE(at, std::string::npos) << line;
        }
    });
}

} // namespace
} // namespace kestrix
