#include "support/tsv_rows.h"
#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

// Replies: the identification line and what other parts of the program ask of
// the product, kind and version it names; the named values of find and echo
// replies and what the record takes of them.

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

// "code group kind 'name' fw='..' mon='..' icon[ auth]", as products.tsv writes it.
std::string identified(const TerminalFields& record) {
    return std::to_string(record.ProductType) + " " + std::to_string(record.PlatformGroup) + " " +
           std::to_string(record.TclKind) + " '" + record.ProductName + "' fw='" + record.FirmwareVersion +
           "' mon='" + record.MonitorVersion + "' " + std::to_string(record.iconIndex()) +
           (record.AuthOK ? " auth" : "");
}

// The product predicates that hold, by the names other parts of the program
// give their conditions, the platform classes and the kind prefix.
std::string predicates(const TerminalFields& record) {
    const std::pair<const char*, bool (TerminalFields::*)() const> named[] = {
        {"dcu8", &TerminalFields::isDcu8Family},
        {"dcu4", &TerminalFields::isDcu4Family},
        {"dcu4|40", &TerminalFields::hasDcu4Lbus},
        {"g3567", &TerminalFields::negotiatesLinkSpeed},
        {"g67", &TerminalFields::runsLinux},
        {"g14", &TerminalFields::isOldestPlatform},
        {"g!25", &TerminalFields::hasFullSerialChannels},
        {"7200|7400|7000", &TerminalFields::is7200Or7400OrPlain7000},
        {"7100|7105|7200|7000", &TerminalFields::is7100Or7105Or7200OrPlain7000},
        {"74xx", &TerminalFields::is7400Line},
        {"!7000|!7400", &TerminalFields::isOutside7000Line},
        {"listed", &TerminalFields::isListedProduct},
        {"9300", &TerminalFields::is9300},
        {"monitor", &TerminalFields::isMonitorMode},
        {"!server", &TerminalFields::isNotServer},
    };
    std::string names;
    for (const auto& [name, holds] : named)
        if ((record.*holds)())
            names += std::string(name) + " ";
    return names + "A" + std::to_string(record.restartingFirmwareFiles()) + " B" +
           std::to_string(record.firmwareFileKinds()) + " " + record.kindPrefix().substr(0, 3);
}

TEST(ParseIdent, TheLinesOfTheProductTable) {
    auto rows = test::readTsvRows(KESTRIX_PRODUCTS_FILE, 3);
    ASSERT_GE(rows.size(), 50u) << "the known-answer file looks truncated";
    // The word reader's separators and quotes, which the file cannot hold.
    rows.push_back(
        {"TALMO 7000 1 \"100200  \"\tPZE\r\n'5.52'", "1 1 0 'TALMO 7300/7500' fw='5.52' mon='' 3", "-"});
    rows.push_back({"TALMO 7000 1 \"1002\n00\" PZE 5.52", "refused", "-"});
    TerminalFields known;
    ASSERT_TRUE(known.parseIdent("TALMO DCU40 1 100200 ACM 6.20", ""));
    known.AuthOK = true;
    known.DeviceId = 4;
    for (const auto& row : rows) {
        TerminalFields record = row[1] == "refused" ? known : TerminalFields{};
        const bool accepted = record.parseIdent(row[0], "").has_value();
        EXPECT_EQ(accepted, row[1] != "refused") << row[0];
        if (!accepted) {
            EXPECT_EQ(record, known) << row[0];
            continue;
        }
        EXPECT_EQ(record.SerialNumber, "100200") << row[0];
        EXPECT_EQ(identified(record), row[1]) << row[0];
        if (row[2] != "-") {
            EXPECT_EQ(predicates(record), row[2]) << row[0];
        }
    }
    // The DCU8i products are known by code only; they have no platform group.
    for (int code : {product::Dcu8iR, product::Dcu8iW}) {
        TerminalFields record;
        record.ProductType = code;
        record.PlatformGroup = productPlatformGroup(code);
        record.TclKind = tcl_kind::Acm;
        EXPECT_EQ(predicates(record), "dcu8 g!25 !7000|!7400 listed !server A0 B1 TCL") << code;
    }
}

TEST(ParseIdent, SerialNumberExpectedAndWhatFollowsTheVersion) {
    TerminalFields record;
    EXPECT_FALSE(record.parseIdent("TALMO 7000 1 100201 PZE 5.52", "100200"));
    EXPECT_FALSE(record.parseIdent("TALMO 7000 1 10020 PZE 5.52", "100200"));
    EXPECT_EQ(record, TerminalFields{});
    EXPECT_TRUE(record.parseIdent("TALMO 7000 1 1234567890123456 PZE 5.52", ""));
    EXPECT_EQ(record.SerialNumber, "1234567890123456");
    EXPECT_EQ(record.parseIdent("TALMO 7000 1 100200 PZE 5.52 DEVID=3 x", "100200"), " DEVID=3 x");
    EXPECT_EQ(record.parseIdent("TALMO 7450 1 100200 6.12 DEVID=3", ""), " DEVID=3");
    EXPECT_EQ(record.parseIdent("TALMO 7450 1 100200 BSM MONITOR 1.07", ""), "");
}

// One answer of a record to a question of ident_answers.tsv.
std::string answer(const std::vector<std::string>& row) {
    const std::string& question = row[0];
    TerminalFields record;
    if (row[1] != "-") {
        EXPECT_TRUE(record.parseIdent(row[1], "")) << row[1];
    }
    if (question == "reply") {
        const auto rest = record.checkReplyIdent(row[2]);
        return rest ? "'" + *rest + "'" : "refused";
    }
    record.AutoexecKnown = true;
    record.KeyboardFile = "KBD102.COM";
    record.NetDriver = "wavelan";
    record.ReaderDriver = "lsp";
    record.Encrypt = true;
    if (!record.parseIdent(row[2], ""))
        return "line refused";
    EXPECT_TRUE(record.AutoexecKnown) << row[2];
    EXPECT_EQ(record.ReaderDriver.empty(), record.NetDriver.empty()) << row[2];
    std::string words = record.isVersionAtLeast612() ? "612" : "";
    for (int level = 0; level <= 4; ++level)
        words += record.isVersionLevel(level) ? (words.empty() ? "L" : " L") + std::to_string(level) : "";
    std::string variants;
    for (int variant = 1; variant <= 3; ++variant)
        variants += record.isVariant(variant) ? std::to_string(variant) : "";
    if (question == "autoexec")
        return record.KeyboardFile + "|" + record.NetDriver;
    if (question == "levels")
        return words;
    if (question == "tcl")
        return record.usesEncryptedTcl() ? "encrypted" : "plain";
    return variants.empty() ? "-" : variants;
}

TEST(ProductPredicates, TheAnswersOfTheTable) {
    const auto rows = test::readTsvRows(KESTRIX_IDENT_ANSWERS_FILE, 4);
    ASSERT_GE(rows.size(), 50u) << "the known-answer file looks truncated";
    for (const auto& row : rows)
        EXPECT_EQ(answer(row), row[3]) << row[0] << ": " << row[1] << " / " << row[2];
    TerminalFields record; // nor one whose model is no product
    record.SerialNumber = "100200";
    EXPECT_FALSE(record.checkReplyIdent("TALMO 8000 1 100200 reset."));
    ASSERT_TRUE(record.parseIdent("TALMO 7000 1 100200 PZE 5.49", ""));
    EXPECT_FALSE(record.AutoexecKnown);
    EXPECT_FALSE(record.usesEncryptedTcl()) << "a terminal that does not encrypt";
}

TEST(ProductPredicates, AuthenticationAndWirelessLan) {
    const struct {
        bool authOK;
        const char* firmware;
        const char* monitor;
        bool supported;
    } authentication[] = {
        {true, "", "", true},          {false, "", "", false},        {false, "5a50", "", true},
        {false, "5.49", "", false},    {false, "5.49", "2.00", true}, {false, "", "1.99", false},
        {false, "5.49", "2.05", true},
    };
    for (const auto& c : authentication) {
        TerminalFields record;
        record.AuthOK = c.authOK;
        record.FirmwareVersion = c.firmware;
        record.MonitorVersion = c.monitor;
        EXPECT_EQ(record.knownToSupportAuthentication(), c.supported) << c.firmware << "/" << c.monitor;
    }
    const std::tuple<int, const char*, bool> wireless[] = {
        {1, "wavelan", true}, {1, "wavelan2", false}, {1, "", false}, {2, "wavelan", false}};
    for (const auto& [group, netDriver, expected] : wireless) {
        TerminalFields record;
        record.PlatformGroup = group;
        record.NetDriver = netDriver;
        EXPECT_EQ(record.knownToHaveWirelessLan(), expected) << group << " " << netDriver;
    }
}

} // namespace
} // namespace kestrix
