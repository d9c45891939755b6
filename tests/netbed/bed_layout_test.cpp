// The bed's layout file and talmo-sim's configuration, without building a bed.
#include "netbed/bed_layout.h"

#include "settings_files/ini_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace kestrix::test {
namespace {

BedLayout twoBridgeLayout() {
    BedLayout layout;
    layout.bridges = {{"10.77.0.1/24", "fe80::1", "2001:db8:77::1"}, {"10.78.0.1/16", "", ""}};
    TerminalSetup inSubnet;
    inSubnet.ipv4 = "10.77.0.11/24";
    inSubnet.ipv6LinkLocal = "fe80::11";
    inSubnet.ipv6Global = "2001:db8:77::11";
    TerminalSetup foreign;
    foreign.bridge = 1;
    foreign.ipv4 = "192.168.99.5/20";
    foreign.gateway = "192.168.96.1";
    foreign.dhcp = Dhcp::On;
    foreign.dhcpName = "talmo-100102";
    foreign.hostsLines = {"10.78.0.1 pc.bed.test"};
    TerminalSetup linkLocalOnly;
    linkLocalOnly.ipv6LinkLocal = "fe80::13";
    layout.terminals = {inSubnet, foreign, linkLocalOnly};
    layout.pcHostsLines = {"10.77.0.11 t0.bed.test t0", "2001:db8:77::11 t0v6.bed.test"};
    return layout;
}

TEST(NetbedLayout, DescribesBridgesTerminalsAndHostsFiles) {
    EXPECT_EQ(layoutFileText(twoBridgeLayout()), "bridge 0 10.77.0.1/24 fe80::1 2001:db8:77::1/64\n"
                                                 "bridge 1 10.78.0.1/16 - -\n"
                                                 "terminal 0 0 02:4b:42:00:00:00 10.77.0.11/24 fe80::11 "
                                                 "2001:db8:77::11/64\n"
                                                 "terminal 1 1 02:4b:42:00:00:01 192.168.99.5/20 - -\n"
                                                 "terminal 2 0 02:4b:42:00:00:02 - fe80::13 -\n"
                                                 "hosts pc 10.77.0.11 t0.bed.test t0\n"
                                                 "hosts pc 2001:db8:77::11 t0v6.bed.test\n"
                                                 "hosts t1 10.78.0.1 pc.bed.test\n");
}

TEST(NetbedLayout, MacAddressesAreFixedPerTerminal) {
    EXPECT_EQ(terminalMacAddress(0), "02:4b:42:00:00:00");
    EXPECT_EQ(terminalMacAddress(0x1234), "02:4b:42:00:12:34");
    EXPECT_EQ(terminalMacAddress(0xffff), "02:4b:42:00:ff:ff");
    EXPECT_THROW(terminalMacAddress(0x10000), std::invalid_argument);
}

// Everything the script would split into the wrong words, or that ip would
// refuse half-way through building the bed, is refused before.
TEST(NetbedLayout, RefusesWhatItCannotDescribe) {
    const std::pair<const char*, void (*)(BedLayout&)> cases[] = {
        {"no bridge", [](BedLayout& layout) { layout.bridges.clear(); }},
        {"IPv4 without prefix", [](BedLayout& layout) { layout.bridges[0].ipv4 = "10.77.0.1"; }},
        {"IPv4 prefix 33", [](BedLayout& layout) { layout.terminals[0].ipv4 = "10.77.0.11/33"; }},
        {"IPv4 prefix 0", [](BedLayout& layout) { layout.terminals[0].ipv4 = "10.77.0.11/0"; }},
        {"IPv4 prefix text", [](BedLayout& layout) { layout.terminals[0].ipv4 = "10.77.0.11/2x"; }},
        {"IPv4 byte 300", [](BedLayout& layout) { layout.terminals[0].ipv4 = "10.77.0.300/24"; }},
        {"blank in address", [](BedLayout& layout) { layout.terminals[0].ipv4 = "10.77.0.11 /24"; }},
        {"IPv6 link-local", [](BedLayout& layout) { layout.terminals[2].ipv6LinkLocal = "fe80::g"; }},
        {"IPv6 with prefix", [](BedLayout& layout) { layout.bridges[0].ipv6Global = "2001:db8::1/64"; }},
        {"gateway", [](BedLayout& layout) { layout.terminals[1].gateway = "192.168.96"; }},
        {"missing bridge", [](BedLayout& layout) { layout.terminals[1].bridge = 2; }},
        {"hosts line break",
         [](BedLayout& layout) { layout.pcHostsLines.push_back("10.0.0.1 a\n10.0.0.2 b"); }},
        {"empty hosts line", [](BedLayout& layout) { layout.terminals[0].hostsLines.push_back(" "); }},
    };
    for (const auto& [name, spoil] : cases) {
        BedLayout layout = twoBridgeLayout();
        spoil(layout);
        EXPECT_THROW(layoutFileText(layout), std::invalid_argument) << name;
    }
}

TEST(NetbedSimConfiguration, NetworkSectionFollowsTheLayout) {
    const BedLayout layout = twoBridgeLayout();
    const IniData inSubnet = simConfiguration(layout, 0, "/files/t0");
    const IniData foreign = simConfiguration(layout, 1, "/files/t1");
    const IniData linkLocalOnly = simConfiguration(layout, 2, "/files/t2");
    const std::tuple<const IniData*, const char*, const char*> expected[] = {
        {&inSubnet, "interface", "eth0"},
        {&inSubnet, "ipv4", "10.77.0.11"},
        {&inSubnet, "mask", "255.255.255.0"},
        {&inSubnet, "gateway", ""},
        {&inSubnet, "dhcp", "0"},
        {&inSubnet, "dhcp_name", ""},
        {&inSubnet, "ipv6_linklocal", "fe80::11"},
        {&inSubnet, "ipv6_global", "2001:db8:77::11"},
        {&foreign, "ipv4", "192.168.99.5"},
        {&foreign, "mask", "255.255.240.0"},
        {&foreign, "gateway", "192.168.96.1"},
        {&foreign, "dhcp", "1"},
        {&foreign, "dhcp_name", "talmo-100102"},
        {&foreign, "ipv6_linklocal", ""},
        {&linkLocalOnly, "ipv4", ""},
        {&linkLocalOnly, "mask", ""},
        {&linkLocalOnly, "ipv6_linklocal", "fe80::13"},
    };
    for (const auto& [configuration, key, value] : expected)
        EXPECT_EQ(configuration->getValue("network", key, "(missing)"), value) << key;
}

// The test's own sections reach talmo-sim as they stand, through the reader
// that talmo-sim uses; a [tftp] directory of the test's wins over the bed's.
TEST(NetbedSimConfiguration, TestSectionsPassUnchanged) {
    BedLayout layout = twoBridgeLayout();
    layout.terminals[0].terminalSection = {{"serial", "100101"}, {"kind", "TCL"}, {"version", "5.52"}};
    layout.terminals[0].faultsSection = {{"drop", "0.25"}, {"silent", "1"}};
    layout.terminals[1].tftpSection = {{"directory", "/srv/own"}, {"tftp_port", "6969"}};
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("netbed_layout_test_" + std::to_string(::getpid()) + ".ini");
    for (std::size_t terminal : {0u, 1u}) {
        simConfiguration(layout, terminal, "/files/default").writeToFile(file.string());
        const IniFile readBack(file.string(), " is missing");
        std::filesystem::remove(file);
        const TerminalSetup& setup = layout.terminals[terminal];
        EXPECT_EQ(readBack.getSections(),
                  (std::vector<std::string>{"faults", "network", "terminal", "tftp"}));
        for (const auto& [name, section] :
             {std::pair{"terminal", &setup.terminalSection}, std::pair{"faults", &setup.faultsSection}}) {
            EXPECT_EQ(readBack.getKeys(name).size(), section->size()) << name;
            for (const auto& [key, value] : *section)
                EXPECT_EQ(readBack.getValue(name, key, "(missing)"), value) << name << " " << key;
        }
    }
    EXPECT_EQ(simConfiguration(layout, 0, "/files/default").getValue("tftp", "directory", ""),
              "/files/default");
    const IniData own = simConfiguration(layout, 1, "/files/default");
    EXPECT_EQ(own.getValue("tftp", "directory", ""), "/srv/own");
    EXPECT_EQ(own.getValue("tftp", "tftp_port", ""), "6969");
}

} // namespace
} // namespace kestrix::test
