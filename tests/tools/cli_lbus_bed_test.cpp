// kestrix-cli lbus against talmo-sim's reader bus on one test bed (br0
// 10.77.0.1/24): a TALMO 7460 whose talmo.cfg has card readers 1-3 on LBus1
// and the internal reader, of which readers 0-2 answer on its bus (3 is
// absent), one more that follows an endless update, and a TALMO 7450, whose
// platform cannot update readers. The update's polls are shortened by
// KESTRIX_TIME_SCALE.
#include "netbed/network_bed.h"
#include "support/scratch_directory.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrix {
namespace {

using test::CliRun;

} // namespace

// A 6.20 talmo.cfg with readers on its bus (cli_lbus_bed_block.cpp).
std::vector<std::uint8_t> lbusTestBlock();

namespace {

// Terminal N answers at 10.77.0.(51 + N).
struct SimulatedTerminal {
    const char* serialNumber;
    const char* product;
    const char* statusSteps;
};
constexpr SimulatedTerminal kTerminals[] = {
    {"100351", "TALMO 7460", "2"},
    {"100352", "TALMO 7460", "1000"}, // its update runs until the polling is interrupted
    {"100353", "TALMO 7450", "2"},
};

std::string address(std::size_t terminal) {
    return "10.77.0." + std::to_string(51 + terminal);
}

class CliLBusOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        for (std::size_t index = 0; index < std::size(kTerminals); ++index) {
            directories_.push_back(std::make_unique<test::ScratchDirectory>());
            directories_.back()->write("talmo.cfg", lbusTestBlock());
            test::TerminalSetup terminal;
            terminal.ipv4 = address(index) + "/24";
            terminal.terminalSection = {{"serial_number", kTerminals[index].serialNumber},
                                        {"product", kTerminals[index].product},
                                        {"kind", "PZE"},
                                        {"firmware_version", "6.20"},
                                        {"security_id", "A1B2C3D4"},
                                        {"maintenance_group", "4711"}};
            terminal.tftpSection = {{"directory", directories_.back()->path().string()}};
            terminal.readersSection = {{"present", "0 1 2"}, {"status_steps", kTerminals[index].statusSteps}};
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
        if (bed_)
            std::ofstream(bed_->runDirectory() / "readers.trfw") << "2.00 reader firmware\n";
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        directories_.clear();
    }
    static CliRun cli(const std::string& words) {
        return test::runCli(bed_->runDirectory(), "--group 4711 lbus " + words,
                            test::toolPath("ip") + " netns exec " + bed_->pcNamespace() +
                                " env LC_ALL= LC_MESSAGES= LANG=C KESTRIX_TIME_SCALE=0.02");
    }

    static inline std::vector<std::unique_ptr<test::ScratchDirectory>> directories_;
};

TEST_F(CliLBusOnBed, ReaderActionsShowEachReadersResult) {
    struct Row {
        std::string words;
        int exitCode;
        std::string output;              // standard output, exactly
        std::vector<std::string> errors; // in standard error
    };
    const std::string first = address(0) + " ";
    const Row rows[] = {
        {first + "key --password grade3pw",
         0,
         "reader 1: OK\nreader 2: OK\nreader 3: ERROR absent\n",
         {"This action will take some seconds.", "Action executed."}},
        {first + "unlock --password grade2pw",
         0,
         "reader 0: unlocked\nreader 1: unlocked\nreader 2: unlocked\n"
         "reader 3: ERROR absent\n",
         {"Action executed."}},
        {first + "lock --readers 0,2 --password grade3pw", 0, "reader 0: locked\nreader 2: locked\n", {}},
        {first + "firmware readers.trfw --readers 1-2 --password grade3pw",
         0,
         "reader 1: update runninng\nreader 2: update runninng\nreader 1: update done\nreader 2: update "
         "done\n",
         {"Sending update package to terminal ...", "This action will take some minutes.",
          "Action executed."}},
        // Refusals where the dialog disables the control, and wrong readers.
        {first + "key --password grade2pw", 1, "", {"access grade 2 allows only unlock and lock"}},
        {address(2) + " firmware readers.trfw --password grade3pw",
         1,
         "",
         {"Terminal is unable to update reader firmware or parametrization."}},
        {first + "firmware missing.trfw --password grade3pw",
         1,
         "",
         {"No update package selected.", "No update started, or stop of status messages during update."}},
        {first + "key --readers 0,1 --password grade3pw", 2, "", {"this action offers readers 1,2,3"}},
        {first + "unlock --readers 4 --password grade3pw", 2, "", {"this action offers readers 0,1,2,3"}},
        {first + "lock --readers 1,x", 2, "", {"--readers 1,x: give reader numbers"}},
        {first + "unlock --password wrong", 1, "", {"Login incorrect"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words);
        const CliRun run = cli(row.words);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.errors;
        EXPECT_EQ(run.output, row.output) << run.errors;
        for (const std::string& text : row.errors)
            EXPECT_NE(run.errors.find(text), std::string::npos) << text << " in:\n" << run.errors;
    }
}

TEST_F(CliLBusOnBed, InterruptStopsFollowingAnUpdate) {
    // The interrupt comes once the first status answer is shown; job control
    // on, so that the program started in the background still takes SIGINT.
    const CliRun run = test::runCli(
        bed_->runDirectory(),
        "--group 4711 lbus " + address(1) +
            " firmware readers.trfw --readers 1 --password grade3pw"
            " >polling.txt 2>interrupted.txt & child=$!; "
            "for i in $(seq 600); do grep -q update polling.txt && break; sleep 0.1; done; kill -INT $child; "
            "wait $child",
        "set -m; " + test::toolPath("ip") + " netns exec " + bed_->pcNamespace() +
            " env LC_ALL= LC_MESSAGES= LANG=C KESTRIX_TIME_SCALE=0.02");
    EXPECT_EQ(run.exitCode, 130) << run.errors;
    std::ifstream file(bed_->runDirectory() / "interrupted.txt");
    const std::string errors(std::istreambuf_iterator<char>(file), {});
    for (const char* text : {"Terminal acts stand-alone.", "No update started, or stop of status messages"})
        EXPECT_NE(errors.find(text), std::string::npos) << text << " in:\n" << errors;
}

} // namespace
} // namespace kestrix
