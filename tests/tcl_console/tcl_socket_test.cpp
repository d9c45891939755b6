// The TCL connection against a TCP peer in the test that stands in for the
// terminal's TCL host port: cipher streams in both directions, the output
// lines, the ends of the worker and the failed connects.
#include "platform/ip_address.h"
#include "platform/process_abort_event.h"
#include "support/data_file.h"
#include "support/trace_capture.h"
#include "tcl_console/tcl_socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Keeps the lines the worker hands over and lets the test wait for them.
class RecordingOwner : public TCLOutputSink {
public:
    void addOutputLine(const std::string& text) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(text);
        changed_.notify_all();
    }
    std::vector<std::string> waitForLines(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return lines_.size() >= count; });
        return lines_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// A socket of the terminal's side, closed at the end.
struct Peer {
    explicit Peer(int socket = -1) : descriptor(socket) {}
    Peer(const Peer&) = delete;
    ~Peer() { close(); }
    void close() {
        if (descriptor >= 0)
            ::close(std::exchange(descriptor, -1));
    }
    bool send(const std::string& bytes) const {
        return ::send(descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    int descriptor;
};

// A TCP port on [::] (dual stack) with an ephemeral number, listening unless kBoundOnly.
constexpr int kBoundOnly = -1;
struct Port : Peer {
    explicit Port(int backlog) : Peer(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int off = 0;
        ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        sockaddr_in6 local{};
        local.sin6_family = AF_INET6;
        socklen_t length = sizeof local;
        EXPECT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        EXPECT_EQ(::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length), 0);
        number = ntohs(local.sin6_port);
        EXPECT_TRUE(backlog == kBoundOnly || ::listen(descriptor, backlog) == 0);
    }
    std::uint16_t number = 0;
};

class TCLConnection : public ::testing::Test {
protected:
    void SetUp() override {
        processAbortEvent().wait(0ms); // an earlier test may have left it set
        openBefore_ = HandleCounters::open();
    }
    void TearDown() override { EXPECT_EQ(HandleCounters::open(), openBefore_); }

    // Connects to the port; peer_ is the terminal's end of the connection.
    std::unique_ptr<TCLSocket> connect(const std::string& address, RecordingOwner& owner,
                                       AesMode mode = AesMode::Standard, const AesKey* key = nullptr) {
        auto socket = std::make_unique<TCLSocket>(address, port_.number, owner, key != nullptr, mode,
                                                  key != nullptr ? *key : AesKey{});
        peer_.close();
        peer_.descriptor = ::accept4(port_.descriptor, nullptr, nullptr, SOCK_CLOEXEC);
        return socket;
    }

    test::TraceCapture trace_;
    RecordingOwner owner_;
    Port port_{4};
    Peer peer_;
    long openBefore_ = 0;
};

TEST_F(TCLConnection, EachDirectionIsOneStreamAcrossCalls) {
    const std::string answers = "statement\ranswer line\r"; // 22 bytes: the stream crosses a block
    int streams = 0;
    for (const test::DataRow& row : test::readDataFile(KESTRIX_TEST_DATA "/crypto_vectors.tsv")) {
        const std::string& kind = row.fields.at(0);
        if ((kind != "ofb" && kind != "ofb-legacy") || row.fields.at(2).size() < 2 * answers.size())
            continue;
        SCOPED_TRACE(kind + ", line " + std::to_string(row.line));
        ++streams;
        const Bytes enciphered = test::fromHex(row.fields.at(3));
        Bytes message = test::fromHex(row.fields.at(2));
        std::string wire = answers; // enciphered with the vector's key stream
        for (std::size_t at = 0; at < wire.size(); ++at)
            wire[at] = static_cast<char>(wire[at] ^ message[at] ^ enciphered[at]);
        AesKey key;
        std::ranges::copy(test::fromHex(row.fields.at(1)), key.begin());
        RecordingOwner owner;
        auto socket = connect("::1", owner, kind == "ofb" ? AesMode::Standard : AesMode::Legacy, &key);

        // A statement sent in two writes, cut inside a block, is one stream at the terminal.
        std::size_t first = 7, rest = message.size() - first;
        socket->write(message.data(), first);
        socket->write(message.data() + first, rest);
        Bytes received(message.size());
        ::recv(peer_.descriptor, received.data(), received.size(), MSG_WAITALL);
        EXPECT_EQ(received, enciphered);

        // Two answers in two reads: the receive stream starts fresh and carries on.
        ASSERT_TRUE(peer_.send(wire.substr(0, 10)));
        owner.waitForLines(1);
        ASSERT_TRUE(peer_.send(wire.substr(10)));
        EXPECT_EQ(owner.waitForLines(2), (std::vector<std::string>{"statement", "answer line"}));
    }
    EXPECT_EQ(streams, 4); // one standard stream, three legacy ones
}

TEST_F(TCLConnection, OutputLinesUntilTheTerminalClosesThenWritesFail) {
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"A\r\nB", {"A", "\nB"}},
        {"\r\rC\r", {"", "", "C"}},
        {std::string("D\0E\rF\r", 6), {"D"}},
        {std::string(300, 'x'), {std::string(273, 'x'), std::string(27, 'x')}}, // 273 bytes per read
    };
    auto socket = connect("127.0.0.1", owner_);
    std::vector<std::string> expected;
    for (const auto& each : cases) {
        ASSERT_TRUE(peer_.send(each.bytes));
        expected.insert(expected.end(), each.lines.begin(), each.lines.end());
        owner_.waitForLines(expected.size());
    }
    ASSERT_TRUE(peer_.send("end\r")); // a line too many above would take its place
    expected.push_back("end");
    EXPECT_EQ(owner_.waitForLines(expected.size()), expected);

    // The terminal closes: the worker ends and sets the process-wide event.
    peer_.close();
    EXPECT_EQ(processAbortEvent().wait(10s), WaitResult::Signalled);
    for (int wait = 0; wait < 1000 && !trace_.contains("TCLSocket::run() endet\n"); ++wait)
        std::this_thread::sleep_for(10ms); // the shutdown comes after the event
    EXPECT_TRUE(trace_.contains("TCLSocket::read(): recv() returned 0: connection closed\n"
                                "TCLSocket::run(): error oder eof\n"
                                "TCLSocket::setAbortEvent() ok\n"));
    // The descriptor is still this connection's: a late write fails, without SIGPIPE.
    std::uint8_t statement[] = {'I', 'S', 'R', '\r'};
    std::size_t length = sizeof statement;
    try {
        socket->write(statement, length);
        ADD_FAILURE() << "the write went through";
    } catch (const TCLSocket::TCLSocketError& error) {
        EXPECT_EQ(error.code, EPIPE);
        EXPECT_EQ(error.text, "TCLSocket::write(): send() failed with error=32\n");
    }
}

// Cancelled, the worker ends and leaves the process-wide event alone, also
// while the terminal sends without ever pausing for a second.
TEST_F(TCLConnection, CancelEndsTheWorkerWhileTheTerminalKeepsSending) {
    auto socket = connect("::ffff:127.0.0.1", owner_);
    std::atomic<int> sendsLeft = 2000;
    std::thread terminal([&] {
        while (sendsLeft > 0 && peer_.send("tick\r")) { // until the connection is gone
            --sendsLeft;
            std::this_thread::sleep_for(10ms);
        }
    });
    owner_.waitForLines(1);
    EXPECT_EQ(socket->CancelTCLSocket(), 0);
    socket.reset();
    terminal.join();
    EXPECT_GT(sendsLeft, 0);
    EXPECT_TRUE(trace_.contains("TCLSocket::run(): WaitForSingleObject() Abbruch Event erhalten\n"));
    EXPECT_TRUE(trace_.contains("TCLSocket::cancelrun(): Exit code of thread: 0\n"));
    // The destructor's cancel finds the thread waited for already.
    EXPECT_TRUE(
        trace_.text().ends_with("~TCLSocket() start\nTCLSocket::cancelrun() startet\n~TCLSocket() Ende\n"));
    EXPECT_EQ(processAbortEvent().wait(0ms), WaitResult::Timeout);
}

TEST_F(TCLConnection, FailedConnectsThrowTheirCodeAndLeaveNoWorker) {
    const Port closed(kBoundOnly); // bound, not listening: refused
    const Port full(0);            // its one queue place taken: the terminal never answers
    const Port queued(kBoundOnly);
    const sockaddr_in6 fullAddress = toSocketAddress(*addressFromText("::1"), full.number);
    ASSERT_EQ(
        ::connect(queued.descriptor, reinterpret_cast<const sockaddr*>(&fullAddress), sizeof fullAddress), 0);
    const struct {
        std::string address;
        std::uint16_t port;
        int code;
        std::string text;
    } cases[] = {
        {"", 1, 0, "No remote address"},
        {"terminal-7", 1, 0, "Could not convert host address: inet_pton() failed"},
        {"::1", closed.number, ECONNREFUSED, "Could not connect to server socket, error=111"},
        {"10.255.255.1", 1, ENETUNREACH, "Could not connect to server socket, error=101"}, // no route here
        {"::1", full.number, ETIMEDOUT, "Could not connect to server socket, error=110"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.text);
        trace_.clear();
        try {
            TCLSocket socket(each.address, each.port, owner_, false, AesMode::Standard, AesKey{});
            ADD_FAILURE() << "connected";
        } catch (const TCLSocket::TCLSocketError& error) {
            EXPECT_EQ(error.code, each.code);
            EXPECT_EQ(error.text, "TCLSocket::TCLSocket(): " + each.text);
        }
        EXPECT_EQ(trace_.text(),
                  "TCLSocket::TCLSocket(): Konstruktor\nTCLSocket::TCLSocket(): " + each.text + "\n");
    }
}

} // namespace
} // namespace kestrix
