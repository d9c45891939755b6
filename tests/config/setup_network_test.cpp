#include "config/setup_host_channel.h"
#include "config/setup_page_network.h"
#include "setup_page_bed.h"

// The TCP/IP page and the host address and port of channel A: the bytes each
// control writes into a block of 0x5a bytes (every other byte must stay), the
// messages, the version gates and the question when IPv4 is switched off.

namespace kestrix {
namespace {

using test::Change;
using test::PageBed;

NetworkPageValues typedValues() {
    NetworkPageValues v;
    v.ipv4Address = "192.168.5.7", v.ipv4Mask = "255.255.255.0", v.ipv4Router = "192.168.5.1";
    v.ipv6Address = "2001:db8::7", v.ipv6PrefixLength = "64", v.ipv6Router = "fe80::1";
    v.dhcpHostName = "talmo-4711", v.linkSpeedIndex = 3, v.ipv6Stack = true, v.stackOptionBit7 = true;
    return v;
}

// What typedValues() writes up to the prefix length, and after it.
const std::vector<Change> kAddresses{{12, "0705a8c0"}, {16, "0105a8c0"}, {20, "00ffffff"},
    {24, "20010db8000000000000000000000007"}, {40, "fe800000000000000000000000000001"}, {56, "40"}};
const Change kSpeed{58, "04"}, kName{64, "74616c6d6f2d3437313100000000000000000000"};

std::vector<Change> plus(std::vector<Change> changes, const std::vector<Change>& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

struct PutRow {
    const char* name;
    const char* version;
    void (*edit)(NetworkPageValues&);
    bool accepted;
    std::vector<Change> changes;
    std::vector<std::string> messages;
    bool addressChanged = true;
};

TEST(NetworkPage, PutWritesEachControlAndNothingElse) {
    // ip_stack_option keeps bits 2-5 of 0x5a (0x18).
    const PutRow rows[] = {
        {"all controls", "6.20", [](NetworkPageValues&) {}, true, plus(kAddresses, {{57, "99"}, kSpeed, kName}), {}},
        {"6.00 has no stacks", "6.00", [](NetworkPageValues&) {}, true, plus(kAddresses, {kSpeed, kName}), {}},
        {"5.93 has neither name nor speed", "5.93", [](NetworkPageValues& v) { v.dhcpHostName = "a_b"; }, true,
         kAddresses, {}},
        {"texts that do not read keep their bytes", "6.20",
         [](NetworkPageValues& v) {
             v.ipv4Address = "192.168.300.1", v.ipv4Mask = "", v.ipv6Address = "2001:db8::g";
             v.ipv6PrefixLength = "129", v.ipv6Router = "fe80::1%eth0";
         },
         true, {{16, "0105a8c0"}, {20, "00000000"}, {57, "99"}, kSpeed, kName},
         {"Syntax error of IP address or DNS name.", "IPv6 address conversion error", "prefix length conversion error",
          "router IPv6 address conversion error"}, false},
        {"neither stack sets IPv4", "6.10",
         [](NetworkPageValues& v) { v.ipv6Stack = v.ipv4Stack = v.stackOptionBit7 = false, v.stackOptionBit6 = true; },
         true, plus(kAddresses, {{57, "58"}, kSpeed, kName}), {"IP stack selection is missing: IPv4 set."}},
        {"IPv6 alone, empty IPv6 texts are ::", "6.20",
         [](NetworkPageValues& v) { v.ipv4Stack = false, v.ipv6Address = v.ipv6Router = "", v.linkSpeedIndex = -1; },
         true, plus(kAddresses, {{24, std::string(64, '0')}, {57, "9a"}, kName}), {}},
        {"a name is cut at 19 characters", "6.20", [](NetworkPageValues& v) { v.dhcpHostName = std::string(25, 'A'); },
         true, plus(kAddresses, {{57, "99"}, kSpeed, {64, "41414141414141414141414141414141414141" "00"}}), {}},
        {"letters, digits and - only", "6.00", [](NetworkPageValues& v) { v.dhcpHostName = "t\xc3\xa4lmo_1"; }, false,
         kAddresses, {"DHCP host name must consist of alphanumerical characters and the minus sign."}},
    };
    for (const PutRow& row : rows) {
        SCOPED_TRACE(row.name);
        PageBed bed(row.version);
        NetworkPage page(bed.context);
        page.Get(bed.block);
        page.values = typedValues();
        row.edit(page.values);
        EXPECT_EQ(page.Put(bed.block), row.accepted);
        EXPECT_EQ(page.focus(), row.accepted ? NetworkPageControl::None : NetworkPageControl::DhcpHostName);
        test::expectOnlyChanges(bed.block, row.changes);
        EXPECT_EQ(bed.boxes.texts(), row.messages);
        EXPECT_EQ(page.addressChanged(), row.addressChanged);
    }
}

TEST(NetworkPage, GetShowsTheBlock) {
    PageBed bed;
    test::setBytes(bed.block, plus(kAddresses, {{40, std::string(32, '0')}, {57, "c2"}, {58, "06"}, {64, "2d00"}}));
    NetworkPage page(bed.context);
    page.Get(bed.block);
    const NetworkPageValues& v = page.values;
    EXPECT_EQ((std::vector<std::string>{v.ipv4Address, v.ipv4Mask, v.ipv4Router, v.ipv6Address, v.ipv6PrefixLength,
                                        v.ipv6Router, v.dhcpHostName}),
              (std::vector<std::string>{"192.168.5.7", "255.255.255.0", "192.168.5.1", "2001:db8::7", "64", "::", "-"}));
    const std::pair<const char*, std::array<int, 5>> rows[] = {
        // bytes 57-58: IPv4, IPv6, bit 6, bit 7, link speed index
        {"c206", {0, 1, 1, 1, -1}}, {"4301", {1, 1, 1, 0, 0}}, {"0000", {1, 0, 0, 0, -1}}};
    for (const auto& [bytes, shown] : rows) {
        test::setBytes(bed.block, {{57, bytes}});
        page.Get(bed.block);
        EXPECT_EQ((std::array<int, 5>{v.ipv4Stack, v.ipv6Stack, v.stackOptionBit6, v.stackOptionBit7, v.linkSpeedIndex}),
                  shown) << bytes;
    }
}

TEST(NetworkPage, UncheckingIpv4Asks) {
    for (const MessageAnswer answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        PageBed bed;
        NetworkPage page(bed.context);
        page.values.ipv4Stack = false;
        bed.boxes.answers = {answer};
        EXPECT_EQ(page.OnUncheckIpv4(), answer == MessageAnswer::Ok);
        EXPECT_EQ(page.ipv4ControlsEnabled(), answer == MessageAnswer::Cancel);
        EXPECT_EQ(bed.boxes.texts(), std::vector<std::string>{"Kestrix IPv4+IPv6 uses IPv4. With this setting you "
                                                              "will not reach the terminal anymore."});
        EXPECT_EQ(bed.boxes.shown[0].buttons, MessageButtons::OkCancel);
    }
}

TEST(HostChannelSettings, PortRules) {
    const std::string outOfRange = "The value is out of the permitted range.";
    const std::array<std::string, 3> rows[] = {
        // text, bytes 146-147 ("" when they stay), message
        {"3001", "b90b", ""}, {"80", "5000", "Port number 80 is used for http."},
        {"", "b90b", "Default port number 3001 used."}, {"0", "", outOfRange}, {"65536", "", outOfRange},
        {"000080", "", outOfRange}, {"-1", "", outOfRange},
    };
    for (const auto& [text, stored, message] : rows) {
        SCOPED_TRACE(text);
        PageBed bed;
        HostChannelSettings settings(bed.context);
        settings.values = {"::", text};
        settings.Put(bed.block);
        const Change host{88, std::string(32, '0')};
        test::expectOnlyChanges(bed.block, stored.empty() ? std::vector<Change>{host} : std::vector<Change>{host, {146, stored}});
        EXPECT_EQ(bed.boxes.texts(), message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
    }
}

struct HostRow {
    int platformGroup;
    const char* text;
    const char* stored; // bytes 88-103, "" when they stay
    const char* shown;  // what Get shows afterwards, or the message
};

TEST(HostChannelSettings, HostAddressByPlatformGroup) {
    const char* hostError = "host IPv6 address conversion error";
    const HostRow rows[] = {
        {7, "2001:db8::1", "20010db8000000000000000000000001", "2001:db8::1"},
        {7, "192.168.5.1", "00000000000000000000ffffc0a80501", "192.168.5.1"},
        {6, "[fe80::2]", "fe800000000000000000000000000002", "fe80::2"},
        {7, "", "00000000000000000000000000000000", "::"},
        {7, "host.example", "", hostError},
        {3, "10.0.0.2", "00000000000000000000ffff0a000002", "10.0.0.2"},
        {3, "2001:db8::1", "", "Syntax error of IP address or DNS name."},
    };
    for (const HostRow& row : rows) {
        SCOPED_TRACE(row.text);
        PageBed bed("6.20", row.platformGroup);
        HostChannelSettings settings(bed.context);
        settings.values = {row.text, "3001"};
        settings.Put(bed.block);
        const bool stored = *row.stored != '\0';
        test::expectOnlyChanges(bed.block, stored ? std::vector<Change>{{146, "b90b"}, {88, row.stored}}
                                                  : std::vector<Change>{{146, "b90b"}});
        settings.Get(bed.block);
        EXPECT_EQ(stored ? settings.values.hostAddress : bed.boxes.texts().at(0), row.shown);
    }
}

} // namespace
} // namespace kestrix
