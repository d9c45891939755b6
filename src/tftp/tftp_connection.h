#pragma once

#include "platform/ip_address.h"
#include "platform/worker_thread.h"
#include "tftp/transfer_progress.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace kestrix {

struct TftpOperation;

// Moves one file between this program and a terminal's TFTP server (octet
// mode, 512-byte blocks, one block per acknowledgement). A connection is made
// for one terminal address, used for one transfer by one thread and then
// destroyed, also after a failure. It owns one dual-stack UDP socket bound to
// a port of the given range; every wait on it is bounded (reads 10 s with one
// resend, writes 25 s with two resends). It knows nothing of terminal file
// names (the caller passes the remote name as the server expects it) and does
// not retry a failed transfer.
class TFTPConnection {
public:
    // A failed construction or transfer: an ID (1 bad address, 2 local file or
    // buffer, 3 write failed, 4 read failed, else the socket error number) and
    // the text the caller shows or traces.
    struct TFTPError : WorkerError {
        TFTPError(int id, std::string message, int systemErrorNumber = 0)
            : WorkerError{id, std::move(message)}, systemError(systemErrorNumber) {}
        int id() const { return code; }
        // The errno value behind a failed socket call, else 0: the user is
        // shown its text beside the message.
        int systemError = 0;
        // The message with the system's text of systemError behind it, for the user.
        std::string withReason() const;
    };

    static constexpr std::uint16_t kServerPort = 69;
    static constexpr std::size_t kBlockSize = 512;
    static constexpr std::size_t kPacketSize = 4 + kBlockSize;
    static constexpr std::size_t kMaximumRemoteNameLength = 504;
    static constexpr std::size_t kLastMessageSize = 200;

    // remoteAddress is IPv6 text; an IPv4 server is given in its mapped form
    // ("::ffff:10.0.0.5"). The local port is the first free one of
    // minPort..maxPort (0 and 0: the system chooses). serverPort is the
    // server's request port, 69 for a terminal.
    TFTPConnection(const std::string& remoteAddress, int minPort, int maxPort,
                   std::uint16_t serverPort = kServerPort);
    virtual ~TFTPConnection();
    TFTPConnection(const TFTPConnection&) = delete;
    TFTPConnection& operator=(const TFTPConnection&) = delete;

    // Fetches remoteName into the local file (a partly written file stays
    // when the transfer fails).
    void read(const std::string& localName, const std::string& remoteName);
    // Fetches remoteName into buffer and answers its length. A file longer
    // than bufferSize fails with ID 2 once the server has sent all of it.
    std::size_t read(std::uint8_t* buffer, std::size_t bufferSize, const std::string& remoteName);
    // Sends a local file. A local file that cannot be opened fails with ID 2
    // before any packet is sent, with or without a progress observer.
    void write(const std::string& localName, const std::string& remoteName,
               TransferProgress* progress = nullptr, int slot = 0);
    // Sends a block of memory; displayName labels the progress slot.
    void write(const std::uint8_t* data, std::size_t length, const std::string& remoteName,
               TransferProgress* progress = nullptr, int slot = 0, const std::string& displayName = {});
    // Sends an ERROR packet to the peer: a code of the TFTP set (0..7) with its
    // text, or 100 + a system error number as code 0 with the system's text.
    void tftp_nak(int code);

    // The local port the bind loop found.
    std::uint16_t localPort() const { return localPort_; }
    // The failure text of the last transfer (at most 199 bytes).
    std::string lastMessage() const { return lastMessage_.data(); }

private:
    enum class Exchange { Accepted, Failed };

    int receiveWithTimeout(int milliseconds, sockaddr_in6& sender);
    bool sendOutgoing(const TftpOperation& operation);
    // Whether the outgoing packet is the last DATA block of a write.
    enum class Outgoing { Other, LastBlock };
    Exchange exchange(const TftpOperation& operation, std::uint16_t expectedBlock, int& timeouts,
                      Outgoing outgoing = Outgoing::Other);
    void record(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void buildRequest(std::uint16_t opcode, const std::string& remoteName);
    bool requestFits(const TftpOperation& operation, const std::string& remoteName);
    void buildAcknowledge(std::uint16_t block);
    bool receiveBlocks(const TftpOperation& operation, std::FILE* file, const std::string& localName,
                       std::uint8_t* buffer, std::size_t bufferSize, std::uint64_t& received, bool& overflow);
    bool sendBlocks(const TftpOperation& operation, std::FILE* file, const std::uint8_t* data,
                    std::size_t length, TransferProgress* progress, int slot, std::uint64_t& sent);

    int socket_ = -1;
    int minPort_ = 0;
    int maxPort_ = 0;
    sockaddr_in6 localAddress_{};
    sockaddr_in6 peerAddress_{};
    Ip6Address peer_;
    std::uint16_t localPort_ = 0;
    std::array<std::uint8_t, kPacketSize> incoming_{};
    std::array<std::uint8_t, kPacketSize> outgoing_{};
    std::size_t outgoingLength_ = 0;
    std::size_t incomingLength_ = 0;
    std::chrono::steady_clock::time_point lastSend_{};
    std::array<char, kLastMessageSize> lastMessage_{};
    int lastSystemError_ = 0; // the errno value behind lastMessage_, if a socket call failed
};

} // namespace kestrix
