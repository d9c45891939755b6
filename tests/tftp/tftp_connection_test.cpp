// TFTPConnection against a scripted server on loopback: the exact packets it
// sends and how it takes duplicates, strays, runts and errors. Runs in a
// network namespace of its own (fixed ports).
#include "tftp/tftp_connection.h"

#include "support/sockets.h"
#include "support/trace_capture.h"
#include "tftp/scripted_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;
using Packets = std::vector<std::string>;

const std::string kServer = "::ffff:127.0.0.1";
const std::string kFull1 = patternBytes(512);
const std::string kFull2 = patternBytes(1024).substr(512);
const std::string kRrq = requestPacket(1, "file.bin");
const std::string kWrq = requestPacket(2, "up.bin");
const std::string kReadPrefix = "TFTPConnection::read(mem,file): ";
const std::string kWritePrefix = "TFTPConnection::write(mem): ";

enum class Transfer { Read, Write };

struct Case {
    const char* name;
    Transfer transfer;
    std::string data = {}; // written, or expected from a successful read
    Script script = {};
    Packets expectedPackets = {};         // what the client sent, request first
    std::vector<std::string> traces = {}; // lines the trace must hold
    std::string absentTrace = {};         // a text the trace must not hold (empty: none)
    int errorId = 0;                      // 0: success
    std::string errorText = {};
    std::size_t bufferSize = 2000; // reads only
};

void PrintTo(const Case& c, std::ostream* stream) {
    *stream << c.name;
}

class MemoryTransfer : public ::testing::TestWithParam<Case> {};

TEST_P(MemoryTransfer, SendsAndTracesExactly) {
    const Case& c = GetParam();
    const bool reading = c.transfer == Transfer::Read;
    TraceCapture traces;
    ScriptedServer server(c.script);
    TFTPConnection connection(kServer, 0, 0, 6969);
    std::vector<std::uint8_t> buffer(c.bufferSize);
    try {
        std::size_t length = c.data.size();
        if (reading)
            length = connection.read(buffer.data(), buffer.size(), "file.bin");
        else
            connection.write(reinterpret_cast<const std::uint8_t*>(c.data.data()), c.data.size(), "up.bin");
        EXPECT_EQ(c.errorId, 0) << "the transfer succeeded";
        EXPECT_TRUE(!reading ||
                    std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)) == c.data);
        EXPECT_TRUE(
            traces.contains("TFTPConnection::" + std::string(reading ? "read(file.bin)" : "write(up.bin)") +
                            " successful (len " + std::to_string(c.data.size()) + " bytes)\n"));
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), c.errorId);
        EXPECT_EQ(error.text, c.errorText);
        EXPECT_TRUE(traces.contains(c.errorText + "\n"));
    }
    EXPECT_EQ(server.everythingSentBy(connection), c.expectedPackets);
    for (const std::string& line : c.traces)
        EXPECT_TRUE(traces.contains(line)) << line << "\n--- trace:\n" << traces.text();
    EXPECT_TRUE(c.absentTrace.empty() || !traces.contains(c.absentTrace)) << c.absentTrace;
}

constexpr Transfer kRead = Transfer::Read;
constexpr Transfer kWrite = Transfer::Write;

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryTransfer,
    ::testing::Values(
        Case{"EmptyFile", kRead, "", {{0, {dataPacket(1, "")}}}, {kRrq, ackPacket(1)}},
        Case{"ExactlyFillsTheBuffer",
             kRead,
             kFull1 + "end",
             {{0, {dataPacket(1, kFull1)}}, {1, {dataPacket(2, "end")}}},
             {kRrq, ackPacket(1), ackPacket(2)},
             {},
             "",
             0,
             "",
             515},
        Case{"OneFullBlockEndsWithEmptyBlock",
             kRead,
             kFull1,
             {{0, {dataPacket(1, kFull1)}}, {1, {dataPacket(2, "")}}},
             {kRrq, ackPacket(1), ackPacket(2)}},
        Case{"PreviousBlockResendsLastAck",
             kRead,
             kFull1 + "end",
             {{0, {dataPacket(1, kFull1)}}, {1, {dataPacket(1, kFull1)}}, {2, {dataPacket(2, "end")}}},
             {kRrq, ackPacket(1), ackPacket(1), ackPacket(2)},
             {kReadPrefix + "block counts differ\n", kReadPrefix + "resend ack\n"}},
        Case{"TwoBehindIsIgnored",
             kRead,
             kFull1 + kFull2 + "x",
             {{0, {dataPacket(1, kFull1)}},
              {1, {dataPacket(2, kFull2)}},
              {2, {dataPacket(1, kFull1), dataPacket(3, "x")}}},
             {kRrq, ackPacket(1), ackPacket(2), ackPacket(3)},
             {kReadPrefix + "block counts differ\n"},
             "resend ack"},
        Case{"RuntAndWrongTypeAreSkipped",
             kRead,
             "ok",
             {{0, {std::string("\0\3", 2), ackPacket(1), dataPacket(1, "ok")}}},
             {kRrq, ackPacket(1)},
             {kReadPrefix + "runt packet received - 2 bytes\n",
              kReadPrefix + "received invalid packet type 0x4 (4)"}},
        Case{"ErrorPacketEndsWithFinalAck",
             kRead,
             "",
             {{0, {errorPacket(1, "File not found")}}},
             {kRrq, ackPacket(0)},
             {},
             "",
             4,
             kReadPrefix + "received error code 1: 'File not found'"},
        Case{"ErrorTextWithoutZeroByte",
             kRead,
             "",
             {{0, {word(5) + word(2) + "denied"}}},
             {kRrq, ackPacket(0)},
             {},
             "",
             4,
             kReadPrefix + "received error code 2: 'denied'"},
        Case{"FileLongerThanBufferIsAcknowledgedToTheEnd",
             kRead,
             "",
             {{0, {dataPacket(1, kFull1)}},
              {1, {dataPacket(2, kFull2)}},
              {2, {dataPacket(3, std::string(176, 'z'))}}},
             {kRrq, ackPacket(1), ackPacket(2), ackPacket(3)},
             {},
             "",
             2,
             kReadPrefix + "received packet exceeds buffer size 1000",
             1000},
        Case{"EmptySendsOneEmptyBlock",
             kWrite,
             "",
             {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}},
             {kWrq, dataPacket(1, "")}},
        Case{"TwoFullBlocksEndWithEmptyBlock",
             kWrite,
             kFull1 + kFull2,
             {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}, {2, {ackPacket(2)}}, {3, {ackPacket(3)}}},
             {kWrq, dataPacket(1, kFull1), dataPacket(2, kFull2), dataPacket(3, "")}},
        // The server's own resend of the previous ACK (after its time-out)
        // brings the DATA block again; a repeat right behind the first ACK is
        // an echo of a duplicated packet and answering it would double the
        // traffic with each block.
        Case{"LateRepeatedAckResendsData",
             kWrite,
             kFull1,
             {{0, {ackPacket(0)}}, {1, {"", ackPacket(0)}}, {2, {ackPacket(1)}}, {3, {ackPacket(2)}}},
             {kWrq, dataPacket(1, kFull1), dataPacket(1, kFull1), dataPacket(2, "")},
             {kWritePrefix + "block counts differ\n", kWritePrefix + "resend data"}},
        Case{"ImmediateRepeatedAckIsIgnored",
             kWrite,
             "abc",
             {{0, {ackPacket(0)}}, {1, {ackPacket(0), ackPacket(1)}}},
             {kWrq, dataPacket(1, "abc")},
             {kWritePrefix + "block counts differ\n"},
             "resend data"},
        // The server's final ACK is lost: the server sends none by itself
        // and answers a repeated last block only for a short time.
        Case{"LostFinalAckRepeatsLastBlockEarly",
             kWrite,
             "abc",
             {{0, {ackPacket(0)}}, {2, {ackPacket(1)}}},
             {kWrq, dataPacket(1, "abc"), dataPacket(1, "abc")},
             {kWritePrefix + "no ACK of the last block yet, resend data\n"}},
        Case{"LostFinalAckOfEmptyLastBlock",
             kWrite,
             kFull1,
             {{0, {ackPacket(0)}}, {1, {ackPacket(1)}}, {5, {ackPacket(2)}}},
             {kWrq, dataPacket(1, kFull1), dataPacket(2, ""), dataPacket(2, ""), dataPacket(2, ""),
              dataPacket(2, "")},
             {kWritePrefix + "no ACK of the last block yet, resend data\n"}},
        Case{"RuntIsSkipped",
             kWrite,
             "",
             {{0, {std::string(1, '\0'), ackPacket(0)}}, {1, {ackPacket(1)}}},
             {kWrq, dataPacket(1, "")},
             {kWritePrefix + "runt packet received - 1 bytes\n"}},
        Case{"RefusedByServerCarriesItsText",
             kWrite,
             "x",
             {{0, {errorPacket(2, "Access violation")}}},
             {kWrq},
             {},
             "",
             3,
             kWritePrefix + "received error code 2: 'Access violation'"}),
    [](const ::testing::TestParamInfo<Case>& testInfo) { return std::string(testInfo.param.name); });

TEST(TftpPeer, ServerTransferPortIsAdoptedAndOtherAddressesIgnored) {
    TraceCapture traces;
    // The transfer port answers from 6970; a stranger on 127.0.0.2 sends a
    // block first, which must not reach the data.
    ScriptedServer transfer({{0, {dataPacket(2, "tail")}}}, 6970);
    ScriptedPeer stranger("127.0.0.2", 6971);
    ScriptedServer server({});
    TFTPConnection connection(kServer, 0, 0, 6969);
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
    EXPECT_EQ(server.received(), Packets{kRrq});
    EXPECT_EQ(transfer.everythingSentBy(connection), (Packets{ackPacket(1), ackPacket(2)}));
    EXPECT_TRUE(traces.contains(kReadPrefix + "received packet from wrong peer\n"
                                              "   Check, if computer owns a global IPv6 address!\n"));
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

TEST(TftpProgress, SlotSeesLabelTotalAndWholeKibibytes) {
    Script script;
    for (unsigned block = 0; block <= 6; ++block)
        script[block] = {ackPacket(block)};
    ScriptedServer server(script);
    TFTPConnection connection(kServer, 0, 0, 6969);
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
    SlotRecorder slot;
    EXPECT_NO_THROW(TFTPConnection(kServer, 0, 0, 6969).write(missing, "up.bin", &slot, 0));
    EXPECT_TRUE(slot.events.empty());
    try {
        TFTPConnection(kServer, 0, 0, 6969).write(missing, "up.bin");
        ADD_FAILURE() << "write succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 2);
        EXPECT_EQ(error.text, "TFTPConnection::write(file): File '" + missing +
                                  "' cannot be read: No such file or directory (2)");
    }
    // Long texts are cut to the message field.
    const std::string longName = "/nonexistent-kestrix/" + std::string(400, 'n');
    try {
        TFTPConnection(kServer, 0, 0, 6969).read(longName, "file.bin");
        ADD_FAILURE() << "read succeeded";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 2);
        EXPECT_EQ(error.text, ("TFTPConnection::read(file): File '" + longName).substr(0, 199));
    }
    std::vector<std::uint8_t> buffer(10);
    EXPECT_THROW(
        TFTPConnection(kServer, 0, 0, 6969).read(buffer.data(), buffer.size(), std::string(505, 'r')),
        TFTPConnection::TFTPError);
    EXPECT_EQ(server.received(), Packets{});
}

// A local file that cannot take the data: the server is told with an ERROR
// packet when a write fails during the transfer, and a write that fails only
// when the file is closed fails the read too instead of reporting success.
TEST(TftpLocalFiles, FullDiskFailsTheRead) {
    for (const std::size_t blocks : {1u, 12u}) {
        Script script;
        for (std::size_t block = 1; block <= blocks; ++block)
            script[block - 1] = {dataPacket(static_cast<unsigned>(block), block == blocks ? "end" : kFull1)};
        ScriptedServer server(script);
        TFTPConnection connection(kServer, 0, 0, 6969);
        try {
            connection.read("/dev/full", "file.bin");
            ADD_FAILURE() << "read succeeded";
        } catch (const TFTPConnection::TFTPError& error) {
            EXPECT_EQ(error.id(), 4);
            EXPECT_EQ(error.text, "File '/dev/full' cannot be written: No space left on device (28)");
        }
        const Packets sent = server.everythingSentBy(connection);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), errorPacket(0, "No space left on device")),
                  blocks > 1 ? 1 : 0)
            << blocks << " blocks";
    }
}

TEST(TftpConstruction, DottedAddressIsRejectedAndTheBindLoopSkipsPortsInUse) {
    try {
        TFTPConnection connection("127.0.0.1", 0, 0);
        ADD_FAILURE() << "constructed";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), 1);
        EXPECT_EQ(error.text, "TFTPConnection(127.0.0.1): no remote address");
    }
    TraceCapture traces;
    const int taken[] = {test::bindDualStackUdp(5000), test::bindDualStackUdp(5001)};
    EXPECT_EQ(TFTPConnection(kServer, 5000, 5002).localPort(), 5002);
    EXPECT_TRUE(
        traces.contains("TFTPConnection(::ffff:127.0.0.1) mit lokaler Portnummer 5002: Konstruktor done\n"));
    const int third = test::bindDualStackUdp(5002);
    try {
        TFTPConnection connection(kServer, 5000, 5002);
        ADD_FAILURE() << "constructed";
    } catch (const TFTPConnection::TFTPError& error) {
        EXPECT_EQ(error.id(), EADDRINUSE);
        EXPECT_EQ(error.text, "TFTPConnection(::ffff:127.0.0.1): all bind() calls failed");
    }
    for (const int descriptor : {taken[0], taken[1], third})
        ::close(descriptor);
}

} // namespace
} // namespace kestrix::test
