#include "tftp/tftp_connection.h"

#include "platform/error_text.h"
#include "platform/trace.h"
#include "tftp/tftp_operation.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix {
namespace {

using Clock = std::chrono::steady_clock;

// A repeated ACK this soon after our DATA block is no resend of the server's.
constexpr std::chrono::milliseconds kRepeatQuietTime{20};

// The last DATA block of a write is repeated early when its ACK does not come:
// the server has taken the file and sends no ACK again by itself; it answers a
// repeated last block only for a short time before it closes its transfer
// port (tftpd-hpa: its retransmit time-out, one second unless set otherwise).
// Without the early repeats a lost final ACK would fail a complete write after
// the regular waits. The waits double, so that short and long lingers are
// both met with a few packets; the repeats come on top of the regular ones, so
// a dead server still fails after the regular waits.
constexpr int kLastBlockEarlyWaitMilliseconds[] = {50, 100, 200, 400};

// The client's texts for the TFTP error codes it may send.
constexpr const char* kErrorCodeTexts[] = {
    "Undefined error code",   "File not found",
    "Access violation",       "Disk full or allocation exceeded",
    "Illegal TFTP operation", "Unknown transfer ID",
    "File already exists",    "No such user",
};

std::uint16_t readWord(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

void writeWord(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 8);
    bytes[1] = static_cast<std::uint8_t>(value & 0xff);
}

// Traces message with the socket error and throws it with that error as ID.
[[noreturn]] void failConstruction(const std::string& message, int error) {
    trace("%s (%d)\n", message.c_str(), error);
    throw TFTPConnection::TFTPError(error, message, error);
}

} // namespace

std::string TFTPConnection::TFTPError::withReason() const {
    return systemError == 0 ? text : text + " (" + errorText(systemError) + ")";
}

TFTPConnection::TFTPConnection(const std::string& remoteAddress, int minPort, int maxPort,
                               std::uint16_t serverPort)
    : minPort_(minPort), maxPort_(maxPort) {
    const std::string head = "TFTPConnection(" + remoteAddress + "): ";
    // Only IPv6 text is an address here: a dotted IPv4 address must come in
    // its mapped form.
    const std::optional<Ip6Address> address =
        remoteAddress.find(':') == std::string::npos ? std::nullopt : addressFromText(remoteAddress);
    if (!address) {
        const std::string message = head + "no remote address";
        trace("%s\n", message.c_str());
        throw TFTPError(1, message);
    }
    peer_ = *address;
    peerAddress_ = toSocketAddress(peer_, serverPort);

    socket_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        failConstruction(head + "socket() call failed", errno);
    try {
        const int off = 0;
        if (::setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0)
            failConstruction(head + "setsockopt(for IPv4 AND IPv6 addresses) call failed", errno);

        // A range that holds no valid port cannot be bound at all.
        int lastError = EINVAL;
        bool bound = false;
        for (int port = minPort; port <= maxPort && port >= 0 && port <= 65535; ++port) {
            localAddress_ = toSocketAddress(Ip6Address{}, static_cast<std::uint16_t>(port));
            if (::bind(socket_, reinterpret_cast<const sockaddr*>(&localAddress_), sizeof localAddress_) ==
                0) {
                bound = true;
                break;
            }
            lastError = errno;
            if (lastError != EADDRINUSE)
                failConstruction(head + "bind() call failed", lastError);
        }
        if (!bound)
            failConstruction(head + "all bind() calls failed", lastError);
        socklen_t length = sizeof localAddress_;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&localAddress_), &length);
        localPort_ = ntohs(localAddress_.sin6_port);

        const int flags = ::fcntl(socket_, F_GETFL);
        if (flags < 0 || ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK) != 0)
            failConstruction(head + "setting socket to asynchronous I/O failed", errno);
    } catch (...) {
        ::close(socket_);
        throw;
    }
    trace("TFTPConnection(%s) mit lokaler Portnummer %d: Konstruktor done\n", remoteAddress.c_str(),
          static_cast<int>(localPort_));
}

TFTPConnection::~TFTPConnection() {
    ::close(socket_);
}

void TFTPConnection::record(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    // vsnprintf cuts a longer text to the field and always ends it.
    std::vsnprintf(lastMessage_.data(), lastMessage_.size(), format, arguments);
    va_end(arguments);
    lastSystemError_ = 0; // a failed send sets it after its message
}

int TFTPConnection::receiveWithTimeout(int milliseconds, sockaddr_in6& sender) {
    // The wait comes first: it returns at once when a packet is there, and a
    // receive attempt before it would mostly find nothing on a fast link
    // (one system call less per block).
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{socket_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready < 0 && errno != EINTR) {
            const int error = errno;
            throw TFTPError(error, "select() call failed", error);
        }
        if (ready == 0)
            return 0;
        if (ready < 0)
            continue;
        socklen_t senderLength = sizeof sender;
        const ssize_t received = ::recvfrom(socket_, incoming_.data(), incoming_.size(), 0,
                                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received >= 0)
            return static_cast<int>(received);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            throw TFTPError(error, "recvfrom() call failed", error);
        }
    }
}

bool TFTPConnection::sendOutgoing(const TftpOperation& operation) {
    lastSend_ = Clock::now();
    const ssize_t sent = ::sendto(socket_, outgoing_.data(), outgoingLength_, 0,
                                  reinterpret_cast<const sockaddr*>(&peerAddress_), sizeof peerAddress_);
    if (sent == static_cast<ssize_t>(outgoingLength_))
        return true;
    const int error = sent < 0 ? errno : 0;
    record("%s: send failed: %d", operation.prefix, error);
    lastSystemError_ = error;
    return false;
}

// Sends the outgoing packet and waits for the packet of the expected type and
// block; a time-out sends it again as often as the operation allows.
TFTPConnection::Exchange TFTPConnection::exchange(const TftpOperation& operation, std::uint16_t expectedBlock,
                                                  int& timeouts, Outgoing outgoing) {
    if (!sendOutgoing(operation))
        return Exchange::Failed;
    const std::size_t earlyRepeats =
        outgoing == Outgoing::LastBlock ? std::size(kLastBlockEarlyWaitMilliseconds) : 0;
    std::size_t earlyRepeatsDone = 0;
    for (;;) {
        sockaddr_in6 sender{};
        int length = 0;
        try {
            length = receiveWithTimeout(earlyRepeatsDone < earlyRepeats
                                            ? kLastBlockEarlyWaitMilliseconds[earlyRepeatsDone]
                                            : operation.waitMilliseconds,
                                        sender);
        } catch (const TFTPError& error) {
            record("%s: receive failed: %s (%d)%s", operation.prefix, error.text.c_str(), error.code,
                   operation.receiveFailedEnd);
            lastSystemError_ = error.systemError;
            return Exchange::Failed;
        }
        if (length == 0 && earlyRepeatsDone < earlyRepeats) {
            ++earlyRepeatsDone;
            trace("%s: no ACK of the last block yet, resend data\n", operation.prefix);
            if (!sendOutgoing(operation))
                return Exchange::Failed;
            continue;
        }
        if (length == 0) {
            if (++timeouts > operation.resends) {
                record("%s: timeout on receive", operation.prefix);
                return Exchange::Failed;
            }
            trace("%s: timeout on receive, start %d. retry\n", operation.prefix, timeouts);
            if (!sendOutgoing(operation))
                return Exchange::Failed;
            continue;
        }
        if (length < 4) {
            trace("%s: runt packet received - %d bytes%s", operation.prefix, length, operation.runtEnd);
            continue;
        }
        if (!fromSocketAddress(sender).sameBytes(peer_)) {
            trace("%s: received packet from wrong peer\n", operation.prefix);
            trace("   Check, if computer owns a global IPv6 address!\n");
            continue;
        }
        // The server answers from its transfer port; later packets go there.
        peerAddress_.sin6_port = sender.sin6_port;
        const std::uint16_t opcode = readWord(incoming_.data());
        const std::uint16_t block = readWord(incoming_.data() + 2);
        if (opcode == kOpcodeError) {
            // The text is cut at the packet's end when the server left out the zero byte.
            const std::string text(reinterpret_cast<const char*>(incoming_.data() + 4),
                                   strnlen(reinterpret_cast<const char*>(incoming_.data() + 4),
                                           static_cast<std::size_t>(length) - 4));
            record("%s: received error code %d: '%s'", operation.prefix, static_cast<int>(block),
                   text.c_str());
            return Exchange::Failed;
        }
        if (opcode != operation.expectedOpcode) {
            trace("%s: received invalid packet type 0x%x (%u)%s", operation.prefix,
                  static_cast<unsigned>(opcode), static_cast<unsigned>(opcode), operation.invalidTypeEnd);
            continue;
        }
        if (block == expectedBlock) {
            incomingLength_ = static_cast<std::size_t>(length);
            return Exchange::Accepted;
        }
        trace("%s: block counts differ\n", operation.prefix);
        // A repeated DATA block means the server lost our ACK: it is answered
        // each time. A repeated ACK that comes soon after our DATA block is an
        // echo of a duplicated packet, not the server's resend after its
        // time-out: answering it would make the server answer twice again, and
        // the traffic would double with each block until packets get lost.
        const bool resendAllowed =
            operation.repeatAnswer == RepeatAnswer::EveryTime || Clock::now() - lastSend_ >= kRepeatQuietTime;
        if (block == static_cast<std::uint16_t>(expectedBlock - 1) && resendAllowed) {
            trace("%s: resend %s", operation.prefix, operation.resendWhat);
            if (!sendOutgoing(operation))
                return Exchange::Failed;
        }
    }
}

void TFTPConnection::buildRequest(std::uint16_t opcode, const std::string& remoteName) {
    static constexpr char kMode[] = "octet";
    writeWord(outgoing_.data(), opcode);
    std::size_t position = 2;
    std::memcpy(outgoing_.data() + position, remoteName.data(), remoteName.size());
    position += remoteName.size();
    outgoing_[position++] = 0;
    std::memcpy(outgoing_.data() + position, kMode, sizeof kMode);
    outgoingLength_ = position + sizeof kMode;
}

bool TFTPConnection::requestFits(const TftpOperation& operation, const std::string& remoteName) {
    // A zero byte would end the name inside the request packet.
    if (remoteName.find('\0') != std::string::npos) {
        record("%s: remote file name '%s' contains a zero byte", operation.prefix, remoteName.c_str());
        return false;
    }
    if (remoteName.size() > kMaximumRemoteNameLength) {
        record("%s: remote file name '%s' longer than %zu bytes", operation.prefix, remoteName.c_str(),
               kMaximumRemoteNameLength);
        return false;
    }
    return true;
}

void TFTPConnection::buildAcknowledge(std::uint16_t block) {
    writeWord(outgoing_.data(), kOpcodeAcknowledge);
    writeWord(outgoing_.data() + 2, block);
    outgoingLength_ = 4;
}

void TFTPConnection::tftp_nak(int code) {
    std::array<std::uint8_t, kPacketSize> packet{};
    std::string text;
    std::uint16_t wireCode = 0;
    if (code >= 100) {
        text = errorText(code - 100);
    } else if (code >= 0 && code < static_cast<int>(std::size(kErrorCodeTexts))) {
        wireCode = static_cast<std::uint16_t>(code);
        text = kErrorCodeTexts[code];
    } else {
        text = kErrorCodeTexts[0];
    }
    if (text.size() > kPacketSize - 5)
        text.resize(kPacketSize - 5);
    writeWord(packet.data(), kOpcodeError);
    writeWord(packet.data() + 2, wireCode);
    std::memcpy(packet.data() + 4, text.data(), text.size());
    const std::size_t length = 4 + text.size() + 1;
    trace("tftp_nak(): th_opcode: %u, th_code: %u, th_msg: %s\n", static_cast<unsigned>(kOpcodeError),
          static_cast<unsigned>(wireCode), text.c_str());
    const ssize_t sent = ::sendto(socket_, packet.data(), length, 0,
                                  reinterpret_cast<const sockaddr*>(&peerAddress_), sizeof peerAddress_);
    if (sent != static_cast<ssize_t>(length))
        throw TFTPError(sent < 0 ? errno : 0, "tftp_nak(): sendto() failed");
}

} // namespace kestrix
