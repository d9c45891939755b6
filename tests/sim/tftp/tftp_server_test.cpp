#include "raw_tftp_client.h"

#include "sim/tftp/tftp_server.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace kestrix::sim::test {
namespace {

using namespace std::chrono_literals;

// The next packet, which must come within a second (an empty one when it does not).
RawTftpClient::Received next(RawTftpClient& client) {
    auto packet = client.receive(1s);
    if (!packet) {
        ADD_FAILURE() << "no packet within a second";
        return {};
    }
    return *packet;
}

class TftpServerTest : public testing::Test {
protected:
    void startServer(TftpServerOptions options) {
        options.onWriteAccepted = [this](const AcceptedWrite& write) {
            std::lock_guard lock(mutex_);
            accepted_.push_back(write);
        };
        server_ = std::make_unique<TftpServer>(std::move(options));
        server_->start();
    }
    void startServer() { startServer(testOptions(directory_)); }
    std::uint16_t port() const { return server_->port(); }
    std::vector<AcceptedWrite> accepted() {
        std::lock_guard lock(mutex_);
        return accepted_;
    }
    bool waitUntilIdle() {
        for (int round = 0; round < 200 && server_->activeTransfers() > 0; ++round)
            std::this_thread::sleep_for(10ms);
        return server_->activeTransfers() == 0;
    }

    TerminalDirectory directory_;
    std::mutex mutex_;
    std::vector<AcceptedWrite> accepted_;
    std::unique_ptr<TftpServer> server_; // last: it ends first, while its callback's target still exists
};

TEST_F(TftpServerTest, ReadsAndWritesEveryBlockBoundaryByteExact) {
    startServer();
    for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 1025u, 5u * 512u}) {
        SCOPED_TRACE(size);
        std::string content = patternBytes(size, static_cast<unsigned>(size));
        directory_.put("talmo.cfg", content);
        RawTftpClient client;
        EXPECT_EQ(client.readFile(port(), "C@\\t7000\\talmo.cfg"), content);
        std::string written = patternBytes(size, 7);
        ASSERT_TRUE(client.writeFile(port(), "[100101]C@\\t7000\\talmo.cfg", written));
        EXPECT_EQ(directory_.get("talmo.cfg"), written);
    }
    auto writes = accepted();
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes.back().terminalName, "[100101]C@\\t7000\\talmo.cfg");
    EXPECT_EQ(writes.back().path, directory_.path() / "talmo.cfg");
    EXPECT_EQ(writes.back().size, 5u * 512u);
    EXPECT_EQ(directory_.listing(), "talmo.cfg\n"); // no temporary file left behind
}

TEST_F(TftpServerTest, AnswersFromANewPortAndTheAddressTheClientUsed) {
    startServer();
    directory_.put("autoexec.bat", "@echo off\r\n");
    for (const char* serverAddress : {"127.0.0.1", "127.0.0.2", "::1"}) {
        SCOPED_TRACE(serverAddress);
        RawTftpClient client(std::string(serverAddress) == "::1" ? "::1" : "127.0.0.1");
        client.sendTo(serverAddress, port(), readRequest("C:\\\\autoexec.bat"));
        auto data = client.receive(2s);
        ASSERT_TRUE(data);
        EXPECT_EQ(data->opcode(), 3);
        EXPECT_NE(data->senderPort, port());
        std::string expected =
            std::string(serverAddress) == "::1" ? "::1" : std::string("::ffff:") + serverAddress;
        EXPECT_EQ(data->senderAddress, expected);
        client.reply(acknowledgementPacket(1));
    }
}

struct RefusalCase {
    const char* name;
    std::string datagram;
    std::uint16_t code;
    const char* text;
};

TEST_F(TftpServerTest, RefusesWithTheRightErrorPacket) {
    directory_.put("talmo.cfg", "block");
    directory_.put("talmo/sub/placeholder", "");
    startServer();
    const RefusalCase cases[] = {
        {"missing file", readRequest("C@\\t7000\\missing.bin"), 1, "File not found"},
        {"a folder", readRequest("/talmo/sub"), 1, "File not found"},
        {"write without prefix", writeRequest("C@\\t7000\\talmo.cfg"), 2, "Access violation"},
        {"write of another terminal", writeRequest("[100102]C@\\t7000\\talmo.cfg"), 2, "Access violation"},
        {"escape by ..", readRequest("C@\\t7000\\..\\..\\etc\\passwd"), 2, "Access violation"},
        {"host path", readRequest("/etc/passwd"), 2, "Access violation"},
        {"write onto a folder", writeRequest("[100101]/talmo/sub"), 2, "Access violation"},
        {"netascii", readRequest("talmo.cfg", "netascii"), 4, "Only octet mode is served"},
        {"unterminated name", std::string("\0\1talmo.cfg", 11), 4, "Malformed request: no file name"},
        {"data to the request port", dataPacket(1, "x"), 4, "Illegal TFTP operation"},
        {"over-long request", readRequest(std::string(600, 'x')), 4, "Request too long"},
    };
    for (const auto& sample : cases) {
        SCOPED_TRACE(sample.name);
        RawTftpClient client;
        client.sendTo("127.0.0.1", port(), sample.datagram);
        auto answer = client.receive(2s);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->opcode(), 5);
        EXPECT_EQ(answer->word(), sample.code);
        EXPECT_EQ(answer->errorText(), sample.text);
        EXPECT_EQ(answer->bytes.back(), '\0');
        EXPECT_TRUE(client.silentFor(50ms));
    }
    RawTftpClient client; // an ERROR packet is never answered
    client.sendTo("127.0.0.1", port(), std::string("\0\5\0\0bye\0", 8));
    EXPECT_TRUE(client.silentFor(200ms));
    EXPECT_EQ(directory_.get("talmo.cfg"), "block");
    EXPECT_EQ(directory_.listing(), "talmo\ntalmo.cfg\ntalmo/sub\ntalmo/sub/placeholder\n");
    EXPECT_TRUE(accepted().empty());
}

TEST_F(TftpServerTest, ResendsAnUnacknowledgedBlockAndGivesUpAfterTheRetries) {
    directory_.put("talmo.cfg", patternBytes(700));
    startServer(testOptions(directory_, 200ms)); // 3 retries
    RawTftpClient client;
    client.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    int copies = 0;
    while (auto data = client.receive(1s)) {
        EXPECT_EQ(data->opcode(), 3);
        EXPECT_EQ(data->word(), 1);
        ++copies;
    }
    EXPECT_EQ(copies, 4);
    EXPECT_TRUE(waitUntilIdle());
}

TEST_F(TftpServerTest, ADuplicateAckIsNotAnsweredWithAnotherBlock) {
    directory_.put("talmo.cfg", patternBytes(1500));
    startServer(); // the time-out must not resend during the test
    RawTftpClient client;
    client.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    ASSERT_EQ(next(client).word(), 1);
    client.reply(acknowledgementPacket(1));
    auto second = client.receive(1s);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->word(), 2);
    client.reply(acknowledgementPacket(1)); // late duplicate of the first ACK
    EXPECT_TRUE(client.silentFor(500ms));
    client.reply(acknowledgementPacket(2));
    auto third = client.receive(1s);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->word(), 3);
    EXPECT_EQ(third->payload(), patternBytes(1500).substr(1024));
    client.reply(acknowledgementPacket(3));
}

TEST_F(TftpServerTest, AWriteAcknowledgesARepeatedBlockAgainAndResendsALostAck) {
    RawTftpClient client;
    startServer(testOptions(directory_, 500ms));
    client.sendTo("127.0.0.1", port(), writeRequest("[100101]/talmo/terminal-ui.xml"));
    ASSERT_EQ(next(client).word(), 0);
    auto repeated = client.receive(1s); // no DATA sent: ACK 0 comes again after the time-out
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->opcode(), 4);
    EXPECT_EQ(repeated->word(), 0);
    std::string content = patternBytes(600);
    client.reply(dataPacket(1, content.substr(0, 512)));
    ASSERT_EQ(next(client).word(), 1);
    client.reply(dataPacket(1, content.substr(0, 512))); // as if ACK 1 was lost
    auto again = client.receive(100ms);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->word(), 1);
    client.reply(dataPacket(2, content.substr(512)));
    ASSERT_EQ(next(client).word(), 2);
    client.reply(dataPacket(2, content.substr(512))); // the last ACK lost: acknowledged while lingering
    auto last = client.receive(300ms);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->word(), 2);
    EXPECT_EQ(directory_.get("talmo/terminal-ui.xml"), content);
    EXPECT_EQ(accepted().size(), 1u);
}

TEST_F(TftpServerTest, APacketFromAStrangerGetsError5AndTheTransferGoesOn) {
    directory_.put("talmo.cfg", patternBytes(1000));
    startServer();
    RawTftpClient client;
    RawTftpClient stranger;
    client.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    auto first = client.receive(1s);
    ASSERT_TRUE(first);
    stranger.sendTo("127.0.0.1", first->senderPort, acknowledgementPacket(1));
    auto refusal = stranger.receive(1s);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->opcode(), 5);
    EXPECT_EQ(refusal->word(), 5);
    EXPECT_EQ(refusal->errorText(), "Unknown transfer ID");
    EXPECT_TRUE(client.silentFor(200ms)); // the stranger's ACK moved nothing
    client.reply(acknowledgementPacket(1));
    auto second = client.receive(1s);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->payload(), patternBytes(1000).substr(512));
    client.reply(acknowledgementPacket(2));
}

TEST_F(TftpServerTest, AnAbandonedWriteLeavesTheOldFileAndNoTemporaryFile) {
    directory_.put("talmo.cfg", "old");
    startServer();
    RawTftpClient client;
    client.sendTo("127.0.0.1", port(), writeRequest("[100101]talmo.cfg"));
    ASSERT_TRUE(client.receive(1s));
    client.reply(dataPacket(1, patternBytes(512)));
    ASSERT_TRUE(client.receive(1s));
    client.reply(std::string("\0\5\0\0cancelled\0", 14)); // the client gives up
    EXPECT_TRUE(waitUntilIdle());

    RawTftpClient silent; // a client that goes away after one block
    silent.sendTo("127.0.0.1", port(), writeRequest("[100101]talmo.cfg"));
    ASSERT_TRUE(silent.receive(1s));
    silent.reply(dataPacket(1, patternBytes(512)));
    ASSERT_EQ(next(silent).word(), 1);
    auto stopping = std::chrono::steady_clock::now();
    server_->stop(); // ends the waiting transfer at once, with an ERROR
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 500ms);
    auto error = next(silent);
    EXPECT_EQ(error.opcode(), 5);
    EXPECT_EQ(error.errorText(), "Terminal shuts down");
    EXPECT_EQ(directory_.get("talmo.cfg"), "old");
    EXPECT_EQ(directory_.listing(), "talmo.cfg\n");
    EXPECT_TRUE(accepted().empty());
}

TEST_F(TftpServerTest, AWriteBeyondTheSizeLimitIsRefused) {
    directory_.put("talmo.cfg", "old");
    auto options = testOptions(directory_);
    options.maximumWriteSize = 1000;
    startServer(std::move(options));
    RawTftpClient client;
    client.sendTo("127.0.0.1", port(), writeRequest("[100101]talmo.cfg"));
    ASSERT_TRUE(client.receive(1s));
    client.reply(dataPacket(1, patternBytes(512)));
    ASSERT_TRUE(client.receive(1s));
    client.reply(dataPacket(2, patternBytes(512)));
    auto refusal = client.receive(1s);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->opcode(), 5);
    EXPECT_EQ(refusal->word(), 3);
    EXPECT_EQ(refusal->errorText(), "Disk full or allocation exceeded");
    EXPECT_TRUE(waitUntilIdle());
    EXPECT_EQ(directory_.get("talmo.cfg"), "old");
}

TEST_F(TftpServerTest, ServesSeveralClientsAtOnceButARepeatedRequestOnlyOnce) {
    directory_.put("one.bin", patternBytes(1024, 1));
    directory_.put("two.bin", patternBytes(1024, 2));
    startServer();
    RawTftpClient first;
    RawTftpClient second;
    first.sendTo("127.0.0.1", port(), readRequest("one.bin"));
    second.sendTo("127.0.0.1", port(), readRequest("two.bin"));
    auto firstData = first.receive(1s);
    auto secondData = second.receive(1s);
    ASSERT_TRUE(firstData && secondData);
    EXPECT_NE(firstData->senderPort, secondData->senderPort);
    first.sendTo("127.0.0.1", port(), readRequest("one.bin")); // the client repeats its request
    EXPECT_TRUE(first.silentFor(300ms));
    EXPECT_EQ(server_->activeTransfers(), 2u);
    for (auto* client : {&first, &second}) {
        for (std::uint16_t block = 1; block <= 3; ++block) {
            client->reply(acknowledgementPacket(block));
            if (block < 3) {
                ASSERT_TRUE(client->receive(1s));
            }
        }
    }
    EXPECT_TRUE(waitUntilIdle());
}

TEST_F(TftpServerTest, AClientThatReusesItsPortIsServedAtOnce) {
    // The program's client binds the same port again for the next file when
    // it has a port range; the next request comes while the last transfer
    // may still be ending.
    directory_.put("talmo.cfg", patternBytes(100));
    startServer();
    RawTftpClient client; // it does not repeat requests: an ignored one fails the read
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(client.readFile(port(), "talmo.cfg"), patternBytes(100));
        EXPECT_TRUE(client.writeFile(port(), "[100101]talmo.cfg", patternBytes(100)));
    }
}

TEST_F(TftpServerTest, ARequestBeyondTheTransferLimitIsToldTheTerminalIsBusy) {
    directory_.put("talmo.cfg", patternBytes(1024));
    auto options = testOptions(directory_);
    options.maximumTransfers = 1;
    startServer(std::move(options));
    RawTftpClient first;
    RawTftpClient second;
    first.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    ASSERT_TRUE(first.receive(1s));
    second.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    auto busy = second.receive(1s);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->opcode(), 5);
    EXPECT_EQ(busy->word(), 0);
    EXPECT_EQ(busy->errorText(), "Terminal busy");
}

TEST_F(TftpServerTest, BlockNumbersWrapAfter65535ToZero) {
    const std::size_t size = 65536u * 512u + 100u; // blocks 1..65535, 0, 1
    std::string content = patternBytes(size, 3);
    directory_.put("big.bin", content);
    startServer();
    RawTftpClient client;
    client.sendTo("127.0.0.1", port(), readRequest("big.bin"));
    std::string received;
    std::uint16_t expected = 1;
    std::size_t blocks = 0;
    while (auto data = client.receive(2s)) {
        ASSERT_EQ(data->opcode(), 3);
        ASSERT_EQ(data->word(), expected);
        received += data->payload();
        client.reply(acknowledgementPacket(expected));
        ++blocks;
        ++expected;
        if (data->bytes.size() < 516)
            break;
    }
    EXPECT_EQ(blocks, 65537u);
    EXPECT_EQ(expected, 2);
    EXPECT_TRUE(received == content);

    // The same numbering on the way in.
    std::string written = patternBytes(size, 4);
    ASSERT_TRUE(client.writeFile(port(), "[100101]big.bin", written));
    EXPECT_TRUE(directory_.get("big.bin") == written);
}

TEST(TftpServerStart, RefusesWhatItCannotServe) {
    TerminalDirectory directory;
    auto noSerial = testOptions(directory);
    noSerial.serialNumber.clear();
    EXPECT_THROW(TftpServer(noSerial).start(), std::invalid_argument);
    auto noDirectory = testOptions(directory);
    noDirectory.directory = directory.path() / "missing";
    EXPECT_THROW(TftpServer(noDirectory).start(), std::invalid_argument);

    TftpServer first(testOptions(directory));
    first.start();
    auto samePort = testOptions(directory);
    samePort.port = first.port();
    try {
        TftpServer(samePort).start();
        FAIL() << "a second server bound the same port";
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find("bind()"), std::string::npos) << error.what();
    }
}

} // namespace
} // namespace kestrix::sim::test
