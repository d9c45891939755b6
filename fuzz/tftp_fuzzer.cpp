// Plays a terminal's TFTP server with prepared packets: they are queued at
// the client's port before the transfer starts, and the client takes them one
// by one as the server's answers (whatever it sent). An ERROR packet after
// them ends every transfer that is still waiting, so no input waits for a
// time-out; an empty packet stands for one.
//
// Input: one byte choosing the transfer (read into a file, read into memory,
// write from memory, write from a file), one byte for the buffer or file size
// in 8-byte steps, then the server's packets, each as a 2-byte big-endian
// length and that many bytes.
#include "tftp/tftp_connection.h"

#include "check.h"
#include "memory_file.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using kestrix::TFTPConnection;

constexpr std::size_t kLargestPackets = 48; // the client's receive buffer holds them all
const std::string kRemoteName = "talmo.cfg";

enum class Transfer { ReadFile, ReadMemory, WriteMemory, WriteFile };

// The server's socket on 127.0.0.1, a port of the system's choice.
class ServerSocket {
public:
    ServerSocket() : descriptor_(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        if (descriptor_ < 0 || ::bind(descriptor_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            __builtin_trap();
        port_ = ntohs(local.sin_port);
    }
    std::uint16_t port() const { return port_; }
    void sendTo(std::uint16_t clientPort, std::string_view packet) const {
        sockaddr_in client{};
        client.sin_family = AF_INET;
        client.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        client.sin_port = htons(clientPort);
        ::sendto(descriptor_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&client),
                 sizeof client);
    }
    // Drops what the client of the last input sent.
    void drain() const {
        char buffer[1024];
        while (::recv(descriptor_, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
        }
    }

private:
    int descriptor_;
    std::uint16_t port_ = 0;
};

std::vector<std::string_view> packetsOf(std::string_view bytes) {
    std::vector<std::string_view> packets;
    while (bytes.size() >= 2 && packets.size() < kLargestPackets) {
        const std::size_t length =
            (static_cast<std::uint8_t>(bytes[0]) << 8 | static_cast<std::uint8_t>(bytes[1])) %
            (TFTPConnection::kPacketSize + 8);
        bytes.remove_prefix(2);
        packets.push_back(bytes.substr(0, length));
        bytes.remove_prefix(std::min(length, bytes.size()));
    }
    return packets;
}

void transfer(TFTPConnection& connection, Transfer kind, std::size_t size, const MemoryFile& file) {
    const std::vector<std::uint8_t> content(size, 0x5a);
    switch (kind) {
    case Transfer::ReadFile:
        connection.read(file.name(), kRemoteName);
        break;
    case Transfer::ReadMemory: {
        std::vector<std::uint8_t> buffer(size);
        check(connection.read(buffer.data(), buffer.size(), kRemoteName) <= size);
        break;
    }
    case Transfer::WriteMemory:
        connection.write(content.data(), content.size(), kRemoteName);
        break;
    case Transfer::WriteFile:
        file.fill(content);
        connection.write(file.name(), kRemoteName);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static const ServerSocket server;
    static const MemoryFile file;
    const auto kind = static_cast<Transfer>(data[0] % 4);
    const std::size_t fileSize = std::size_t{data[1]} * 8;
    server.drain();

    TFTPConnection connection("::ffff:127.0.0.1", 0, 0, server.port());
    for (std::string_view packet : packetsOf({reinterpret_cast<const char*>(data) + 2, size - 2}))
        server.sendTo(connection.localPort(), packet);
    server.sendTo(connection.localPort(), std::string_view("\0\5\0\0end of script\0", 18));
    try {
        transfer(connection, kind, fileSize, file);
    } catch (const TFTPConnection::TFTPError& error) {
        const bool reading = kind == Transfer::ReadFile || kind == Transfer::ReadMemory;
        check(error.id() == (reading ? 4 : 3) || (kind == Transfer::ReadMemory && error.id() == 2));
        check(!error.text.empty() && error.text == connection.lastMessage());
    }
    return 0;
}
