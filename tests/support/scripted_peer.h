#pragma once

#include "platform/ip_address.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrix::test {

// One datagram a peer received.
struct PeerRequest {
    std::string bytes;
    sockaddr_in sender{};
    // The request as text: zero bytes turned into blanks, the final one dropped.
    std::string text() const;
};

// A small UDP peer on an IPv4 loopback address that stands in for a terminal
// in engine tests: it records every datagram it receives and answers with
// whatever its responder sends. It knows nothing of the protocol.
class ScriptedPeer {
public:
    using Responder = std::function<void(const PeerRequest&, ScriptedPeer&)>;

    // Binds ipv4Address:port (throws std::runtime_error when it cannot) and
    // starts answering on a thread of its own.
    ScriptedPeer(const std::string& ipv4Address, std::uint16_t port, Responder responder = {});
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    void sendTo(const sockaddr_in& destination, std::string_view bytes);
    void reply(const PeerRequest& request, std::string_view bytes) { sendTo(request.sender, bytes); }

    std::vector<PeerRequest> requests();
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout);
    Ip6Address address() const { return address_; }

    // The datagram for a reply text: every blank becomes a zero byte.
    static std::string datagram(std::string_view text);

private:
    void serve();

    int socket_ = -1;
    int wakeDescriptor_ = -1;
    Ip6Address address_;
    Responder responder_;
    std::mutex mutex_;
    std::condition_variable received_;
    std::vector<PeerRequest> requests_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kestrix::test
