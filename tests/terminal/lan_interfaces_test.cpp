#include "lan/lan_interfaces.h"

#include "support/trace_capture.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/mount.h>
#include <thread>

// The LAN interface table, built from adapter lists the tests make and, in a
// network namespace of its own (tests/support/in-netns, as root), from the system's.

namespace kestrix {
namespace {

// The table's rows as "name IPv4Addr mask broadcast IPv4IfIndex IPv6IfIndex 'IPv6Addr' up|down".
std::vector<std::string> describe(const LanInterfaces& table) {
    std::vector<std::string> rows;
    for (const LanInterface& entry : table.entries())
        rows.push_back(friendlyNameToLocalText(entry.FriendlyName) + " " + entry.IPv4Addr.data() + " " +
                       ipv4ToText(entry.UIPv4MaskAddr) + " " +
                       addressToText(entry.UIPv4BroadcastAddr_AsIPv6, MappedForm::DottedOnly) + " " +
                       std::to_string(entry.IPv4IfIndex) + " " + std::to_string(entry.IPv6IfIndex) + " '" +
                       entry.IPv6Addr.data() + "' " + (entry.bUp ? "up" : "down"));
    return rows;
}

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

// The warnings about missing IPv6 addresses are checked against the system's own table.
TEST(LanInterfacesBuild, AFailedEnumerationGivesAnEmptyTable) {
    test::TraceCapture capture;
    EXPECT_EQ(LanInterfaces::build({EMFILE, {adapter("eth0", 2, {{"10.1.1.5", 24}})}}).count(), 0);
    EXPECT_EQ(capture.text(), "1. Aufruf von GetAdaptersAddresses(AF_INET) failed: 24\n");
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

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void setIPv6(const char* setting, const char* value) {
    for (const char* scope : {"all", "default"})
        std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + scope + "/" + setting) << value;
}

std::string index(const char* name) {
    return std::to_string(if_nametoindex(name));
}

// kxa: a bridge with carrier (its veth port's peer is up) and two IPv4
// addresses; kxb: up without carrier (its port's peer is down), IPv6 only;
// kxc: down; kxt: a tap device, left out of the IPv6 pass as lo is. No
// interface makes link-local addresses of its own.
TEST(LanInterfacesInNamespace, TableAndWarningsFollowTheSystem) {
    // sysfs shows the namespace it was mounted in: one for ours, in a mount namespace of our own.
    ASSERT_EQ(unshare(CLONE_NEWNS), 0) << std::strerror(errno);
    ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << std::strerror(errno);
    umount2("/sys", MNT_DETACH);
    ASSERT_EQ(mount("sysfs", "/sys", "sysfs", 0, nullptr), 0) << std::strerror(errno);
    setIPv6("addr_gen_mode", "1");
    run("ip link add kxa type bridge && ip link add kxa-p type veth peer name kxa-q && ip link set kxa-p "
        "master kxa"
        " && ip addr add 10.77.1.1/24 dev kxa && ip addr add 10.77.2.1/16 dev kxa label kxa:two"
        " && ip addr add fe80::a/64 dev kxa nodad && ip link set kxa up && ip link set kxa-p up"
        " && ip link set kxa-q up");
    run("ip link add kxb type bridge && ip link add kxb-p type veth peer name kxb-q && ip link set kxb-p "
        "master kxb"
        " && ip link set kxb-p up && ip link set kxb up && ip addr add 2001:db8:77::1/64 dev kxb nodad");
    run("ip link add kxc type bridge && ip addr add 10.77.3.1/24 dev kxc");
    run("ip tuntap add dev kxt mode tap && ip addr add fe80::7/64 dev kxt nodad && ip link set kxt up");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (LanInterfaces table; table.count() == 0 || !table.entries()[0].bUp;
         table = LanInterfaces::enumerate()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "kxa has no carrier";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    const std::string a = index("kxa"), b = index("kxb"), c = index("kxc");
    test::TraceCapture trace;
    enumerateLanInterfaces();
    EXPECT_EQ(
        describe(lanInterfaces()),
        (std::vector<std::string>{"kxa 10.77.1.1 255.255.255.0 10.77.1.255 " + a + " " + a + " 'fe80::a' up",
                                  "kxa 10.77.2.1 255.255.0.0 10.77.255.255 " + a + " " + a + " 'fe80::a' up",
                                  "kxc 10.77.3.1 255.255.255.0 10.77.3.255 " + c + " 0 '' down",
                                  "kxb none 0.0.0.0 :: 0 " + b + " '2001:db8:77::1' down"}));
    EXPECT_TRUE(trace.contains("Anzahl LanInterfaces: 4\nLanInterfaces[0]: Friendly name: 'kxa'\n"));
    EXPECT_FALSE(trace.contains("Warnung"));

    run("ip -6 addr flush dev kxb scope global");
    trace.clear();
    EXPECT_EQ(LanInterfaces::enumerate().count(), 3);
    EXPECT_TRUE(trace.contains("Warnung: Der PC besitzt keine globale IPv6 Adresse"));
    setIPv6("disable_ipv6", "1");
    trace.clear();
    EXPECT_EQ(describe(LanInterfaces::enumerate()).at(0),
              "kxa 10.77.1.1 255.255.255.0 10.77.1.255 " + a + " 0 '' up");
    EXPECT_TRUE(trace.contains("Warnung: Der PC besitzt keine IPv6 Adresse.\n"));
}

} // namespace
} // namespace kestrix
