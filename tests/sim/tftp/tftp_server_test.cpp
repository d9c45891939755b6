#include "raw_tftp_client.h"

#include "sim/tftp/tftp_server.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace kestrix::sim::test {
namespace {

using namespace std::chrono_literals;

// The next packet, which must come within the time (an empty one when it does not).
RawTftpClient::Received next(RawTftpClient& client, std::chrono::milliseconds within = 1s) {
    auto packet = client.receive(within);
    if (!packet) {
        ADD_FAILURE() << "no packet within " << within.count() << " ms";
        return {};
    }
    return *packet;
}

void expectError(RawTftpClient& client, std::uint16_t code, const std::string& text) {
    auto error = next(client);
    EXPECT_EQ(error.opcode(), 5);
    EXPECT_EQ(error.word(), code);
    EXPECT_EQ(error.errorText(), text);
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
    // One client port for every transfer, as the program's client binds the same port again
    // for the next file: the next request may come while the last transfer is still ending,
    // and the client does not repeat requests, so an ignored one fails the transfer.
    RawTftpClient client;
    for (int round = 0; round < 3; ++round) {
        for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 1025u, 5u * 512u}) {
            SCOPED_TRACE(size);
            std::string content = patternBytes(size, static_cast<unsigned>(size));
            directory_.put("talmo.cfg", content);
            EXPECT_EQ(client.readFile(port(), "C@\\t7000\\talmo.cfg"), content);
            std::string written = patternBytes(size, 7);
            ASSERT_TRUE(client.writeFile(port(), "[100101]C@\\t7000\\talmo.cfg", written));
            EXPECT_EQ(directory_.get("talmo.cfg"), written);
        }
    }
    auto writes = accepted();
    ASSERT_EQ(writes.size(), 24u);
    EXPECT_EQ(writes.back().terminalName, "[100101]C@\\t7000\\talmo.cfg");
    EXPECT_EQ(writes.back().path, directory_.path() / "talmo.cfg");
    EXPECT_EQ(writes.back().size, 5u * 512u);
    EXPECT_EQ(directory_.listing(), "talmo.cfg\n"); // no temporary file left behind
}

TEST_F(TftpServerTest, AnswersFromANewPortAndTheAddressTheClientUsed) {
    startServer();
    directory_.put("autoexec.bat", "@echo off\r\n");
    for (std::string serverAddress : {"127.0.0.1", "127.0.0.2", "::1"}) {
        SCOPED_TRACE(serverAddress);
        const bool ipv6 = serverAddress == "::1";
        RawTftpClient client(ipv6 ? "::1" : "127.0.0.1");
        client.sendTo(serverAddress, port(), readRequest("C:\\\\autoexec.bat"));
        auto data = next(client);
        EXPECT_EQ(data.opcode(), 3);
        EXPECT_NE(data.senderPort, port());
        EXPECT_EQ(data.senderAddress, ipv6 ? serverAddress : "::ffff:" + serverAddress);
        client.reply(acknowledgementPacket(1));
    }
}

TEST_F(TftpServerTest, RefusesWithTheRightErrorPacket) {
    directory_.put("talmo.cfg", "block");
    directory_.put("talmo/sub/placeholder", "");
    startServer();
    const struct {
        const char* name;
        std::string datagram;
        std::uint16_t code;
        const char* text;
    } cases[] = {
        {"missing file", readRequest("C@\\t7000\\missing.bin"), 1, "File not found"},
        {"a folder", readRequest("/talmo/sub"), 1, "File not found"},
        {"write without prefix", writeRequest("C@\\t7000\\talmo.cfg"), 2, "Access violation"},
        {"write of another terminal", writeRequest("[100102]C@\\t7000\\talmo.cfg"), 2, "Access violation"},
        {"escape by ..", readRequest("C@\\t7000\\..\\..\\etc\\passwd"), 2, "Access violation"},
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
        expectError(client, sample.code, sample.text);
        EXPECT_TRUE(client.silentFor(50ms));
    }
    RawTftpClient client; // an ERROR packet is never answered
    client.sendTo("127.0.0.1", port(), std::string("\0\5\0\0bye\0", 8));
    EXPECT_TRUE(client.silentFor(200ms));
    EXPECT_EQ(directory_.get("talmo.cfg"), "block");
    EXPECT_EQ(directory_.listing(), "talmo\ntalmo.cfg\ntalmo/sub\ntalmo/sub/placeholder\n");
    EXPECT_TRUE(accepted().empty());
}

TEST_F(TftpServerTest, ResendsOnTimeOutGivesUpAfterTheRetriesAndReacknowledgesARepeatedBlock) {
    directory_.put("talmo.cfg", patternBytes(700));
    startServer(testOptions(directory_, 200ms)); // 3 retries
    RawTftpClient reader;
    reader.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    int copies = 0;
    while (auto data = reader.receive(1s)) {
        EXPECT_EQ(data->opcode(), 3);
        EXPECT_EQ(data->word(), 1);
        ++copies;
    }
    EXPECT_EQ(copies, 4);
    EXPECT_TRUE(waitUntilIdle());

    RawTftpClient writer;
    writer.sendTo("127.0.0.1", port(), writeRequest("[100101]/talmo/terminal-ui.xml"));
    ASSERT_EQ(next(writer).word(), 0);
    auto repeated = next(writer); // no DATA sent: ACK 0 comes again after the time-out
    EXPECT_EQ(repeated.opcode(), 4);
    EXPECT_EQ(repeated.word(), 0);
    std::string content = patternBytes(600);
    // Each block twice, as if its ACK was lost: acknowledged again at once (well before the
    // time-out), the last one while the transfer lingers.
    for (std::uint16_t block = 1; block <= 2; ++block) {
        std::string part = content.substr((block - 1) * 512u, 512);
        writer.reply(dataPacket(block, part));
        ASSERT_EQ(next(writer).word(), block);
        writer.reply(dataPacket(block, part));
        EXPECT_EQ(next(writer, 100ms).word(), block);
    }
    EXPECT_EQ(directory_.get("talmo/terminal-ui.xml"), content);
    EXPECT_EQ(accepted().size(), 1u);
}

TEST_F(TftpServerTest, OnlyTheDueAckFromTheTransfersClientMovesARead) {
    directory_.put("talmo.cfg", patternBytes(1500));
    startServer(); // the time-out must not resend during the test
    RawTftpClient client;
    RawTftpClient stranger;
    client.sendTo("127.0.0.1", port(), readRequest("talmo.cfg"));
    auto first = next(client);
    ASSERT_EQ(first.word(), 1);
    stranger.sendTo("127.0.0.1", first.senderPort, acknowledgementPacket(1));
    expectError(stranger, 5, "Unknown transfer ID");
    EXPECT_TRUE(client.silentFor(200ms));
    client.reply(acknowledgementPacket(1));
    ASSERT_EQ(next(client).word(), 2);
    client.reply(acknowledgementPacket(1)); // late duplicate of the first ACK
    EXPECT_TRUE(client.silentFor(500ms));
    client.reply(acknowledgementPacket(2));
    auto third = next(client);
    EXPECT_EQ(third.word(), 3);
    EXPECT_EQ(third.payload(), patternBytes(1500).substr(1024));
    client.reply(acknowledgementPacket(3));
}

TEST_F(TftpServerTest, AnUnfinishedWriteLeavesTheOldFileAndNoTemporaryFile) {
    directory_.put("talmo.cfg", "old");
    auto options = testOptions(directory_);
    options.maximumWriteSize = 1000;
    startServer(std::move(options));
    auto writeOneBlock = [this](RawTftpClient& client) {
        client.sendTo("127.0.0.1", port(), writeRequest("[100101]talmo.cfg"));
        ASSERT_EQ(next(client).word(), 0);
        client.reply(dataPacket(1, patternBytes(512)));
        ASSERT_EQ(next(client).word(), 1);
    };
    RawTftpClient cancelling; // the client gives up
    writeOneBlock(cancelling);
    cancelling.reply(std::string("\0\5\0\0cancelled\0", 14));
    RawTftpClient oversized;
    writeOneBlock(oversized);
    oversized.reply(dataPacket(2, patternBytes(512)));
    expectError(oversized, 3, "Disk full or allocation exceeded");
    EXPECT_TRUE(waitUntilIdle());

    RawTftpClient silent; // a client that goes away after one block
    writeOneBlock(silent);
    auto stopping = std::chrono::steady_clock::now();
    server_->stop(); // ends the waiting transfer at once, with an ERROR
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 500ms);
    expectError(silent, 0, "Terminal shuts down");
    EXPECT_EQ(directory_.get("talmo.cfg"), "old");
    EXPECT_EQ(directory_.listing(), "talmo.cfg\n");
    EXPECT_TRUE(accepted().empty());
}

TEST_F(TftpServerTest, ServesSeveralClientsAtOnceUpToTheLimitAndARepeatedRequestOnlyOnce) {
    directory_.put("one.bin", patternBytes(1024, 1));
    directory_.put("two.bin", patternBytes(1024, 2));
    auto options = testOptions(directory_);
    options.maximumTransfers = 2;
    startServer(std::move(options));
    RawTftpClient first;
    RawTftpClient second;
    RawTftpClient third;
    first.sendTo("127.0.0.1", port(), readRequest("one.bin"));
    second.sendTo("127.0.0.1", port(), readRequest("two.bin"));
    EXPECT_NE(next(first).senderPort, next(second).senderPort);
    first.sendTo("127.0.0.1", port(), readRequest("one.bin")); // the client repeats its request
    EXPECT_TRUE(first.silentFor(300ms));
    EXPECT_EQ(server_->activeTransfers(), 2u);
    third.sendTo("127.0.0.1", port(), readRequest("one.bin"));
    expectError(third, 0, "Terminal busy");
    for (auto* client : {&first, &second}) {
        for (std::uint16_t block = 1; block <= 2; ++block) {
            client->reply(acknowledgementPacket(block));
            ASSERT_EQ(next(*client).word(), block + 1);
        }
        client->reply(acknowledgementPacket(3));
    }
    EXPECT_TRUE(waitUntilIdle());
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
        client.reply(acknowledgementPacket(expected++));
        ++blocks;
        if (data->bytes.size() < 516)
            break;
    }
    EXPECT_EQ(blocks, 65537u);
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
