// TFTPConnection against a scripted server on loopback: the exact packets it
// sends and how it takes duplicates, strays, runts and errors. Runs in a
// network namespace of its own (fixed ports).
#include "support/sockets.h"
#include "tftp/tftp_connection.h"

#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "tftp/tftp_packets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kServerPort = 6969;
const std::string kServer = "::ffff:127.0.0.1";

// Answers the client's Nth packet (counted from 0) with the packets the script
// gives for N (an empty packet stands for a pause of 50 ms); packets the
// script does not name go unanswered.
class ScriptedServer {
public:
    explicit ScriptedServer(std::map<std::size_t, std::vector<std::string>> script,
                            std::uint16_t port = kServerPort)
        : script_(std::move(script)),
          peer_("127.0.0.1", port, [this](const PeerRequest& request, ScriptedPeer& peer) {
              const auto answers = script_.find(count_++);
              if (answers != script_.end())
                  for (const std::string& packet : answers->second) {
                      if (packet.empty())
                          std::this_thread::sleep_for(50ms);
                      else
                          peer.reply(request, packet);
                  }
          }) {}

    std::vector<std::string> received() {
        std::vector<std::string> packets;
        for (const PeerRequest& request : peer_.requests())
            packets.push_back(request.bytes);
        return packets;
    }
    ScriptedPeer& peer() { return peer_; }

private:
    std::map<std::size_t, std::vector<std::string>> script_;
    std::size_t count_ = 0;
    ScriptedPeer peer_;
};

// The client's packets arrive before its call returns, except the final ACK of
// a read, which needs a moment.
std::vector<std::string> settledPackets(ScriptedServer& server, std::size_t expected) {
    server.peer().waitForRequests(expected, 1s);
    return server.received();
}

const std::string kFull1 = patternBytes(512);
const std::string kFull2 = patternBytes(1024).substr(512);

struct ReadCase {
    const char* name;
    std::map<std::size_t, std::vector<std::string>> script;
    std::size_t bufferSize;
    std::string expectedData;                 // when the read succeeds
    int expectedErrorId;                      // 0: success
    std::string expectedErrorText;            // when it fails
    std::vector<std::string> expectedPackets; // what the client sent, RRQ first
    std::vector<std::string> expectedTraces;
    std::vector<std::string> absentTraces;
};

class MemoryRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MemoryRead, SendsAndTracesExactly) {
    const ReadCase& testCase = GetParam();
    TraceCapture traces;
    ScriptedServer server(testCase.script);
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    std::vector<std::uint8_t> buffer(testCase.bufferSize);
    if (testCase.expectedErrorId == 0) {
        const std::size_t length = connection.read(buffer.data(), buffer.size(), "file.bin");
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)),
                  testCase.expectedData);
        EXPECT_TRUE(traces.contains("TFTPConnection::read(file.bin) successful (len " +
                                    std::to_string(testCase.expectedData.size()) + " bytes)\n"));
    } else {
        try {
            connection.read(buffer.data(), buffer.size(), "file.bin");
            ADD_FAILURE() << "read succeeded";
        } catch (const TFTPConnection::TFTPError& error) {
            EXPECT_EQ(error.id(), testCase.expectedErrorId);
            EXPECT_EQ(error.text, testCase.expectedErrorText);
            EXPECT_TRUE(traces.contains(testCase.expectedErrorText + "\n"));
        }
    }
    EXPECT_EQ(settledPackets(server, testCase.expectedPackets.size()), testCase.expectedPackets);
    for (const std::string& line : testCase.expectedTraces)
        EXPECT_TRUE(traces.contains(line)) << line << "\n--- trace:\n" << traces.text();
    for (const std::string& line : testCase.absentTraces)
        EXPECT_FALSE(traces.contains(line)) << line;
}

const std::string kRrq = requestPacket(1, "file.bin");
const std::string kPrefix = "TFTPConnection::read(mem,file): ";

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryRead,
    ::testing::Values(
        ReadCase{"EmptyFile", {{0, {dataPacket(1, "")}}}, 100, "", 0, "", {kRrq, ackPacket(1)}, {}, {}},
        ReadCase{"ExactlyOneBlockEndsWithEmptyBlock",
                 {{0, {dataPacket(1, kFull1)}}, {1, {dataPacket(2, "")}}},
                 600,
                 kFull1,
                 0,
                 "",
                 {kRrq, ackPacket(1), ackPacket(2)},
                 {},
                 {}},
        ReadCase{"PreviousBlockResendsLastAck",
                 {{0, {dataPacket(1, kFull1)}}, {1, {dataPacket(1, kFull1)}}, {2, {dataPacket(2, "end")}}},
                 2000,
                 kFull1 + "end",
                 0,
                 "",
                 {kRrq, ackPacket(1), ackPacket(1), ackPacket(2)},
                 {kPrefix + "block counts differ\n", kPrefix + "resend ack\n"},
                 {}},
        ReadCase{"TwoBehindIsIgnored",
                 {{0, {dataPacket(1, kFull1)}},
                  {1, {dataPacket(2, kFull2)}},
                  {2, {dataPacket(1, kFull1), dataPacket(3, "x")}}},
                 2000,
                 kFull1 + kFull2 + "x",
                 0,
                 "",
                 {kRrq, ackPacket(1), ackPacket(2), ackPacket(3)},
                 {kPrefix + "block counts differ\n"},
                 {"resend ack"}},
        ReadCase{
            "RuntAndWrongTypeAreSkipped",
            {{0, {std::string("\0\3", 2), ackPacket(1), dataPacket(1, "ok")}}},
            100,
            "ok",
            0,
            "",
            {kRrq, ackPacket(1)},
            {kPrefix + "runt packet received - 2 bytes\n", kPrefix + "received invalid packet type 0x4 (4)"},
            {}},
        ReadCase{"ErrorPacketEndsWithFinalAck",
                 {{0, {errorPacket(1, "File not found")}}},
                 100,
                 "",
                 4,
                 kPrefix + "received error code 1: 'File not found'",
                 {kRrq, ackPacket(0)},
                 {},
                 {}},
        ReadCase{"ErrorTextWithoutZeroByte",
                 {{0, {word(5) + word(2) + "denied"}}},
                 100,
                 "",
                 4,
                 kPrefix + "received error code 2: 'denied'",
                 {kRrq, ackPacket(0)},
                 {},
                 {}},
        ReadCase{"FileLongerThanBufferIsAcknowledgedToTheEnd",
                 {{0, {dataPacket(1, kFull1)}},
                  {1, {dataPacket(2, kFull2)}},
                  {2, {dataPacket(3, std::string(176, 'z'))}}},
                 1000,
                 "",
                 2,
                 kPrefix + "received packet exceeds buffer size 1000",
                 {kRrq, ackPacket(1), ackPacket(2), ackPacket(3)},
                 {},
                 {}}),
    [](const ::testing::TestParamInfo<ReadCase>& testInfo) { return std::string(testInfo.param.name); });

struct WriteCase {
    const char* name;
    std::string data;
    std::map<std::size_t, std::vector<std::string>> script;
    std::vector<std::string> expectedPackets; // WRQ first
    std::vector<std::string> expectedTraces;
};

class MemoryWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(MemoryWrite, SendsExactly) {
    const WriteCase& testCase = GetParam();
    TraceCapture traces;
    ScriptedServer server(testCase.script);
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    connection.write(reinterpret_cast<const std::uint8_t*>(testCase.data.data()), testCase.data.size(),
                     "up.bin");
    EXPECT_EQ(server.received(), testCase.expectedPackets);
    EXPECT_TRUE(traces.contains("TFTPConnection::write(up.bin) successful (len " +
                                std::to_string(testCase.data.size()) + " bytes)\n"));
    for (const std::string& line : testCase.expectedTraces)
        EXPECT_TRUE(traces.contains(line)) << line << "\n--- trace:\n" << traces.text();
}

const std::string kWrq = requestPacket(2, "up.bin");
const std::string kWritePrefix = "TFTPConnection::write(mem): ";

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryWrite,
    ::testing::Values(
        WriteCase{"EmptySendsOneEmptyBlock",
                  "",
                  {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}},
                  {kWrq, dataPacket(1, "")},
                  {}},
        WriteCase{"TwoFullBlocksEndWithEmptyBlock",
                  kFull1 + kFull2,
                  {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}, {2, {ackPacket(2)}}, {3, {ackPacket(3)}}},
                  {kWrq, dataPacket(1, kFull1), dataPacket(2, kFull2), dataPacket(3, "")},
                  {}},
        // The server's own resend of the previous ACK (after its time-out)
        // brings the DATA block again; a repeat right behind the first ACK is
        // an echo of a duplicated packet and answering it would double the
        // traffic with each block.
        WriteCase{"LateRepeatedAckResendsData",
                  kFull1,
                  {{0, {ackPacket(0)}}, {1, {"", ackPacket(0)}}, {2, {ackPacket(1)}}, {3, {ackPacket(2)}}},
                  {kWrq, dataPacket(1, kFull1), dataPacket(1, kFull1), dataPacket(2, "")},
                  {kWritePrefix + "block counts differ\n", kWritePrefix + "resend data"}},
        WriteCase{"ImmediateRepeatedAckIsIgnored",
                  "abc",
                  {{0, {ackPacket(0)}}, {1, {ackPacket(0), ackPacket(1)}}},
                  {kWrq, dataPacket(1, "abc")},
                  {kWritePrefix + "block counts differ\n"}},
        // The server's final ACK is lost: the server sends none by itself
        // and answers a repeated last block only for a short time.
        WriteCase{"LostFinalAckRepeatsLastBlockEarly",
                  "abc",
                  {{0, {ackPacket(0)}}, {2, {ackPacket(1)}}},
                  {kWrq, dataPacket(1, "abc"), dataPacket(1, "abc")},
                  {kWritePrefix + "no ACK of the last block yet, resend data\n"}},
        WriteCase{"LostFinalAckOfEmptyLastBlock",
                  kFull1,
                  {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}, {5, {ackPacket(2)}}},
                  {kWrq, dataPacket(1, kFull1), dataPacket(2, ""), dataPacket(2, ""), dataPacket(2, ""),
                   dataPacket(2, "")},
                  {kWritePrefix + "no ACK of the last block yet, resend data\n"}},
        WriteCase{"RuntIsSkipped",
                  "",
                  {{0, {std::string(1, '\0'), ackPacket(0)}}, {1, {ackPacket(1)}}},
                  {kWrq, dataPacket(1, "")},
                  {kWritePrefix + "runt packet received - 1 bytes\n"}}),
    [](const ::testing::TestParamInfo<WriteCase>& testInfo) { return std::string(testInfo.param.name); });

TEST(TftpPeer, ServerTransferPortIsAdoptedAndOtherAddressesIgnored) {
    TraceCapture traces;
    // The transfer port answers from 6970; a stranger on 127.0.0.2 sends a
    // block first, which must not reach the data.
    ScriptedServer transfer({{0, {dataPacket(2, "tail")}}}, 6970);
    ScriptedPeer stranger("127.0.0.2", 6971);
    ScriptedServer server({});
    ScriptedPeer requestPort("127.0.0.1", 0);
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    sockaddr_in client{};
    client.sin_family = AF_INET;
    client.sin_port = htons(connection.localPort());
    client.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::thread answer([&] {
        if (!server.peer().waitForRequests(1, 2s))
            return;
        stranger.sendTo(client, dataPacket(1, "bogus"));
        std::this_thread::sleep_for(50ms);
        transfer.peer().sendTo(client, dataPacket(1, kFull1));
    });
    std::vector<std::uint8_t> buffer(2000);
    const std::size_t length = connection.read(buffer.data(), buffer.size(), "file.bin");
    answer.join();
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)), kFull1 + "tail");
    EXPECT_EQ(server.received(), std::vector<std::string>{kRrq});
    EXPECT_EQ(settledPackets(transfer, 2), (std::vector<std::string>{ackPacket(1), ackPacket(2)}));
    EXPECT_TRUE(traces.contains(kPrefix + "received packet from wrong peer\n"
                                          "   Check, if computer owns a global IPv6 address!\n"));
}

TEST(TftpPeer, WriteRefusedByServerCarriesItsText) {
    ScriptedServer server({{0, {errorPacket(2, "Access violation")}}});
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    const std::uint8_t byte = 1;
    try {
        connection.write(&byte, 1, "up.bin");
        ADD_FAILURE() << "write succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 3);
        EXPECT_EQ(error.text, kWritePrefix + "received error code 2: 'Access violation'");
    }
}

// Records what a display slot is told.
class SlotRecorder : public TransferProgress {
public:
    void slotLabel(int slot, const std::string& text) override {
        events.push_back(std::to_string(slot) + " " + text);
    }
    void slotValue(int slot, ProgressValue kind, std::uint64_t kibibytes) override {
        events.push_back(std::to_string(slot) + (kind == ProgressValue::TotalKiB ? " total " : " sent ") +
                         std::to_string(kibibytes));
    }
    std::vector<std::string> events;
};

std::map<std::size_t, std::vector<std::string>> acknowledgeAll(unsigned blocks) {
    std::map<std::size_t, std::vector<std::string>> script;
    for (unsigned block = 0; block <= blocks; ++block)
        script[block] = {ackPacket(block)};
    return script;
}

TEST(TftpProgress, SlotSeesLabelTotalAndWholeKibibytes) {
    ScriptedServer server(acknowledgeAll(6));
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    SlotRecorder slot;
    const std::string data = patternBytes(3000);
    connection.write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), "up.bin", &slot, 1,
                     "Firmware");
    EXPECT_EQ(slot.events,
              (std::vector<std::string>{"1 Firmware:", "1 total 3", "1 sent 1", "1 sent 2", "1 sent 3"}));
}

TEST(TftpLocalFiles, MissingFileIsSilentWithObserverAndAnErrorWithout) {
    ScriptedServer server({});
    const std::string missing = "/nonexistent-kestrix/missing.bin";
    {
        TFTPConnection connection(kServer, 0, 0, kServerPort);
        SlotRecorder slot;
        EXPECT_NO_THROW(connection.write(missing, "up.bin", &slot, 0));
        EXPECT_TRUE(slot.events.empty());
    }
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    try {
        connection.write(missing, "up.bin");
        ADD_FAILURE() << "write succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 2);
        EXPECT_EQ(error.text, "TFTPConnection::write(file): File '" + missing +
                                  "' cannot be read: No such file or directory (2)");
    }
    EXPECT_TRUE(server.received().empty());
}

TEST(TftpLocalFiles, LongTextsAreCutToTheMessageField) {
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    const std::string longName = "/nonexistent-kestrix/" + std::string(400, 'n');
    try {
        connection.read(longName, "file.bin");
        ADD_FAILURE() << "read succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 2);
        EXPECT_EQ(error.text.size(), TFTPConnection::kLastMessageSize - 1);
        EXPECT_EQ(error.text, ("TFTPConnection::read(file): File '" + longName).substr(0, 199));
    }
}

TEST(TftpLocalFiles, OverlongRemoteNameSendsNothing) {
    ScriptedServer server({});
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    std::vector<std::uint8_t> buffer(10);
    EXPECT_THROW(connection.read(buffer.data(), buffer.size(), std::string(505, 'r')),
                 TFTPConnection::TFTPError);
    EXPECT_TRUE(server.received().empty());
}

// A local file that cannot take the data: the server is told with an ERROR
// packet when a write fails during the transfer, and a write that fails only
// when the file is closed fails the read too instead of reporting success.
TEST(TftpLocalFiles, FullDiskFailsTheRead) {
    struct Case {
        std::size_t blocks;
        bool serverToldOfFailure;
    };
    for (const Case& testCase : {Case{1, false}, Case{12, true}}) {
        std::map<std::size_t, std::vector<std::string>> script;
        for (std::size_t block = 1; block <= testCase.blocks; ++block)
            script[block - 1] = {
                dataPacket(static_cast<unsigned>(block), block == testCase.blocks ? "end" : kFull1)};
        ScriptedServer server(script);
        TFTPConnection connection(kServer, 0, 0, kServerPort);
        try {
            connection.read("/dev/full", "file.bin");
            ADD_FAILURE() << "read succeeded";
        } catch (const TFTPConnection::TFTPError& error) {
            EXPECT_EQ(error.id(), 4);
            EXPECT_EQ(error.text, "File '/dev/full' cannot be written: No space left on device (28)");
        }
        // Everything the client sends has arrived once its final ACK has.
        server.peer().waitForRequests(testCase.blocks + 3, 300ms);
        const std::vector<std::string> received = server.received();
        const std::string nak = errorPacket(0, "No space left on device");
        EXPECT_EQ(std::find(received.begin(), received.end(), nak) != received.end(),
                  testCase.serverToldOfFailure)
            << testCase.blocks << " blocks";
    }
}

TEST(TftpConstruction, DottedAddressIsRejectedItsMappedFormTaken) {
    try {
        TFTPConnection connection("127.0.0.1", 0, 0);
        ADD_FAILURE() << "constructed";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 1);
        EXPECT_EQ(error.text, "TFTPConnection(127.0.0.1): no remote address");
    }
    EXPECT_NO_THROW(TFTPConnection("::ffff:127.0.0.1", 0, 0));
}

// A dual-stack socket bound to a port, as another connection would hold it.
int holdPort(std::uint16_t port) {
    const int descriptor = test::bindDualStackUdp(port);
    EXPECT_GE(descriptor, 0);
    return descriptor;
}

TEST(TftpConstruction, BindLoopSkipsPortsInUse) {
    TraceCapture traces;
    const int first = holdPort(5000);
    const int second = holdPort(5001);
    {
        TFTPConnection connection(kServer, 5000, 5002);
        EXPECT_EQ(connection.localPort(), 5002);
        EXPECT_TRUE(traces.contains(
            "TFTPConnection(::ffff:127.0.0.1) mit lokaler Portnummer 5002: Konstruktor done\n"));
    }
    const int third = holdPort(5002);
    try {
        TFTPConnection connection(kServer, 5000, 5002);
        ADD_FAILURE() << "constructed";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), EADDRINUSE);
        EXPECT_EQ(error.text, "TFTPConnection(::ffff:127.0.0.1): all bind() calls failed");
    }
    for (const int descriptor : {first, second, third})
        ::close(descriptor);
}

TEST(TftpLocalFiles, ARemoteNameWithAZeroByteIsRefusedWithItsOwnText) {
    ScriptedServer server({});
    TFTPConnection connection(kServer, 0, 0, kServerPort);
    std::vector<std::uint8_t> buffer(10);
    try {
        connection.read(buffer.data(), buffer.size(), std::string("name\0.bin", 9));
        ADD_FAILURE() << "read succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.text, "TFTPConnection::read(mem,file): remote file name 'name' contains a zero byte");
    }
    EXPECT_TRUE(server.received().empty());
}

} // namespace
} // namespace kestrix::test
