#include "netbed/network_bed.h"
#include "support/scratch_directory.h"
#include "support/table_reader.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

// kestrix-cli as a technician runs it, in the PC's namespace of one test bed:
// info, search, add and read with three terminals of maintenance groups 4711
// and 1 (100102's replies come 40 ms late), one that uses IP-based
// authentication and one in a foreign subnet, each with a name in the PC's
// hosts file. Asked to end (Ctrl-C, SIGTERM) in the middle of its work, it
// removes its temporary files and the host routes it added and ends with
// 128 + the signal's number; what it cannot do it says, with exit code 1.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::BackgroundProcess;
using test::BedLayout;
using test::CliRun;
using test::NetworkBed;
using test::TerminalSetup;

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4, const std::string& product,
                        const std::string& kind, const std::string& group) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.terminalSection = {
        {"serial_number", serialNumber}, {"product", product},        {"kind", kind},
        {"firmware_version", "6.20"},    {"security_id", "A1B2C3D4"}, {"maintenance_group", group}};
    return terminal;
}

std::string fileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
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
                            simulated("100103", "10.77.0.13/24", "TALMO DCU40", "ACM", "4711"),
                            simulated("100104", "10.77.0.14/24", "TALMO 7460", "PZE", "4711"),
                            simulated("100105", "192.168.99.5/24", "TALMO 7600", "PZE", "0")};
        layout.terminals[0].terminalSection.insert({{"eeprom_keyboard", "8"}, {"eeprom_display", "7"}});
        // 300 blocks of 512 bytes, each answered 40 ms late: a transfer of many seconds.
        fs::create_directories(servedDirectory());
        std::ofstream(servedDirectory() / "big.bin", std::ios::binary) << std::string(300 * 512, 'k');
        layout.terminals[1].tftpSection = {{"directory", servedDirectory().string()}};
        layout.terminals[1].linkFaults.delayToPc = std::chrono::milliseconds(40);
        layout.terminals[3].terminalSection["authentication"] = "ip";
        // The names sort otherwise than the serial numbers.
        layout.pcHostsLines = {"10.77.0.11 charlie.bed.test", "10.77.0.12 alpha.bed.test",
                               "10.77.0.13 bravo.bed.test", "10.77.0.14 delta.bed.test",
                               "192.168.99.5 echo.bed.test"};
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(servedDirectory());
    }
    static fs::path servedDirectory() {
        return fs::temp_directory_path() / ("kestrix-cli-served-" + std::to_string(::getpid()));
    }

    // kestrix-cli in the PC's namespace from the bed's run directory (no
    // settings or trace file there) in the given language.
    static CliRun cli(const std::string& words, const std::string& language = "C") {
        return test::runCli(bed_->runDirectory(), words,
                            test::toolPath("ip") + " netns exec " + bed_->pcNamespace() +
                                " env LC_ALL= LC_MESSAGES= LANG=" + language);
    }
    // kestrix-cli started in the background, its output in cli.log.
    static BackgroundProcess start(const std::string& words) {
        return BackgroundProcess::startProgram(
            {test::toolPath("ip"), "netns", "exec", bed_->pcNamespace(), "sh", "-c",
             "cd " + bed_->runDirectory().string() + " && exec " KESTRIX_CLI " " + words},
            bed_->runDirectory() / "cli.log");
    }
    static bool pcHasRouteTo(const std::string& address) {
        return bed_->shellOnPc("ip route show " + address + "/32").output.find(address) != std::string::npos;
    }
    // Waits up to 30 s for the condition; false when it never held.
    static bool awaitCondition(const std::function<bool()>& condition) {
        for (int tries = 0; tries < 300 && !condition(); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return condition();
    }
    static int exitCodeOf(BackgroundProcess& process) {
        const int status = process.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(30));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::vector<std::string> leftOvers() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(bed_->runDirectory()))
            if (entry.path().filename().string().find(".kestrix-") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(CliOnBed, InfoPrintsWhatTheTerminalTellsAndFailsClearlyForNoTerminal) {
    const CliRun info = cli("--group 4711 info 10.77.0.11");
    EXPECT_EQ(info.exitCode, 0) << info.errors;
    for (const char* line :
         {"terminal        TALMO 7460-PZE 100101", "address         10.77.0.11", "running         TCL 6.20",
          "authentication  ID-based, accepted", "EEPROM          keyboard matrix, display type 1"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << "\n" << info.output;
    // The wrong maintenance group: located, but not accepted, and the EEPROM stays closed.
    const CliRun wrongGroup = cli("--group 1 info 10.77.0.11");
    EXPECT_NE(wrongGroup.output.find(
                  "authentication  ID-based search not accepted: the maintenance group is wrong"),
              std::string::npos)
        << wrongGroup.output;
    EXPECT_NE(wrongGroup.output.find("EEPROM          cannot be read"), std::string::npos)
        << wrongGroup.output;
    const CliRun nobody = cli("info 10.77.0.99");
    EXPECT_NE(nobody.exitCode, 0);
    // The message table's words in the user's language, not the trace's German.
    EXPECT_EQ(nobody.errors, "kestrix-cli: terminal 10.77.0.99: No response from terminal. (code 1)\n");

    // A terminal that refuses ID-based authentication: found, not accepted;
    // with -a, as the window's alternative adding mode, the IP-based search finds its acceptance.
    const CliRun idBased = cli("--group 4711 info 10.77.0.14");
    EXPECT_EQ(idBased.exitCode, 1) << idBased.errors;
    EXPECT_NE(idBased.output.find("ID-based search not accepted"), std::string::npos) << idBased.output;
    EXPECT_EQ(idBased.output.find("autoexec.bat"), std::string::npos) << "a 7460 has none";
    const CliRun ipBased = cli("--group 4711 -a info 10.77.0.14");
    EXPECT_EQ(ipBased.exitCode, 0) << ipBased.errors;
    EXPECT_NE(ipBased.output.find("IP-based, accepted"), std::string::npos) << ipBased.output;
}

TEST_F(CliOnBed, SearchSortsFiltersAndSavesAListThatReadBringsBack) {
    const CliRun search = cli("--group 4711 search --order serialno --save saved.rch");
    ASSERT_EQ(search.exitCode, 0) << search.output << search.errors;
    EXPECT_EQ(listedSerialNumbers(search.output),
              (std::vector<std::string>{"100101", "100102", "100103", "100104", "100105"}))
        << search.output;
    std::istringstream lines(search.output);
    std::string head, first;
    std::getline(lines, head);
    std::getline(lines, first);
    for (const char* word : {"product", "firmware version", "serial number", "IP address", "host name"})
        EXPECT_NE(head.find(word), std::string::npos) << head;
    for (const char* word : {"TALMO 7460", "TCL 6.20", "100101", "10.77.0.11", "charlie.bed.test"})
        EXPECT_NE(first.find(word), std::string::npos) << first;

    // Read in the same order, the file gives the same list; by name, another order.
    const CliRun read = cli("--group 4711 read --order serialno saved.rch");
    EXPECT_EQ(read.exitCode, 0) << read.errors;
    EXPECT_EQ(read.output, search.output);
    const CliRun byName =
        cli("--group 4711 read --order dnsname " + (bed_->runDirectory() / "saved.rch").string());
    EXPECT_EQ(listedSerialNumbers(byName.output),
              (std::vector<std::string>{"100102", "100103", "100101", "100104", "100105"}))
        << byName.output;

    // Only the terminals that accept the maintenance group: 100102 (group 1)
    // and 100105 (group 0) are left out.
    const CliRun groupOnly = cli("--group 4711 search --group-only --order dnsname --short-names");
    EXPECT_EQ(groupOnly.exitCode, 0) << groupOnly.errors;
    EXPECT_EQ(listedSerialNumbers(groupOnly.output), (std::vector<std::string>{"100103", "100101", "100104"}))
        << groupOnly.output;
    EXPECT_NE(groupOnly.output.find("bravo\n"), std::string::npos) << groupOnly.output;
    EXPECT_EQ(groupOnly.output.find("bravo.bed.test"), std::string::npos) << groupOnly.output;
}

// The list for other programs, read back by python's csv and json modules:
// every terminal, with the fields of the list file and what the list shows.
TEST_F(CliOnBed, SearchAsCsvAndJsonListsEveryTerminal) {
    test::ScratchDirectory files;
    for (const std::string format : {"csv", "json"}) {
        SCOPED_TRACE(format);
        const CliRun search = cli("--group 4711 search --order serialno --format " + format);
        ASSERT_EQ(search.exitCode, 0) << search.errors;
        files.write("list." + format, search.output);
        const std::vector<std::vector<std::string>> table =
            test::tableReadByPython(files.path() / ("list." + format));
        ASSERT_EQ(table.size(), 6u) << search.output;
        EXPECT_EQ(table[0].front(), "serial_number");
        EXPECT_EQ(table[0].back(), "accepted");
        const std::string yes = format == "csv" ? "yes" : "true";
        const std::string no = format == "csv" ? "no" : "false";
        EXPECT_EQ(table[1],
                  (std::vector<std::string>{"100101", "10.77.0.11", "", "charlie.bed.test", "", "", "",
                                            "TALMO 7460-PZE", "TCL", "6.20", "", "ID-based", yes}));
        std::vector<std::string> serialNumbers, accepted;
        for (std::size_t row = 1; row < table.size(); ++row) {
            serialNumbers.push_back(table[row][0]);
            accepted.push_back(table[row].back());
        }
        EXPECT_EQ(serialNumbers,
                  (std::vector<std::string>{"100101", "100102", "100103", "100104", "100105"}));
        EXPECT_EQ(accepted, (std::vector<std::string>{yes, no, yes, no, no}));
    }
}

TEST_F(CliOnBed, AddsByAddressAndSerialNumberAndNamesWhatItCannotFind) {
    // In the user's language: the head line and the message of the unknown name.
    const CliRun add = cli("--group 4711 add 10.77.0.12 '100103;;' nosuch.bed.test", "de_DE.UTF-8");
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_EQ(listedSerialNumbers(add.output), (std::vector<std::string>{"100102", "100103"})) << add.output;
    EXPECT_TRUE(add.output.starts_with("Produkt")) << add.output;
    EXPECT_NE(add.errors.find(
                  "kestrix-cli: nosuch.bed.test: Es ist keine Namensauflösung für das Terminal möglich."),
              std::string::npos)
        << add.errors;

    const CliRun nobody = cli("add nosuch.bed.test");
    EXPECT_EQ(nobody.exitCode, 1);
    EXPECT_EQ(nobody.output, "");
    EXPECT_EQ(nobody.errors, "kestrix-cli: nosuch.bed.test: Terminal name can not be resolved.\n");
    // A TEXT of 65 characters is taken (and not found); the PC has one LAN interface.
    EXPECT_EQ(cli("add " + std::string(65, 'x')).exitCode, 1);
    EXPECT_EQ(cli("search --interface 2").exitCode, 2);
}

TEST_F(CliOnBed, CtrlCDuringAReadDeletesTheHostRouteItAdded) {
    // The foreign terminal gets its route; the missing one is then searched for.
    std::ofstream(bed_->runDirectory() / "site.rch") << "100105;;;;;;;\r\n999999;;;;;;;\r\n";
    BackgroundProcess cli = start("read site.rch");
    ASSERT_TRUE(awaitCondition([&] { return pcHasRouteTo("192.168.99.5"); }))
        << "no host route was added; " << (cli.running() ? "still running" : "ended")
        << bed_->shellOnPc("cat " + (bed_->runDirectory() / "cli.log").string() + "; ip route").output;
    ::kill(cli.pid(), SIGINT);
    EXPECT_EQ(exitCodeOf(cli), 130);
    EXPECT_FALSE(pcHasRouteTo("192.168.99.5")) << "the interrupted run left its host route";
}

TEST_F(CliOnBed, SigtermDuringAFileGetRemovesTheTemporaryFileAndKeepsTheTarget) {
    std::ofstream(bed_->runDirectory() / "big.bin") << "the old copy";
    BackgroundProcess cli = start("file get 10.77.0.12 big.bin big.bin");
    ASSERT_TRUE(awaitCondition([&] { return !leftOvers().empty(); })) << "the transfer did not start";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(cli.pid(), SIGTERM);
    EXPECT_EQ(exitCodeOf(cli), 143);
    EXPECT_TRUE(leftOvers().empty());
    EXPECT_EQ(fileText(bed_->runDirectory() / "big.bin"), "the old copy");
}

TEST_F(CliOnBed, ReadNamesEveryLineItLeavesOut) {
    std::ofstream(bed_->runDirectory() / "mixed.rch")
        << "100102;;;;;;;\r\n100102;10.77.0.12;;\r\n999999;;;;;;;\r\n";
    const CliRun read = cli("read mixed.rch");
    EXPECT_EQ(read.exitCode, 1) << read.errors;
    EXPECT_NE(
        read.errors.find("left out '100102;10.77.0.12;;': The line of the terminal list has a wrong format."),
        std::string::npos)
        << read.errors;
    EXPECT_NE(read.errors.find("left out '999999;;;;;;;': No response from terminal."), std::string::npos)
        << read.errors;
}

} // namespace
} // namespace kestrix
