#include "sim/maintenance_server.h"

#include "platform/error_text.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "sim/request.h"

#include <array>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim {
namespace {

[[noreturn]] void failWith(const std::string& what) {
    throw std::runtime_error(what + ": " + errorText(errno));
}

// The request as a printable line for the trace, without its terminating zero byte.
std::string printable(std::span<const std::uint8_t> datagram) {
    if (!datagram.empty() && datagram.back() == 0)
        datagram = datagram.first(datagram.size() - 1);
    return printableForTrace({reinterpret_cast<const char*>(datagram.data()), datagram.size()});
}

} // namespace

MaintenanceServer::MaintenanceServer(Responder& responder, const FaultSettings& faults, std::uint16_t port)
    : responder_(responder), faults_(faults) {
    socket_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (socket_ < 0)
        failWith("maintenance socket");
    int off = 0;
    if (setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
        ::close(socket_);
        failWith("maintenance socket: IPV6_V6ONLY off");
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    socklen_t length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(socket_);
        errno = error;
        failWith("maintenance socket: bind [::]:" + std::to_string(port));
    }
    port_ = ntohs(address.sin6_port);
}

MaintenanceServer::~MaintenanceServer() {
    ::close(socket_);
}

void MaintenanceServer::serve(int stopDescriptor) {
    std::array<pollfd, 2> waits = {pollfd{socket_, POLLIN, 0}, pollfd{stopDescriptor, POLLIN, 0}};
    for (;;) {
        if (poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            failWith("poll");
        }
        if (waits[1].revents != 0)
            return;
        if (waits[0].revents != 0)
            handleOneDatagram();
    }
}

void MaintenanceServer::handleOneDatagram() {
    // One byte more than a request may hold, so that a longer one shows.
    std::array<std::uint8_t, kMaxRequestBytes + 1> buffer;
    sockaddr_in6 sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t received = recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < 0 || static_cast<std::size_t>(received) > kMaxRequestBytes ||
        sender.sin6_family != AF_INET6)
        return;
    if (faults_.silent())
        return;
    const std::span<const std::uint8_t> datagram(buffer.data(), static_cast<std::size_t>(received));
    auto reply = responder_.answer(datagram, fromSocketAddress(sender));
    const int copies = reply ? faults_.copies() : 0;
    if (traceOn())
        trace("talmo-sim: '%s' from %s: %s\n", printable(datagram).c_str(),
              addressToText(fromSocketAddress(sender)).c_str(),
              !reply        ? "no answer"
              : copies == 0 ? "answer dropped"
                            : "answered");
    if (!reply)
        return;
    if (copies > 0)
        pause(faults_.delayMilliseconds());
    for (int copy = 0; copy < copies; ++copy)
        sendto(socket_, reply->data(), reply->size(), 0, reinterpret_cast<const sockaddr*>(&sender),
               sizeof sender);
}

} // namespace kestrix::sim
