// Restarts: silence for the (time-scaled) restart time, then the terminal
// answers again with what the restart brought.
#include "platform/pause.h"
#include "sim/request_check.h"
#include "sim/responder.h"

#include "sim_test_support.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrix::sim;
using Clock = std::chrono::steady_clock;

namespace {

// Before anything reads the factor: every fixed wait of these tests lasts a
// hundredth (unless the caller set a factor of their own).
const bool kTimeScaleSet = setenv("KESTRIX_TIME_SCALE", "0.01", 0) == 0;

std::string withSid(const std::string& text, std::uint16_t group = 0x1234) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "sid=%08X",
                  idBasedCheck("100101", group, 0xA1B2C3D4, requestBytes(text)));
    return text + " " + suffix;
}

std::uint32_t ipv4(const char* text) {
    return *ipv4FromText(text);
}

bool answersFind(TestTerminal& terminal) {
    return !terminal.ask("find 100101", pcAddress()).empty();
}

} // namespace

TEST(SimRestart, ResetIsSilentForItsScaledRebootTime) {
    ASSERT_TRUE(kTimeScaleSet);
    const double scale = kestrix::timeScale();
    struct Case {
        std::string request;
        int configuredMilliseconds;
    } cases[] = {{"reset 100101", 6000}, {"reset 100101 sysboot", 12000}, {"monitor 100101", 3000}};
    for (const auto& c : cases) {
        TestTerminal terminal({{"terminal", "reboot_ms", "6000"},
                               {"terminal", "sysboot_ms", "12000"},
                               {"terminal", "monitor_restart_ms", "3000"}});
        const auto expected = std::chrono::duration<double, std::milli>(c.configuredMilliseconds * scale);
        const auto start = Clock::now();
        ASSERT_NE(terminal.ask(withSid(c.request), pcAddress()), "") << c.request;
        EXPECT_TRUE(terminal.responder.restarting());
        EXPECT_FALSE(answersFind(terminal));
        EXPECT_EQ(terminal.ask(withSid(c.request), pcAddress()), ""); // no second restart while silent
        ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(60)));
        const auto took = std::chrono::duration<double, std::milli>(Clock::now() - start);
        EXPECT_GE(took.count(), expected.count()) << c.request;
        EXPECT_LT(took.count(), expected.count() + 2000.0) << c.request;
        EXPECT_TRUE(answersFind(terminal));
        EXPECT_TRUE(terminal.network.changes().empty());
    }
}

TEST(SimRestart, MonitorAndBack) {
    TestTerminal terminal({{"terminal", "reboot_ms", "0"}, {"terminal", "monitor_restart_ms", "0"}});
    ASSERT_NE(terminal.ask(withSid("monitor 100101"), pcAddress()), "");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    EXPECT_EQ(terminal.responder.state().runMode, RunMode::Monitor);
    EXPECT_EQ(terminal.ask(withSid("monitor 100101"), pcAddress()),
              replyBytes("TALMO|7450|IP|100101|remains"));
    ASSERT_NE(terminal.ask(withSid("reset 100101"), pcAddress()), "");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    EXPECT_EQ(terminal.responder.state().runMode, RunMode::Application);
}

// After a restart the monitor answers first and starts the application after
// monitor_pass_ms (time-scaled: 2000 ms last 20 ms here); a "monitor" request
// in that time keeps the terminal in its monitor.
TEST(SimRestart, MonitorPassesBeforeTheApplicationStarts) {
    ASSERT_TRUE(kTimeScaleSet);
    for (const bool keepInMonitor : {false, true}) {
        TestTerminal terminal({{"terminal", "reboot_ms", "0"}, {"terminal", "monitor_pass_ms", "2000"}});
        ASSERT_NE(terminal.ask(withSid("reset 100101"), pcAddress()), "");
        ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
        EXPECT_EQ(terminal.responder.state().runMode, RunMode::Monitor);
        EXPECT_EQ(terminal.ask("find 100101", pcAddress()).find(replyBytes("ACM|6.12")), std::string::npos);
        if (keepInMonitor) {
            EXPECT_EQ(terminal.ask(withSid("monitor 100101"), pcAddress()),
                      replyBytes("TALMO|7450|IP|100101|remains"));
        }
        std::this_thread::sleep_for(kestrix::scaledPause(2000) + std::chrono::milliseconds(10));
        EXPECT_EQ(terminal.responder.state().runMode,
                  keepInMonitor ? RunMode::Monitor : RunMode::Application);
        EXPECT_EQ(terminal.ask("find 100101", pcAddress()).find(replyBytes("ACM|6.12")) != std::string::npos,
                  !keepInMonitor);
    }
}

TEST(SimRestart, IpTakesEffectAtTheNextRestart) {
    TestTerminal terminal({{"terminal", "reboot_ms", "0"}, {"network", "dhcp", "1"}});
    ASSERT_EQ(terminal.ask(withSid("ip 100101 addr=192.168.99.5 mask=255.255.0.0 gateway=192.168.0.1"),
                           pcAddress()),
              replyBytes("TALMO|7450|IP|100101|IP|configuration|OK"));
    // Still the old address until the restart.
    EXPECT_EQ(terminal.responder.state().ipv4.address, ipv4("10.77.0.11"));
    EXPECT_TRUE(terminal.network.changes().empty());

    ASSERT_NE(terminal.ask(withSid("reset 100101"), pcAddress()), "");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    auto changes = terminal.network.changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].interfaceName, "eth0");
    EXPECT_EQ(changes[0].from.address, ipv4("10.77.0.11"));
    EXPECT_EQ(changes[0].from.prefixLength, 24);
    EXPECT_EQ(changes[0].to.address, ipv4("192.168.99.5"));
    EXPECT_EQ(changes[0].to.prefixLength, 16);
    EXPECT_NE(terminal.ask("echo 100101", pcAddress())
                  .find(replyBytes("addr=192.168.99.5|mask=255.255.0.0|gateway=192.168.0.1")),
              std::string::npos);
    EXPECT_FALSE(terminal.responder.state().ipv4.dhcp);

    // A second restart changes nothing more.
    ASSERT_NE(terminal.ask(withSid("reset 100101"), pcAddress()), "");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    EXPECT_EQ(terminal.network.changes().size(), 1u);
}

TEST(SimRestart, IceColdStartComesBackWithTheFactoryConfiguration) {
    TestTerminal terminal({{"terminal", "reboot_ms", "0"}, {"network", "dhcp", "1"}});
    ASSERT_NE(
        terminal.ask(withSid("ip 100101 addr=10.77.0.20 mask=255.255.255.0 gateway=10.77.0.1"), pcAddress()),
        "");
    ASSERT_NE(terminal.ask(withSid("reset 100101 mode=ice"), pcAddress()), "");
    ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
    auto changes = terminal.network.changes();
    ASSERT_EQ(changes.size(), 1u); // the pending address is forgotten
    EXPECT_EQ(changes[0].to.address, ipv4("192.168.42.127"));
    EXPECT_EQ(changes[0].to.prefixLength, 24);
    const auto state = terminal.responder.state();
    EXPECT_FALSE(state.pendingIpv4);
    EXPECT_EQ(state.maintenanceGroup, 0);
    EXPECT_EQ(terminal.ask("find 100101", pcAddress()),
              replyBytes("TALMO|7450|IP|100101|ACM|6.12|DEVID=7|DHCPNAME=talmo-100101|IPv4=192.168.42.127/24|"
                         "IPv6=fe80::11/64|LOCAL|IPv6=2001:db8:77::11/64|RADV|ID=A1B2C3D4"));
    EXPECT_NE(terminal.ask("echo 100101", pcAddress())
                  .find(replyBytes("addr=192.168.42.127|mask=255.255.255.0|gateway=0.0.0.0")),
              std::string::npos);
}

TEST(SimRestart, AFailedAddressChangeIsReportedAndTheTerminalGoesOn) {
    struct FailingInterface : InterfaceAddress {
        void replaceIPv4(const std::string&, const Ipv4Settings&, const Ipv4Settings&) override {
            throw std::runtime_error("no permission");
        }
    } failing;
    Responder responder(testConfig({{"terminal", "reboot_ms", "0"}}), failing);
    ASSERT_TRUE(responder.answer(asBytes(requestBytes(withSid("reset 100101 mode=ice"))), pcAddress()));
    ASSERT_TRUE(responder.waitUntilRunning(std::chrono::seconds(10)));
    EXPECT_TRUE(responder.answer(asBytes(requestBytes("find *")), pcAddress()));
}

TEST(SimRestart, DestroyingARestartingTerminalDoesNotWaitForTheReboot) {
    const auto start = Clock::now();
    {
        TestTerminal terminal({{"terminal", "reboot_ms", "3600000"}});
        ASSERT_NE(terminal.ask(withSid("reset 100101"), pcAddress()), "");
        EXPECT_TRUE(terminal.responder.restarting());
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}
