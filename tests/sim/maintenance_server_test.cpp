// The maintenance socket on loopback (port chosen by the system): requests
// over IPv4 and IPv6 reach the responder and the reply goes back to the
// sender's port, as the faults decide.
#include "sim/maintenance_server.h"

#include "platform/pause.h"

#include "sim_test_support.h"

#include <arpa/inet.h>
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

// A PC-side socket: sends one datagram and collects what comes back.
class Client {
public:
    explicit Client(int family) : family_(family) {
        socket_ = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    }
    ~Client() { ::close(socket_); }

    void send(const std::string& datagram, std::uint16_t port) {
        if (family_ == AF_INET) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address);
        } else {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_port = htons(port);
            address.sin6_addr = in6addr_loopback;
            sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address);
        }
    }

    // Every datagram that arrives until the socket stays quiet for the given time.
    std::vector<std::string> receive(std::chrono::milliseconds quiet) {
        std::vector<std::string> datagrams;
        pollfd wait{socket_, POLLIN, 0};
        while (poll(&wait, 1, static_cast<int>(quiet.count())) == 1) {
            char buffer[2048];
            ssize_t length = recv(socket_, buffer, sizeof buffer, 0);
            if (length < 0)
                break;
            datagrams.emplace_back(buffer, static_cast<std::size_t>(length));
        }
        return datagrams;
    }

private:
    int family_;
    int socket_ = -1;
};

const auto kQuiet = std::chrono::milliseconds(200);

} // namespace

TEST(SimMaintenanceServer, AnswersOverIPv4AndIPv6) {
    RunningServer server({});
    for (int family : {AF_INET, AF_INET6}) {
        Client client(family);
        client.send(requestBytes("info 100101"), server.port());
        auto replies = client.receive(kQuiet);
        ASSERT_EQ(replies.size(), 1u) << family;
        const std::string head = replyBytes("TALMO|7450|IP|100101|system|information.");
        EXPECT_EQ(replies[0].substr(0, head.size()), head);
        // Wrong serial number, another station's reply, and oversized requests stay unanswered.
        client.send(requestBytes("info 100102"), server.port());
        client.send(replyBytes("TALMO|7450|IP|100101|ACM|6.12"), server.port());
        std::string oversized = requestBytes("info 100101");
        oversized.insert(oversized.size() - 1, std::string(1025 - oversized.size(), '\0'));
        client.send(oversized, server.port());
        EXPECT_TRUE(client.receive(kQuiet).empty());
    }
}

TEST(SimMaintenanceServer, Faults) {
    struct Case {
        std::vector<ConfigEntry> faults;
        std::size_t replies;
    } cases[] = {
        {{{"faults", "silent", "1"}}, 0},
        {{{"faults", "drop", "1"}}, 0},
        {{{"faults", "duplicate", "1"}}, 2},
        {{{"faults", "drop", "0"}, {"faults", "duplicate", "0"}}, 1},
    };
    for (const auto& c : cases) {
        RunningServer server(c.faults);
        Client client(AF_INET);
        client.send(requestBytes("find *"), server.port());
        EXPECT_EQ(client.receive(kQuiet).size(), c.replies) << std::get<1>(c.faults.front());
    }
}

TEST(SimMaintenanceServer, DelayedReplies) {
    // 2000 ms, time-scaled (restart_test.cpp sets the factor for this executable).
    RunningServer server({{"faults", "delay_ms", "2000"}});
    Client client(AF_INET);
    const auto start = std::chrono::steady_clock::now();
    client.send(requestBytes("find *"), server.port());
    ASSERT_EQ(client.receive(std::chrono::milliseconds(1000)).size(), 1u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kestrix::scaledPause(2000));
}

TEST(SimReplyFaults, DropDecisionFollowsTheDraw) {
    FaultSettings settings;
    settings.dropProbability = 0.5;
    double next = 0.0;
    ReplyFaults faults(settings, [&] { return next; });
    next = 0.49;
    EXPECT_EQ(faults.copies(), 0);
    next = 0.5;
    EXPECT_EQ(faults.copies(), 1);
    settings.duplicate = true;
    ReplyFaults duplicating(settings, [&] { return next; });
    EXPECT_EQ(duplicating.copies(), 2);
    next = 0.1;
    EXPECT_EQ(duplicating.copies(), 0);
}
