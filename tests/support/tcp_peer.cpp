#include "support/tcp_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::test {

namespace {

[[noreturn]] void fail(const char* call) {
    throw std::runtime_error(std::string("TcpPeer: ") + call + ": " + std::strerror(errno));
}

bool readable(int descriptor, std::chrono::milliseconds timeout) {
    pollfd entry{descriptor, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

} // namespace

TcpPeer::TcpPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail("bind/listen");
    port_ = ntohs(address.sin_port);
}

TcpPeer::~TcpPeer() {
    closeConnection();
    closeListener();
}

bool TcpPeer::accept(std::chrono::milliseconds timeout) {
    closeConnection();
    if (listener_ < 0 || !readable(listener_, timeout))
        return false;
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    received_.clear();
    return connection_ >= 0;
}

std::string TcpPeer::receive(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (connection_ >= 0 && received_.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readable(connection_, left))
            break;
        char buffer[4096];
        const ssize_t got = ::recv(connection_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        received_.append(buffer, static_cast<std::size_t>(got));
    }
    return received_;
}

void TcpPeer::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            fail("send");
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void TcpPeer::closeConnection() {
    if (connection_ >= 0)
        ::close(connection_);
    connection_ = -1;
}

void TcpPeer::closeListener() {
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

} // namespace kestrix::test
