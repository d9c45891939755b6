// The exact reply bytes of every command, from the terminal of
// sim_test_support.h (TALMO 7450, serial number 100101, ID-based).
#include "sim/responder.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using namespace kestrix::sim;

namespace {

struct ReplyCase {
    std::vector<ConfigEntry> config;
    std::string request;
    std::string reply; // fields separated by "|"; empty: no reply
};

void expectReplies(const std::vector<ReplyCase>& cases) {
    for (const auto& c : cases) {
        TestTerminal terminal(c.config);
        EXPECT_EQ(terminal.ask(c.request, pcAddress()), c.reply.empty() ? std::string() : replyBytes(c.reply))
            << c.request;
    }
}

const std::string kFindTail = "DEVID=7|DHCPNAME=talmo-100101|IPv4=10.77.0.11/24|IPv6=fe80::11/64|LOCAL|"
                              "IPv6=2001:db8:77::11/64|RADV|ID=A1B2C3D4";

} // namespace

TEST(SimReplies, Find) {
    expectReplies({
        {{}, "find *", "TALMO|7450|IP|100101|ACM|6.12|" + kFindTail},
        {{}, "find 100101", "TALMO|7450|IP|100101|ACM|6.12|" + kFindTail},
        // A plain 7450 reports its version where the kind word would stand; servers name
        // both words before the monitor version.
        {{{"terminal", "kind", ""}, {"terminal", "product_word", "V2"}},
         "find *",
         "TALMO|7450|V2|100101|6.12|" + kFindTail},
        {{{"terminal", "start_mode", "monitor"}}, "find *", "TALMO|7450|IP|100101|MONITOR|2.05|" + kFindTail},
        {{{"terminal", "kind", "BSM"}, {"terminal", "start_mode", "monitor"}},
         "find *",
         "TALMO|7450|IP|100101|BSM|MONITOR|2.05|" + kFindTail},
        {{{"terminal", "firmware_version", ""}, {"terminal", "monitor_words", "ACM MONITOR"}},
         "find *",
         "TALMO|7450|IP|100101|ACM|MONITOR|2.05|" + kFindTail},
        // DHCP: the word after the IPv4 value; no IPv4 or IPv6 at all; IP-based terminals have no ID.
        {{{"network", "dhcp", "1"},
          {"terminal", "ipv6_global_origin", "dhcp"},
          {"terminal", "authentication", "ip"}},
         "find *",
         "TALMO|7450|IP|100101|ACM|6.12|DEVID=7|DHCPNAME=talmo-100101|IPv4=10.77.0.11/24|DHCP|"
         "IPv6=fe80::11/64|LOCAL|IPv6=2001:db8:77::11/64|DHCP"},
        {{{"network", "ipv4", ""},
          {"network", "mask", ""},
          {"network", "dhcp_name", ""},
          {"network", "ipv6_linklocal", ""},
          {"network", "ipv6_global", ""}},
         "find *",
         "TALMO|7450|IP|100101|ACM|6.12|DEVID=7|ID=A1B2C3D4"},
        {{{"terminal", "answers_find", "0"}}, "find *", ""},
    });
}

TEST(SimReplies, Echo) {
    const std::string head = "TALMO|7450|IP|100101|ACM|6.12|port=3000|connect=active|encrypt=NO|";
    const std::string addresses = "addr=10.77.0.11|mask=255.255.255.0|gateway=10.77.0.1|";
    expectReplies({
        {{}, "echo 100101 sid=1496808D", head + "auth=OK|" + addresses + "ID=A1B2C3D4"},
        {{}, withSid("echo *"), head + "auth=OK|" + addresses + "ID=A1B2C3D4"},
        {{}, "echo 100101 sid=1496808E", head + "auth=FAILED|" + addresses + "ID=A1B2C3D4"},
        {{}, "echo 100101", head + "auth=FAILED|" + addresses + "ID=A1B2C3D4"},
        {{{"terminal", "tcl_port", "4000"},
          {"terminal", "tcl_connect", "passive"},
          {"terminal", "tcl_encrypt", "1"},
          {"network", "dhcp", "1"},
          {"network", "gateway", ""}},
         "echo 100101 sid=1496808D",
         "TALMO|7450|IP|100101|ACM|6.12|port=4000|connect=passive|encrypt=YES|auth=OK|"
         "addr=DHCP:|10.77.0.11|mask=DHCP:|255.255.255.0|gateway=DHCP:|0.0.0.0|ID=A1B2C3D4"},
        // Without authentication there is nothing to report; IPv6-only terminals have no IPv4 values.
        {{{"terminal", "authentication", "none"},
          {"network", "ipv4", ""},
          {"network", "mask", ""},
          {"network", "gateway", ""}},
         "echo 100101",
         "TALMO|7450|IP|100101|ACM|6.12|port=3000|connect=active|encrypt=NO|"
         "addr=0.0.0.0|mask=0.0.0.0|gateway=0.0.0.0"},
        {{{"terminal", "start_mode", "monitor"}},
         "echo 100101 sid=1496808D",
         "TALMO|7450|IP|100101|MONITOR|2.05|port=3000|connect=active|encrypt=NO|auth=OK|" + addresses +
             "ID=A1B2C3D4"},
    });
}

TEST(SimReplies, HostAndSystemInformation) {
    expectReplies({
        {{},
         "data 100101",
         "TALMO|7450|IP|100101|host|information.|port=3000|connect=active|host=online|"
         "online=10.77.0.1:4711|encrypt=NO"},
        {{{"terminal", "tcl_host", ""}, {"terminal", "tcl_encrypt", "1"}},
         "data 100101",
         "TALMO|7450|IP|100101|host|information.|port=3000|connect=active|host=offline|encrypt=YES"},
        // The monitor runs no TCL.
        {{{"terminal", "start_mode", "monitor"}},
         "data 100101",
         "TALMO|7450|IP|100101|host|information.|port=3000|connect=active|host=offline|encrypt=NO"},
        {{},
         "info 100101",
         "TALMO|7450|IP|100101|system|information.|SRAM=512|WIEGAND=NO|OS='Linux 4.19'|"
         "FLASH='AMD29F400BT'"},
        {{{"terminal", "sram", "2048"},
          {"terminal", "wiegand", "1"},
          {"terminal", "os", "Linux 5.10 'rt'"},
          {"terminal", "rootfs_version", "7"},
          {"terminal", "flash", "ST M29F002T(N)C"}},
         "info 100101",
         "TALMO|7450|IP|100101|system|information.|SRAM=2048|WIEGAND=YES|OS='Linux 5.10 ''rt'''|;'7'|"
         "FLASH='ST M29F002T(N)C'"},
        {{{"terminal", "os", ""}, {"terminal", "flash", ""}},
         "info 100101",
         "TALMO|7450|IP|100101|system|information.|SRAM=512|WIEGAND=NO"},
    });
}

TEST(SimReplies, EepromContents) {
    // Erased bytes, the given ones (a zero byte among them), and the two type characters.
    TestTerminal terminal({{"terminal", "eeprom", "00 41 42"},
                           {"terminal", "eeprom_keyboard", "8"},
                           {"terminal", "eeprom_display", "7"}});
    std::string contents(128, '\xFF');
    contents[0] = '\0';
    contents[1] = 'A';
    contents[2] = 'B';
    contents[86] = '7';
    contents[88] = '8';
    EXPECT_EQ(terminal.ask("eeread 100101 sid=C083E716", pcAddress()),
              replyBytes("TALMO|7450|IP|100101|EEPROM|contents.") + contents + '\0');
}

TEST(SimReplies, MonitorResetAndIp) {
    const std::string ip = "ip 100101 addr=10.77.0.20 mask=255.255.0.0 gateway=10.77.0.1";
    expectReplies({
        {{}, withSid("monitor 100101"), "TALMO|7450|IP|100101|reset."},
        {{{"terminal", "start_mode", "monitor"}}, withSid("monitor 100101"), "TALMO|7450|IP|100101|remains"},
        {{}, withSid("reset 100101"), "TALMO|7450|IP|100101|reset."},
        {{}, "reset 100101 mode=cold sid=86D6E051", "TALMO|7450|IP|100101|cold|reset."},
        {{}, withSid("reset 100101 sysboot mode=comm"), "TALMO|7450|IP|100101|comm|reset."},
        {{}, withSid("reset 100101 mode=ice"), "TALMO|7450|IP|100101|ice|reset."},
        {{}, withSid("reset 100101 mode=warm"), "TALMO|7450|IP|100101|unknown|mode"},
        {{}, withSid("reset 100101 mode="), "TALMO|7450|IP|100101|unknown|mode"},
        {{}, withSid(ip), "TALMO|7450|IP|100101|IP|configuration|OK"},
        {{},
         withSid("ip 100101 addr=10.77.0.20 mask=255.0.255.0 gateway=10.77.0.1"),
         "TALMO|7450|IP|100101|IP|configuration|refused"},
        {{},
         withSid("ip 100101 addr=10.77.0.255 mask=255.255.255.0 gateway=0.0.0.0"),
         "TALMO|7450|IP|100101|IP|configuration|refused"},
        {{},
         withSid("ip 100101 addr=224.0.0.1 mask=255.255.255.0 gateway=0.0.0.0"),
         "TALMO|7450|IP|100101|IP|configuration|refused"},
        {{},
         withSid("ip 100101 addr=10.77.0.20 mask=255.255.255.0"),
         "TALMO|7450|IP|100101|IP|configuration|refused"},
        {{},
         withSid("ip 100101 addr=10.77.0.256 mask=255.255.255.0 gateway=0.0.0.0"),
         "TALMO|7450|IP|100101|IP|configuration|refused"},
    });
}

TEST(SimReplies, UnknownCommandsAndOtherSerialNumbersGetNothing) {
    expectReplies({
        {{}, "find 100102", ""},
        {{}, "echo 10010 sid=1496808D", ""},
        {{}, "data *", ""},
        {{}, "info 1001011", ""},
        {{}, withSid("reset *"), ""},
        {{}, "TALMO 7450 IP 100101 ACM 6.12", ""}, // another terminal's reply
        {{}, "hello 100101", ""},
        {{}, "FIND 100101", ""},
    });
}
