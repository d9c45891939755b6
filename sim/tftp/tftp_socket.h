#pragma once

#include "platform/ip_address.h"

#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <span>
#include <string>

namespace kestrix::sim {

// A dual-stack UDP socket (IPv6 socket that also carries IPv4) for the TFTP
// server, closed by its destructor. It tells the local address each datagram
// was sent to, so that a transfer answers from the address the client used,
// and it waits for datagrams with a deadline while watching a stop descriptor.
// It knows nothing of TFTP.
class TftpSocket {
public:
    // Binds address:port (port 0: the system picks one). Throws
    // std::system_error naming the step that failed.
    TftpSocket(const Ip6Address& address, std::uint16_t port);
    ~TftpSocket();
    TftpSocket(TftpSocket&& other) noexcept;
    TftpSocket& operator=(TftpSocket&&) = delete;
    TftpSocket(const TftpSocket&) = delete;
    TftpSocket& operator=(const TftpSocket&) = delete;

    std::uint16_t localPort() const;

    struct Datagram {
        std::size_t length = 0; // bytes stored in the buffer
        bool truncated = false; // the datagram was longer than the buffer
        sockaddr_in6 sender{};  // where it came from
        Ip6Address destination; // the local address it was sent to (unspecified when unknown)
    };
    enum class WaitResult { Received, TimedOut, Stopping };

    // Waits until a datagram arrives, the deadline passes or stopDescriptor
    // becomes readable (stop wins), and receives the datagram into buffer.
    WaitResult receive(std::span<std::uint8_t> buffer, std::chrono::steady_clock::time_point deadline,
                       int stopDescriptor, Datagram& datagram);

    // Sends one datagram; false when the system refused it (the caller treats
    // it like a lost packet: UDP gives no delivery guarantee anyway).
    bool send(std::span<const std::uint8_t> bytes, const sockaddr_in6& destination);

private:
    int descriptor_ = -1;
};

// True when both socket addresses name the same address, scope and port.
bool sameEndpoint(const sockaddr_in6& left, const sockaddr_in6& right);

// "[address]:port" for traces.
std::string endpointText(const sockaddr_in6& endpoint);

} // namespace kestrix::sim
