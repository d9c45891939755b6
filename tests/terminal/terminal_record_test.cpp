#include "platform/pause.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/normalize_address.h"
#include "terminal/terminal.h"
#include "terminal/version_key.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <net/if.h>
#include <net/if_arp.h>

// The terminal record's own rules: its list-file line, addresses, versions,
// product table, file names and reboot waits. Runs with KESTRIX_TIME_SCALE=0.001
// (set by ctest), so that a 170 s wait lasts 170 ms.

namespace kestrix {
namespace {

// Answers DNS look-ups from a table of address texts and names (the forward
// look-up of a name gives its first address in the table) and records the
// reverse look-ups.
class FakeResolver : public NameResolver {
public:
    explicit FakeResolver(std::map<std::string, std::string> names) : names_(std::move(names)) {}
    std::optional<std::string> IPAddrResolution(const std::string& addressText) const override {
        asked.push_back(addressText);
        auto found = names_.find(addressText);
        return found == names_.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<ResolvedAddress> DNSNameResolution(const std::string& name) const override {
        for (const auto& [addressText, known] : names_)
            if (known == name)
                return ResolvedAddress{addressText, *addressFromText(addressText)};
        return std::nullopt;
    }
    mutable std::vector<std::string> asked;

private:
    std::map<std::string, std::string> names_;
};

TEST(FileLine, SevenFieldsLookingUpMissingNamesOnce) {
    // 192.168.1.30's name leads to another address: it is not taken.
    FakeResolver resolver({{"192.168.1.20", "talmo4.example"},
                           {"2001:db8::20", "talmo6.example"},
                           {"192.168.1.29", "moved.example"},
                           {"192.168.1.30", "moved.example"}});
    TerminalFields record;
    record.setNameResolver(resolver);
    record.SerialNumber = "100200";
    record.IPv4Addr = "192.168.1.20";
    record.HostIfAddr = "192.168.1.10";
    record.IPv6LinkLocal = "fe80::2";
    record.IPv6Addresses = {{"2001:db8::20", "64", true, false, ""}, {"2001:db8::21", "64", false, true, ""}};
    EXPECT_EQ(record.fileLine(),
              "100200;192.168.1.20;192.168.1.10;talmo4.example;2001:db8::20;fe80::2;talmo6.example;");
    EXPECT_EQ(record.IPv6Addresses[1].Name, "");
    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"192.168.1.20", "2001:db8::20"}));
    resolver.asked.clear();
    record.fileLine();
    EXPECT_TRUE(resolver.asked.empty());
    EXPECT_EQ(resolver.lookupConfirmedName("192.168.1.30"), "");

    // Empty fields stay empty; texts that would break the line apart are written empty.
    TerminalFields other;
    other.setNameResolver(resolver);
    EXPECT_EQ(other.fileLine(), ";;;;;;;");
    other.SerialNumber = "100200";
    other.IPv4Addr = "1;2";
    other.IPv4DNSName = "x";
    other.IPv6LinkLocal = "fe80::2\r";
    other.IPv6Addresses = {{"2001:db8::20", "", false, false, "named\n"}};
    EXPECT_EQ(other.fileLine(), "100200;;;x;2001:db8::20;;;");
}

TEST(NormalizeAddress, EveryForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"[2001:db8::1]", "2001:db8::1"},
        {"[2001:db8::1]:57005", "2001:db8::1"},
        {"[fe80::1%2]]", "fe80::1%2]"}, // up to the last "]"
        {"[2001:db8::1", "2001:db8::1"},
        {"[", ""},
        {"::1", "::1"},
        {":anything", ":anything"},
        {"2001:db8::1", "2001:db8::1"},
        {"192.168.1.20", "::ffff:192.168.1.20"},
        {"10.1", "::ffff:10.1"},
        {"10.", ""},
        {"10.x", ""},
        {"10", ""},
        {"3com-host", ""},
        {"FE80::2", "FE80::2"},
        {"fe80-host", ""},
        {"deadbeef.example", ""},
        {"talmo.example", ""},
        {"g::1", ""},
        {"", ""},
        {" 10.0.0.1", ""},
    };
    for (const auto& [text, normalized] : cases)
        EXPECT_EQ(normalizeAddress(text), normalized) << text;
}

TEST(VersionSortKey, KeysOrderAndTheRunningVersion) {
    const std::pair<const char*, const char*> keys[] = {
        {"5.52", "5_52~"}, {"6a12", "6_12a"}, {"6.12.3", "6_12~"}, {"5.5", ""}, {"", ""}};
    for (const auto& [version, key] : keys)
        EXPECT_EQ(versionSortKey(version), key) << version;
    const char* ascending[] = {"",     "5a50", "5.50", "5a52", "5.52", "5a90",
                               "5.92", "6a04", "6.04", "6a12", "6g12"};
    for (std::size_t i = 1; i < std::size(ascending); ++i)
        EXPECT_LT(versionSortKey(ascending[i - 1]), versionSortKey(ascending[i])) << ascending[i];

    TerminalFields record;
    ASSERT_TRUE(record.parseIdent("TALMO 7450 1 100200 BSM MONITOR 1.07", ""));
    record.FirmwareVersion = "6.12"; // left from before: the monitor runs now
    EXPECT_EQ(record.sortVersion(), "1_07~");
    ASSERT_TRUE(record.parseIdent("TALMO 7450 1 100200 6a12", ""));
    record.MonitorVersion = "1.07";
    EXPECT_EQ(record.sortVersion(), "6_12a");
}

TEST(ProductTable, CpuNamesAndProductsNotRecognisedInReplies) {
    const struct {
        int code;
        int subtype;
        CpuNameForm form;
        const char* name;
    } cases[] = {
        {product::Talmo7000, 3, CpuNameForm::Long, "CPU7000"},
        {product::Talmo7600, 0, CpuNameForm::Long, "CPU7450"},
        {product::Talmo7460, 2, CpuNameForm::Long, "CPU7460.2"},
        {product::Talmo7460, 1, CpuNameForm::Short, "CPU7460.1"},
        {product::Dcu40, 1, CpuNameForm::Long, "CPUDCU40.1"},
        {product::Dcu40, 1, CpuNameForm::Short, "CPUDCU40"},
        {product::Dcu40, 2, CpuNameForm::Short, "CPUDCU40.2"},
        {product::Dcu8eW, 0, CpuNameForm::Long, "CPU7ETX"},
        {product::Dcu8iR, 0, CpuNameForm::Long, "CPUDCU8I"},
        {product::Talmo7105, 0, CpuNameForm::Long, "CPU7100"},
        {product::None, 0, CpuNameForm::Long, "?"},
        {19, 0, CpuNameForm::Short, "?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(productCpuName(c.code, c.subtype, c.form), c.name) << c.code << "." << c.subtype;
    EXPECT_EQ(productDisplayName(product::Dcu8iW, tcl_kind::Acm, "ACM"), "TALMO DCU8i W");
    EXPECT_EQ(productIconIndex(product::Dcu8iW, tcl_kind::Acm), 11);
    EXPECT_EQ(productPlatformGroup(product::Dcu8iR), -1);
    EXPECT_EQ(productDisplayName(19, 0, ""), "?");
    // A 7000 is a server by kind 3 alone.
    EXPECT_EQ(productDisplayName(product::Talmo7000, tcl_kind::ServerMonitor, "BSM"), "TALMO 7300/7500");
}

TEST(TerminalPath, ReadAndWriteForms) {
    const struct {
        const char* ident;
        const char* file;
        const char* read;
    } cases[] = {
        {"TALMO 7000 1 100200 PZE 5.52", "talmo.cfg", "C@\\t7000\\talmo.cfg"},
        {"TALMO 7450 1 100200 6.12", "KEYB.MAP", "C@\\t7000\\KEYB.MAP"},
        {"TALMO DCU8eR 1 100200 ACM 6.12", "talmo.cfg", "C@\\t7000\\talmo.cfg"},
        {"TALMO 7460 1 100200 PZE 6.20", "/talmo/terminal-ui.xml", "/talmo/terminal-ui.xml"},
        {"TALMO DCU40 1 100200 ACM 6.20", "talmo.cfg", "talmo.cfg"},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        EXPECT_EQ(record.terminalPath(c.file, TerminalPathForm::Read), c.read) << c.ident;
        EXPECT_EQ(record.terminalPath(c.file, TerminalPathForm::Write), "[100200]" + std::string(c.read))
            << c.ident;
    }
}

TEST(SetLanIf, RowsOfTheTable) {
    SystemAdapter eth0{"eth0", 2, ARPHRD_ETHER, IFF_UP | IFF_RUNNING, WirelessKind::None, TunnelKind::None,
                       {},     {}};
    eth0.ipv4Addresses.push_back({inet_addr("10.1.1.5"), inet_addr("255.255.255.0")});
    SystemAdapter eth1{"eth1", 3, ARPHRD_ETHER, IFF_UP | IFF_RUNNING, WirelessKind::None, TunnelKind::None,
                       {},     {}};
    eth1.ipv6Addresses.push_back(*addressFromText("fe80::3"));
    const LanInterfaces table = LanInterfaces::build({0, {eth0, eth1}});
    const std::tuple<int, int, const char*> cases[] = {
        {0, 0, "10.1.1.5"}, {1, 1, "none"}, {-1, -1, ""}, {2, -1, ""}, {-7, -1, ""}};
    for (const auto& [index, lanIfIndex, hostIfAddr] : cases) {
        TerminalFields record;
        record.LanIfIndex = 5;
        record.HostIfAddr = "192.168.9.9";
        record.setLanIf(index, table);
        EXPECT_EQ(record.LanIfIndex, lanIfIndex) << index;
        EXPECT_EQ(record.HostIfAddr, hostIfAddr) << index;
    }
}

TEST(WaitOnReboot, WaitsByPlatformGroupAndWait) {
    ASSERT_LT(timeScale(), 0.01) << "run with KESTRIX_TIME_SCALE=0.001 (as ctest does)";
    const std::tuple<int, RebootWait, unsigned> cases[] = {
        {4, RebootWait::VeryLong, 40000},  {4, RebootWait::Normal, 40000},  {1, RebootWait::VeryLong, 6000},
        {2, RebootWait::Long, 6000},       {5, RebootWait::VeryLong, 6000}, {-1, RebootWait::Normal, 6000},
        {6, RebootWait::VeryLong, 170000}, {6, RebootWait::Long, 60000},    {7, RebootWait::Normal, 40000},
    };
    for (const auto& [group, wait, milliseconds] : cases) {
        test::TraceCapture capture;
        TerminalFields record;
        record.PlatformGroup = group;
        const auto start = std::chrono::steady_clock::now();
        record.waitOnReboot(wait);
        EXPECT_GE(std::chrono::steady_clock::now() - start, scaledPause(static_cast<int>(milliseconds)))
            << group;
        EXPECT_EQ(capture.text(), "Terminal::waitOnReboot(): sleep() für " + std::to_string(milliseconds) +
                                      " Millisekunden, um Reboot abzuwarten\n")
            << group;
    }
}

} // namespace
} // namespace kestrix
