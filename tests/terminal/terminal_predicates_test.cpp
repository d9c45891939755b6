#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// The product predicates that hold for a record, by the names other parts
// of the program give their conditions.
std::string productPredicates(const TerminalFields& record) {
    struct Predicate {
        const char* name;
        bool (TerminalFields::*holds)() const;
    } predicates[] = {
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
    for (const Predicate& predicate : predicates)
        if ((record.*predicate.holds)())
            names += std::string(names.empty() ? "" : " ") + predicate.name;
    return names + " A" + std::to_string(record.restartingFirmwareFiles()) + " B" +
           std::to_string(record.firmwareFileKinds()) + " " + record.kindPrefix();
}

TEST(ProductPredicates, EveryProductAndKind) {
    struct Case {
        const char* ident;
        const char* predicates;
    } cases[] = {
        {"TALMO 7000 1 1 PZE 5.52", "g14 g!25 7200|7400|7000 7100|7105|7200|7000 listed !server A0 B1 TCL "},
        {"TALMO 7000 1 1 ET 5.52", "g14 g!25 7200|7400|7000 7100|7105|7200|7000 listed !server A0 B1 TCL "},
        {"TALMO 7000 1 1 ACM 5.52", "g14 g!25 !7000|!7400 listed !server A0 B1 TCL "},
        {"TALMO 7000 1 1 BSM 5.52", "g14 g!25 listed A0 B1 SRV "},
        {"TALMO 7000 1 1 BDE 5.52", "g14 g!25 listed !server A0 B1 TCL "},
        {"TALMO 7000 1 1 MONITOR 2.05", "g14 g!25 listed monitor !server A0 B1 MON "},
        {"TALMO 7400 1 1 PZE 5.52", "g14 g!25 7200|7400|7000 74xx listed !server A0 B1 TCL "},
        {"TALMO 7450 1 1 6.12", "g3567 g!25 74xx !7000|!7400 !server A1 B2 TCL "},
        {"TALMO 7450 1 1 BSM 6.12", "g3567 g!25 74xx !7000|!7400 A1 B2 SRV "},
        {"TALMO 7450 1 1 BSM MONITOR 1.07", "g3567 g!25 74xx !7000|!7400 monitor A1 B2 MON "},
        {"TALMO 7600 1 1 PZE 6.12", "g3567 g!25 74xx !7000|!7400 !server A1 B2 TCL "},
        {"TALMO 7460 1 1 PZE 6.20", "g3567 g67 g!25 74xx !7000|!7400 !server A0 B2 TCL "},
        {"TALMO 7660 1 1 PZE 6.20", "g3567 g67 g!25 74xx !7000|!7400 !server A0 B2 TCL "},
        {"TALMO 9300 1 1 PZE 6.12", "g3567 !7000|!7400 9300 !server A1 B2 TCL "},
        {"TALMO 7100 1 1 PZE 5.52", "7100|7105|7200|7000 !7000|!7400 listed !server A2 B3 TCL "},
        {"TALMO 7105 1 1 PZE 5.52", "7100|7105|7200|7000 !7000|!7400 listed !server A2 B3 TCL "},
        {"TALMO 7200 1 1 PZE 5.52", "7200|7400|7000 7100|7105|7200|7000 !7000|!7400 !server A2 B3 TCL "},
        {"TALMO DCU8eR 1 1 ACM 6.12", "dcu8 g14 g!25 !7000|!7400 listed !server A0 B1 TCL "},
        {"TALMO DCU8eW 1 1 ACM 6.12", "dcu8 g14 g!25 !7000|!7400 listed !server A0 B1 TCL "},
        {"TALMO DCU8 1 1 ACM 5.52", "dcu8 g14 g!25 !7000|!7400 listed !server A0 B1 TCL "},
        {"TALMO DCU4-II 1 1 ACM 5.52", "dcu4 dcu4|40 !7000|!7400 listed !server A2 B3 TCL "},
        {"TALMO DCU40 1 1 ACM 6.20", "dcu4|40 g3567 g67 g!25 !7000|!7400 listed !server A0 B2 TCL "},
        {"TALMO DCU4 1 1 ACM 5.52", "dcu4 dcu4|40 !7000|!7400 listed !server A2 B3 TCL "},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        EXPECT_EQ(productPredicates(record), c.predicates) << c.ident;
    }

    // The DCU8i products are known by code only; they have no platform group.
    for (int code : {product::Dcu8iR, product::Dcu8iW}) {
        TerminalFields record;
        record.ProductType = code;
        record.PlatformGroup = productPlatformGroup(code);
        record.TclKind = tcl_kind::Acm;
        EXPECT_EQ(productPredicates(record), "dcu8 g!25 !7000|!7400 listed !server A0 B1 TCL ") << code;
    }
}

TEST(ProductPredicates, VersionThresholds) {
    struct Case {
        const char* ident;
        bool atLeast612;
        bool level2;
        bool level3;
    } cases[] = {
        {"TALMO 7450 1 1 6a12", true, true, true},        {"TALMO 7450 1 1 6.11", false, true, true},
        {"TALMO 7600 1 1 PZE 6.12", true, true, true},    {"TALMO 7460 1 1 PZE 6a12", true, true, true},
        {"TALMO 7660 1 1 PZE 6.10", false, true, true},   {"TALMO 9300 1 1 PZE 6g12", true, true, true},
        {"TALMO 9300 1 1 PZE 6f12", false, true, true},   {"TALMO 7100 1 1 PZE 6.12", true, true, true},
        {"TALMO 7105 1 1 PZE 6.12", false, true, true}, // only the 7100 of its group
        {"TALMO 7000 1 1 PZE 6.20", false, true, true},   {"TALMO 7000 1 1 PZE 6b06", false, true, false},
        {"TALMO 7000 1 1 PZE 6c06", false, true, true},   {"TALMO 7000 1 1 PZE 5.92", false, true, false},
        {"TALMO 7000 1 1 PZE 5a92", false, false, false},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        EXPECT_EQ(record.isVersionAtLeast612(), c.atLeast612) << c.ident;
        EXPECT_TRUE(record.isVersionLevel(1)) << c.ident;
        EXPECT_EQ(record.isVersionLevel(2), c.level2) << c.ident;
        EXPECT_EQ(record.isVersionLevel(3), c.level3) << c.ident;
        EXPECT_FALSE(record.isVersionLevel(0)) << c.ident;
        EXPECT_FALSE(record.isVersionLevel(4)) << c.ident;
    }
}

TEST(ProductPredicates, EncryptedTcl) {
    struct Case {
        const char* ident;
        bool encrypt;
        bool encrypted;
    } cases[] = {
        {"TALMO 7460 1 1 PZE 5.49", true, true},          {"TALMO 7460 1 1 PZE 5a50", true, false},
        {"TALMO 7460 1 1 PZE 5.50", true, false},         {"TALMO 7460 1 1 PZE 5.52", true, false},
        {"TALMO 7460 1 1 PZE 5a53", true, true},          {"TALMO 7460 1 1 PZE 5.89", true, true},
        {"TALMO 7460 1 1 PZE 5a90", true, false},         {"TALMO 7460 1 1 PZE 5.92", true, false},
        {"TALMO 7460 1 1 PZE 5a93", true, true},          {"TALMO 7460 1 1 PZE 6.20", true, true},
        {"TALMO 7460 1 1 PZE 6.20", false, false},        {"TALMO 7460 1 1 BSM 6.20", true, false},
        {"TALMO 7460 1 1 BSM MONITOR 0.50", true, false},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        record.Encrypt = c.encrypt;
        EXPECT_EQ(record.usesEncryptedTcl(), c.encrypted) << c.ident << " encrypt " << c.encrypt;
    }
}

TEST(ProductPredicates, AuthenticationWirelessLanAndVariants) {
    struct AuthenticationCase {
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

    struct WirelessCase {
        int group;
        const char* netDriver;
        bool wireless;
    } wireless[] = {{1, "wavelan", true}, {1, "wavelan2", false}, {1, "", false}, {2, "wavelan", false}};
    for (const auto& c : wireless) {
        TerminalFields record;
        record.PlatformGroup = c.group;
        record.NetDriver = c.netDriver;
        EXPECT_EQ(record.knownToHaveWirelessLan(), c.wireless) << c.group << " " << c.netDriver;
    }

    struct VariantCase {
        const char* ident;
        bool variant1;
        bool variant2;
    } variants[] = {
        {"TALMO 7450 1 1 tempo 6.12", true, false},  {"TALMO 7460 1 1 tempo 6.20", true, false},
        {"TALMO 7450 1 1 Tempo 6.12", false, false}, {"TALMO 7200 1 1 PZE 5.52", false, true},
        {"TALMO 7000 1 1 PZE 5.52", false, false},
    };
    for (const auto& c : variants) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.ident, "")) << c.ident;
        EXPECT_EQ(record.isVariant(1), c.variant1) << c.ident;
        EXPECT_EQ(record.isVariant(2), c.variant2) << c.ident;
        EXPECT_FALSE(record.isVariant(3)) << c.ident;
    }
}

} // namespace
} // namespace kestrix
