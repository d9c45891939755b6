#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/wait.h>

// kestrix-cli info, search, add and read as a technician runs them, in the
// PC's namespace of one test bed with three simulated terminals: two of
// maintenance group 4711 and one of group 1, each with a name in the PC's
// hosts file.

namespace kestrix {
namespace {

using test::BedLayout;
using test::NetworkBed;
using test::TerminalSetup;

struct CliRun {
    int exitCode = -1;
    std::string output; // standard output
    std::string errors; // standard error
};

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4, const std::string& product,
                        const std::string& kind, const std::string& group) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.terminalSection = {
        {"serial_number", serialNumber}, {"product", product},        {"kind", kind},
        {"firmware_version", "6.20"},    {"security_id", "A1B2C3D4"}, {"maintenance_group", group}};
    return terminal;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs kestrix-cli in the PC's namespace from the bed's run directory (no
// settings or trace file there) in the given language.
CliRun cli(const NetworkBed& bed, const std::string& arguments, const std::string& language = "C") {
    const std::filesystem::path errors = bed.runDirectory() / "cli-errors.txt";
    const test::CommandResult result =
        bed.shellOnPc("cd " + bed.runDirectory().string() + " && LC_ALL= LC_MESSAGES= LANG=" + language +
                      " " + KESTRIX_CLI + " " + arguments + " 2>" + errors.string());
    CliRun run;
    run.exitCode = WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1;
    run.output = result.output;
    run.errors = fileText(errors);
    return run;
}

// The serial numbers of the printed list, in list order (the third column).
std::vector<std::string> listedSerialNumbers(const std::string& output) {
    std::vector<std::string> serialNumbers;
    std::istringstream lines(output);
    std::string line;
    std::getline(lines, line); // the head line
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        while (words >> word)
            if (word.size() == 6 && word.starts_with("1001"))
                serialNumbers.push_back(word);
    }
    return serialNumbers;
}

class CliOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        BedLayout layout;
        layout.terminals = {simulated("100101", "10.77.0.11/24", "TALMO 7460", "PZE", "4711"),
                            simulated("100102", "10.77.0.12/24", "TALMO 7450", "ACM", "1"),
                            simulated("100103", "10.77.0.13/24", "TALMO DCU40", "ACM", "4711")};
        layout.terminals[0].terminalSection.insert({{"eeprom_keyboard", "8"}, {"eeprom_display", "7"}});
        // The names sort otherwise than the serial numbers.
        layout.pcHostsLines = {"10.77.0.11 charlie.bed.test", "10.77.0.12 alpha.bed.test",
                               "10.77.0.13 bravo.bed.test"};
        buildSharedBed(layout);
    }
};

TEST_F(CliOnBed, InfoPrintsWhatTheTerminalTellsAndFailsClearlyForNoTerminal) {
    const CliRun info = cli(*bed_, "--group 4711 info 10.77.0.11");
    EXPECT_EQ(info.exitCode, 0) << info.errors;
    for (const char* line :
         {"terminal        TALMO 7460-PZE 100101", "address         10.77.0.11", "running         TCL 6.20",
          "authentication  ID-based, accepted", "EEPROM          keyboard matrix, display type 1"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << "\n" << info.output;
    // The wrong maintenance group: located, but not accepted, and the EEPROM stays closed.
    const CliRun wrongGroup = cli(*bed_, "--group 1 info 10.77.0.11");
    EXPECT_NE(wrongGroup.output.find("authentication  ID-based search not accepted: the maintenance group is wrong"),
              std::string::npos)
        << wrongGroup.output;
    EXPECT_NE(wrongGroup.output.find("EEPROM          cannot be read"), std::string::npos)
        << wrongGroup.output;
    const CliRun nobody = cli(*bed_, "info 10.77.0.99");
    EXPECT_NE(nobody.exitCode, 0);
    // The message table's words in the user's language, not the trace's German.
    EXPECT_EQ(nobody.errors, "kestrix-cli: terminal 10.77.0.99: No response from terminal. (code 1)\n");
}

TEST_F(CliOnBed, SearchSortsFiltersAndSavesAListThatReadBringsBack) {
    const NetworkBed& bed = *bed_;

    const CliRun search = cli(bed, "--group 4711 search --order serialno --save saved.rch");
    ASSERT_EQ(search.exitCode, 0) << search.output << search.errors;
    EXPECT_EQ(listedSerialNumbers(search.output), (std::vector<std::string>{"100101", "100102", "100103"}))
        << search.output;
    std::istringstream lines(search.output);
    std::string head, first;
    std::getline(lines, head);
    std::getline(lines, first);
    for (const char* word : {"product", "firmware version", "serial number", "IP address", "host name"})
        EXPECT_NE(head.find(word), std::string::npos) << head;
    for (const char* word : {"TALMO 7460", "TCL 6.20", "100101", "10.77.0.11", "charlie.bed.test"})
        EXPECT_NE(first.find(word), std::string::npos) << first;

    // One saved line per terminal, each ended by CR LF.
    const std::string saved = fileText(bed.runDirectory() / "saved.rch");
    ASSERT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3) << saved;
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\r'), 3) << saved;
    EXPECT_TRUE(saved.ends_with(";\r\n")) << saved;

    // Read in the same order, the file gives the same list; by name, another order.
    const CliRun read = cli(bed, "--group 4711 read --order serialno saved.rch");
    EXPECT_EQ(read.exitCode, 0) << read.errors;
    EXPECT_EQ(read.output, search.output);
    const CliRun byName =
        cli(bed, "--group 4711 read --order dnsname " + (bed.runDirectory() / "saved.rch").string());
    EXPECT_EQ(listedSerialNumbers(byName.output), (std::vector<std::string>{"100102", "100103", "100101"}))
        << byName.output;

    // Only the maintenance group's terminals: 100102 (group 1) is left out.
    const CliRun groupOnly = cli(bed, "--group 4711 search --group-only --order dnsname --short-names");
    EXPECT_EQ(groupOnly.exitCode, 0) << groupOnly.errors;
    EXPECT_EQ(listedSerialNumbers(groupOnly.output), (std::vector<std::string>{"100103", "100101"}))
        << groupOnly.output;
    EXPECT_NE(groupOnly.output.find("bravo\n"), std::string::npos) << groupOnly.output;
    EXPECT_EQ(groupOnly.output.find("bravo.bed.test"), std::string::npos) << groupOnly.output;
}

TEST_F(CliOnBed, AddsByAddressAndSerialNumberAndNamesWhatItCannotFind) {
    const NetworkBed& bed = *bed_;

    // In the user's language: the head line and the message of the unknown name.
    const CliRun add = cli(bed, "--group 4711 add 10.77.0.12 '100103;;' nosuch.bed.test", "de_DE.UTF-8");
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_EQ(listedSerialNumbers(add.output), (std::vector<std::string>{"100102", "100103"})) << add.output;
    EXPECT_TRUE(add.output.starts_with("Produkt")) << add.output;
    EXPECT_NE(add.errors.find(
                  "kestrix-cli: nosuch.bed.test: Es ist keine Namensauflösung für das Terminal möglich."),
              std::string::npos)
        << add.errors;

    const CliRun nobody = cli(bed, "add nosuch.bed.test");
    EXPECT_EQ(nobody.exitCode, 1);
    EXPECT_EQ(nobody.output, "");
    EXPECT_EQ(nobody.errors, "kestrix-cli: nosuch.bed.test: Terminal name can not be resolved.\n");

    // Usage errors end before anything is searched; a TEXT of 65 characters
    // is taken (and not found), one of 66 is not.
    const std::string text65(65, 'x');
    const struct {
        std::string arguments;
        int exitCode;
    } cases[] = {
        {"search --order size", 2},
        {"search --order", 2},
        {"search --colour", 2},
        {"search 10.77.0.11", 2},
        {"search --interface 2", 2},
        {"search --interface x", 2},
        {"add", 2},
        {"add --group-only 10.77.0.11", 2},
        {"add " + text65, 1},
        {"add " + text65 + "x", 2},
        {"read", 2},
        {"read a.rch b.rch", 2},
        {"read missing.rch", 1},
        {"search --help", 0},
        {"add --help", 0},
        {"read --help", 0},
    };
    for (const auto& [arguments, exitCode] : cases) {
        const CliRun run = cli(bed, arguments);
        EXPECT_EQ(run.exitCode, exitCode) << arguments << "\n" << run.errors;
        if (exitCode == 2) {
            EXPECT_NE(run.errors.find("usage: kestrix-cli"), std::string::npos) << arguments << "\n"
                                                                                << run.errors;
        }
        if (exitCode == 0) {
            EXPECT_NE(run.output.find("LIST-OPTIONS"), std::string::npos) << arguments << "\n" << run.output;
        }
    }
}

} // namespace
} // namespace kestrix
