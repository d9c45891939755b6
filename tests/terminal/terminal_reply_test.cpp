#include "support/tsv_rows.h"
#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

// The named values of find and echo replies and what the record takes of them.

namespace kestrix {
namespace {

// The values replies set, as replies.tsv writes them: a word for each that is not as in a fresh record.
std::string described(const TerminalFields& record) {
    std::string text, ipv6;
    const auto add = [&text](bool shown, const std::string& word) {
        if (shown)
            text += (text.empty() ? "" : " ") + word;
    };
    for (const IPv6AddrEntry& entry : record.IPv6Addresses)
        ipv6 += (ipv6.empty() ? "" : ",") + entry.Address + "/" + entry.Prefix + (entry.IsDhcp ? "+dhcp" : "") +
                (entry.IsRadv ? "+radv" : "");
    char id[16];
    std::snprintf(id, sizeof id, "id=%08X", record.TerminalId);
    add(record.DeviceId != -1, "dev=" + std::to_string(record.DeviceId));
    add(!record.DhcpName.empty(), "dhcpname='" + record.DhcpName + "'");
    add(!(record.IPv4Addr + record.IPv4Mask + record.IPv4Gateway).empty() || record.IPv4Dhcp,
        "v4=" + record.IPv4Addr + "|" + record.IPv4Mask + "|" + record.IPv4Gateway + (record.IPv4Dhcp ? "|dhcp" : ""));
    add(!(record.IPv6LinkLocal + record.IPv6LinkLocalPrefix).empty(),
        "ll=" + record.IPv6LinkLocal + "/" + record.IPv6LinkLocalPrefix);
    add(!ipv6.empty(), "v6=" + ipv6);
    add(record.TerminalId != 0, id);
    add(record.AuthOK, "auth");
    add(record.TclPort != 0, "port=" + std::to_string(record.TclPort));
    add(record.PassiveConnect, "passive");
    add(record.Encrypt, "encrypt");
    add(record.IDBasedAuth, "idbased");
    return text.empty() ? "-" : text;
}

// A record as the words of described() give it (those the table's first states use).
TerminalFields recordOf(const std::string& words) {
    TerminalFields record;
    std::istringstream stream(words);
    for (std::string word; stream >> word;) {
        const std::string value = word.substr(word.find('=') + 1);
        if (word.starts_with("id="))
            record.TerminalId = static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
        else if (word.starts_with("port="))
            record.TclPort = static_cast<std::uint16_t>(std::stoi(value));
        else if (word.starts_with("v4=")) {
            record.IPv4Addr = record.IPv4Mask = record.IPv4Gateway = "old";
            record.IPv4Dhcp = true;
        }
        record.AuthOK |= word == "auth";
        record.PassiveConnect |= word == "passive";
        record.Encrypt |= word == "encrypt";
        record.IDBasedAuth |= word == "idbased";
    }
    EXPECT_EQ(words.empty() ? "-" : words, described(record)) << "a first state the test cannot make";
    return record;
}

TEST(ParseReplies, TheRowsOfTheReplyTable) {
    const auto rows = test::readTsvRows(KESTRIX_REPLIES_FILE, 4);
    ASSERT_GE(rows.size(), 55u) << "the known-answer file looks truncated";
    for (const auto& row : rows) {
        TerminalFields record = recordOf(row[1]);
        const bool taken = row[0] == "find" ? record.parseFindReply(row[2], "") : record.parseEchoReply(row[2], "");
        EXPECT_TRUE(taken) << row[2];
        EXPECT_EQ(described(record), row[3]) << row[0] << " " << row[2];
    }
}

// A repeated reply updates the addresses it lists again, keeping their names.
TEST(ParseReplies, ARepeatedFindReplyKeepsTheNamesOfItsAddresses) {
    const std::string ident = "TALMO 7460 1 100200 PZE 6.20 ";
    TerminalFields record;
    ASSERT_TRUE(record.parseFindReply(ident + "IPv6=2001:db8::1/64 DHCP IPv6=2001:db8::2/64 RADV", ""));
    record.IPv6Addresses[0].Name = "talmo.example";
    ASSERT_TRUE(record.parseFindReply(ident + "IPv6=2001:db8::1/56 RADV IPv6=2001:db8::3/64 DHCP", ""));
    EXPECT_EQ(described(record), "v6=2001:db8::1/56+radv,2001:db8::2/64+radv,2001:db8::3/64+dhcp");
    EXPECT_EQ(record.IPv6Addresses[0].Name, "talmo.example");
}

TEST(ParseReplies, AnotherTerminalsReplyChangesNothing) {
    TerminalFields known;
    ASSERT_TRUE(known.parseFindReply("TALMO 7460 1 100200 PZE 6.20 DEVID=7 IPv4=192.168.1.20/24 ID=0A1B2C3D", ""));
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

} // namespace
} // namespace kestrix
