// A server that falls silent in the middle of a transfer: the read ends with
// "timeout on receive" after its two 10-second waits and one resend, the
// write after its three 25-second waits and two resends. The waits are the
// behaviour under test, so both run at once and take about 75 s.
#include "support/trace_capture.h"
#include "tftp/scripted_server.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>

namespace kestrix::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Outcome {
    Failure failure;
    Clock::duration took{};
    std::vector<std::string> packets;
};

// Runs the transfer against a server on port that answers the first packet
// with `answer` and then nothing.
template <typename Transfer>
Outcome silentAfterFirstAnswer(std::uint16_t port, std::string answer, Transfer transfer) {
    ScriptedServer server({{0, {answer}}}, port);
    TFTPConnection connection("::ffff:127.0.0.1", 0, 0, port);
    Outcome outcome;
    const Clock::time_point begin = Clock::now();
    outcome.failure = failureOf([&] { transfer(connection); });
    outcome.took = Clock::now() - begin;
    outcome.packets = server.everythingSentBy(connection);
    return outcome;
}

TEST(TftpTimeouts, SilentServerFailsTheTransferAfterTheStatedWaitsAndResends) {
    TraceCapture traces;
    const std::string file = ::testing::TempDir() + "tftp_timeout_local.bin";
    auto reading = std::async(std::launch::async, [&] {
        return silentAfterFirstAnswer(6969, dataPacket(1, patternBytes(512)),
                                      [&](TFTPConnection& connection) { connection.read(file, "down.bin"); });
    });
    const std::string content = patternBytes(2000);
    auto writing = std::async(std::launch::async, [&] {
        return silentAfterFirstAnswer(6970, ackPacket(0), [&](TFTPConnection& connection) {
            connection.write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(), "up.bin");
        });
    });
    const Outcome read = reading.get();
    EXPECT_EQ(read.failure, Failure(4, "TFTPConnection::read(file): timeout on receive"));
    EXPECT_GE(read.took, 20s);
    // RRQ, the ACK and its one resend, and the final ACK.
    EXPECT_EQ(read.packets, (std::vector<std::string>{requestPacket(1, "down.bin"), ackPacket(1),
                                                      ackPacket(1), ackPacket(1)}));
    const Outcome write = writing.get();
    EXPECT_EQ(write.failure, Failure(3, "TFTPConnection::write(mem): timeout on receive"));
    EXPECT_GE(write.took, 75s);
    const std::string block = dataPacket(1, content.substr(0, 512));
    EXPECT_EQ(write.packets, (std::vector<std::string>{requestPacket(2, "up.bin"), block, block, block}));
    for (const char* line : {"TFTPConnection::read(file): timeout on receive, start 1. retry\n",
                             "TFTPConnection::write(mem): timeout on receive, start 1. retry\n",
                             "TFTPConnection::write(mem): timeout on receive, start 2. retry\n"})
        EXPECT_TRUE(traces.contains(line)) << line;
    std::remove(file.c_str());
}

} // namespace
} // namespace kestrix::test
