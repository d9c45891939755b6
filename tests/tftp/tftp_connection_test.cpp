// TFTPConnection against a scripted server on loopback: the exact packets it
// sends and how it takes duplicates, strays, runts and errors. Runs in a
// network namespace of its own (fixed ports).
#include "tftp/tftp_connection.h"

#include "support/data_file.h"
#include "support/sockets.h"
#include "support/trace_capture.h"
#include "tftp/scripted_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <unistd.h>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;
using Packets = std::vector<std::string>;

const std::string kServer = "::ffff:127.0.0.1";
const std::string kFull1 = patternBytes(512);
const std::string kFull2 = patternBytes(1024).substr(512);
const std::string kRrq = requestPacket(1, "file.bin");
const std::string kReadPrefix = "TFTPConnection::read(mem,file): ";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; !text.empty() && start <= text.size();) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The bytes and packets of packet_cases.tsv's notation (see its head).
std::string bytesOf(const std::string& notation) {
    std::string bytes;
    for (const std::string& part : split(notation, '+'))
        bytes += part == "-"             ? ""
                 : part == "full1"       ? kFull1
                 : part == "full2"       ? kFull2
                 : part.starts_with("z") ? std::string(std::stoul(part.substr(1)), 'z')
                                         : part;
    return bytes;
}

std::string packetOf(const std::string& notation) {
    std::istringstream words(notation);
    std::string kind, argument, rest;
    words >> kind >> argument;
    std::getline(words >> std::ws, rest);
    if (kind == "RRQ" || kind == "WRQ")
        return kind == "RRQ" ? kRrq : requestPacket(2, "up.bin");
    if (kind == "PAUSE")
        return {}; // the scripted server pauses for an empty packet
    if (kind == "RAW") {
        const std::vector<std::uint8_t> raw = fromHex(argument);
        return std::string(raw.begin(), raw.end());
    }
    const unsigned number = static_cast<unsigned>(std::stoul(argument));
    if (kind == "ACK")
        return ackPacket(number);
    if (kind == "DATA")
        return dataPacket(number, bytesOf(rest));
    const std::string error = errorPacket(number, rest);
    return kind == "ERROR" ? error : error.substr(0, error.size() - 1);
}

std::vector<std::string> packetsOf(const std::string& notation) {
    std::vector<std::string> packets;
    for (const std::string& packet : split(notation, ','))
        packets.push_back(packetOf(packet));
    return packets;
}

TEST(TftpPackets, MemoryTransfersSendAndTraceExactly) {
    const auto rows = readDataFile(KESTRIX_TEST_DATA "/packet_cases.tsv");
    ASSERT_EQ(rows.size(), 17u);
    for (const DataRow& row : rows) {
        std::vector<std::string> f = row.fields;
        f.resize(10);
        SCOPED_TRACE(f[0]);
        const bool reading = f[1] == "read";
        const std::string prefix = reading ? kReadPrefix : "TFTPConnection::write(mem): ";
        const std::string data = bytesOf(f[2]);
        Script script;
        for (const std::string& entry : split(f[3], ';'))
            script[std::stoul(entry)] = packetsOf(entry.substr(entry.find(':') + 1));
        TraceCapture traces;
        ScriptedServer server(script);
        TFTPConnection connection(kServer, 0, 0, 6969);
        std::vector<std::uint8_t> buffer(f[9].empty() ? 2000 : std::stoul(f[9]));
        try {
            std::size_t length = data.size();
            if (reading)
                length = connection.read(buffer.data(), buffer.size(), "file.bin");
            else
                connection.write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), "up.bin");
            EXPECT_TRUE(f[7].empty()) << "the transfer succeeded";
            EXPECT_TRUE(!reading ||
                        std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)) == data);
            EXPECT_TRUE(traces.contains(
                "TFTPConnection::" + std::string(reading ? "read(file.bin)" : "write(up.bin)") +
                " successful (len " + std::to_string(data.size()) + " bytes)\n"));
        } catch (const TFTPConnection::TFTPError& error) {
            EXPECT_EQ(std::to_string(error.id()), f[7]);
            EXPECT_EQ(error.text, prefix + f[8]);
            EXPECT_TRUE(traces.contains(prefix + f[8] + "\n"));
        }
        EXPECT_EQ(server.everythingSentBy(connection), packetsOf(f[4]));
        for (const std::string& line : split(f[5], '|'))
            EXPECT_TRUE(traces.contains(prefix + line)) << line << "\n--- trace:\n" << traces.text();
        EXPECT_TRUE(f[6].empty() || !traces.contains(f[6])) << f[6];
    }
}

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
    auto answer = std::async(std::launch::async, [&] { // waited for also when the read throws
        if (!server.peer().waitForRequests(1, 2s))
            return;
        stranger.sendTo(client, dataPacket(1, "bogus"));
        std::this_thread::sleep_for(50ms);
        transfer.peer().sendTo(client, dataPacket(1, kFull1));
    });
    std::vector<std::uint8_t> buffer(2000);
    const std::size_t length = connection.read(buffer.data(), buffer.size(), "file.bin");
    answer.get();
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

// A missing file fails the write with or without an observer (a firmware
// update must not count it as sent), before anything reaches the slot or the wire.
TEST(TftpLocalFiles, MissingFileIsAnErrorWithAndWithoutObserver) {
    ScriptedServer server({});
    const std::string missing = "/nonexistent-kestrix/missing.bin";
    const Failure expected(2, "TFTPConnection::write(file): File '" + missing +
                                  "' cannot be read: No such file or directory (2)");
    SlotRecorder slot;
    EXPECT_EQ(failureOf([&] { TFTPConnection(kServer, 0, 0, 6969).write(missing, "up.bin", &slot, 0); }),
              expected);
    EXPECT_TRUE(slot.events.empty());
    EXPECT_EQ(failureOf([&] { TFTPConnection(kServer, 0, 0, 6969).write(missing, "up.bin"); }), expected);
    // Long texts are cut to the message field.
    const std::string longName = "/nonexistent-kestrix/" + std::string(400, 'n');
    EXPECT_EQ(failureOf([&] { TFTPConnection(kServer, 0, 0, 6969).read(longName, "file.bin"); }),
              Failure(2, ("TFTPConnection::read(file): File '" + longName).substr(0, 199)));
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
        EXPECT_EQ(failureOf([&] { connection.read("/dev/full", "file.bin"); }),
                  Failure(4, "File '/dev/full' cannot be written: No space left on device (28)"));
        const Packets sent = server.everythingSentBy(connection);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), errorPacket(0, "No space left on device")),
                  blocks > 1 ? 1 : 0)
            << blocks << " blocks";
    }
}

TEST(TftpConstruction, DottedAddressIsRejectedAndTheBindLoopSkipsPortsInUse) {
    EXPECT_EQ(failureOf([] { TFTPConnection("127.0.0.1", 0, 0); }),
              Failure(1, "TFTPConnection(127.0.0.1): no remote address"));
    TraceCapture traces;
    const int taken[] = {test::bindDualStackUdp(5000), test::bindDualStackUdp(5001)};
    EXPECT_EQ(TFTPConnection(kServer, 5000, 5002).localPort(), 5002);
    EXPECT_TRUE(
        traces.contains("TFTPConnection(::ffff:127.0.0.1) mit lokaler Portnummer 5002: Konstruktor done\n"));
    const int third = test::bindDualStackUdp(5002);
    EXPECT_EQ(failureOf([] { TFTPConnection(kServer, 5000, 5002); }),
              Failure(EADDRINUSE, "TFTPConnection(::ffff:127.0.0.1): all bind() calls failed"));
    for (const int descriptor : {taken[0], taken[1], third})
        ::close(descriptor);
}

// Refused before any packet: nothing listens on port 6969.
TEST(TftpLocalFiles, ARemoteNameWithAZeroByteIsRefusedWithItsOwnText) {
    std::vector<std::uint8_t> buffer(10);
    const std::string name("name\0.bin", 9);
    EXPECT_EQ(failureOf([&] { TFTPConnection(kServer, 0, 0, 6969).read(buffer.data(), buffer.size(), name); })
                  .second,
              "TFTPConnection::read(mem,file): remote file name 'name' contains a zero byte");
}

} // namespace
} // namespace kestrix::test
