#include "mainwindow/command_line.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/recording_view.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

// What the program reads at its start: the command line, the trace file and
// the settings file of its start directory.

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

} // namespace
} // namespace kestrix
