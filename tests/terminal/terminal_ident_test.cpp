#include "support/tsv_rows.h"
#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

// The identification line of a reply and what other parts of the program ask
// of the product, kind and version it names.

namespace kestrix {
namespace {

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

// Platform group 1 keeps what autoexec.bat gave; the others have fixed keyboard files.
TEST(ParseIdent, AutoexecInformationByPlatformGroup) {
    const std::pair<const char*, const char*> cases[] = {
        {"TALMO 7000 1 100200 PZE 5.52", "KBD102.COM wavelan"},
        {"TALMO DCU8 1 100200 ACM 5.52", "KBD102.COM wavelan"},
        {"TALMO 7200 1 100200 PZE 5.52", "KEYB.MAP "},
        {"TALMO 7450 1 100200 6.12", "KEYB.MAP "},
        {"TALMO DCU8eR 1 100200 ACM 6.12", "KEYB.MAP "},
        {"TALMO 9300 1 100200 PZE 6.12", "KEYB.MAP "},
        {"TALMO 7460 1 100200 BSM 6.20", "/talmo/terminal-ui.xml "},
    };
    for (const auto& [line, files] : cases) {
        TerminalFields record;
        record.AutoexecKnown = true;
        record.KeyboardFile = "KBD102.COM";
        record.NetDriver = "wavelan";
        record.ReaderDriver = "lsp";
        ASSERT_TRUE(record.parseIdent(line, "")) << line;
        EXPECT_TRUE(record.AutoexecKnown) << line;
        EXPECT_EQ(record.KeyboardFile + " " + record.NetDriver, files) << line;
        EXPECT_EQ(record.ReaderDriver.empty(), record.NetDriver.empty()) << line;
    }
    TerminalFields fresh;
    ASSERT_TRUE(fresh.parseIdent("TALMO 7000 1 100200 PZE 5.52", ""));
    EXPECT_FALSE(fresh.AutoexecKnown);
}

TEST(CheckReplyIdent, AcceptsOnlyThisTerminalsReplies) {
    TerminalFields dcu4, dcu4II, unknown;
    ASSERT_TRUE(dcu4.parseIdent("TALMO DCU4 1 100200 ACM 5.52", ""));
    ASSERT_TRUE(dcu4II.parseIdent("TALMO DCU4-II 1 100200 ACM 5.52", ""));
    const struct {
        const TerminalFields& record;
        const char* reply;
        std::optional<std::string> rest;
    } cases[] = {
        {dcu4, "TALMO DCU4 1 100200 reset.", " reset."},
        {dcu4, "TALMO DCU4-II 1 100200 reset.", " reset."}, // DCU4 and DCU4-II count as one
        {dcu4II, "TALMO DCU4 1 100200 reset.", " reset."},
        {dcu4, "TALMO DCU4 1 \"100200 \" reset.", " reset."},
        {dcu4, "TALMO DCU4 1 100200", ""},
        {dcu4, "TALMO DCU40 1 100200 reset.", std::nullopt}, // another product
        {dcu4, "TALMO 7000 1 100200 reset.", std::nullopt},
        {dcu4, "TALMO DCU4 1 100201 reset.", std::nullopt}, // another terminal
        {dcu4, "TALMO DCU4 1 ?100200 reset.", std::nullopt},
        {dcu4, "TALMO DCU4 1", std::nullopt},
        {dcu4, "TALMO 8000 1 100200 reset.", std::nullopt},
        // A record that knows neither product nor serial number accepts nothing.
        {unknown, "TALMO 8000 1 ? reset.", std::nullopt},
        {unknown, "TALMO 8000 1 \"\" reset.", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.record.checkReplyIdent(c.reply), c.rest) << c.reply;
    unknown.SerialNumber = "100200"; // nor one whose model is no product
    EXPECT_FALSE(unknown.checkReplyIdent("TALMO 8000 1 100200 reset."));
}

TEST(ProductPredicates, VersionThresholdsAndEncryptedTcl) {
    const struct {
        const char* ident;
        bool atLeast612, level2, level3;
    } levels[] = {
        {"TALMO 7450 1 1 6a12", true, true, true},        {"TALMO 7450 1 1 6.11", false, true, true},
        {"TALMO 7600 1 1 PZE 6.12", true, true, true},    {"TALMO 7460 1 1 PZE 6a12", true, true, true},
        {"TALMO 7660 1 1 PZE 6.10", false, true, true},   {"TALMO 9300 1 1 PZE 6g12", true, true, true},
        {"TALMO 9300 1 1 PZE 6f12", false, true, true},   {"TALMO 7100 1 1 PZE 6.12", true, true, true},
        {"TALMO 7105 1 1 PZE 6.12", false, true, true}, // only the 7100 of its group
        {"TALMO 7000 1 1 PZE 6.20", false, true, true},   {"TALMO 7000 1 1 PZE 6b06", false, true, false},
        {"TALMO 7000 1 1 PZE 6c06", false, true, true},   {"TALMO 7000 1 1 PZE 5.92", false, true, false},
        {"TALMO 7000 1 1 PZE 5a92", false, false, false},
    };
    for (const auto& c : levels) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        EXPECT_EQ(record.isVersionAtLeast612(), c.atLeast612) << c.ident;
        EXPECT_EQ(
            std::vector<bool>({record.isVersionLevel(0), record.isVersionLevel(1), record.isVersionLevel(2),
                               record.isVersionLevel(3), record.isVersionLevel(4)}),
            std::vector<bool>({false, true, c.level2, c.level3, false}))
            << c.ident;
    }
    // Encrypted but for the versions 5a50-5.52 and 5a90-5.92, and never for a server or monitor.
    const struct {
        const char* ident;
        bool encrypt, encrypted;
    } tcl[] = {
        {"TALMO 7460 1 1 PZE 5.49", true, true},          {"TALMO 7460 1 1 PZE 5a50", true, false},
        {"TALMO 7460 1 1 PZE 5.50", true, false},         {"TALMO 7460 1 1 PZE 5.52", true, false},
        {"TALMO 7460 1 1 PZE 5a53", true, true},          {"TALMO 7460 1 1 PZE 5.89", true, true},
        {"TALMO 7460 1 1 PZE 5a90", true, false},         {"TALMO 7460 1 1 PZE 5.92", true, false},
        {"TALMO 7460 1 1 PZE 5a93", true, true},          {"TALMO 7460 1 1 PZE 6.20", true, true},
        {"TALMO 7460 1 1 PZE 6.20", false, false},        {"TALMO 7460 1 1 BSM 6.20", true, false},
        {"TALMO 7460 1 1 BSM MONITOR 0.50", true, false},
    };
    for (const auto& c : tcl) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        record.Encrypt = c.encrypt;
        EXPECT_EQ(record.usesEncryptedTcl(), c.encrypted) << c.ident << " encrypt " << c.encrypt;
    }
}

TEST(ProductPredicates, AuthenticationWirelessLanAndVariants) {
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
    const std::tuple<const char*, bool, bool> variants[] = {
        {"TALMO 7450 1 1 tempo 6.12", true, false},  {"TALMO 7460 1 1 tempo 6.20", true, false},
        {"TALMO 7450 1 1 Tempo 6.12", false, false}, {"TALMO 7200 1 1 PZE 5.52", false, true},
        {"TALMO 7000 1 1 PZE 5.52", false, false},
    };
    for (const auto& [ident, variant1, variant2] : variants) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(ident, "")) << ident;
        EXPECT_EQ(record.isVariant(1), variant1) << ident;
        EXPECT_EQ(record.isVariant(2), variant2) << ident;
        EXPECT_FALSE(record.isVariant(3)) << ident;
    }
}

} // namespace
} // namespace kestrix
