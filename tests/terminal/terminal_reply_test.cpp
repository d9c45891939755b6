#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

// The named values of find and echo replies and what the record takes of them.

namespace kestrix {
namespace {

const std::string kIdent = "TALMO 7460 1 100200 PZE 6.20 ";
const std::string kMonitorIdent = "TALMO 7000 1 100200 MONITOR 2.05 ";

// The IPv6 list as "address/prefix[ dhcp][ radv]" texts.
std::vector<std::string> listed(const TerminalFields& record) {
    std::vector<std::string> entries;
    for (const IPv6AddrEntry& entry : record.IPv6Addresses)
        entries.push_back(entry.Address + "/" + entry.Prefix + (entry.IsDhcp ? " dhcp" : "") +
                          (entry.IsRadv ? " radv" : ""));
    return entries;
}

// The IPv4 settings as "address mask gateway[ dhcp]".
std::string ipv4(const TerminalFields& record) {
    return record.IPv4Addr + " " + record.IPv4Mask + " " + record.IPv4Gateway +
           (record.IPv4Dhcp ? " dhcp" : "");
}

TEST(ParseFindReply, NamedValuesAndTheirForms) {
    TerminalFields record;
    ASSERT_TRUE(record.parseFindReply(kIdent + "DEVID=7 DHCPNAME=talmo-100200 IPv4=192.168.1.20/24 DHCP "
                                               "IPv6=fe80::2/64 LOCAL IPv6=2001:db8::20/64 DHCP "
                                               "IPv6=2001:db8::21/64 RADV ID=0A1B2C3D",
                                      "100200"));
    EXPECT_EQ(record.DeviceId, 7);
    EXPECT_EQ(record.DhcpName, "talmo-100200");
    EXPECT_EQ(ipv4(record), "192.168.1.20 24  dhcp");
    EXPECT_EQ(record.IPv6LinkLocal + "/" + record.IPv6LinkLocalPrefix, "fe80::2/64");
    EXPECT_EQ(listed(record), (std::vector<std::string>{"2001:db8::20/64 dhcp", "2001:db8::21/64 radv"}));
    EXPECT_EQ(record.TerminalId, 0x0A1B2C3Du);

    const std::pair<const char*, const char*> forms[] = {
        {"IPv4=10.0.0.5", "10.0.0.5  "},
        {"IPv4=10.0.0.5/8 DHCPv4", "10.0.0.5 8  dhcp"},
        {"IPv4=10.0.0.5/8 IPv4=10.0.0.6/16", "10.0.0.6 16 "}, // the last one wins
        {"IPv4=10.0.0.5/8 DHCPNAME=talmo", "10.0.0.5 8 "},    // no DHCP flag
    };
    for (const auto& [values, expected] : forms) {
        TerminalFields fresh;
        ASSERT_TRUE(fresh.parseFindReply(kIdent + values, "")) << values;
        EXPECT_EQ(ipv4(fresh), expected) << values;
    }
}

TEST(ParseFindReply, IPv6Chains) {
    const struct {
        const char* values;
        const char* linkLocal;
        std::vector<std::string> addresses;
    } cases[] = {
        {"IPv6=fe80::2 LOCAL", "fe80::2/", {}},
        {"IPv6=2001:db8::1/64 RADV", "/", {"2001:db8::1/64 radv"}},
        // A plain address is followed at once by the next IPv6 value.
        {"IPv6=2001:db8::1/64 IPv6=2001:db8::2/64 IPv6=fe80::2/64 LOCAL",
         "fe80::2/64",
         {"2001:db8::1/64", "2001:db8::2/64"}},
        {"IPv6=2001:db8::1/64 IPv6=2001:db8::2/64 RADV", "/", {"2001:db8::1/64", "2001:db8::2/64 radv"}},
        // An address followed by anything else, or by nothing, is not stored.
        {"IPv6=2001:db8::1/64", "/", {}},
        {"IPv6=2001:db8::1/64 OTHER IPv6=2001:db8::2/64 DHCP", "/", {"2001:db8::2/64 dhcp"}},
        {"IPv6=2001:db8::1/64 DHCPNAME=talmo", "/", {}},
        {"IPv6=2001:db8::1/64 ID=0A1B2C3D", "/", {}},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseFindReply(kIdent + c.values, "")) << c.values;
        EXPECT_EQ(record.IPv6LinkLocal + "/" + record.IPv6LinkLocalPrefix, c.linkLocal) << c.values;
        EXPECT_EQ(listed(record), c.addresses) << c.values;
    }
    // A repeated reply updates the addresses it lists again, keeping their names.
    TerminalFields record;
    ASSERT_TRUE(
        record.parseFindReply(kIdent + "IPv6=2001:db8::1/64 DHCP IPv6=2001:db8::2/64 RADV ID=0A1B2C3D", ""));
    EXPECT_EQ(record.TerminalId, 0x0A1B2C3Du);
    record.IPv6Addresses[0].Name = "talmo.example";
    ASSERT_TRUE(record.parseFindReply(kIdent + "IPv6=2001:db8::1/56 RADV IPv6=2001:db8::3/64 DHCP", ""));
    EXPECT_EQ(listed(record), (std::vector<std::string>{"2001:db8::1/56 radv", "2001:db8::2/64 radv",
                                                        "2001:db8::3/64 dhcp"}));
    EXPECT_EQ(record.IPv6Addresses[0].Name, "talmo.example");
}

// A terminal in its monitor accepts the station until its id changes; the
// application's identification line alone withdraws the acceptance.
TEST(ParseFindReply, SecurityIdAndAuthentication) {
    const struct {
        const std::string& ident;
        std::uint32_t storedId;
        const char* value;
        std::uint32_t id;
        bool authOK;
    } cases[] = {
        {kMonitorIdent, 0x0A1B2C3D, "0a1b2c3d", 0x0A1B2C3D, true},
        {kMonitorIdent, 0x0A1B2C3D, "12345678", 0x12345678, false},
        {kMonitorIdent, 0, "00000000", 0, false},
        {kMonitorIdent, 0, "0A1B2C3D", 0x0A1B2C3D, false},
        // A value that is no security id counts as none.
        {kMonitorIdent, 0x0A1B2C3D, "0A1B2C3D9", 0, false},
        {kMonitorIdent, 0x0A1B2C3D, "xyz", 0, false},
        {kMonitorIdent, 0x0A1B2C3D, "-1", 0, false},
        {kIdent, 0x0A1B2C3D, "0A1B2C3D", 0x0A1B2C3D, false},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        record.TerminalId = c.storedId;
        const std::string reply = c.ident + "ID=" + c.value;
        ASSERT_TRUE(record.parseFindReply(reply, "")) << reply;
        EXPECT_EQ(record.TerminalId, c.id) << reply;
        EXPECT_EQ(record.AuthOK, c.authOK) << reply;
    }
}

TEST(ParseFindReply, AValueWithoutEqualsSignEndsTheReading) {
    const struct {
        const char* values;
        int deviceId;
        const char* dhcpName;
    } cases[] = {
        {"x = y DEVID=3 DHCPNAME=talmo", 3, "talmo"}, // other words are skipped
        {"DEVID 3 DHCPNAME=talmo", -1, ""},
        {"DEVID=3 DHCPNAME", 3, ""},
        {"DEVID=3 DHCPNAME=", 3, ""},
        {"DEVID=abc DHCPNAME=talmo", -1, "talmo"},
        {"DEVID=99999999999 DHCPNAME=talmo", -1, "talmo"},
        {"DHCPNAME='Halle 3' DEVID=12", 12, "Halle 3"},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseFindReply(kIdent + c.values, "")) << c.values;
        EXPECT_EQ(record.DeviceId, c.deviceId) << c.values;
        EXPECT_EQ(record.DhcpName, c.dhcpName) << c.values;
    }
}

TEST(ParseReplies, AnotherTerminalsReplyChangesNothing) {
    TerminalFields known;
    ASSERT_TRUE(known.parseFindReply(kIdent + "DEVID=7 IPv4=192.168.1.20/24 ID=0A1B2C3D", ""));
    for (const char* reply :
         {"TALMO 7460 1 100201 PZE 6.20 DEVID=8 IPv4=10.0.0.1/8 ID=00000000 port=1 auth=NO",
          "TALMO 7000 1 999 MONITOR 1.00 DEVID=8 IPv4=10.0.0.1/8 ID=00000000 port=1 auth=OK",
          "TALMO 7460 1 ? PZE 6.20 DEVID=8", "TALMO 7460 1 100200"}) {
        TerminalFields record = known;
        EXPECT_FALSE(record.parseFindReply(reply, "100200")) << reply;
        EXPECT_FALSE(record.parseEchoReply(reply, "100200")) << reply;
        EXPECT_EQ(record, known) << reply;
    }
}

TEST(ParseEchoReply, FlagsPortAndAcceptance) {
    const struct {
        const std::string& ident;
        bool idBased;
        const char* values;
        const char* expected; // "port passive auth encrypt"
    } cases[] = {
        {kIdent, false, "x y port=4711 connect=passive auth=OK encrypt=YES", "4711 1 1 1"},
        {kIdent, false, "port=65535 connect=passiveX auth=OKAY encrypt=YESS", "65535 1 1 1"},
        {kIdent, false, "connect=active auth=NO encrypt=NO", "1 0 0 0"},
        {kIdent, false, "connect=PASSIVE auth=ok encrypt=yes", "1 0 0 0"},
        {kIdent, false, "", "1 1 0 1"}, // not reported: left as they were
        // No port number: left alone; an empty value or a name without "=" ends the reading.
        {kIdent, false, "port=65536 auth=OK", "1 1 1 1"},
        {kIdent, false, "port=-1 auth=OK", "1 1 1 1"},
        {kIdent, false, "port=\"\" auth=OK", "1 1 0 1"},
        {kIdent, false, "port 4711 auth=OK", "1 1 0 1"},
        {kIdent, false, "auth=OK port=", "1 1 1 1"},
        // A terminal in its monitor accepts every station, unless it authenticates by id.
        {kMonitorIdent, false, "", "1 1 1 1"},
        {kMonitorIdent, true, "", "1 1 0 1"},
        {kMonitorIdent, true, "auth=OK", "1 1 1 1"},
        {kMonitorIdent, false, "auth=NO", "1 1 0 1"},
        {kIdent, true, "auth=OK", "1 1 1 1"},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        record.TclPort = 1;
        record.PassiveConnect = record.Encrypt = true;
        record.AuthOK = true;
        record.IDBasedAuth = c.idBased;
        ASSERT_TRUE(record.parseEchoReply(c.ident + c.values, "")) << c.values;
        EXPECT_EQ(std::to_string(record.TclPort) + " " + std::to_string(record.PassiveConnect) + " " +
                      std::to_string(record.AuthOK) + " " + std::to_string(record.Encrypt),
                  c.expected)
            << c.ident << c.values << " id-based " << c.idBased;
    }
}

// With DHCP every value carries the mark "DHCP: "; the address 0.0.0.0 means
// the terminal has no IPv4 address.
TEST(ParseEchoReply, IPv4SettingsDhcpFormsAndTheAddressZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"addr=192.168.1.20 mask=255.255.255.0 gateway=192.168.1.1",
         "192.168.1.20 255.255.255.0 192.168.1.1"},
        {"addr=DHCP: 10.0.0.5 mask=DHCP: 255.0.0.0 gateway=DHCP: 10.0.0.1",
         "10.0.0.5 255.0.0.0 10.0.0.1 dhcp"},
        // Reading ends at a value without the mark.
        {"addr=DHCP: 10.0.0.5 mask=255.0.0.0 gateway=DHCP: 10.0.0.1", "10.0.0.5 old old dhcp"},
        {"addr=DHCP: 10.0.0.5 mask=DHCP:", "10.0.0.5 old old dhcp"},
        {"addr=DHCP:10.0.0.5", "DHCP:10.0.0.5 old old"}, // no blank after "DHCP:": no mark
        {"addr=0.0.0.0 mask=0.0.0.0 gateway=0.0.0.0", " 0.0.0.0 0.0.0.0"},
        {"addr=DHCP: 0.0.0.0 mask=DHCP: 0.0.0.0 gateway=DHCP: 0.0.0.0", " 0.0.0.0 0.0.0.0 dhcp"},
        {"addr=0.0.0.01", "0.0.0.01 old old"}, // another text is taken as it stands
    };
    for (const auto& [values, expected] : cases) {
        TerminalFields record;
        record.IPv4Addr = record.IPv4Mask = record.IPv4Gateway = "old";
        record.IPv4Dhcp = true;
        ASSERT_TRUE(record.parseEchoReply(kIdent + values, "")) << values;
        EXPECT_EQ(ipv4(record), expected) << values;
    }
}

TEST(ParseEchoReply, SecurityIdIsTakenAndAZeroOrChangedOneWithdrawsTheAcceptance) {
    struct Case {
        std::uint32_t storedId;
        const char* values;
        std::uint32_t id;
        bool authOK;
    } cases[] = {
        {0x0A1B2C3D, "auth=OK ID=0A1B2C3D", 0x0A1B2C3D, true},
        {0x0A1B2C3D, "auth=OK ID=12345678", 0x12345678, false},
        {0, "auth=OK ID=0A1B2C3D", 0x0A1B2C3D, false},
        {0x0A1B2C3D, "auth=OK ID=00000000", 0, false},
        {0x0A1B2C3D, "auth=OK", 0x0A1B2C3D, true}, // no id reported: kept
    };
    for (const auto& c : cases) {
        TerminalFields record;
        record.TerminalId = c.storedId;
        ASSERT_TRUE(record.parseEchoReply(kIdent + c.values, "")) << c.values;
        EXPECT_EQ(record.TerminalId, c.id) << c.values;
        EXPECT_EQ(record.AuthOK, c.authOK) << c.values;
    }
}

} // namespace
} // namespace kestrix
