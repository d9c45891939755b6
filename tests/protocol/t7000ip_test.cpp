#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/scripted_peer.h"
#include "support/sockets.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <future>
#include <limits>
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
using Replies = std::vector<std::string>;

const CToolBoxLang& english() {
    static const CToolBoxLang language(1033);
    return language;
}

Ip6Address loopback(int host) {
    return Ip6Address::fromIPv4Bytes(127, 0, 0, static_cast<std::uint8_t>(host));
}

std::string datagram(std::string_view text) {
    return ScriptedPeer::datagram(text);
}

// A responder that answers every request with the given reply texts.
ScriptedPeer::Responder answerWith(std::vector<std::string> texts) {
    return [texts](const PeerRequest& request, ScriptedPeer& peer) {
        for (const auto& text : texts)
            peer.reply(request, datagram(text));
    };
}

std::size_t occurrences(const Replies& replies, const std::string& line) {
    return static_cast<std::size_t>(std::count(replies.begin(), replies.end(), line));
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
    void endEngine() {
        T7000ip::releaseT7000ip();
        engine_ = nullptr;
    }
    std::future<Replies> requestLater(const Ip6Address& address, const std::string& serialNumber,
                                      std::int64_t timeout, const std::string& text) {
        return std::async(std::launch::async, [=, this] {
            return engine_->request(address, serialNumber, Kind::Directed, timeout, text);
        });
    }
    std::future<Replies> broadcastLater(const Ip6Address& address, std::int64_t timeout) {
        return std::async(std::launch::async,
                          [=, this] { return engine_->broadcast(address, "find *", timeout); });
    }
    T7000ip* engine_ = nullptr;
};

// Sends the given datagrams from a station at 127.0.0.4 to the engine every
// 50 ms for 30 s, or until it is destroyed.
class Flood {
public:
    Flood(const T7000ip& engine, std::vector<std::string> datagrams)
        : station_("127.0.0.4", 0), thread_([this, port = engine.boundPort(), datagrams] {
              sockaddr_in engineAddress{};
              engineAddress.sin_family = AF_INET;
              engineAddress.sin_port = htons(port);
              engineAddress.sin_addr.s_addr = htonl(0x7f000001);
              for (int i = 0; i < 600 && flooding_; ++i) {
                  for (const auto& bytes : datagrams)
                      station_.sendTo(engineAddress, bytes);
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

TEST_F(Engine, PortDeadTakenBindsBeefAndStillSendsToDeadAndEveryReplyFindsItsJob) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({"TALMO DCU 1 100200 echo ok"}));
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.boundPort(), 0xbeef);
    EXPECT_EQ(engine.request(loopback(2), "100200", Kind::Directed, 2, "echo 100200"),
              Replies{"TALMO DCU 1 100200 echo ok"});
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

TEST_F(Engine, BothPortsTakenFailsWithMessage84AndOnlyOneEngineExists) {
    const int sockets[2] = {test::bindDualStackUdp(0xdead), test::bindDualStackUdp(0xbeef)};
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
    EXPECT_THROW(T7000ip::getT7000ip(nullptr), T7000ip::T7000ipError);
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.boundPort(), 0xdead);
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
    EXPECT_EQ(engine.broadcast(Ip6Address::fromIPv4Bytes(127, 255, 255, 255), "TALMO own 1 999", 3),
              Replies{});
    EXPECT_EQ(trace.text(), "T7000ip::setT7000ipMaintGroup() 65535\n"
                            "T7000ip::broadcast(::ffff:127.255.255.255,'TALMO own 1 999') startet\n");
}

TEST_F(Engine, RepliesWithoutTheSerialNumberOrNotFromATerminalMatchNoJob) {
    // Most jobs ask for any serial number, so only the reply rules keep these out
    // (which fourth words count as no serial number: word_reader_test).
    struct Case {
        std::string reply;
        const char* asked;
        std::size_t matches;
    } cases[] = {
        {"echo DCU 1 100200", "", 0},        // a request of another maintenance station
        {"TALMO DCU 1 ?100200", "", 0},      // unknown serial number
        {"TALMO DCU 1 100201", "100200", 0}, // another serial number
        {"TALMO DCU 1 100200", "", 1},
    };
    for (const auto& c : cases) {
        ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({c.reply}));
        startEngine();
        EXPECT_EQ(engine_->request(loopback(2), c.asked, Kind::Directed, 1, "echo 100200").size(), c.matches)
            << c.reply;
        endEngine();
    }
}

TEST_F(Engine, DirectedRequestMatchesOnlyItsAddressSearchMatchesAnySender) {
    ScriptedPeer elsewhere("127.0.0.3", 0xdead);
    // The terminal asked at .2 does not answer; the one at .3 does, with the serial number asked for.
    ScriptedPeer asked("127.0.0.2", 0xdead, [&](const PeerRequest& request, ScriptedPeer&) {
        elsewhere.sendTo(request.sender, datagram("TALMO DCU 1 4711 found"));
    });
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.request(loopback(2), "4711", Kind::SearchBySerialNumber, 1, "find 4711"),
              Replies{"TALMO DCU 1 4711 found"});
    EXPECT_EQ(engine.request(loopback(2), "4711", Kind::Directed, 1, "find 4711"), Replies{});
}

TEST_F(Engine, TwoJobsToOneAddressTheEarlierGetsTheReply) {
    ScriptedPeer terminal("127.0.0.2", 0xdead);
    startEngine();
    auto first = requestLater(loopback(2), "", 1, "info first");
    ASSERT_TRUE(terminal.waitForRequests(1, 2s));
    auto second = requestLater(loopback(2), "", 1, "info second");
    ASSERT_TRUE(terminal.waitForRequests(2, 2s));
    terminal.reply(terminal.requests()[1], datagram("TALMO DCU 1 555 answer"));
    EXPECT_EQ(first.get(), Replies{"TALMO DCU 1 555 answer"});
    EXPECT_EQ(second.get(), Replies{});
}

// The peer answers 1.5 s after the request, inside a time-out of 2 s. The
// engine's clock counts whole seconds, so the request goes out 0.7 s into a
// second, where a deadline taken one second short would already have passed;
// another terminal's replies make the receive thread look at the deadlines
// every 50 ms.
TEST_F(Engine, AReplyShortlyBeforeTheTimeOutIsTaken) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, [](const PeerRequest& request, ScriptedPeer& peer) {
        std::this_thread::sleep_for(1500ms);
        peer.reply(request, datagram("TALMO DCU 1 5 ok"));
    });
    T7000ip& engine = startEngine();
    Flood flood(engine, {datagram("TALMO DCU 1 999 late")});
    const auto intoSecond = std::chrono::system_clock::now().time_since_epoch() % 1s;
    std::this_thread::sleep_for((1700ms - intoSecond) % 1s);
    EXPECT_EQ(engine.request(loopback(2), "5", Kind::Directed, 2, "echo 5"), Replies{"TALMO DCU 1 5 ok"});
}

TEST_F(Engine, BroadcastListsEveryReplyWithAndWithoutSerialNumber) {
    ScriptedPeer other("127.0.0.3", 0xdead);
    ScriptedPeer terminal("127.0.0.2", 0xdead, [&](const PeerRequest& request, ScriptedPeer& self) {
        self.reply(request, datagram("TALMO DCU 1 100200 x"));
        self.reply(request, datagram("TALMO DCU"));
        other.sendTo(request.sender, datagram("TALMO DCU 1 300400"));
        other.sendTo(request.sender, datagram("not a reply"));
    });
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.broadcast(loopback(2), "find *", 3),
              (Replies{"[::ffff:127.0.0.2];100200", "::ffff:127.0.0.2", "[::ffff:127.0.0.3];300400"}));
}

TEST_F(Engine, ABroadcastCollectsABurstOfManyReplies) {
    // Fifty or more terminals answer a broadcast within a millisecond; the
    // socket must hold them all until the receive thread reads them.
    ScriptedPeer terminals("127.0.0.2", 0xdead, [](const PeerRequest& request, ScriptedPeer& self) {
        for (int i = 0; i < 120; ++i)
            self.reply(request, datagram("TALMO 7450 IP " + std::to_string(300000 + i) +
                                         " ACM 6.12 DEVID=0 IPv4=10.77.0.10/24 DHCPNAME=talmo-" +
                                         std::to_string(i) + " ID=A1B2C3D4"));
    });
    T7000ip& engine = startEngine();
    EXPECT_EQ(engine.broadcast(loopback(2), "find *", 3).size(), 120u);
}

// Directed jobs stand in the list, sent and waiting, when two broadcasts are
// queued behind them. Their terminal answers once the first broadcast is out:
// each reply counts for that broadcast, and the jobs expire.
TEST_F(Engine, LateRepliesToDirectedJobsCountForTheBroadcastQueuedBehindThem) {
    ScriptedPeer directed("127.0.0.2", 0xdead);
    ScriptedPeer searched("127.0.0.3", 0xdead, answerWith({"TALMO DCU 1 900"}));
    startEngine();
    std::vector<std::future<Replies>> jobs;
    for (int i = 0; i < 4; ++i)
        jobs.push_back(requestLater(loopback(2), std::to_string(i), 1, "info " + std::to_string(i)));
    ASSERT_TRUE(directed.waitForRequests(4, 2s));
    auto first = broadcastLater(loopback(3), 2);
    auto second = broadcastLater(loopback(3), 2);
    ASSERT_TRUE(searched.waitForRequests(1, 2s));
    for (const PeerRequest& request : directed.requests())
        directed.reply(request, datagram("TALMO DCU 1 " + request.text().substr(5)));
    for (auto& job : jobs)
        EXPECT_EQ(job.get(), Replies{});
    Replies all = first.get();
    const Replies later = second.get();
    EXPECT_EQ(occurrences(all, "[::ffff:127.0.0.3];900"), 1u);
    EXPECT_EQ(occurrences(later, "[::ffff:127.0.0.3];900"), 1u);
    all.insert(all.end(), later.begin(), later.end());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(occurrences(all, "[::ffff:127.0.0.2];" + std::to_string(i)), 1u) << i;
    EXPECT_EQ(searched.requests().size(), 2u);
}

// While a broadcast collects, a second broadcast and then a directed job are
// queued. Once the first has ended, both go out in one pass: the job's reply
// arrives while the second broadcast collects and counts for it. Another
// terminal's replies keep each broadcast collecting up to its deadline.
TEST_F(Engine, AJobQueuedBehindABroadcastGoesOutWhileTheBroadcastCollects) {
    ScriptedPeer directed("127.0.0.2", 0xdead, answerWith({"TALMO DCU 1 7"}));
    ScriptedPeer searched("127.0.0.3", 0xdead, answerWith({"TALMO DCU 1 900"}));
    T7000ip& engine = startEngine();
    Flood flood(engine, {datagram("TALMO DCU 1 999 late")});
    TraceCapture trace;
    auto first = broadcastLater(loopback(3), 2);
    ASSERT_TRUE(searched.waitForRequests(1, 2s));
    auto second = broadcastLater(loopback(3), 2);
    // The second broadcast traces its start just before it enters the job list.
    const std::string started = "T7000ip::broadcast(::ffff:127.0.0.3,'find *') startet\n";
    for (int waited = 0; trace.text() != started + started; ++waited) {
        ASSERT_LT(waited, 5000);
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(100ms);
    auto job = requestLater(loopback(2), "7", 2, "echo 7");
    EXPECT_EQ(occurrences(first.get(), "[::ffff:127.0.0.2];7"), 0u);
    EXPECT_EQ(occurrences(second.get(), "[::ffff:127.0.0.2];7"), 1u);
    EXPECT_EQ(job.get(), Replies{});
}

TEST_F(Engine, ABroadcastQueuedAfterAnotherIsSentWhileDirectedJobsKeepTheListBusy) {
    ScriptedPeer terminal("127.0.0.3", 0xdead, answerWith({"TALMO DCU 1 900"}));
    startEngine();
    auto first = broadcastLater(loopback(3), 3);
    ASSERT_TRUE(terminal.waitForRequests(1, 2s));
    // A directed job that nobody answers wakes the send thread while the first
    // broadcast collects and keeps the job list from running empty.
    auto directed = requestLater(loopback(9), "1", 6, "echo 1");
    EXPECT_EQ(first.get(), Replies{"[::ffff:127.0.0.3];900"});
    auto second = broadcastLater(loopback(3), 2);
    if (second.wait_for(10s) != std::future_status::ready) {
        endEngine(); // ends the waiting requests, so the test fails instead of hanging
        FAIL() << "the second broadcast was never sent";
    }
    EXPECT_EQ(second.get(), Replies{"[::ffff:127.0.0.3];900"});
    EXPECT_EQ(directed.get(), Replies{});
}

TEST_F(Engine, OddDatagramsAreReadSafely) {
    std::vector<std::string> odd = {
        std::string(),
        std::string("T"),
        std::string("TALMO"),
        std::string(1024, 'T'),
        "TALMO" + std::string(1019, 'x'),
        "TALMO" + std::string(1020, 'y'), // one byte too long: dropped, not cut
        "TALMO DCU 1 \"unterminated",
        "TALMO\0DCU\0"
        "1\0'" +
            std::string(1000, 'q'),
        std::string("TALMO\0\0\0\0\0\0", 11),
        "TALMO \"\"\"\"\"\"\"",
    };
    odd.push_back(datagram("TALMO DCU 1 77 last"));
    ScriptedPeer terminal("127.0.0.2", 0xdead, [&](const PeerRequest& request, ScriptedPeer& peer) {
        for (const auto& bytes : odd)
            peer.reply(request, bytes);
    });
    T7000ip& engine = startEngine();
    TraceCapture trace;
    EXPECT_EQ(engine.request(loopback(2), "77", Kind::Directed, 2, "echo 77"),
              Replies{"TALMO DCU 1 77 last"});
    auto all = engine.broadcast(loopback(2), "echo *", 2);
    // Every TALMO datagram of at most 1024 bytes is listed; the others are dropped.
    EXPECT_EQ(all.size(), 7u);
    EXPECT_TRUE(trace.contains("T7000ip::waitForReply(): datagram of 1025 bytes from ::ffff:127.0.0.2 is longer "
                               "than 1024, dropped\n"));
}

TEST_F(Engine, RequestTextLongerThanTheSendBufferIsNotSent) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({"TALMO DCU 1 1 ok"}));
    T7000ip& engine = startEngine();
    TraceCapture trace;
    std::string longest = "x" + std::string(1022, 'y');
    EXPECT_EQ(engine.request(loopback(2), "", Kind::Directed, 1, longest).size(), 1u);
    ASSERT_TRUE(terminal.waitForRequests(1, 1s));
    EXPECT_EQ(terminal.requests()[0].bytes.size(), 1024u);
    EXPECT_EQ(engine.request(loopback(2), "", Kind::Directed, 1, longest + "z"), Replies{});
    EXPECT_EQ(terminal.requests().size(), 1u);
    EXPECT_TRUE(trace.contains(
        "T7000ip::request(): request text of 1024 characters is longer than 1023, not sent\n"));
}

// Another terminal's late replies, or another station's requests, keep
// arriving for 30 s: a directed request still expires after its time-out and a
// broadcast without an answer of its own ends at its deadline or first quiet
// second. The 15 s bound only keeps a fault from hanging the test.
TEST_F(Engine, AStreamOfForeignDatagramsDoesNotHoldBackExpiryOrTheEndOfABroadcast) {
    for (const std::string& foreign : {datagram("TALMO DCU 1 999 late"), datagram("echo * auth=1")}) {
        T7000ip& engine = startEngine();
        Flood flood(engine, {foreign});
        auto done = std::async(std::launch::async, [&] {
            return engine.request(loopback(9), "100200", Kind::Directed, 1, "echo 100200").size() +
                   engine.broadcast(loopback(9), "find *", 3).size();
        });
        ASSERT_EQ(done.wait_for(15s), std::future_status::ready) << foreign;
        // Late replies count for the broadcast while it collects; requests of others do not.
        EXPECT_EQ(done.get() > 0, foreign[0] == 'T') << foreign;
        endEngine();
    }
}

TEST_F(Engine, EndingTheEngineEndsARequestStillWaitingAndAnEndlessTimeOutDoesNotOverflow) {
    ScriptedPeer terminal("127.0.0.2", 0xdead, answerWith({"TALMO DCU 1 5 ok"}));
    T7000ip& engine = startEngine();
    EXPECT_EQ(
        engine.request(loopback(2), "5", Kind::Directed, std::numeric_limits<std::int64_t>::max(), "echo 5")
            .size(),
        1u);
    T7000ip::getT7000ip(nullptr); // a second use, as a worker thread would hold it
    auto waiting = requestLater(loopback(9), "1", 60, "echo 1");
    std::this_thread::sleep_for(200ms);
    TraceCapture trace;
    T7000ip::releaseT7000ip();
    endEngine();
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), Replies{});
    EXPECT_TRUE(trace.contains("T7000ip: engine ends with 1 request(s) unanswered\n"));
}

TEST_F(Engine, OutgoingInterfaceForMulticastByTableRow) {
    ASSERT_EQ(std::system("ip link add kxvetha type veth peer name kxvethb && ip link set kxvetha up && "
                          "ip addr add 10.99.0.1/24 dev kxvetha"),
              0);
    enumerateLanInterfaces();
    const std::string rows = std::to_string(lanInterfaces().count());
    T7000ip& engine = startEngine();
    TraceCapture trace;
    EXPECT_EQ(engine.setOutgoingIf(0), 0);
    EXPECT_EQ(engine.setOutgoingIf(lanInterfaces().count()), -1);
    EXPECT_EQ(trace.text(), "T7000ip::setOutgoingIf(0): setsockopt(IPV6_MULTICAST_IF, " +
                                std::to_string(lanInterfaces().entries()[0].IPv6IfIndex) +
                                "), done.\nT7000ip::setOutgoingIf(" + rows +
                                "): setsockopt(IPV6_MULTICAST_IF, -1), error=22\n");
}

} // namespace
} // namespace kestrix
