#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// What the identification line put into the record, as one comparable text:
// "code group kind 'name' fw='..' mon='..' icon auth".
std::string identified(const TerminalFields& record) {
    return std::to_string(record.ProductType) + " " + std::to_string(record.PlatformGroup) + " " +
           std::to_string(record.TclKind) + " '" + record.ProductName + "' fw='" + record.FirmwareVersion +
           "' mon='" + record.MonitorVersion + "' " + std::to_string(record.iconIndex()) +
           (record.AuthOK ? " auth" : "");
}

TEST(ParseIdent, EveryProductAndKind) {
    struct Case {
        const char* line;
        const char* expected;
    } cases[] = {
        // The 7000 family names itself by its kind.
        {"TALMO 7000 1 100200 PZE 5.52", "1 1 0 'TALMO 7300/7500' fw='5.52' mon='' 3"},
        {"TALMO 7000 1 100200 ACM 5.52", "1 1 1 'TALMO 7000 ACM' fw='5.52' mon='' 8"},
        {"TALMO 7000 1 100200 ET 5.52", "1 1 2 'TALMO 7300/7500' fw='5.52' mon='' 3"},
        {"TALMO 7000 1 100200 BSM 5.52", "1 1 3 'TALMO 7000 Server' fw='5.52' mon='' 12"},
        {"TALMO 7000 1 100200 BDE 5.52", "1 1 4 'TALMO 7300/7500' fw='5.52' mon='' 3"},
        {"TALMO 7000 1 100200 MONITOR 2.05", "1 1 10 'TALMO 7300/7500' fw='' mon='2.05' 3 auth"},
        {"TALMO 7400 1 100200 PZE 5.90", "5 1 0 'TALMO 7400' fw='5.90' mon='' 4"},
        // A 7450 without a kind word gives its version in that place.
        {"TALMO 7450 1 100200 6.12", "8 3 0 'TALMO 7450' fw='6.12' mon='' 5"},
        {"TALMO 7450 1 100200 MONITOR 1.05", "8 3 10 'TALMO 7450' fw='' mon='1.05' 5 auth"},
        {"TALMO 7450 1 100200 BSM 6.12", "8 3 3 'TALMO 7450 Server' fw='6.12' mon='' 13"},
        {"TALMO 7450 1 100200 BSM MONITOR 1.07", "8 3 11 'TALMO 7450 Server' fw='' mon='1.07' 13 auth"},
        {"TALMO 7450 1 100200 tempo 6.04", "8 3 0 'TALMO 7450-tempo' fw='6.04' mon='' 5"},
        {"TALMO 7450 1 100200 tempo MONITOR 1.05", "8 3 10 'TALMO 7450-tempo' fw='' mon='1.05' 5 auth"},
        {"TALMO 7450 1 100200 ACM 6.04", "8 3 1 'TALMO 7450-ACM' fw='6.04' mon='' 5"},
        {"TALMO 7600 1 100200 PZE 6.12", "9 3 0 'TALMO 7600' fw='6.12' mon='' 6"},
        {"TALMO 7460 1 100200 BSM 6.20", "15 6 3 'TALMO 7460 Server' fw='6.20' mon='' 13"},
        {"TALMO 7460 1 100200 BSM MONITOR 0.50", "15 6 11 'TALMO 7460 Server' fw='' mon='0.50' 13 auth"},
        {"TALMO 7460 1 100200 tempo MONITOR 0.50", "15 6 10 'TALMO 7460-tempo' fw='' mon='0.50' 5 auth"},
        {"TALMO 7460 1 100200 2 6.20", "15 6 0 'TALMO 7460' fw='6.20' mon='' 5"},
        {"TALMO 7660 1 100200 PZE 6.20", "16 6 0 'TALMO 7660' fw='6.20' mon='' 6"},
        {"TALMO 9300 1 100200 PZE 6.12", "12 5 0 'TALMO 9300' fw='6.12' mon='' 7"},
        {"TALMO 9300 1 100200 Kantine 6.12", "12 5 0 'TALMO 9300 Kantine' fw='6.12' mon='' 7"},
        {"TALMO 9300 1 100200 3 6.12", "12 5 0 'TALMO 9300' fw='6.12' mon='' 7"},
        {"TALMO 7100 1 100200 PZE 5.52", "3 2 0 'TALMO 7100' fw='5.52' mon='' 1"},
        {"TALMO 7105 1 100200 PZE 5.52", "13 2 0 'TALMO 7105' fw='5.52' mon='' 1"},
        {"TALMO 7200 1 100200 BDE 5.52", "2 2 4 'TALMO 7200' fw='5.52' mon='' 2"},
        // Prefix order: the longer model text wins over the one it begins with.
        {"TALMO DCU8eR 1 100200 ACM 6.12", "10 4 1 'TALMO DCU8e R' fw='6.12' mon='' 10"},
        {"TALMO DCU8eW 1 100200 ACM 6.12", "11 4 1 'TALMO DCU8e W' fw='6.12' mon='' 11"},
        {"TALMO DCU8 1 100200 ACM 5.52", "6 1 1 'TALMO DCU8' fw='5.52' mon='' 10"},
        {"TALMO DCU8i 1 100200 ACM 5.52", "6 1 1 'TALMO DCU8' fw='5.52' mon='' 10"},
        {"TALMO DCU4-II 1 100200 ACM 5.52", "7 2 1 'TALMO DCU4-II' fw='5.52' mon='' 9"},
        {"TALMO DCU40 1 100200 ACM 6.20", "14 6 1 'TALMO DCU40' fw='6.20' mon='' 9"},
        {"TALMO DCU40 1 100200 ACM MONITOR 0.30", "14 6 10 'TALMO DCU40' fw='' mon='0.30' 9 auth"},
        {"TALMO DCU4 1 100200 ACM 5.52", "4 2 1 'TALMO DCU4' fw='5.52' mon='' 9"},
        // The word reader's separators and quotes.
        {"TALMO 7000 1 \"100200  \"\tPZE\r\n'5.52'", "1 1 0 'TALMO 7300/7500' fw='5.52' mon='' 3"},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        ASSERT_TRUE(record.parseIdent(c.line, "")) << c.line;
        EXPECT_EQ(identified(record), c.expected) << c.line;
        EXPECT_EQ(record.SerialNumber, "100200") << c.line;
    }
}

TEST(ParseIdent, RefusedLinesLeaveTheRecordUnchanged) {
    const char* lines[] = {
        "",
        "TALMO",
        "TALMO 8000 1 100200 PZE 5.52",            // unknown model
        "talmo 7000 1 100200 PZE 5.52",            // the model is compared exactly
        " TALMO 7000 1 100200 PZE 5.52",           // the model begins the line
        "TALMO 7000 1",                            // no serial number
        "TALMO 7000 1 ?100200 PZE 5.52",           // unknown serial number
        "TALMO 7000 1 \"  \" PZE 5.52",            // blank serial number
        "TALMO 7000 1 12345678901234567 PZE 5.52", // longer than 16 characters
        "TALMO 7000 1 \"1002;00\" PZE 5.52",       // ";" cannot stand in a list file
        "TALMO 7000 1 \"1002\n00\" PZE 5.52",      // nor a line break
        "TALMO 7000 1 100200",                     // no kind
        "TALMO 7000 1 100200 \"\" 5.52",           // empty kind
        "TALMO 7000 1 100200 XYZ 5.52",            // unknown kind for a 7000
        "TALMO DCU4 1 100200 tempo 5.52",          // unknown kind for a DCU4
        "TALMO 7000 1 100200 PZE",                 // no version
        "TALMO 7000 1 100200 PZE \"\"",            // empty version
        "TALMO 7000 1 100200 PZE 'unterminated",   // an unterminated word is empty
        "TALMO 7450 1 100200 BSM MONITOR",         // monitor without version
    };
    TerminalFields known;
    ASSERT_TRUE(known.parseIdent("TALMO DCU40 1 100200 ACM 6.20", ""));
    known.AuthOK = true;
    known.DeviceId = 4;
    for (const char* line : lines) {
        TerminalFields record = known;
        EXPECT_FALSE(record.parseIdent(line, "")) << line;
        EXPECT_EQ(record, known) << line;
    }
    TerminalFields record = known;
    EXPECT_FALSE(record.parseIdent("TALMO 7000 1 999999 PZE 5.52", "100200")); // another terminal's reply
    EXPECT_EQ(record, known);
}

TEST(ParseIdent, ExpectedSerialNumberAndLongestSerialNumber) {
    TerminalFields record;
    EXPECT_TRUE(record.parseIdent("TALMO 7000 1 100200 PZE 5.52", "100200"));
    EXPECT_FALSE(record.parseIdent("TALMO 7000 1 100201 PZE 5.52", "100200"));
    EXPECT_FALSE(record.parseIdent("TALMO 7000 1 10020 PZE 5.52", "100200"));
    EXPECT_TRUE(record.parseIdent("TALMO 7000 1 1234567890123456 PZE 5.52", ""));
    EXPECT_EQ(record.SerialNumber, "1234567890123456");
}

TEST(ParseIdent, ReturnsWhatFollowsTheVersion) {
    TerminalFields record;
    EXPECT_EQ(record.parseIdent("TALMO 7000 1 100200 PZE 5.52 DEVID=3 x", ""), " DEVID=3 x");
    EXPECT_EQ(record.parseIdent("TALMO 7450 1 100200 6.12 DEVID=3", ""), " DEVID=3");
    EXPECT_EQ(record.parseIdent("TALMO 7450 1 100200 BSM MONITOR 1.07", ""), "");
}

TEST(ParseIdent, AutoexecInformationByPlatformGroup) {
    struct Case {
        const char* line;
        bool autoexecKnown;
        const char* keyboardFile;
        const char* netDriver;
    } cases[] = {
        // Platform group 1 keeps what autoexec.bat gave.
        {"TALMO 7000 1 100200 PZE 5.52", true, "KBD102.COM", "wavelan"},
        {"TALMO DCU8 1 100200 ACM 5.52", true, "KBD102.COM", "wavelan"},
        {"TALMO 7200 1 100200 PZE 5.52", true, "KEYB.MAP", ""},
        {"TALMO 7450 1 100200 6.12", true, "KEYB.MAP", ""},
        {"TALMO DCU8eR 1 100200 ACM 6.12", true, "KEYB.MAP", ""},
        {"TALMO 9300 1 100200 PZE 6.12", true, "KEYB.MAP", ""},
        {"TALMO 7460 1 100200 BSM 6.20", true, "/talmo/terminal-ui.xml", ""},
    };
    for (const auto& c : cases) {
        TerminalFields record;
        record.AutoexecKnown = true;
        record.KeyboardFile = "KBD102.COM";
        record.NetDriver = "wavelan";
        record.ReaderDriver = "lsp";
        ASSERT_TRUE(record.parseIdent(c.line, "")) << c.line;
        EXPECT_EQ(record.AutoexecKnown, c.autoexecKnown) << c.line;
        EXPECT_EQ(record.KeyboardFile, c.keyboardFile) << c.line;
        EXPECT_EQ(record.NetDriver, c.netDriver) << c.line;
        EXPECT_EQ(record.ReaderDriver.empty(), std::string(c.netDriver).empty()) << c.line;
    }
    TerminalFields fresh;
    ASSERT_TRUE(fresh.parseIdent("TALMO 7000 1 100200 PZE 5.52", ""));
    EXPECT_FALSE(fresh.AutoexecKnown);
}

TEST(CheckReplyIdent, AcceptsOnlyThisTerminalsReplies) {
    TerminalFields dcu4;
    ASSERT_TRUE(dcu4.parseIdent("TALMO DCU4 1 100200 ACM 5.52", ""));
    TerminalFields dcu4II;
    ASSERT_TRUE(dcu4II.parseIdent("TALMO DCU4-II 1 100200 ACM 5.52", ""));
    struct Case {
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
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.record.checkReplyIdent(c.reply), c.rest) << c.reply;

    // A record that knows neither product nor serial number accepts nothing.
    TerminalFields unknown;
    EXPECT_FALSE(unknown.checkReplyIdent("TALMO 8000 1 ? reset."));
    EXPECT_FALSE(unknown.checkReplyIdent("TALMO 8000 1 \"\" reset."));
    // Nor does a reply whose model is no product, whatever the serial number.
    unknown.SerialNumber = "100200";
    EXPECT_FALSE(unknown.checkReplyIdent("TALMO 8000 1 100200 reset."));
}

} // namespace
} // namespace kestrix
