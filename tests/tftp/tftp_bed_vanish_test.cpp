// A server that vanishes in the middle of a transfer: the read ends with
// "timeout on receive" after its two 10-second waits, the write after its
// three 25-second waits. Slow by nature (about 20 s and 75 s).
#include "netbed/bed_availability.h"
#include "support/trace_capture.h"
#include "tftp/tftp_bed.h"
#include "tftp/tftp_connection.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kestrix::test {
namespace {

using Clock = std::chrono::steady_clock;

// Silences the terminal's namespace completely once `started` turns true.
std::thread silenceWhenStarted(const TftpBed& server, const std::atomic<bool>& started) {
    return std::thread([&server, &started] {
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server.bed.shellOnTerminal(0, "iptables -I INPUT -j DROP && iptables -I OUTPUT -j DROP");
    });
}

struct VanishCase {
    const char* name;
    const char* expectedText;
    std::chrono::seconds minimum;
    std::chrono::seconds maximum;
    std::vector<std::string> expectedTraces;
};

class ServerVanishes : public NetworkBedTest, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(ServerVanishes, TransferFailsAfterTheStatedWaits) {
    if (TftpdHpa::program().empty())
        GTEST_FAIL() << "tftpd-hpa is not installed";
    const VanishCase& testCase = GetParam();
    const bool reading = std::string(testCase.name) == "Read";
    TftpBed server;
    const std::string content = patternBytes(8 * 1024 * 1024);
    server.putFile("down.bin", content);
    const std::filesystem::path local = server.directory.string() + "-local";
    EXPECT_TRUE(server.bed.runOnPc(
        [&] {
            TraceCapture traces;
            std::atomic<bool> started{false};
            std::thread silencer = silenceWhenStarted(server, started);
            // A progress report marks the write as running; for the read the
            // local file's growth does.
            struct Started : TransferProgress {
                std::atomic<bool>* flag;
                void slotLabel(int, const std::string&) override {}
                void slotValue(int, ProgressValue kind, std::uint64_t kibibytes) override {
                    if (kind == ProgressValue::SentKiB && kibibytes >= 64)
                        *flag = true;
                }
            } progress;
            progress.flag = &started;
            std::thread watcher([&] {
                while (reading && !started) {
                    std::error_code ignored;
                    if (std::filesystem::file_size(local, ignored) >= 64 * 1024)
                        started = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            const Clock::time_point begin = Clock::now();
            try {
                if (reading)
                    TFTPConnection(TftpBed::kServer, 0, 0).read(local.string(), "down.bin");
                else
                    TFTPConnection(TftpBed::kServer, 0, 0)
                        .write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(),
                               "up.bin", &progress, 0, "up");
                ADD_FAILURE() << "transfer succeeded";
            } catch (const TFTPConnection::TFTPError& error) {
                EXPECT_EQ(error.text, testCase.expectedText);
            }
            const auto took = Clock::now() - begin;
            started = true;
            watcher.join();
            silencer.join();
            EXPECT_GE(took, testCase.minimum);
            EXPECT_LE(took, testCase.maximum);
            for (const std::string& line : testCase.expectedTraces)
                EXPECT_TRUE(traces.contains(line)) << line;
        },
        std::chrono::seconds(200)));
    std::filesystem::remove(local);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, ServerVanishes,
    ::testing::Values(VanishCase{"Read",
                                 "TFTPConnection::read(file): timeout on receive",
                                 std::chrono::seconds(20),
                                 std::chrono::seconds(25),
                                 {"TFTPConnection::read(file): timeout on receive, start 1. retry\n"}},
                      VanishCase{"Write",
                                 "TFTPConnection::write(mem): timeout on receive",
                                 std::chrono::seconds(75),
                                 std::chrono::seconds(80),
                                 {"TFTPConnection::write(mem): timeout on receive, start 1. retry\n",
                                  "TFTPConnection::write(mem): timeout on receive, start 2. retry\n"}}),
    [](const ::testing::TestParamInfo<VanishCase>& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace kestrix::test
