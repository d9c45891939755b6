#include "support/scripted_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::test {

std::string PeerRequest::text() const {
    std::string result = bytes;
    if (!result.empty() && result.back() == '\0')
        result.pop_back();
    for (char& character : result)
        if (character == '\0')
            character = ' ';
    return result;
}

ScriptedPeer::ScriptedPeer(const std::string& ipv4Address, std::uint16_t port, Responder responder)
    : responder_(std::move(responder)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (inet_pton(AF_INET, ipv4Address.c_str(), &local.sin_addr) != 1)
        throw std::runtime_error("ScriptedPeer: bad address " + ipv4Address);
    address_ = Ip6Address::fromIPv4(local.sin_addr.s_addr);
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        if (socket_ >= 0)
            ::close(socket_);
        throw std::runtime_error("ScriptedPeer: cannot bind " + ipv4Address + ":" + std::to_string(port));
    }
    wakeDescriptor_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { serve(); });
}

ScriptedPeer::~ScriptedPeer() {
    stopping_ = true;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeDescriptor_, &one, sizeof one);
    thread_.join();
    ::close(socket_);
    ::close(wakeDescriptor_);
}

void ScriptedPeer::sendTo(const sockaddr_in& destination, std::string_view bytes) {
    ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
             sizeof destination);
}

std::vector<PeerRequest> ScriptedPeer::requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ScriptedPeer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return received_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

std::string ScriptedPeer::datagram(std::string_view text) {
    std::string bytes(text);
    for (char& character : bytes)
        if (character == ' ')
            character = '\0';
    return bytes;
}

void ScriptedPeer::serve() {
    while (!stopping_) {
        pollfd descriptors[2] = {{socket_, POLLIN, 0}, {wakeDescriptor_, POLLIN, 0}};
        if (::poll(descriptors, 2, -1) <= 0 || stopping_)
            continue;
        if (!(descriptors[0].revents & POLLIN))
            continue;
        char buffer[65536];
        PeerRequest request;
        socklen_t senderLength = sizeof request.sender;
        ssize_t length = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&request.sender),
                                    &senderLength);
        if (length < 0)
            continue;
        request.bytes.assign(buffer, static_cast<std::size_t>(length));
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        received_.notify_all();
        if (responder_)
            responder_(request, *this);
    }
}

} // namespace kestrix::test
