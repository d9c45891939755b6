#pragma once

#include "sim/tftp/tftp_server.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::sim::test {

// A TFTP client by hand for packet-exact tests: one UDP socket on a loopback
// address, sending whatever bytes a test builds and receiving what comes back.
class RawTftpClient {
public:
    // Binds an ephemeral port on the given loopback address ("127.0.0.1" or "::1").
    explicit RawTftpClient(const std::string& localAddress = "127.0.0.1");
    ~RawTftpClient();
    RawTftpClient(const RawTftpClient&) = delete;
    RawTftpClient& operator=(const RawTftpClient&) = delete;

    struct Received {
        std::string bytes;
        std::string senderAddress; // as addressToText writes it
        std::uint16_t senderPort = 0;
        std::uint16_t opcode() const;
        std::uint16_t word() const; // block number or error code
        std::string payload() const { return bytes.size() > 4 ? bytes.substr(4) : std::string(); }
        std::string errorText() const; // up to the zero byte
    };

    void sendTo(const std::string& address, std::uint16_t port, std::string_view bytes);
    // Sends to the sender of the last packet received (the transfer's port).
    void reply(std::string_view bytes);
    std::optional<Received> receive(std::chrono::milliseconds timeout);
    // Waits the whole time and answers whether nothing arrived.
    bool silentFor(std::chrono::milliseconds time) { return !receive(time).has_value(); }

    // Reads a whole file the normal way through the server at port; returns
    // the bytes, or empty when the transfer failed.
    std::optional<std::string> readFile(std::uint16_t port, const std::string& name,
                                        const std::string& serverAddress = "127.0.0.1");
    // Writes bytes the normal way; answers whether every block was acknowledged.
    bool writeFile(std::uint16_t port, const std::string& name, const std::string& bytes,
                   const std::string& serverAddress = "127.0.0.1");

private:
    int socket_ = -1;
    sockaddr_in6 lastSender_{};
};

// Packets as a client builds them.
std::string readRequest(std::string_view name, std::string_view mode = "octet");
std::string writeRequest(std::string_view name, std::string_view mode = "octet");
std::string dataPacket(std::uint16_t block, std::string_view bytes);
std::string acknowledgementPacket(std::uint16_t block);

// A temporary directory for one test's terminal files, removed at the end.
class TerminalDirectory {
public:
    TerminalDirectory();
    ~TerminalDirectory();
    const std::filesystem::path& path() const { return path_; }
    void put(const std::string& relativePath, const std::string& bytes) const;
    std::string get(const std::string& relativePath) const;
    // Every entry under the directory, as relative paths, sorted.
    std::string listing() const;

private:
    std::filesystem::path path_;
};

// Bytes of the given length that differ from block to block (so a block sent
// twice or skipped shows).
std::string patternBytes(std::size_t length, unsigned seed = 1);

// Options for a server on a free port with 3 retries. The default time-out is
// long enough that a busy test machine does not see resent packets; tests of
// retransmission pass a short one.
TftpServerOptions testOptions(const TerminalDirectory& directory,
                              std::chrono::milliseconds timeout = std::chrono::seconds(2));

inline constexpr const char* kSerialNumber = "100101";

} // namespace kestrix::sim::test
