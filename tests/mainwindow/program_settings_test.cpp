#include "mainwindow/program_settings.h"

#include "mainwindow/recording_view.h"
#include "mainwindow/toolbox_lang.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;

const std::string kPortMessage =
    "The definition of port numbers for TFTP in INI file is incorrect and will not be used.";

// The settings file is taken by its relative name from the current directory, as at start-up.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        directory_ = fs::temp_directory_path() / ("kestrix-settings-" + std::to_string(::getpid()));
        fs::create_directories(directory_);
        fs::current_path(directory_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(directory_);
        setTftpPortRange({});
    }
    SettingsResult read(const std::optional<std::string>& content) {
        fs::remove(kSettingsFileName);
        if (content)
            std::ofstream(kSettingsFileName) << *content;
        boxes_.shown.clear();
        setTftpPortRange({4000, 5000}); // left from an earlier start
        return GetIniFile(kSettingsFileName, english_, boxes_, settings_);
    }

    fs::path previous_;
    fs::path directory_;
    CToolBoxLang english_{1033};
    test::RecordingMessageBoxes boxes_;
    ProgramSettings settings_;
};

struct SettingsCase {
    std::optional<std::string> content;
    TftpPortRange ports;
    bool portMessage;
    ListPresentation list;
};

TEST_F(SettingsFile, ValuesAreCheckedAndTakenExactly) {
    using enum SortOrder;
    using enum GroupFilter;
    using enum HostNameDisplay;
    using enum AddressForm;
    const ListPresentation defaults;
    const SettingsCase cases[] = {
        {std::nullopt, {0, 0}, false, defaults},
        {"[TFTP]\nminPort=2000\n", {0, 0}, true, defaults},
        {"[TFTP]\nmaxPort=2000\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=1000\nmaxPort=2000\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=3000\nmaxPort=2000\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=2000\nmaxPort=70000\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=2000\nmaxPort=99999999999999999999\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=-2000\nmaxPort=3000\n", {0, 0}, true, defaults},
        {"[TFTP]\nminPort=2000\nmaxPort=3000\n", {2000, 3000}, false, defaults},
        {"[TFTP]\nmaxPort=1024\nminPort=1024\n", {1024, 1024}, false, defaults},
        {"[TFTP]\nminPort=abc\nmaxPort=abc\n", {0, 0}, false, defaults},
        {"[TFTP]\nminPort=2500x\nmaxPort=+3000\n", {2500, 3000}, false, defaults},
        {"[TFTP]\nport=5\n[tftp]\nminPort=2000\n", {0, 0}, false, defaults},
        {"[Terminallist]\nOrder=SERIALNO\n", {0, 0}, false, {SerialNumber, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=IPADDR\n", {0, 0}, false, {IPAddress, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=DNSNAME\n", {0, 0}, false, {DNSName, AllGroups, FullyQualified, IPv4}},
        {"[Terminallist]\nOrder=FIRMWARE\nAdd=MAINTGRP\nShowHostname=SHORT\nShowIPAddr=IPV6\n",
         {0, 0},
         false,
         {Firmware, CurrentGroupOnly, Short, IPv6}},
        {"[Terminallist]\nOrder=PRODUCT\nAdd=ALL\nShowHostname=FQDN\nShowIPAddr=MIXED\n",
         {0, 0},
         false,
         defaults},
        {"[Terminallist]\nOrder=serialno\nAdd=maintgrp\nShowHostname=short\nShowIPAddr=IPv6\n",
         {0, 0},
         false,
         defaults},
        {"[Terminallist]\nOrder=2\norder=SERIALNO\n", {0, 0}, false, defaults},
    };
    for (const SettingsCase& entry : cases) {
        SCOPED_TRACE(entry.content.value_or("no file"));
        EXPECT_EQ(read(entry.content), SettingsResult::Read);
        EXPECT_EQ(settings_.list, entry.list);
        EXPECT_EQ(settings_.tftpPorts.minPort, entry.ports.minPort);
        EXPECT_EQ(settings_.tftpPorts.maxPort, entry.ports.maxPort);
        EXPECT_EQ(tftpPortRange().minPort, entry.ports.minPort);
        EXPECT_EQ(tftpPortRange().maxPort, entry.ports.maxPort);
        EXPECT_EQ(boxes_.texts(),
                  entry.portMessage ? std::vector<std::string>{kPortMessage} : std::vector<std::string>{});
        for (const MessageBoxRequest& box : boxes_.shown)
            EXPECT_EQ(box.icon, MessageIcon::Exclamation);
    }
}

TEST_F(SettingsFile, AMalformedFileShowsTheParserTextAndIsNotUsed) {
    test::TraceCapture trace;
    EXPECT_EQ(read("[TFTP]\nminPort=2000\nmaxPort=3000\n[Terminallist]\nOrder=SERIALNO\nOrder=IPADDR\n"),
              SettingsResult::Malformed);
    const std::string parserText = "double definition of Order in section Terminallist in file Kestrix.ini";
    ASSERT_EQ(boxes_.texts(), std::vector<std::string>{parserText});
    EXPECT_EQ(boxes_.shown[0].caption, "Kestrix IPv4+IPv6");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_TRUE(trace.contains(
        "CToolBoxDlg::GetIniFile(): Fehler beim Öffnen von Kestrix.ini: " + parserText + ".\n"));
    EXPECT_EQ(settings_.list, ListPresentation{});
    EXPECT_EQ(tftpPortRange().minPort, 0);
}

TEST_F(SettingsFile, TraceLinesOfEachKey) {
    test::TraceCapture trace;
    read(std::nullopt);
    EXPECT_TRUE(trace.contains("CToolBoxDlg::GetIniFile(): Warnung: Kestrix.ini nicht vorhanden.\n"));

    trace.clear();
    read("[TFTP]\n[Terminallist]\n");
    EXPECT_EQ(trace.text(), "CToolBoxDlg::GetIniFile(): keine Einträge unter [TFTP].\n"
                            "CToolBoxDlg::GetIniFile(): keine Einträge unter [Terminallist].\n");

    trace.clear();
    read("[TFTP]\nminPort=2000\nmaxPort=\n[Terminallist]\nOrder=DNSNAME\nShowIPAddr=\n");
    EXPECT_EQ(trace.text(),
              "CToolBoxDlg::GetIniFile(): Key 'maxPort' Value: leer!\n"
              "CToolBoxDlg::GetIniFile(): TFTP Key 'minPort' Value: '2000'\n"
              "CToolBoxDlg::GetIniFile(): Terminallist Key 'Order' Value: 'DNSNAME'\n"
              "CToolBoxDlg::GetIniFile(): Key 'ShowIPAddr' Value: leer!\n"
              "CToolBoxDlg::GetIniFile(): Fehler bei den Portnummern, auf Defaultwert 'beliebig' "
              "gesetzt.\n");
}

} // namespace
} // namespace kestrix
