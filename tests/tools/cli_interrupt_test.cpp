#include "netbed/network_bed.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

// kestrix-cli asked to end (Ctrl-C, SIGTERM) in the middle of its work: it
// removes its temporary files and the host routes it added, and ends with
// 128 + the signal's number. On a bed of two terminals: one in a foreign
// subnet (it needs a host route) and one whose replies are slow.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::BackgroundProcess;
using test::BedLayout;
using test::NetworkBed;

class CliInterrupt : public test::SharedNetworkBedTest {
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
        layout.terminals = {foreign, slow};
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
    std::vector<std::string> leftOvers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(bed_->runDirectory()))
            if (entry.path().filename().string().find(".kestrix-") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(CliInterrupt, CtrlCDuringAReadDeletesTheHostRouteItAdded) {
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

TEST_F(CliInterrupt, SigtermDuringAFileGetRemovesTheTemporaryFileAndKeepsTheTarget) {
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

} // namespace
} // namespace kestrix
