// Restarts: silence for the (time-scaled) restart time, then the terminal
// answers again with what the restart brought.
#include "platform/pause.h"
#include "sim/responder.h"

#include "sim_test_support.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrix::sim;
using Clock = std::chrono::steady_clock;

namespace {

// Before anything reads the factor: every fixed wait of these tests lasts a
// hundredth (unless the caller set a factor of their own).
const bool kTimeScaleSet = setenv("KESTRIX_TIME_SCALE", "0.01", 0) == 0;

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
    const struct {
        std::string request;
        int configuredMilliseconds;
        RunMode after;
    } cases[] = {{"reset 100101", 6000, RunMode::Application},
                 {"reset 100101 sysboot", 12000, RunMode::Application},
                 {"monitor 100101", 3000, RunMode::Monitor}};
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
        EXPECT_EQ(terminal.responder.state().runMode, c.after) << c.request;
        EXPECT_TRUE(answersFind(terminal));
        EXPECT_TRUE(terminal.network.changes().empty());
    }
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

// An accepted "ip" request takes effect at the next restart; an ice-cold start
// forgets it and comes back with the factory address.
TEST(SimRestart, IpTakesEffectAtTheNextRestartUnlessItIsIceCold) {
    const struct {
        std::string reset;
        std::string address;
        int prefixLength;
        std::string echoed;
    } cases[] = {
        {"reset 100101", "192.168.99.5", 16, "addr=192.168.99.5|mask=255.255.0.0|gateway=192.168.0.1"},
        {"reset 100101 mode=ice", "192.168.42.127", 24,
         "addr=192.168.42.127|mask=255.255.255.0|gateway=0.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reset);
        TestTerminal terminal({{"terminal", "reboot_ms", "0"}, {"network", "dhcp", "1"}});
        ASSERT_EQ(terminal.ask(withSid("ip 100101 addr=192.168.99.5 mask=255.255.0.0 gateway=192.168.0.1"),
                               pcAddress()),
                  replyBytes("TALMO|7450|IP|100101|IP|configuration|OK"));
        EXPECT_EQ(terminal.responder.state().ipv4.address, ipv4("10.77.0.11")); // until the restart
        EXPECT_TRUE(terminal.network.changes().empty());
        ASSERT_NE(terminal.ask(withSid(c.reset), pcAddress()), "");
        ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
        auto changes = terminal.network.changes();
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].interfaceName, "eth0");
        EXPECT_EQ(changes[0].from.address, ipv4("10.77.0.11"));
        EXPECT_EQ(changes[0].from.prefixLength, 24);
        EXPECT_EQ(changes[0].to.address, ipv4(c.address.c_str()));
        EXPECT_EQ(changes[0].to.prefixLength, c.prefixLength);
        EXPECT_NE(terminal.ask("echo 100101", pcAddress()).find(replyBytes(c.echoed)), std::string::npos);
        // A second restart changes nothing more.
        const std::uint16_t group = terminal.responder.state().maintenanceGroup; // 0 after ice-cold
        ASSERT_NE(terminal.ask(withSid("reset 100101", group), pcAddress()), "");
        ASSERT_TRUE(terminal.responder.waitUntilRunning(std::chrono::seconds(10)));
        EXPECT_EQ(terminal.network.changes().size(), 1u);
    }
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
