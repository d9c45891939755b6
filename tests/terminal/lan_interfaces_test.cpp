#include "lan/lan_interfaces.h"

#include "support/trace_capture.h"
#include "terminal/lan_interfaces_rows.h"

#include <arpa/inet.h>
#include <clocale>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace kestrix {
namespace {

using test::describe;

constexpr unsigned kRunning = IFF_UP | IFF_RUNNING;

struct Address4 {
    const char* address;
    int prefix;
};

std::uint32_t ipv4(const char* text) {
    return addressFromText(text).value().ipv4NetworkOrder();
}

SystemAdapter adapter(const std::string& name, std::uint32_t index,
                      const std::vector<Address4>& ipv4Addresses,
                      const std::vector<const char*>& ipv6Addresses = {}, unsigned flags = kRunning) {
    SystemAdapter result{name, index, ARPHRD_ETHER, flags, WirelessKind::None, TunnelKind::None, {}, {}};
    for (const Address4& address : ipv4Addresses)
        result.ipv4Addresses.push_back({ipv4(address.address), htonl(~0u << (32 - address.prefix))});
    for (const char* address : ipv6Addresses)
        result.ipv6Addresses.push_back(addressFromText(address).value());
    return result;
}

// An adapter with the addresses 10.0.INDEX.1/24 to 10.0.INDEX.COUNT/24.
SystemAdapter withAddressCount(const std::string& name, std::uint8_t index, std::uint8_t count) {
    SystemAdapter result = adapter(name, index, {});
    for (std::uint8_t host = 1; host <= count; ++host)
        result.ipv4Addresses.push_back(
            {Ip6Address::fromIPv4Bytes(10, 0, index, host).ipv4NetworkOrder(), ipv4("255.255.255.0")});
    return result;
}

TEST(LanInterfacesBuild, RowsFollowTheSystemsAdapters) {
    SystemAdapter loopback = adapter("lo", 1, {{"127.0.0.1", 8}}, {"::1"}, kRunning | IFF_LOOPBACK);
    loopback.hardwareType = ARPHRD_LOOPBACK;
    SystemAdapter tap = adapter("tap0", 4, {{"10.9.9.1", 24}}, {"2001:db8:9::1"});
    tap.tunnel = TunnelKind::TunTap;
    SystemAdapter sit = adapter("sit1", 5, {{"10.8.8.1", 24}}, {"2001:db8:8::1"});
    sit.hardwareType = ARPHRD_SIT;
    SystemAdapter tapWithSharedAddress = adapter("tap1", 1, {{"10.5.0.1", 8}});
    tapWithSharedAddress.tunnel = TunnelKind::TunTap;
    SystemAdapter wireless = adapter("wlan0", 6, {{"172.16.0.2", 12}});
    wireless.wireless = WirelessKind::Ieee80211;
    const struct {
        const char* title;
        std::vector<SystemAdapter> adapters;
        std::vector<std::string> expected;
    } cases[] = {
        {"one row per IPv4 address, each with the adapter's first IPv6 address",
         {adapter("eth0", 2, {{"10.1.1.5", 24}, {"192.168.7.9", 16}}, {"2001:db8::5", "fe80::5"})},
         {"eth0 10.1.1.5 255.255.255.0 10.1.1.255 2 2 '2001:db8::5' up",
          "eth0 192.168.7.9 255.255.0.0 192.168.255.255 2 2 '2001:db8::5' up"}},
        {"IPv6-only adapters follow the IPv4 rows; names match whole",
         {adapter("eth1", 2, {}, {"fe80::1"}), adapter("eth10", 3, {{"10.0.0.1", 8}}, {"fe80::10"})},
         {"eth10 10.0.0.1 255.0.0.0 10.255.255.255 3 3 'fe80::10' up",
          "eth1 none 0.0.0.0 :: 0 2 'fe80::1' up"}},
        {"loopback and non-Ethernet links are left out; a tap adapter (Ethernet) gets its IPv4 row but no "
         "IPv6 data; wireless is taken",
         {loopback, tap, sit, wireless},
         {"tap0 10.9.9.1 255.255.255.0 10.9.9.255 4 0 '' up", "wlan0 172.16.0.2 255.240.0.0 172.31.255.255 6 0 '' up"}},
        {"up means administratively up and running",
         {adapter("nocarrier", 2, {{"10.2.0.1", 32}}, {}, IFF_UP), adapter("off", 3, {}, {"fe80::3"}, 0)},
         {"nocarrier 10.2.0.1 255.255.255.255 10.2.0.1 2 0 '' down",
          "off none 0.0.0.0 :: 0 3 'fe80::3' down"}},
        {"an address on several adapters gets each adapter's own mask",
         {tapWithSharedAddress, adapter("a", 2, {{"10.5.0.1", 16}}), adapter("b", 3, {{"10.5.0.1", 24}})},
         {"tap1 10.5.0.1 255.0.0.0 10.255.255.255 1 0 '' up", "a 10.5.0.1 255.255.0.0 10.5.255.255 2 0 '' up",
          "b 10.5.0.1 255.255.255.0 10.5.0.255 3 0 '' up"}},
        {"a name longer than 65 characters is cut and still matches its IPv6 data",
         {adapter(std::string(70, 'n'), 2, {{"10.6.0.1", 24}}, {"fe80::6"})},
         {std::string(65, 'n') + " 10.6.0.1 255.255.255.0 10.6.0.255 2 2 'fe80::6' up"}},
        // Full while the IPv6 pass adds rows: the adapter that finds no room is
        // left out, later adapters still get their IPv6 data.
        {"a full table",
         {withAddressCount("eight", 2, 8), adapter("six1", 3, {}, {"fe80::31"}),
          adapter("six2", 4, {}, {"fe80::41"}), adapter("last", 5, {{"10.7.0.1", 24}}, {"2001:db8::7"}),
          withAddressCount("more", 6, 3)},
         {"eight 10.0.2.1 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.2 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.3 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.4 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.5 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.6 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.7 255.255.255.0 10.0.2.255 2 0 '' up",
          "eight 10.0.2.8 255.255.255.0 10.0.2.255 2 0 '' up",
          "last 10.7.0.1 255.255.255.0 10.7.0.255 5 5 '2001:db8::7' up",
          "more 10.0.6.1 255.255.255.0 10.0.6.255 6 0 '' up"}},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(describe(LanInterfaces::build({0, testCase.adapters})), testCase.expected)
            << testCase.title;
}

TEST(LanInterfacesBuild, TraceAndIPv6Warnings) {
    test::TraceCapture capture;
    EXPECT_EQ(LanInterfaces::build({EMFILE, {adapter("eth0", 2, {{"10.1.1.5", 24}})}}).count(), 0);
    EXPECT_EQ(capture.text(), "1. Aufruf von GetAdaptersAddresses(AF_INET) failed: 24\n");
    const struct {
        std::vector<SystemAdapter> adapters;
        std::string line; // a line the trace holds
        const char* warning;
    } cases[] = {
        {{adapter("eth0", 2, {{"10.1.1.5", 24}}, {"fe80::5"}), adapter("wl0", 3, {}, {"fe80::6"}, IFF_UP)},
         "LanInterfaces[1]: Friendly name: 'wl0'\n\tIPv4Addr: 'none' (UIPv4Addr: 0)\n\tIPv6Addr: 'fe80::6'\n",
         "Warnung: Der PC besitzt keine globale IPv6 Adresse [2001::...], sondern nur die local link IPv6 "
         "Adresse [fe80::...].\n"},
        {{adapter("eth0", 2, {{"10.1.1.5", 24}})},
         "\tIPv4Addr: '10.1.1.5' (UIPv4Addr: 501010a)\n",
         "Warnung: Der PC besitzt keine IPv6 Adresse.\n"},
        {{adapter("eth0", 2, {{"10.1.1.5", 24}}, {"fe80::5"}), adapter("b", 3, {}, {"2001:db8::1"})},
         "\tIPv4IfIndex: 0, IPv6IfIndex: 3\n\tbUp: 1\n",
         nullptr},
    };
    for (const auto& testCase : cases) {
        capture.clear();
        LanInterfaces::build({0, testCase.adapters});
        EXPECT_TRUE(capture.contains(testCase.line)) << capture.text();
        EXPECT_EQ(capture.contains("Warnung"), testCase.warning != nullptr);
        if (testCase.warning != nullptr) {
            EXPECT_TRUE(capture.contains(testCase.warning));
        }
    }
}

// The program runs in the "C" locale unless its UI library sets the user's;
// both must give whole trace lines and selector texts.
TEST(LanInterfacesFriendlyName, NonAsciiNamesInTheCAndAUtf8Locale) {
    const std::vector<SystemAdapter> adapters = {adapter("br\xc3\xa9\x01", 2, {{"10.1.1.5", 24}})};
    std::string longName;
    for (int i = 0; i < 40; ++i)
        longName += "\xc3\xa9";
    {
        test::TraceCapture capture;
        LanInterfaces::build({0, adapters});
        EXPECT_TRUE(capture.contains("LanInterfaces[0]: Friendly name: 'br?\?'\n"));
        EXPECT_EQ(friendlyNameToLocalText(friendlyNameFromSystemName("eth\xc3\xa9")), "eth?");
    }
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    test::TraceCapture capture;
    LanInterfaces::build({0, adapters});
    EXPECT_TRUE(capture.contains("LanInterfaces[0]: Friendly name: 'br\xc3\xa9?'\n"));
    // 32 whole characters (64 bytes) fit in the 65 bytes, a 33rd does not.
    EXPECT_EQ(friendlyNameToLocalText(friendlyNameFromSystemName(longName)), longName.substr(0, 64));
    std::setlocale(LC_CTYPE, "C");

    // Decoded as UTF-8: each byte of a broken sequence is a replacement character.
    const auto wide = [](const char* name) { return std::wstring(friendlyNameFromSystemName(name).data()); };
    EXPECT_EQ(wide("a\xff"
                   "b"),
              L"a\ufffdb");
    EXPECT_EQ(wide("\xc0\xaf"), L"\ufffd\ufffd");           // overlong form
    EXPECT_EQ(wide("x\xe2\x82"), L"x\ufffd\ufffd");         // cut sequence
    EXPECT_EQ(wide("\xed\xa0\x80"), L"\ufffd\ufffd\ufffd"); // surrogate
    EXPECT_EQ(wide("\xf0\x9f\x98\x80"), L"\U0001F600");
    EXPECT_EQ(friendlyNameToLocalText(friendlyNameFromSystemName("")), "???");
}

TEST(LanInterfacesFind, MatchesUpRowsByIPv4Subnet) {
    const LanInterfaces single = LanInterfaces::build({0, {adapter("eth0", 2, {{"10.1.1.5", 24}})}});
    const LanInterfaces table = LanInterfaces::build(
        {0,
         {adapter("down", 2, {{"10.3.0.1", 16}}, {}, IFF_UP), adapter("eth1", 3, {{"10.3.4.1", 24}}),
          adapter("eth2", 4, {{"10.9.0.1", 16}}), adapter("six", 5, {}, {"fe80::5"})}});
    const struct {
        const LanInterfaces& table;
        const char* address;
        int expected;
    } cases[] = {
        {single, "2001:db8::1", 0}, {single, "192.168.0.1", 0}, {table, "2001:db8::1", -1},
        {table, "10.3.4.77", 1},    {table, "10.3.9.9", -1},    {table, "10.9.200.1", 2},
        {table, "172.16.0.1", -1},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(testCase.table.findLanIfForIPv4(addressFromText(testCase.address).value()),
                  testCase.expected)
            << testCase.address;
}

} // namespace
} // namespace kestrix
