// The maintenance socket on loopback (port chosen by the system): requests
// over IPv4 and IPv6 reach the responder and the reply goes back to the
// sender's port, as the faults decide.
#include "sim/maintenance_server.h"

#include "platform/pause.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kestrix::sim;

namespace {

// A maintenance server of the test terminal running on a thread of its own.
class RunningServer {
public:
    explicit RunningServer(const std::vector<ConfigEntry>& changes)
        : terminal_(changes), server_(terminal_.responder, testConfig(changes).faults, 0) {
        stop_ = eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { server_.serve(stop_); });
    }
    ~RunningServer() {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(stop_, &one, sizeof one);
        thread_.join();
        ::close(stop_);
    }
    std::uint16_t port() const { return server_.port(); }

private:
    TestTerminal terminal_;
    MaintenanceServer server_;
    int stop_ = -1;
    std::thread thread_;
};

// A PC-side socket (dual-stack: an IPv4 address goes out as IPv4): sends
// datagrams and collects what comes back.
class Client {
public:
    Client() : socket_(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Client() { ::close(socket_); }

    void send(const std::string& datagram, const kestrix::Ip6Address& server, std::uint16_t port) {
        sockaddr_in6 address = kestrix::toSocketAddress(server, port);
        sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }

    // Every datagram that arrives until the socket stays quiet for the given time.
    std::vector<std::string> receive(std::chrono::milliseconds quiet = std::chrono::milliseconds(200)) {
        std::vector<std::string> datagrams;
        pollfd wait{socket_, POLLIN, 0};
        while (poll(&wait, 1, static_cast<int>(quiet.count())) == 1) {
            char buffer[2048];
            ssize_t length = recv(socket_, buffer, sizeof buffer, 0);
            if (length < 0)
                break;
            if (datagrams.empty())
                firstArrival = std::chrono::steady_clock::now();
            datagrams.emplace_back(buffer, static_cast<std::size_t>(length));
        }
        return datagrams;
    }

    std::chrono::steady_clock::time_point firstArrival;

private:
    int socket_ = -1;
};

const kestrix::Ip6Address kLoopback = kestrix::Ip6Address::fromIPv4Bytes(127, 0, 0, 1);

} // namespace

TEST(SimMaintenanceServer, AnswersOverIPv4AndIPv6) {
    RunningServer server({});
    for (const auto& address : {kLoopback, *kestrix::addressFromText("::1")}) {
        Client client;
        client.send(requestBytes("info 100101"), address, server.port());
        auto replies = client.receive();
        ASSERT_EQ(replies.size(), 1u) << kestrix::addressToText(address);
        const std::string head = replyBytes("TALMO|7450|IP|100101|system|information.");
        EXPECT_EQ(replies[0].substr(0, head.size()), head);
        // Wrong serial number, another station's reply, and oversized requests stay unanswered.
        client.send(requestBytes("info 100102"), address, server.port());
        client.send(replyBytes("TALMO|7450|IP|100101|ACM|6.12"), address, server.port());
        std::string oversized = requestBytes("info 100101");
        oversized.insert(oversized.size() - 1, std::string(1025 - oversized.size(), '\0'));
        client.send(oversized, address, server.port());
        EXPECT_TRUE(client.receive().empty());
    }
}

TEST(SimMaintenanceServer, Faults) {
    const struct {
        std::vector<ConfigEntry> faults;
        std::size_t replies;
        std::chrono::microseconds delay;
    } cases[] = {
        {{{"faults", "silent", "1"}}, 0, {}},
        {{{"faults", "drop", "1"}}, 0, {}},
        {{{"faults", "duplicate", "1"}}, 2, {}},
        {{{"faults", "drop", "0"}, {"faults", "duplicate", "0"}}, 1, {}},
        // Time-scaled (restart_test.cpp sets the factor for this executable).
        {{{"faults", "delay_ms", "10000"}}, 1, kestrix::scaledPause(10000)},
    };
    for (const auto& c : cases) {
        RunningServer server(c.faults);
        Client client;
        const auto start = std::chrono::steady_clock::now();
        client.send(requestBytes("find *"), kLoopback, server.port());
        EXPECT_EQ(client.receive(std::chrono::milliseconds(300)).size(), c.replies)
            << std::get<1>(c.faults.front());
        if (c.replies > 0) {
            EXPECT_GE(client.firstArrival - start, c.delay) << std::get<1>(c.faults.front());
        }
    }
}
