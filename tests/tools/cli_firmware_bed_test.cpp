// kestrix-cli firmware list and update against talmo-sim on one test bed
// (br0 10.77.0.1/24), with the project's sample depot in the run directory:
// TALMO 7450 terminals of maintenance group 4711 (one of group 1) whose
// monitors are older or newer than the depot's, one whose flash refuses the
// first two writes (retried) and one that refuses five (its update fails).
// The update's pauses and the terminals' restarts are shortened by
// KESTRIX_TIME_SCALE.
#include "netbed/network_bed.h"
#include "support/scratch_directory.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::CliRun;

} // namespace

// A talmo.cfg of maintenance group 4711 (cli_firmware_bed_block.cpp).
std::vector<std::uint8_t> firmwareTestBlock(const std::string& version);

namespace {

struct SimulatedTerminal {
    const char* serialNumber;
    const char* monitorVersion;
    const char* group;
    const char* refusedWrites;
    const char* blockVersion = "6.20";
};
// Terminal N answers at 10.77.0.(21 + N).
constexpr SimulatedTerminal kTerminals[] = {
    {"100201", "2.05", "4711", "2"},                               // older monitor; the first two writes fail
    {"100202", "2.20", "4711", "0"},                               // newer monitor than the depot's 2.10
    {"100203", "2.05", "4711", "0"}, {"100204", "2.05", "1", "0"}, // another maintenance group
    {"100205", "2.05", "4711", "5"},                               // a file fails four times
    {"100206", "2.05", "4711", "0", "6.21"}, // a big-endian block: the depot's "6.20" is of the other order
};

std::string address(std::size_t terminal) {
    return "10.77.0." + std::to_string(21 + terminal);
}

std::string fileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class CliFirmwareOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        // The terminals' restarts too: talmo-sim inherits it.
        ::setenv("KESTRIX_TIME_SCALE", "0.02", 1);
        test::BedLayout layout;
        for (std::size_t index = 0; index < std::size(kTerminals); ++index) {
            const SimulatedTerminal& simulated = kTerminals[index];
            directories_.push_back(std::make_unique<test::ScratchDirectory>());
            directories_.back()->write("talmo.cfg", firmwareTestBlock(simulated.blockVersion));
            test::TerminalSetup terminal;
            terminal.ipv4 = address(index) + "/24";
            terminal.terminalSection = {{"serial_number", simulated.serialNumber},
                                        {"product", "TALMO 7450"},
                                        {"kind", "PZE"},
                                        {"firmware_version", "6.20"},
                                        {"monitor_version", simulated.monitorVersion},
                                        {"security_id", "A1B2C3D4"},
                                        {"maintenance_group", simulated.group}};
            terminal.tftpSection = {{"directory", directories_.back()->path().string()},
                                    {"refused_writes", simulated.refusedWrites}};
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
        if (bed_) {
            ASSERT_EQ(
                std::system(
                    ("'" KESTRIX_MAKE_SAMPLE_DEPOT "' '" + bed_->runDirectory().string() + "'").c_str()),
                0);
        }
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        directories_.clear();
        ::unsetenv("KESTRIX_TIME_SCALE");
    }

    static CliRun cli(const std::string& words) {
        return test::runCli(bed_->runDirectory(), words,
                            test::toolPath("ip") + " netns exec " + bed_->pcNamespace() +
                                " env LC_ALL= LC_MESSAGES= LANG=C");
    }
    static bool received(std::size_t terminal, const std::string& name) {
        return fs::exists(directories_[terminal]->path() / name);
    }
    // The report read back by python's JSON parser: one line per object,
    // "serial result new_version seconds-is-a-number".
    static std::string reportLines(const std::string& name) {
        const test::CommandResult parsed = test::runCommand(
            {"python3", "-c",
             "import json,sys\n"
             "for r in json.load(open(sys.argv[1])):\n"
             "    print(r['serial'], r['result'], r['new_version'] or '-',\n"
             "          isinstance(r['seconds'], (int, float)), bool(r['product']), bool(r['old_version']),\n"
             "          bool(r['last_message']))\n",
             (bed_->runDirectory() / name).string()});
        return parsed.output;
    }

    static inline std::vector<std::unique_ptr<test::ScratchDirectory>> directories_;
};

TEST_F(CliFirmwareOnBed, ListShowsTheDepotAndATerminalsFiles) {
    const CliRun list = cli("--group 4711 firmware list " + address(0) + " --language English");
    EXPECT_EQ(list.exitCode, 0) << list.errors;
    const std::string depot = (bed_->runDirectory() / "FirmwareDir/TCL/V6.21/").string();
    for (const std::string& line :
         {std::string("TCL versions:  V6.20, V6.21 (chosen V6.21)\n"),
          std::string("TCL languages: Deutsch, English (chosen English)\n"),
          "TALMO 7450-PZE 100201 (TCL 6.20), TCL version V6.21:\n  " + depot +
              "monitor7450.bin  (sent only when the monitor is replaced)\n  " + depot + "tcl7450.bin\n  " +
              depot + "tables7450.dat\n  " + depot + "sprache_en.txt\n  " + depot +
              "default_en.tcl  (sent only when the terminal exchanges its default program)\n",
          std::string("minimum monitor 2_00~, monitor file 2_10~, configuration version 6.20\n")})
        EXPECT_NE(list.output.find(line), std::string::npos) << line << "in:\n" << list.output;
}

TEST_F(CliFirmwareOnBed, UpdatesRefusesAndFailsAsTheDialogDoes) {
    struct Row {
        std::string words;
        int exitCode;
        std::vector<std::string> says; // in standard output or error
    };
    const std::string group = "--group 4711 firmware update ";
    const Row rows[] = {
        // Three terminals, two slots: the third starts when one has ended.
        {group + address(0) + " " + address(1) + " " + address(2) + " --report three.json",
         0,
         {"All firmware updates succeeded.", "100201: ERROR: TFTPConnection::write(file): received error "
                                             "code 3: 'Disk full or allocation exceeded'"}},
        {group + address(2) + " " + address(3), 1, {"Only terminals of the current maintenance group"}},
        {group + address(4) + " --report failed.json",
         1,
         {"Some terminal updates failed.", "100205  TALMO 7450-PZE  TCL 6.20     -            failed"}},
        {group + address(2) + " --tcl V7.00", 2, {"--tcl V7.00: the TCL depot holds V6.20, V6.21"}},
        {group + address(5), 1, {"Converting talmo.cfg to required version failed."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words);
        const CliRun run = cli(row.words);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output << run.errors;
        for (const std::string& part : row.says)
            EXPECT_NE((run.output + run.errors).find(part), std::string::npos) << part << " in:\n"
                                                                               << run.output << run.errors;
        if (row.words.find("three.json") == std::string::npos)
            continue;
        // Two headers first; the third terminal's header follows a terminal's end.
        std::vector<std::size_t> headers;
        for (const char* serialNumber : {"100201", "100202", "100203"})
            headers.push_back(
                run.errors.find(std::string(serialNumber) + ": TALMO 7450-PZE with serial number"));
        std::sort(headers.begin(), headers.end());
        const std::size_t firstEnd = run.errors.find("Terminal is started");
        ASSERT_NE(headers.back(), std::string::npos) << run.errors;
        EXPECT_LT(headers[1], firstEnd) << run.errors;
        EXPECT_GT(headers[2], firstEnd) << run.errors;
    }

    // The older monitors were sent, the newer one was kept; each got its TCL file.
    EXPECT_TRUE(received(0, "monitor7450.bin"));
    EXPECT_FALSE(received(1, "monitor7450.bin"));
    EXPECT_TRUE(received(2, "monitor7450.bin"));
    EXPECT_TRUE(received(1, "tcl7450.bin"));
    EXPECT_FALSE(received(3, "tcl7450.bin")) << "a refused selection updates no terminal";
    // A block is never relabelled into the other byte order.
    EXPECT_FALSE(received(5, "tcl7450.bin"));
    std::ifstream kept(directories_[5]->path() / "talmo.cfg", std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(kept), {}), firmwareTestBlock("6.21"));
    const std::string three = reportLines("three.json");
    EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 3)
        << fileText(bed_->runDirectory() / "three.json");
    for (const char* serialNumber : {"100201", "100202", "100203"})
        EXPECT_NE(three.find(std::string(serialNumber) + " ok TCL 6.21 True True True True\n"),
                  std::string::npos)
            << fileText(bed_->runDirectory() / "three.json");
    EXPECT_EQ(reportLines("failed.json"), "100205 failed - True True True True\n");
    const std::string done = fileText(bed_->runDirectory() / "TALMOUpdateDone.txt");
    for (const char* line : {"100201 TCL 6.21\n", "100202 TCL 6.21\n", "100203 TCL 6.21\n"})
        EXPECT_NE(done.find(line), std::string::npos) << done;
    EXPECT_EQ(done.find("100205"), std::string::npos) << done;
    // The list shows the new version.
    const CliRun listed = cli("--group 4711 add " + address(1));
    EXPECT_NE(listed.output.find("TCL 6.21"), std::string::npos) << listed.output;
}

// With the option a monitor newer than the depot's is replaced by the
// depot's older one (which is above the firmware's minimum).
TEST_F(CliFirmwareOnBed, TheOptionReplacesANewerMonitor) {
    const CliRun run = cli("--group 4711 firmware update " + address(1) + " --replace-monitor");
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(received(1, "monitor7450.bin"));
}

TEST_F(CliFirmwareOnBed, AnInterruptLetsTheRunningUpdateFinishAndStartsNoOther) {
    test::BackgroundProcess run = test::BackgroundProcess::startProgram(
        {test::toolPath("ip"), "netns", "exec", bed_->pcNamespace(), "sh", "-c",
         "cd " + bed_->runDirectory().string() + " && exec " KESTRIX_CLI " --group 4711 firmware update " +
             address(1) + " " + address(2) + " --parallel 1 --report cancelled.json"},
        bed_->runDirectory() / "cancel.log");
    const auto started = [&] {
        return fileText(bed_->runDirectory() / "cancel.log").find("Collecting") != std::string::npos;
    };
    for (int tries = 0; tries < 300 && !started(); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(started()) << fileText(bed_->runDirectory() / "cancel.log");
    ::kill(run.pid(), SIGINT);
    const int status = run.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(60));
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130)
        << fileText(bed_->runDirectory() / "cancel.log");
    const std::string log = fileText(bed_->runDirectory() / "cancel.log");
    EXPECT_NE(log.find("not started"), std::string::npos) << log;
    const std::string report = reportLines("cancelled.json");
    EXPECT_NE(report.find(" ok TCL 6.21 "), std::string::npos) << report;
    EXPECT_NE(report.find(" failed - "), std::string::npos) << report;
}

} // namespace
} // namespace kestrix
