#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/scripted_peer.h"
#include "support/sockets.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <future>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// These tests bind the maintenance ports and run in a network namespace of
// their own (tests/support/in-netns). A peer that stands in for a terminal
// binds 127.0.0.x:0xdead before the engine starts, so the engine itself lands
// on 0xbeef, which is also what happens beside another maintenance program.

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using test::PeerRequest;
using test::ScriptedPeer;
using test::TraceCapture;
using Kind = T7000ip::RequestKind;

const CToolBoxLang& english() {
    static const CToolBoxLang language(1033);
    return language;
}

Ip6Address loopback(int host) {
    return Ip6Address::fromIPv4Bytes(127, 0, 0, static_cast<std::uint8_t>(host));
}

// A responder that answers every request with the given reply texts.
ScriptedPeer::Responder answerWith(std::vector<std::string> replies) {
    return [replies](const PeerRequest& request, ScriptedPeer& peer) {
        for (const auto& reply : replies)
            peer.reply(request, reply);
    };
}

class Engine : public ::testing::Test {
protected:
    void TearDown() override {
        if (engine_ != nullptr)
            T7000ip::releaseT7000ip();
    }
    T7000ip& startEngine() {
        engine_ = &T7000ip::getT7000ip(&english());
        return *engine_;
    }
    T7000ip* engine_ = nullptr;
};

TEST_F(Engine, PortDeadTakenBindsBeefAndStillSendsToDeadAndEveryReplyFindsItsJob) {
    ScriptedPeer terminal("127.0.0.2", 0xdead,
                          answerWith({ScriptedPeer::datagram("TALMO DCU 1 100200 echo ok")}));
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.boundPort(), 0xbeef);
    auto replies = engine.request(loopback(2), "100200", Kind::Directed, 2, "echo 100200");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], "TALMO DCU 1 100200 echo ok");
    auto requests = terminal.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(ntohs(requests[0].sender.sin_port), 0xbeef);
    // Blanks travel as zero bytes, with one terminating zero byte.
    EXPECT_EQ(requests[0].bytes, std::string("echo\0"
                                             "100200\0",
                                             12));
    // The peer answers within microseconds, possibly before the send thread is
    // back from sendto(): every request must still get its reply.
    int answered = 0;
    for (int i = 0; i < 200; ++i)
        answered +=
            static_cast<int>(engine.request(loopback(2), "100200", Kind::Directed, 1, "echo 100200").size());
    EXPECT_EQ(answered, 200);
}

TEST_F(Engine, BothPortsTakenFailsWithMessage84) {
    const int sockets[2] = {test::bindDualStackUdp(0xdead), test::bindDualStackUdp(0xbeef)};
    ASSERT_GE(sockets[0], 0);
    ASSERT_GE(sockets[1], 0);
    try {
        T7000ip::getT7000ip(&english());
        ADD_FAILURE() << "the engine started although both ports are taken";
        T7000ip::releaseT7000ip();
    } catch (const T7000ip::T7000ipError& error) {
        EXPECT_EQ(error.text,
                  "TALMO configuration port(s) already in use. Please close the other application first.");
        EXPECT_EQ(error.code, EADDRINUSE);
    }
    for (int socket : sockets)
        ::close(socket);
    // The ports are free again: a new engine can start.
    EXPECT_EQ(startEngine().boundPort(), 0xdead);
}

TEST_F(Engine, OnlyOneEngineAndItsUseCount) {
    EXPECT_THROW(T7000ip::getT7000ip(nullptr), T7000ip::T7000ipError);
    T7000ip& engine = startEngine();
    EXPECT_EQ(&T7000ip::getT7000ip(nullptr), &engine);
    EXPECT_THROW(T7000ip::getT7000ip(&english()), T7000ip::T7000ipError);
    T7000ip::releaseT7000ip(); // the second use; the fixture releases the first
}

TEST_F(Engine, OwnBroadcastComingBackIsDroppedAndTheTraceLines) {
    T7000ip& engine = startEngine();
    ASSERT_EQ(engine.boundPort(), 0xdead);
    TraceCapture trace;
    engine.setT7000ipMaintGroup(65535);
    // The loopback broadcast reaches our own socket. The text begins with
    // "TALMO", so only the own-datagram rule keeps it out of the results.
    auto replies = engine.broadcast(Ip6Address::fromIPv4Bytes(127, 255, 255, 255), "TALMO own 1 999", 3);
    EXPECT_TRUE(replies.empty()) << replies[0];
    EXPECT_EQ(trace.text(), "T7000ip::setT7000ipMaintGroup() 65535\n"
                            "T7000ip::broadcast(::ffff:127.255.255.255,'TALMO own 1 999') startet\n");
}

TEST_F(Engine, RepliesWithoutTheSerialNumberOrNotFromATerminalMatchNoJob) {
    // Most jobs ask for any serial number, so only the reply rules keep these out.
    struct Case {
        const char* what;
        std::string reply;
        const char* asked;
        bool matches;
    } cases[] = {
        {"request of another maintenance station", ScriptedPeer::datagram("echo DCU 1 100200"), "", false},
        {"no fourth word", ScriptedPeer::datagram("TALMO DCU 1"), "", false},
        {"unknown serial number", ScriptedPeer::datagram("TALMO DCU 1 ?100200"), "", false},
        {"empty quoted serial number", ScriptedPeer::datagram("TALMO DCU 1 \"\" x"), "", false},
        {"another serial number", ScriptedPeer::datagram("TALMO DCU 1 100201"), "100200", false},
        {"a terminal's reply", ScriptedPeer::datagram("TALMO DCU 1 100200"), "", true},
    };
    for (const auto& c : cases) {
        ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({c.reply}));
        T7000ip& engine = startEngine();
        EXPECT_EQ(engine.request(loopback(2), c.asked, Kind::Directed, 1, "echo 100200").size(),
                  c.matches ? 1u : 0u)
            << c.what;
        T7000ip::releaseT7000ip();
        engine_ = nullptr;
    }
}

TEST_F(Engine, DirectedRequestMatchesOnlyItsAddressSearchMatchesAnySender) {
    ScriptedPeer elsewhere("127.0.0.3", 0xdead);
    // The terminal asked at .2 does not answer; the one at .3 does, with the serial number asked for.
    ScriptedPeer asked("127.0.0.2", 0xdead, [&](const PeerRequest& request, ScriptedPeer&) {
        elsewhere.sendTo(request.sender, ScriptedPeer::datagram("TALMO DCU 1 4711 found"));
    });
    T7000ip& engine = startEngine();
    auto search = engine.request(loopback(2), "4711", Kind::SearchBySerialNumber, 1, "find 4711");
    ASSERT_EQ(search.size(), 1u);
    EXPECT_EQ(search[0], "TALMO DCU 1 4711 found");
    EXPECT_TRUE(engine.request(loopback(2), "4711", Kind::Directed, 1, "find 4711").empty());
}

TEST_F(Engine, TwoJobsToOneAddressTheEarlierGetsTheReply) {
    ScriptedPeer terminal("127.0.0.2", 0xdead);
    T7000ip& engine = startEngine();
    auto first = std::async(std::launch::async,
                            [&] { return engine.request(loopback(2), "", Kind::Directed, 1, "info first"); });
    ASSERT_TRUE(terminal.waitForRequests(1, 2s));
    auto second = std::async(std::launch::async, [&] {
        return engine.request(loopback(2), "", Kind::Directed, 1, "info second");
    });
    ASSERT_TRUE(terminal.waitForRequests(2, 2s));
    terminal.reply(terminal.requests()[1], ScriptedPeer::datagram("TALMO DCU 1 555 answer"));
    EXPECT_EQ(first.get(), std::vector<std::string>{"TALMO DCU 1 555 answer"});
    EXPECT_TRUE(second.get().empty());
}

TEST_F(Engine, BroadcastListsEveryReplyWithAndWithoutSerialNumber) {
    ScriptedPeer other("127.0.0.3", 0xdead);
    ScriptedPeer terminal("127.0.0.2", 0xdead, [&](const PeerRequest& request, ScriptedPeer& self) {
        self.reply(request, ScriptedPeer::datagram("TALMO DCU 1 100200 x"));
        self.reply(request, ScriptedPeer::datagram("TALMO DCU"));
        other.sendTo(request.sender, ScriptedPeer::datagram("TALMO DCU 1 300400"));
        other.sendTo(request.sender, ScriptedPeer::datagram("not a reply"));
    });
    T7000ip& engine = startEngine();
    auto replies = engine.broadcast(loopback(2), "find *", 3);
    EXPECT_EQ(replies, (std::vector<std::string>{"[::ffff:127.0.0.2];100200", "::ffff:127.0.0.2",
                                                 "[::ffff:127.0.0.3];300400"}));
}

TEST_F(Engine, ABroadcastCollectsABurstOfManyReplies) {
    // Fifty or more terminals answer a broadcast within a millisecond; the
    // socket must hold them all until the receive thread reads them.
    ScriptedPeer terminals("127.0.0.2", 0xdead, [](const PeerRequest& request, ScriptedPeer& self) {
        for (int i = 0; i < 120; ++i)
            self.reply(request,
                       ScriptedPeer::datagram("TALMO 7450 IP " + std::to_string(300000 + i) +
                                              " ACM 6.12 DEVID=0 IPv4=10.77.0.10/24 DHCPNAME=talmo-" +
                                              std::to_string(i) + " ID=A1B2C3D4"));
    });
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.broadcast(loopback(2), "find *", 3).size(), 120u);
}

TEST_F(Engine, BroadcastQueuedBehindDirectedJobsAndAnotherBroadcastIsSent) {
    ScriptedPeer directed("127.0.0.2", 0xdead, [](const PeerRequest& request, ScriptedPeer& peer) {
        std::string text = request.text();
        peer.reply(request, ScriptedPeer::datagram("TALMO DCU 1 " + text.substr(text.find(' ') + 1)));
    });
    ScriptedPeer searched("127.0.0.3", 0xdead, answerWith({ScriptedPeer::datagram("TALMO DCU 1 900")}));
    T7000ip& engine = startEngine();

    std::vector<std::future<std::vector<std::string>>> jobs;
    for (int i = 0; i < 6; ++i)
        jobs.push_back(std::async(std::launch::async, [&engine, i] {
            return engine.request(loopback(2), std::to_string(i), Kind::Directed, 3,
                                  "info " + std::to_string(i));
        }));
    auto firstBroadcast =
        std::async(std::launch::async, [&] { return engine.broadcast(loopback(3), "find *", 2); });
    auto secondBroadcast =
        std::async(std::launch::async, [&] { return engine.broadcast(loopback(3), "find *", 2); });
    for (int i = 0; i < 6; ++i) {
        auto replies = jobs[static_cast<std::size_t>(i)].get();
        // A reply that arrives while a broadcast collects counts for the broadcast; the job then expires.
        if (!replies.empty()) {
            EXPECT_EQ(replies[0], "TALMO DCU 1 " + std::to_string(i));
        }
    }
    auto first = firstBroadcast.get();
    auto second = secondBroadcast.get();
    EXPECT_EQ(searched.requests().size(), 2u);
    EXPECT_TRUE(std::count(first.begin(), first.end(), "[::ffff:127.0.0.3];900") == 1);
    EXPECT_TRUE(std::count(second.begin(), second.end(), "[::ffff:127.0.0.3];900") == 1);
}

TEST_F(Engine, OddDatagramsAreReadSafely) {
    std::vector<std::string> odd = {
        std::string(),
        std::string("T"),
        std::string("TALMO"),
        std::string(1024, 'T'),
        "TALMO" + std::string(1019, 'x'),
        "TALMO" + std::string(1495, 'y'),
        "TALMO DCU 1 \"unterminated",
        "TALMO\0DCU\0"
        "1\0'" +
            std::string(1000, 'q'),
        std::string("TALMO\0\0\0\0\0\0", 11),
        "TALMO \"\"\"\"\"\"\"",
    };
    std::vector<std::string> replies = odd;
    replies.push_back(ScriptedPeer::datagram("TALMO DCU 1 77 last"));
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith(replies));
    T7000ip& engine = startEngine();
    auto result = engine.request(loopback(2), "77", Kind::Directed, 2, "echo 77");
    EXPECT_EQ(result, std::vector<std::string>{"TALMO DCU 1 77 last"});
    auto all = engine.broadcast(loopback(2), "echo *", 2);
    // Every TALMO datagram of at most 1024 bytes is listed; the others are dropped.
    EXPECT_EQ(all.size(), 7u);
}

TEST_F(Engine, RequestTextLongerThanTheSendBufferIsNotSent) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({ScriptedPeer::datagram("TALMO DCU 1 1 ok")}));
    T7000ip& engine = startEngine();
    TraceCapture trace;
    std::string longest = "x" + std::string(1022, 'y');
    EXPECT_EQ(engine.request(loopback(2), "", Kind::Directed, 1, longest).size(), 1u);
    ASSERT_TRUE(terminal.waitForRequests(1, 1s));
    EXPECT_EQ(terminal.requests()[0].bytes.size(), 1024u);
    EXPECT_TRUE(engine.request(loopback(2), "", Kind::Directed, 1, longest + "z").empty());
    EXPECT_EQ(terminal.requests().size(), 1u);
    EXPECT_TRUE(trace.contains(
        "T7000ip::request(): request text of 1024 characters is longer than 1023, not sent\n"));
}

// Sends the given datagrams from a station at 127.0.0.3 to the engine every
// 50 ms for 30 s, or until it is destroyed.
class Flood {
public:
    Flood(const T7000ip& engine, std::vector<std::string> datagrams)
        : station_("127.0.0.3", 0), thread_([this, port = engine.boundPort(), datagrams] {
              sockaddr_in engineAddress{};
              engineAddress.sin_family = AF_INET;
              engineAddress.sin_port = htons(port);
              engineAddress.sin_addr.s_addr = htonl(0x7f000001);
              for (int i = 0; i < 600 && flooding_; ++i) {
                  for (const auto& datagram : datagrams)
                      station_.sendTo(engineAddress, datagram);
                  std::this_thread::sleep_for(50ms);
              }
          }) {}
    ~Flood() {
        flooding_ = false;
        thread_.join();
    }

private:
    ScriptedPeer station_;
    std::atomic<bool> flooding_{true};
    std::thread thread_;
};

TEST_F(Engine, AStreamOfForeignDatagramsDoesNotHoldBackExpiryOrTheEndOfABroadcast) {
    ScriptedPeer terminal("127.0.0.2", 0xdead);
    T7000ip& engine = startEngine();
    // A late reply for another terminal and a request of another station.
    Flood flood(engine, {ScriptedPeer::datagram("TALMO DCU 1 999 late"), ScriptedPeer::datagram("echo *")});
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(engine.request(loopback(2), "100200", Kind::Directed, 1, "echo 100200").empty());
    auto broadcast = engine.broadcast(loopback(2), "find *", 2);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s); // the flood lasts 30 s
    EXPECT_FALSE(broadcast.empty()); // the late replies count for the broadcast while it collects
}

TEST_F(Engine, AFloodOfForeignRequestsDoesNotStretchTheWaitForAReply) {
    T7000ip& engine = startEngine();
    // Only requests of another station: each is dropped, one wait for a reply
    // still ends one second after it began, and a broadcast without reply ends
    // at its first quiet second, far before its time-out.
    Flood flood(engine, {ScriptedPeer::datagram("echo * auth=1")});
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(engine.request(loopback(9), "100200", Kind::Directed, 1, "echo 100200").empty());
    EXPECT_TRUE(engine.broadcast(loopback(9), "find *", 20).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s); // the flood lasts 30 s
}

TEST_F(Engine, ABroadcastQueuedAfterAnotherIsSentWhileDirectedJobsKeepTheListBusy) {
    ScriptedPeer terminal("127.0.0.3", 0xdead, answerWith({ScriptedPeer::datagram("TALMO DCU 1 900")}));
    T7000ip& engine = startEngine();
    auto first = std::async(std::launch::async, [&] { return engine.broadcast(loopback(3), "find *", 3); });
    ASSERT_TRUE(terminal.waitForRequests(1, 2s));
    // A directed job that nobody answers wakes the send thread while the first
    // broadcast collects and keeps the job list from running empty.
    auto directed = std::async(std::launch::async,
                               [&] { return engine.request(loopback(9), "1", Kind::Directed, 6, "echo 1"); });
    EXPECT_EQ(first.get(), std::vector<std::string>{"[::ffff:127.0.0.3];900"});
    auto second = std::async(std::launch::async, [&] { return engine.broadcast(loopback(3), "find *", 2); });
    if (second.wait_for(10s) != std::future_status::ready) {
        T7000ip::releaseT7000ip(); // ends the waiting requests, so the test fails instead of hanging
        engine_ = nullptr;
        FAIL() << "the second broadcast was never sent";
    }
    EXPECT_EQ(second.get(), std::vector<std::string>{"[::ffff:127.0.0.3];900"});
    EXPECT_TRUE(directed.get().empty());
}

TEST_F(Engine, EndingTheEngineEndsARequestStillWaiting) {
    T7000ip& engine = startEngine();
    T7000ip::getT7000ip(nullptr); // a second use, as a worker thread would hold it
    auto waiting = std::async(std::launch::async,
                              [&] { return engine.request(loopback(9), "1", Kind::Directed, 60, "echo 1"); });
    std::this_thread::sleep_for(200ms);
    TraceCapture trace;
    T7000ip::releaseT7000ip();
    T7000ip::releaseT7000ip();
    engine_ = nullptr;
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(waiting.get().empty());
    EXPECT_TRUE(trace.contains("T7000ip: engine ends with 1 request(s) unanswered\n"));
}

TEST_F(Engine, AnEndlessTimeOutDoesNotOverflowTheDeadline) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({ScriptedPeer::datagram("TALMO DCU 1 5 ok")}));
    T7000ip& engine = startEngine();
    EXPECT_EQ(
        engine.request(loopback(2), "5", Kind::Directed, std::numeric_limits<std::int64_t>::max(), "echo 5")
            .size(),
        1u);
}

TEST_F(Engine, OutgoingInterfaceForMulticastByTableRow) {
    ASSERT_EQ(std::system("ip link add kxvetha type veth peer name kxvethb && ip link set kxvetha up && "
                          "ip link set kxvethb up && ip addr add 10.99.0.1/24 dev kxvetha"),
              0);
    enumerateLanInterfaces();
    ASSERT_GE(lanInterfaces().count(), 1);
    T7000ip& engine = startEngine();
    TraceCapture trace;
    EXPECT_EQ(engine.setOutgoingIf(0), 0);
    EXPECT_EQ(engine.setOutgoingIf(lanInterfaces().count()), -1);
    int index = static_cast<int>(lanInterfaces().entries()[0].IPv6IfIndex);
    EXPECT_EQ(trace.text(),
              "T7000ip::setOutgoingIf(0): setsockopt(IPV6_MULTICAST_IF, " + std::to_string(index) +
                  "), done.\n"
                  "T7000ip::setOutgoingIf(" +
                  std::to_string(lanInterfaces().count()) +
                  "): setsockopt(IPV6_MULTICAST_IF, -1), error=" + std::to_string(EINVAL) + "\n");
    std::system("ip link del kxvetha");
}

TEST_F(Engine, AReplyLongerThanTheReceiveBufferIsDroppedNotCut) {
    const std::string head = ScriptedPeer::datagram("TALMO DCU 1 100200 ");
    ScriptedPeer terminal("127.0.0.2", 0xdead,
                          answerWith({head + std::string(T7000ip::kDatagramSize + 1 - head.size(), 'x'),
                                      head + std::string(T7000ip::kDatagramSize - head.size(), 'y')}));
    T7000ip& engine = startEngine();
    TraceCapture trace;
    auto replies = engine.request(loopback(2), "100200", Kind::Directed, 2, "echo 100200");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].back(), 'y'); // the one that fits exactly
    EXPECT_TRUE(trace.contains("T7000ip::waitForReply(): datagram of 1025 bytes from ::ffff:127.0.0.2 is longer "
                               "than 1024, dropped\n"));
}

} // namespace
} // namespace kestrix
