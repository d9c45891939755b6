#include "mainwindow/program_settings.h"

#include "mainwindow/recording_view.h"
#include "messages/toolbox_lang.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;

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
