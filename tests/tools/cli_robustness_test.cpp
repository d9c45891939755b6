#include "netbed/network_bed.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

// kestrix-cli where a technician's run goes wrong. Asked to end (Ctrl-C,
// SIGTERM) in the middle of its work, it removes its temporary files and the
// host routes it added, and ends with 128 + the signal's number; what it
// cannot do it says, with exit code 1. On a bed of three terminals: one in a
// foreign subnet (it needs a host route), one whose replies are slow and one
// that uses IP-based authentication.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::BackgroundProcess;
using test::BedLayout;
using test::NetworkBed;

class CliOnTheBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        BedLayout layout;
        test::TerminalSetup foreign;
        foreign.ipv4 = "192.168.99.5/24";
        foreign.terminalSection = {{"serial_number", "100103"}, {"product", "TALMO 7600"}, {"kind", "PZE"},
                                   {"firmware_version", "6.20"}, {"security_id", "A1B2C3D4"}};
        test::TerminalSetup slow;
        slow.ipv4 = "10.77.0.12/24";
        slow.terminalSection = {{"serial_number", "100102"}, {"product", "TALMO 7450"}, {"kind", "ACM"},
                                {"firmware_version", "6.20"}, {"security_id", "A1B2C3D4"}};
        // 300 blocks of 512 bytes, each answered 40 ms late: a transfer of many seconds.
        slow.tftpSection = {{"directory", servedDirectory().string()}};
        slow.linkFaults.delayToPc = std::chrono::milliseconds(40);
        fs::create_directories(servedDirectory());
        std::ofstream(servedDirectory() / "big.bin", std::ios::binary) << std::string(300 * 512, 'k');
        test::TerminalSetup ipBased;
        ipBased.ipv4 = "10.77.0.14/24";
        ipBased.terminalSection = {{"serial_number", "100104"},  {"product", "TALMO 7460"},
                                   {"kind", "PZE"},              {"firmware_version", "6.20"},
                                   {"authentication", "ip"},     {"maintenance_group", "4711"}};
        layout.terminals = {foreign, slow, ipBased};
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(servedDirectory());
    }
    static fs::path servedDirectory() {
        return fs::temp_directory_path() / ("kestrix-interrupt-" + std::to_string(::getpid()));
    }

    // kestrix-cli with the words, in the PC's namespace, from the bed's run directory.
    BackgroundProcess start(const std::string& words) const {
        return BackgroundProcess::startProgram(
            {"ip", "netns", "exec", bed_->pcNamespace(), "sh", "-c",
             "cd " + bed_->runDirectory().string() + " && exec " KESTRIX_CLI " " + words},
            bed_->runDirectory() / "cli.log");
    }
    bool pcHasRouteTo(const std::string& address) const {
        return bed_->shellOnPc("ip route show " + address + "/32").output.find(address) != std::string::npos;
    }
    // Waits up to 30 s for the condition; false when it never held.
    static bool awaitCondition(const std::function<bool()>& condition) {
        for (int tries = 0; tries < 300; ++tries) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    static int exitCodeOf(BackgroundProcess& process) {
        const int status = process.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(30));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // kestrix-cli run to its end: its exit code and standard error.
    std::pair<int, std::string> run(const std::string& words) const {
        BackgroundProcess cli = start(words);
        const int exitCode = exitCodeOf(cli);
        std::ifstream log(bed_->runDirectory() / "cli.log");
        return {exitCode, std::string(std::istreambuf_iterator<char>(log), {})};
    }
    std::vector<std::string> leftOvers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(bed_->runDirectory()))
            if (entry.path().filename().string().find(".kestrix-") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(CliOnTheBed, CtrlCDuringAReadDeletesTheHostRouteItAdded) {
    // The foreign terminal gets its route; the missing one is then searched for.
    std::ofstream(bed_->runDirectory() / "site.rch") << "100103;;;;;;;\r\n999999;;;;;;;\r\n";
    BackgroundProcess cli = start("read site.rch");
    ASSERT_TRUE(awaitCondition([&] { return pcHasRouteTo("192.168.99.5"); }))
        << "no host route was added; " << (cli.running() ? "still running" : "ended")
        << bed_->shellOnPc("cat " + (bed_->runDirectory() / "cli.log").string() + "; ip route").output;
    ::kill(cli.pid(), SIGINT);
    EXPECT_EQ(exitCodeOf(cli), 130);
    EXPECT_FALSE(pcHasRouteTo("192.168.99.5")) << "the interrupted run left its host route";
}

TEST_F(CliOnTheBed, SigtermDuringAFileGetRemovesTheTemporaryFileAndKeepsTheTarget) {
    std::ofstream(bed_->runDirectory() / "big.bin") << "the old copy";
    BackgroundProcess cli = start("file get 10.77.0.12 big.bin big.bin");
    ASSERT_TRUE(awaitCondition([&] { return !leftOvers().empty(); })) << "the transfer did not start";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(cli.pid(), SIGTERM);
    EXPECT_EQ(exitCodeOf(cli), 143);
    EXPECT_TRUE(leftOvers().empty());
    std::ifstream file(bed_->runDirectory() / "big.bin");
    std::string text;
    std::getline(file, text);
    EXPECT_EQ(text, "the old copy");
}

TEST_F(CliOnTheBed, ReadNamesEveryLineItLeavesOut) {
    std::ofstream(bed_->runDirectory() / "mixed.rch")
        << "100102;;;;;;;\r\n100102;10.77.0.12;;\r\n999999;;;;;;;\r\n";
    const auto [exitCode, errors] = run("read mixed.rch");
    EXPECT_EQ(exitCode, 1) << errors;
    EXPECT_NE(errors.find("left out '100102;10.77.0.12;;': The line of the terminal list has a wrong format."),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("left out '999999;;;;;;;': No response from terminal."), std::string::npos) << errors;
}

TEST_F(CliOnTheBed, InfoOfAnIPBasedTerminalSaysWhatItCouldNotRead) {
    // Found by the ID-based search, the terminal does not accept it.
    auto [exitCode, output] = run("--group 4711 info 10.77.0.14");
    EXPECT_EQ(exitCode, 1) << output;
    EXPECT_NE(output.find("ID-based search not accepted"), std::string::npos) << output;
    EXPECT_NE(output.find("EEPROM          cannot be read"), std::string::npos) << output;
    EXPECT_EQ(output.find("autoexec.bat"), std::string::npos) << "a 7460 has none";
    // With -a, as the window's alternative adding mode, the IP-based search finds its acceptance.
    std::tie(exitCode, output) = run("--group 4711 -a info 10.77.0.14");
    EXPECT_EQ(exitCode, 0) << output;
    EXPECT_NE(output.find("IP-based, accepted"), std::string::npos) << output;
}

} // namespace
} // namespace kestrix
