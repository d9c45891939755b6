// Smoke test of the terminal simulator (the program's bed tests exercise the
// rest, and the test bed's own test its socket over IPv4 and IPv6): exact
// replies of one terminal, its suffix check, a reset with its silent restart.
#include "settings_files/ini_data.h"
#include "sim/responder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrix::sim {
namespace {

using namespace std::chrono_literals;

// Before anything reads the factor: the restart lasts a hundredth.
const bool kTimeScaleSet = setenv("KESTRIX_TIME_SCALE", "0.01", 0) == 0;

// A request or reply as it travels: every blank or "|" between fields stands
// for a zero byte, and one zero byte ends it.
std::string bytes(std::string text) {
    std::replace(text.begin(), text.end(), '|', ' ');
    std::replace(text.begin(), text.end(), ' ', '\0');
    return text + '\0';
}

std::span<const std::uint8_t> span(const std::string& datagram) {
    return {reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size()};
}

// A TALMO 7450 with serial number 100101 at 10.77.0.11/24, ID-based
// authentication, group 0x1234, security id A1B2C3D4.
TerminalConfig
testConfig(const std::vector<std::tuple<std::string, std::string, std::string>>& changes = {}) {
    IniData ini;
    for (const auto& [section, key, value] : {std::tuple{"network", "interface", "eth0"},
                                              {"network", "ipv4", "10.77.0.11"},
                                              {"network", "mask", "255.255.255.0"},
                                              {"network", "gateway", "10.77.0.1"},
                                              {"network", "dhcp", "0"},
                                              {"network", "dhcp_name", "talmo-100101"},
                                              {"network", "ipv6_linklocal", "fe80::11"},
                                              {"terminal", "product", "TALMO 7450"},
                                              {"terminal", "serial_number", "100101"},
                                              {"terminal", "kind", "ACM"},
                                              {"terminal", "firmware_version", "6.12"},
                                              {"terminal", "authentication", "id"},
                                              {"terminal", "security_id", "A1B2C3D4"},
                                              {"terminal", "maintenance_group", "4660"},
                                              {"terminal", "device_id", "7"}})
        ini.setValue(section, key, value);
    for (const auto& [section, key, value] : changes)
        ini.setValue(section, key, value);
    return readTerminalConfig(ini);
}

struct NoInterface : InterfaceAddress {
    void replaceIPv4(const std::string&, const Ipv4Settings&, const Ipv4Settings&) override {}
};

const Ip6Address kPc = Ip6Address::fromIPv4Bytes(10, 77, 0, 1);

TEST(Sim, RepliesResetAndRestart) {
    ASSERT_TRUE(kTimeScaleSet);
    NoInterface network;
    Responder terminal(testConfig({{"terminal", "reboot_ms", "6000"}}), network);
    const auto ask = [&](const std::string& text) {
        return terminal.answer(span(bytes(text)), kPc).value_or("(none)");
    };
    EXPECT_EQ(ask("find *"),
              bytes("TALMO|7450|IP|100101|ACM|6.12|DEVID=7|DHCPNAME=talmo-100101|IPv4=10.77.0.11/24|"
                    "IPv6=fe80::11/64|LOCAL|ID=A1B2C3D4"));
    EXPECT_EQ(
        ask("echo 100101 sid=1496808D"),
        bytes("TALMO|7450|IP|100101|ACM|6.12|port=3000|connect=active|encrypt=NO|auth=OK|addr=10.77.0.11|"
              "mask=255.255.255.0|gateway=10.77.0.1|ID=A1B2C3D4"));
    EXPECT_NE(ask("echo 100101 sid=1496808E").find("auth=FAILED"), std::string::npos);
    for (const char* unanswered :
         {"find 100102", "hello 100101", "reset 100101 mode=cold", "TALMO 7450 IP 100101"})
        EXPECT_EQ(ask(unanswered), "(none)") << unanswered;
    EXPECT_EQ(ask("reset 100101 mode=cold sid=86D6E051"), bytes("TALMO|7450|IP|100101|cold|reset."));
    EXPECT_TRUE(terminal.restarting());
    EXPECT_EQ(ask("find *"), "(none)");
    ASSERT_TRUE(terminal.waitUntilRunning(10s));
    EXPECT_NE(ask("find *"), "(none)");
}

} // namespace
} // namespace kestrix::sim
