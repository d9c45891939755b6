#include "sim/tftp/tftp_socket.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace kestrix::sim {

namespace {

[[noreturn]] void throwSystemError(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), "TFTP server: " + what);
}

void readDestination(msghdr& message, TftpSocket::Datagram& datagram) {
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IPV6 && header->cmsg_type == IPV6_PKTINFO &&
            header->cmsg_len >= CMSG_LEN(sizeof(in6_pktinfo))) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            std::memcpy(datagram.destination.bytes.data(), &info.ipi6_addr, 16);
            datagram.destination.scopeId = datagram.destination.isLinkLocal() ? info.ipi6_ifindex : 0;
        } else if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO &&
                   header->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            datagram.destination = Ip6Address::fromIPv4(info.ipi_addr.s_addr);
        }
    }
}

} // namespace

TftpSocket::TftpSocket(const Ip6Address& address, std::uint16_t port) {
    descriptor_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor_ < 0)
        throwSystemError("socket() failed");
    int off = 0;
    int on = 1;
    sockaddr_in6 local = toSocketAddress(address, port);
    if (setsockopt(descriptor_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0 ||
        setsockopt(descriptor_, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) != 0 ||
        setsockopt(descriptor_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        int error = errno;
        ::close(descriptor_);
        errno = error;
        throwSystemError("setsockopt() failed");
    }
    if (bind(descriptor_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        int error = errno;
        ::close(descriptor_);
        errno = error;
        throwSystemError("bind() to " + endpointText(local) + " failed");
    }
}

TftpSocket::~TftpSocket() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

TftpSocket::TftpSocket(TftpSocket&& other) noexcept : descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

std::uint16_t TftpSocket::localPort() const {
    sockaddr_in6 local{};
    socklen_t length = sizeof local;
    if (getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin6_port);
}

TftpSocket::WaitResult TftpSocket::receive(std::span<std::uint8_t> buffer,
                                           std::chrono::steady_clock::time_point deadline, int stopDescriptor,
                                           Datagram& datagram) {
    while (true) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            left = std::chrono::milliseconds(0);
        pollfd descriptors[2] = {{stopDescriptor, POLLIN, 0}, {descriptor_, POLLIN, 0}};
        int ready = ::poll(descriptors, 2, static_cast<int>(std::min<long long>(left.count(), 60'000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throwSystemError("poll() failed");
        if (descriptors[0].revents != 0)
            return WaitResult::Stopping;
        if (descriptors[1].revents == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return WaitResult::TimedOut;
            continue;
        }
        alignas(cmsghdr)
            std::uint8_t control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(in_pktinfo))];
        iovec vector{buffer.data(), buffer.size()};
        msghdr message{};
        datagram = Datagram{};
        message.msg_name = &datagram.sender;
        message.msg_namelen = sizeof datagram.sender;
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t received = ::recvmsg(descriptor_, &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED)
                continue; // ICMP errors of earlier sends are not the peer's answer
            throwSystemError("recvmsg() failed");
        }
        if (message.msg_namelen < sizeof(sockaddr_in6) || datagram.sender.sin6_family != AF_INET6)
            continue;
        datagram.length = static_cast<std::size_t>(received);
        datagram.truncated = (message.msg_flags & MSG_TRUNC) != 0;
        readDestination(message, datagram);
        return WaitResult::Received;
    }
}

bool TftpSocket::send(std::span<const std::uint8_t> bytes, const sockaddr_in6& destination) {
    ssize_t sent = ::sendto(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    return sent == static_cast<ssize_t>(bytes.size());
}

bool sameEndpoint(const sockaddr_in6& left, const sockaddr_in6& right) {
    return left.sin6_port == right.sin6_port && left.sin6_scope_id == right.sin6_scope_id &&
           std::memcmp(&left.sin6_addr, &right.sin6_addr, sizeof left.sin6_addr) == 0;
}

std::string endpointText(const sockaddr_in6& endpoint) {
    return "[" + addressToText(fromSocketAddress(endpoint)) +
           "]:" + std::to_string(ntohs(endpoint.sin6_port));
}

} // namespace kestrix::sim
