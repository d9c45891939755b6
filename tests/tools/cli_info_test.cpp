#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"

#include <gtest/gtest.h>

#include <fstream>

// kestrix-cli info as a technician runs it, in the PC's namespace of a test
// bed with one simulated terminal.

namespace kestrix {
namespace {

using test::BedLayout;
using test::NetworkBed;
using test::TerminalSetup;

class CliInfo : public test::NetworkBedTest {};

TEST_F(CliInfo, PrintsWhatTheTerminalTellsAndFailsClearlyForNoTerminal) {
    BedLayout layout;
    TerminalSetup terminal;
    terminal.ipv4 = "10.77.0.11/24";
    terminal.terminalSection = {{"serial_number", "100101"},   {"product", "TALMO 7460"},
                                {"kind", "PZE"},               {"firmware_version", "6.20"},
                                {"security_id", "A1B2C3D4"},   {"maintenance_group", "4711"},
                                {"eeprom_keyboard", "8"},      {"eeprom_display", "7"}};
    layout.terminals = {terminal};
    NetworkBed bed(layout);
    // Run from the bed's run directory: no trace or settings file of ours there.
    const std::string inRunDirectory = "cd " + bed.runDirectory().string() + " && " + KESTRIX_CLI;

    auto info = bed.shellOnPc(inRunDirectory + " --group 4711 info 10.77.0.11");
    EXPECT_TRUE(info.succeeded()) << info.output;
    for (const char* line : {"terminal        TALMO 7460-PZE 100101", "address         10.77.0.11",
                             "running         TCL 6.20", "authentication  ID-based, accepted",
                             "EEPROM          keyboard matrix, display type 1"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << "\n" << info.output;

    // The wrong maintenance group: located, but not accepted, and the EEPROM stays closed.
    auto wrongGroup = bed.shellOnPc(inRunDirectory + " --group 1 info 10.77.0.11");
    EXPECT_NE(wrongGroup.output.find("authentication  ID-based, not accepted"), std::string::npos)
        << wrongGroup.output;
    EXPECT_NE(wrongGroup.output.find("EEPROM          cannot be read"), std::string::npos) << wrongGroup.output;

    auto nobody = bed.shellOnPc(inRunDirectory + " info 10.77.0.99");
    EXPECT_FALSE(nobody.succeeded());
    EXPECT_NE(nobody.output.find("kestrix-cli: terminal 10.77.0.99: keine Antwort vom Netz"), std::string::npos)
        << nobody.output;
}

} // namespace
} // namespace kestrix
