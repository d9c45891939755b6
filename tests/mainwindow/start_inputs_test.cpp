#include "mainwindow/command_line.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/recording_view.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/message_table_text.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "support/tsv_rows.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <unistd.h>

// What the program reads at its start: the command line, the trace file and
// the settings file of its start directory, and the bilingual message table
// (the texts whose wording is fixed, the reading of the table's text, and the
// choice of the language by the user's locale).

namespace kestrix {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, SwitchesAreTokensBeginningWithTheirLetter) {
    using enum StartWarning;
    using enum AddingMode;
    const std::tuple<const char*, StartWarning, AddingMode> cases[] = {
        {"", Show, Normal},
        {"-e", Suppressed, Normal},
        {"-a", Show, Alternative},
        {"  -a\t-e ", Suppressed, Alternative},
        {"-exit", Suppressed, Normal},
        {"-alternativ", Show, Alternative},
        {"\"-e\" '-a'", Suppressed, Alternative},
        {"\"x -e\"", Show, Normal},          // one quoted token that begins with x
        {"'it''s -a'", Show, Normal},        // a doubled quote stays inside the token
        {"x=-a", Show, Alternative},         // "=" is a token of its own
        {"x-e -E -A e a --e", Show, Normal}, // the switches are lower case and lead their token
        {"\"-e", Show, Normal},              // an unclosed quote swallows the rest
    };
    for (const auto& [commandLine, warning, adding] : cases)
        EXPECT_EQ(parseCommandLine(std::string(commandLine)), (CommandLineSwitches{warning, adding}))
            << commandLine;
    // Arguments are joined: one with a blank becomes two tokens, as on the program's own command line.
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{}), CommandLineSwitches{});
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{"-e", "list -a"}),
              (CommandLineSwitches{Suppressed, Alternative}));
}

// The trace file of a start directory: none without the file; the German
// warning for one that cannot be rewritten (the product line and the English
// warning: main_dialog_startup_test).
TEST(TraceFile, IsOpenedOnlyWhenItExistsAndCanBeRewritten) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-trace-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    const fs::path file = directory / "KestrixTrace.txt";
    EXPECT_EQ(openTraceFile(directory.string(), CToolBoxLang(1033)).state, TraceFileState::Off);
    trace("nothing %d\n", 1);
    EXPECT_FALSE(fs::exists(file));
    fs::create_directory(file); // can be opened for reading but not rewritten
    const TraceFileOutcome opening = openTraceFile(directory.string(), CToolBoxLang(1031));
    EXPECT_EQ(opening.state, TraceFileState::NotWritable);
    EXPECT_EQ(opening.warning, "Die Tracedatei " + file.string() + " kann nicht beschrieben werden.");
    EXPECT_FALSE(traceOn());

    // The start directory is the current directory at start.
    const auto previous = fs::current_path();
    fs::current_path(directory);
    ASSERT_TRUE(initStartDirectory());
    fs::current_path(previous);
    EXPECT_EQ(startDirectoryFile("Kestrix.ini"), (directory / "Kestrix.ini").string());
    fs::remove_all(directory);
}

// Where the files, the settings and the pages come from: the current folder
// for a program that is not installed or a folder with Kestrix.ini, else the
// per-user folder of XDG_CONFIG_HOME (only an absolute one) or HOME, for the
// command line only its settings. The installed program's pages stay in its
// data folder. (The installed programs themselves: tests/packaging.)
TEST(StartDirectory, InstalledProgramUsesThePerUserFolderUnlessStartedWhereKestrixIniIs) {
    using enum StartLayout;
    using enum StartUse;
    const std::string site = "/srv/site", pages = "/usr/share/kestrix", user = "/home/t/.config/kestrix";
    const std::tuple<StartUse, bool, std::string, std::string, StartFolders> cases[] = {
        // use, Kestrix.ini in current, installed pages, per-user folder -> folders
        {Window, false, "", user, {CurrentFolder, site, site, site}},
        {Window, true, "", user, {CurrentFolder, site, site, site}},
        {Window, true, pages, user, {CurrentFolder, site, site, pages}},
        {Window, false, pages, user, {PerUser, user, user, pages}},
        {CommandLine, false, pages, user, {PerUser, site, user, pages}},
        {CommandLine, true, pages, user, {CurrentFolder, site, site, pages}},
        {Window, false, pages, "", {CurrentFolder, site, site, pages}},
    };
    for (const auto& [use, settingsFile, installed, perUser, want] : cases) {
        const StartFolders got = chooseStartFolders(use, site, settingsFile, installed, perUser);
        EXPECT_EQ(std::tie(got.layout, got.files, got.settings, got.pages),
                  std::tie(want.layout, want.files, want.settings, want.pages))
            << (use == Window) << settingsFile << " " << installed << " " << perUser;
    }
    const std::tuple<const char*, const char*, std::string> homes[] = {
        {"/x/conf/", "/home/t", "/x/conf/kestrix"},
        {nullptr, "/home/t", "/home/t/.config/kestrix"},
        {"", "/home/t", "/home/t/.config/kestrix"},
        {"conf", "/home/t", "/home/t/.config/kestrix"}, // a relative XDG_CONFIG_HOME is ignored
        {"conf", nullptr, ""},
        {nullptr, "home", ""},
    };
    for (const auto& [configHome, home, want] : homes)
        EXPECT_EQ(perUserFolder(configHome, home), want) << (configHome ? configHome : "-");
}

// The window's per-user folder is made for its user alone and gets the
// installed test programs once; the user's own are never replaced.
TEST(StartDirectory, PerUserFolderIsMadePrivateWithTheTestPrograms) {
    const fs::path scratch = fs::temp_directory_path() / ("kestrix-user-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch / "pages/TCLTests");
    std::ofstream(scratch / "pages/TCLTests/version.tcl") << "installed\n";
    const StartFolders folders{StartLayout::PerUser, (scratch / "config/kestrix").string(),
                               (scratch / "config/kestrix").string(), (scratch / "pages").string()};
    std::error_code error;
    ASSERT_TRUE(preparePerUserFolder(folders, error)) << error.message();
    EXPECT_EQ(fs::status(folders.files).permissions(), fs::perms::owner_all);
    std::ofstream(folders.files + "/TCLTests/version.tcl") << "changed\n";
    ASSERT_TRUE(preparePerUserFolder(folders, error));
    std::ifstream copy(folders.files + "/TCLTests/version.tcl");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "changed\n");
    fs::remove_all(scratch);
}

struct SettingsCase {
    std::optional<std::string> content; // nothing: no file
    TftpPortRange ports;
    std::string box = ""; // the one message box shown, or none
    ListPresentation list = {};
    SettingsResult result = SettingsResult::Read;
};

TEST(SettingsFile, ValuesAreCheckedAndTakenExactly) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-settings-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string file = (directory / kSettingsFileName).string();
    using enum SortOrder;
    using enum GroupFilter;
    using enum HostNameDisplay;
    using enum AddressForm;
    const char* const ports =
        "The definition of port numbers for TFTP in INI file is incorrect and will not be used.";
    const SettingsCase cases[] = {
        {std::nullopt, {0, 0}},
        {"[TFTP]\nminPort=2000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=2000\nmaxPort=\n", {0, 0}, ports},
        {"[TFTP]\nmaxPort=2000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=1000\nmaxPort=2000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=-2000\nmaxPort=3000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=3000\nmaxPort=2000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=2000\nmaxPort=70000\n", {0, 0}, ports},
        {"[TFTP]\nminPort=2000\nmaxPort=99999999999999999999\n", {0, 0}, ports},
        {"[TFTP]\nminPort=2000\nmaxPort=3000\n", {2000, 3000}},
        {"[TFTP]\nmaxPort=1024\nminPort=1024\n", {1024, 1024}},
        {"[TFTP]\nminPort=abc\nmaxPort=abc\n", {0, 0}},
        {"[TFTP]\nminPort=2500x\nmaxPort=+3000\n", {2500, 3000}},
        {"[TFTP]\nport=5\n[tftp]\nminPort=2000\n", {0, 0}},
        {"[Terminallist]\nOrder=SERIALNO\n", {0, 0}, "", {SerialNumber, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=IPADDR\n", {0, 0}, "", {IPAddress, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=DNSNAME\n", {0, 0}, "", {DNSName, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=FIRMWARE\nAdd=MAINTGRP\nShowHostname=SHORT\nShowIPAddr=IPV6\n",
         {0, 0},
         "",
         {Firmware, CurrentGroupOnly, Short, IPv6}},
        {"[Terminallist]\nOrder=PRODUCT\nAdd=ALL\nShowHostname=FQDN\nShowIPAddr=MIXED\n", {0, 0}},
        {"[Terminallist]\nOrder=serialno\nAdd=maintgrp\nShowHostname=short\nShowIPAddr=IPv6\n", {0, 0}},
        {"[Terminallist]\nOrder=2\norder=SERIALNO\n", {0, 0}},
        // A key given twice: the parser's text, and nothing of the file is used.
        {"[TFTP]\nminPort=2000\nmaxPort=3000\n[Terminallist]\nOrder=SERIALNO\nOrder=IPADDR\n",
         {0, 0},
         "double definition of Order in section Terminallist in file " + file,
         {},
         SettingsResult::Malformed},
    };
    const CToolBoxLang english(1033);
    for (const SettingsCase& entry : cases) {
        SCOPED_TRACE(entry.content.value_or("no file"));
        fs::remove(file);
        if (entry.content)
            std::ofstream(file) << *entry.content;
        setTftpPortRange({4000, 5000}); // left from an earlier start
        test::RecordingMessageBoxes boxes;
        ProgramSettings settings;
        EXPECT_EQ(GetIniFile(file, english, boxes, settings), entry.result);
        EXPECT_EQ(settings.list, entry.list);
        EXPECT_EQ(settings.tftpPorts.minPort, entry.ports.minPort);
        EXPECT_EQ(settings.tftpPorts.maxPort, entry.ports.maxPort);
        EXPECT_EQ(tftpPortRange().minPort, entry.ports.minPort);
        EXPECT_EQ(tftpPortRange().maxPort, entry.ports.maxPort);
        EXPECT_EQ(boxes.texts(),
                  entry.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{entry.box});
        for (const MessageBoxRequest& box : boxes.shown)
            EXPECT_EQ(box.icon,
                      entry.result == SettingsResult::Read ? MessageIcon::Exclamation : MessageIcon::Error);
    }
    fs::remove_all(directory);
    setTftpPortRange({});
}

// quoted_messages.tsv: id, German, English; an empty field is a language whose wording is free.
TEST(MessageTable, FixedTextsAreExactInBothLanguagesAndEveryIdHasBoth) {
    const CToolBoxLang german(1031), english(1033);
    const auto rows = test::readTsvRows(KESTRIX_FIXED_MESSAGES_FILE, 3);
    ASSERT_GE(rows.size(), 140u) << "the known-answer file looks truncated";
    for (const auto& row : rows) {
        const int id = std::stoi(row[0]);
        const auto germanText = decodeMessageText(row[1]), englishText = decodeMessageText(row[2]);
        ASSERT_TRUE(germanText && englishText) << "bad text of id " << id;
        if (!germanText->empty()) {
            EXPECT_EQ(german.GetText(id), *germanText) << "German text of id " << id;
        }
        if (!englishText->empty()) {
            EXPECT_EQ(english.GetText(id), *englishText) << "English text of id " << id;
        }
    }
    ASSERT_EQ(readMessageTable(messageTableText(), kMessageCount).entries.size(), 582u);
    for (int id = 0; id < kMessageCount; ++id) {
        EXPECT_NE(german.GetText(id), "???") << id;
        EXPECT_NE(english.GetText(id), "???") << id;
    }
    for (const int id : {-1, 582, INT_MIN, INT_MAX})
        EXPECT_EQ(german.GetText(id), "???") << id;
}

TEST(MessageTable, ReadsEntriesAndDecodesEscapes) {
    const MessageTableReading reading = readMessageTable("0\tZeile 1\\nZeile 2\tline 1\\r\\nline 2\n"
                                                         "1\ta\\tb\tc:\\\\d\n"
                                                         "2\t(gek\xC3\xBCrzt!)\t \x21",
                                                         3);
    ASSERT_TRUE(reading.ok()) << reading.faultLine << ": " << reading.fault;
    ASSERT_EQ(reading.entries.size(), 3u);
    EXPECT_EQ(reading.entries[0].german, "Zeile 1\nZeile 2");
    EXPECT_EQ(reading.entries[0].english, "line 1\r\nline 2");
    EXPECT_EQ(reading.entries[1].german, "a\tb");
    EXPECT_EQ(reading.entries[1].english, "c:\\d");
    EXPECT_EQ(reading.entries[2].german, "(gek\xC3\xBCrzt!)");
    EXPECT_EQ(reading.entries[2].english, " !"); // leading and trailing blanks are part of a text
}

TEST(MessageTable, MalformedTablesNameTheFaultyLine) {
    const struct {
        std::string text;
        std::size_t faultLine;
        const char* fault;
    } cases[] = {
        {"0\ta\tb\n2\tc\td\n1\te\tf\n", 2, "expected id 1, found '2'"},
        {"00\ta\tb\n1\tc\td\n", 1, "expected id 0"},
        {"0\ta\tb\n", 2, "ends after 1 entries, expected 2"},
        {"0\ta\tb\n1\tc\td\n2\te\tf\n", 3, "more than 2 entries"},
        {"0\ta\tb\n1\tc\n", 2, "2 tab-separated fields, expected 3"},
        {"0\t\tb\n1\tc\td\n", 1, "German text is empty"},
        {"0\ta\tb\\\n1\tc\td\n", 1, "unknown escape sequence in the English"},
        {"0\ta\tb\r\n1\tc\td\r\n", 1, "0x0D in the line (the file must have LF"},
        {"0\ta\tb\n\n1\tc\td\n", 2, "empty line"},
        {"0\ta\tb\n1\tgek\xFCrzt\td\n", 2, "German text is not valid UTF-8"},
        {"0\ta\t\xC0\xAF\n1\tc\td\n", 1, "English text is not valid UTF-8"},
    };
    for (const auto& c : cases) {
        const MessageTableReading reading = readMessageTable(c.text, 2);
        EXPECT_FALSE(reading.ok()) << c.fault;
        EXPECT_EQ(reading.faultLine, c.faultLine) << c.fault;
        EXPECT_NE(reading.fault.find(c.fault), std::string::npos) << reading.fault;
    }
}

TEST(Language, OnlyTheGermanLocalesChooseGerman) {
    const std::pair<LocaleId, bool> cases[] = {{1031, true}, {2055, true},  {3079, true},    {4103, true},
                                               {5127, true}, {1033, false}, {2057, false},   {1036, false},
                                               {7, false},   {0, false},    {0x10407, false}};
    for (const auto& [localeId, german] : cases) {
        EXPECT_EQ(CToolBoxLang(localeId).languageIndex(),
                  german ? CToolBoxLang::kGerman : CToolBoxLang::kEnglish)
            << localeId;
        EXPECT_EQ(CToolBoxLang(localeId).GetText(0), german ? "Abbrechen" : "Cancel") << localeId;
    }
}

TEST(Language, LocaleNamesAndTheEnvironmentGiveWindowsLocaleIds) {
    const std::pair<const char*, LocaleId> names[] = {
        {"de_DE.UTF-8", 1031}, {"de_CH.UTF-8", 2055},
        {"de_AT@euro", 3079},  {"de_LU.ISO-8859-1", 4103},
        {"de_LI", 5127},       {"de", 1031},
        {"DE_ch.utf8", 2055},  {"de_BE.UTF-8", 1033},
        {"en_GB", 2057},       {"fr_CH", 4108},
        {"nl_BE", 2067},       {"C.UTF-8", 1033},
        {"POSIX", 1033},       {"", 1033},
        {"_CH", 1033},         {"@euro", 1033},
        {"pt_XX", 1033},
    };
    for (const auto& [name, localeId] : names)
        EXPECT_EQ(localeIdFromLocaleName(name), localeId) << '"' << name << '"';

    // As setlocale decides for messages: LC_ALL, LC_MESSAGES, LANG; empty ones do not count.
    using Environment = std::map<std::string, std::string>;
    const std::pair<Environment, LocaleId> environments[] = {
        {{{"LANG", "de_CH.UTF-8"}}, 2055},
        {{}, 1033},
        {{{"LC_ALL", "POSIX"}, {"LANG", "de_DE.UTF-8"}}, 1033},
        {{{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "de_DE.UTF-8"}}, 2057},
        {{{"LC_ALL", "de_AT.UTF-8"}, {"LC_MESSAGES", "en_US"}}, 3079},
        {{{"LC_ALL", ""}, {"LANG", "de_AT.UTF-8"}}, 3079},
        {{{"LC_MESSAGES", "de_LI.UTF-8"}, {"LANG", "en_US.UTF-8"}}, 5127},
        {{{"LC_CTYPE", "de_DE.UTF-8"}, {"LC_TIME", "de_DE.UTF-8"}}, 1033},
    };
    for (const auto& [environment, localeId] : environments)
        EXPECT_EQ(localeIdFromEnvironment([&](const char* name) {
                      const auto found = environment.find(name);
                      return found == environment.end() ? std::string() : found->second;
                  }),
                  localeId)
            << environment.size();
}

} // namespace
} // namespace kestrix
