// The network bed itself, as root: what the PC's namespace reaches by
// broadcast, directed datagram and ff02::1, its hosts file, the link faults,
// the speed of a large bed, and that nothing is left behind.
#include "support/sockets.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"

#include "platform/ip_address.h"
#include "support/scripted_peer.h"
#include "lan/lan_interfaces.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kMaintenancePort = 0xdead;

struct Reply {
    std::string sender; // IPv4 dotted, IPv6 as text
    std::string text;   // zero bytes as blanks
    Clock::time_point arrival;
};

// A dual-stack UDP socket with broadcast allowed, as the program's engine has.
class ProgramSocket {
public:
    ProgramSocket() : descriptor_(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const int off = 0;
        const int on = 1;
        ::setsockopt(descriptor_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        ::setsockopt(descriptor_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    ~ProgramSocket() { ::close(descriptor_); }
    ProgramSocket(const ProgramSocket&) = delete;
    ProgramSocket& operator=(const ProgramSocket&) = delete;

    void setMulticastInterface(const char* name) {
        const unsigned index = ::if_nametoindex(name);
        ::setsockopt(descriptor_, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index);
    }

    // Sends a request text as the engine does (blanks as zero bytes, one
    // zero byte at the end); 0 when sent, else the errno of sendto.
    int send(const std::string& address, std::string_view text) {
        const std::optional<Ip6Address> destination = addressFromText(address);
        if (!destination)
            return EINVAL;
        const sockaddr_in6 target = toSocketAddress(*destination, kMaintenancePort);
        const std::string datagram = ScriptedPeer::datagram(text) + '\0';
        const ssize_t sent = ::sendto(descriptor_, datagram.data(), datagram.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&target), sizeof target);
        return sent < 0 ? errno : 0;
    }

    // Every reply until none came for `quiet` or `limit` replies have come.
    std::vector<Reply> collect(std::chrono::milliseconds quiet, std::size_t limit = 100000) {
        std::vector<Reply> replies;
        while (replies.size() < limit) {
            pollfd readable{descriptor_, POLLIN, 0};
            if (::poll(&readable, 1, static_cast<int>(quiet.count())) <= 0)
                break;
            char buffer[2048];
            sockaddr_in6 sender{};
            socklen_t length = sizeof sender;
            const ssize_t got = ::recvfrom(descriptor_, buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr*>(&sender), &length);
            if (got < 0)
                break;
            std::string text(buffer, static_cast<std::size_t>(got));
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            std::replace(text.begin(), text.end(), '\0', ' ');
            replies.push_back(
                {addressToText(fromSocketAddress(sender), MappedForm::DottedOnly), text, Clock::now()});
        }
        return replies;
    }

private:
    int descriptor_;
};

std::set<std::string> senders(const std::vector<Reply>& replies) {
    std::set<std::string> result;
    for (const Reply& reply : replies)
        result.insert(reply.sender);
    return result;
}

TerminalSetup standIn(const std::string& ipv4, const std::string& serialNumber, std::size_t bridge = 0) {
    TerminalSetup terminal;
    terminal.bridge = bridge;
    terminal.ipv4 = ipv4;
    terminal.program = TerminalProgram::Command;
    terminal.command = {udpAnswerProgram(), "0.0.0.0", "TALMO DCU8 1 " + serialNumber};
    return terminal;
}

// A terminal's function: answers every datagram to [::]:0xdead (IPv4 and
// IPv6) with the reply; ends with SIGTERM.
int answerOnBothFamilies(const std::string& reply) {
    const int descriptor = bindDualStackUdp(kMaintenancePort);
    if (descriptor < 0) {
        std::perror("bind");
        return 1;
    }
    for (;;) {
        char buffer[2048];
        sockaddr_in6 sender{};
        socklen_t length = sizeof sender;
        if (::recvfrom(descriptor, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length) >=
            0)
            ::sendto(descriptor, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
    }
}

std::string output(const std::vector<std::string>& argv) {
    return runCommand(argv).output;
}

// A process that is gone, or a zombie no one reaps.
bool processGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    return text.empty() || text.substr(text.rfind(')') + 2, 1) == "Z";
}

// What the calling namespace and the file system still show of a bed.
std::vector<std::string> leftoversOf(const std::string& prefix) {
    std::vector<std::string> found;
    const std::pair<const char*, std::vector<std::string>> views[] = {
        {"ip netns list", {toolPath("ip"), "netns", "list"}},
        {"ip link", {toolPath("ip"), "-o", "link", "show"}},
        {"iptables-save", {toolPath("iptables-save")}},
        {"ip6tables-save", {toolPath("ip6tables-save")}},
    };
    for (const auto& [name, argv] : views)
        if (output(argv).find(prefix) != std::string::npos)
            found.push_back(name);
    std::error_code absent;
    for (const auto& entry : std::filesystem::directory_iterator("/etc/netns", absent))
        if (entry.path().filename().string().starts_with(prefix + "-"))
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<pid_t> processesIn(const std::string& ns) {
    std::vector<pid_t> pids;
    std::istringstream lines(output({toolPath("ip"), "netns", "pids", ns}));
    for (pid_t pid; lines >> pid;)
        pids.push_back(pid);
    return pids;
}

class NetworkBedLan : public NetworkBedTest {};

// A terminal in the PC's subnet and one in a foreign subnet both hear the
// PC's broadcast and answer it; a directed datagram reaches the foreign one
// only through a host route.
TEST_F(NetworkBedLan, BroadcastReachesForeignSubnetDirectedNeedsHostRoute) {
    BedLayout layout;
    layout.terminals = {standIn("10.77.0.11/24", "100101"), standIn("192.168.99.5/24", "100102")};
    NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([] {
        ProgramSocket socket;
        ASSERT_EQ(socket.send("10.77.0.255", "find *"), 0);
        const std::vector<Reply> replies = socket.collect(500ms);
        EXPECT_EQ(senders(replies), (std::set<std::string>{"10.77.0.11", "192.168.99.5"}));
        for (const Reply& reply : replies)
            EXPECT_EQ(reply.text,
                      reply.sender == "10.77.0.11" ? "TALMO DCU8 1 100101" : "TALMO DCU8 1 100102");

        EXPECT_EQ(socket.send("10.77.0.11", "find *"), 0);
        EXPECT_EQ(senders(socket.collect(500ms)), std::set<std::string>{"10.77.0.11"});
        EXPECT_EQ(socket.send("192.168.99.5", "find *"), ENETUNREACH);
    }));

    const CommandResult route = bed.shellOnPc("ip route add 192.168.99.5/32 dev br0");
    ASSERT_TRUE(route.succeeded()) << route.output;
    EXPECT_TRUE(bed.runOnPc([] {
        ProgramSocket socket;
        ASSERT_EQ(socket.send("192.168.99.5", "find 100102"), 0);
        EXPECT_EQ(senders(socket.collect(500ms)), std::set<std::string>{"192.168.99.5"});
    }));
}

// ff02::1 with the bridge as outgoing interface reaches a terminal that has
// only an IPv6 link-local address; a terminal without IPv6 stays silent.
TEST_F(NetworkBedLan, AllNodesMulticastReachesLinkLocalTerminal) {
    BedLayout layout;
    TerminalSetup linkLocal;
    linkLocal.ipv6LinkLocal = "fe80::11";
    linkLocal.program = TerminalProgram::Function;
    linkLocal.function = [] { return answerOnBothFamilies("TALMO DCU8 1 100101"); };
    layout.terminals = {linkLocal, standIn("10.77.0.12/24", "100102")};
    NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([] {
        ProgramSocket socket;
        socket.setMulticastInterface("br0");
        ASSERT_EQ(socket.send("ff02::1", "find *"), 0);
        const std::vector<Reply> replies = socket.collect(500ms);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].sender, addressToText(*addressFromText("fe80::11")));
        EXPECT_EQ(replies[0].text, "TALMO DCU8 1 100101");
    }));
}

// The program side sees the PC's hosts file, its bridges in /sys and in the
// LAN interface table (the bridge ports have no addresses, so they are no LAN
// interfaces), and broadcasts stay on their bridge.
TEST_F(NetworkBedLan, ProgramSideSeesThePcNamespace) {
    BedLayout layout;
    layout.bridges = {{"10.77.0.1/24", "fe80::1", "2001:db8:77::1"}, {"10.78.0.1/24", "fe80::1", ""}};
    layout.terminals = {standIn("10.77.0.11/24", "100101"), standIn("10.78.0.11/24", "100102", 1)};
    layout.pcHostsLines = {"10.77.0.11 t0.bed.test", "2001:db8:77::11 t0v6.bed.test"};
    NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([] {
        addrinfo hints{};
        hints.ai_socktype = SOCK_DGRAM;
        for (const auto& [name, family, address] :
             {std::tuple{"t0.bed.test", AF_INET, "10.77.0.11"},
              std::tuple{"t0v6.bed.test", AF_INET6, "2001:db8:77::11"}}) {
            hints.ai_family = family;
            addrinfo* found = nullptr;
            ASSERT_EQ(::getaddrinfo(name, "57005", &hints, &found), 0) << name;
            char text[INET6_ADDRSTRLEN] = {};
            ::getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST);
            EXPECT_STREQ(text, address);
            char reverse[NI_MAXHOST] = {};
            EXPECT_EQ(::getnameinfo(found->ai_addr, found->ai_addrlen, reverse, sizeof reverse, nullptr, 0,
                                    NI_NAMEREQD),
                      0);
            EXPECT_STREQ(reverse, name);
            ::freeaddrinfo(found);
        }
        EXPECT_TRUE(std::filesystem::exists("/sys/class/net/br1"));

        const LanInterfaces table = LanInterfaces::enumerate();
        ASSERT_EQ(table.count(), 2);
        EXPECT_STREQ(table.entries()[0].IPv4Addr.data(), "10.77.0.1");
        EXPECT_STREQ(table.entries()[1].IPv4Addr.data(), "10.78.0.1");
        for (const LanInterface& entry : table.entries()) {
            EXPECT_TRUE(entry.bUp);
            EXPECT_NE(entry.IPv6IfIndex, 0u);
        }

        ProgramSocket socket;
        ASSERT_EQ(socket.send("10.78.0.255", "find *"), 0);
        EXPECT_EQ(senders(socket.collect(500ms)), std::set<std::string>{"10.78.0.11"});
    }));
    std::ifstream hosts("/etc/hosts");
    const std::string ownHosts((std::istreambuf_iterator<char>(hosts)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ownHosts.find("t0.bed.test"), std::string::npos) << "the test process's own hosts file changed";
}

struct DropCase {
    const char* name;
    LinkFaults faults;
};

class NetworkBedDrop : public NetworkBedTest, public ::testing::WithParamInterface<DropCase> {};

// 200 directed datagrams with 30 % drop on one direction: about 140 replies
// (six standard deviations either way); without the fault, all 200.
TEST_P(NetworkBedDrop, DropsSomeButNotAll) {
    BedLayout layout;
    layout.terminals = {standIn("10.77.0.11/24", "100101")};
    layout.terminals[0].linkFaults = GetParam().faults;
    NetworkBed bed(layout);
    const auto countReplies = [&bed](std::size_t low, std::size_t high) {
        EXPECT_TRUE(bed.runOnPc([low, high] {
            ProgramSocket socket;
            for (int sent = 0; sent < 200; ++sent)
                ASSERT_EQ(socket.send("10.77.0.11", "find *"), 0);
            const std::size_t replies = socket.collect(500ms).size();
            EXPECT_GE(replies, low);
            EXPECT_LE(replies, high);
        }));
    };
    countReplies(100, 180);
    bed.setLinkFaults(0, {});
    countReplies(200, 200);
}

INSTANTIATE_TEST_SUITE_P(Directions, NetworkBedDrop,
                         ::testing::Values(DropCase{"ToTerminal", {0.3, 0ms, 0.0, 0ms}},
                                           DropCase{"ToPc", {0.0, 0ms, 0.3, 0ms}}),
                         [](const auto& test) { return std::string(test.param.name); });

struct DelayCase {
    const char* name;
    LinkFaults faults;
    std::chrono::milliseconds roundTrip;
};

class NetworkBedDelay : public NetworkBedTest, public ::testing::WithParamInterface<DelayCase> {};

// Every round trip takes at least the delays on its way, but not a second
// more (a delayed packet is not a lost one); without them it is quick again.
TEST_P(NetworkBedDelay, AddsAtLeastItsDelay) {
    BedLayout layout;
    layout.terminals = {standIn("10.77.0.11/24", "100101")};
    layout.terminals[0].linkFaults = GetParam().faults;
    NetworkBed bed(layout);
    const auto measure = [&bed](std::chrono::milliseconds low, std::chrono::milliseconds high) {
        EXPECT_TRUE(bed.runOnPc([low, high] {
            ProgramSocket socket;
            for (int round = 0; round < 5; ++round) {
                const auto sent = Clock::now();
                ASSERT_EQ(socket.send("10.77.0.11", "find *"), 0);
                const std::vector<Reply> replies = socket.collect(1500ms, 1);
                ASSERT_EQ(replies.size(), 1u) << "round " << round;
                const auto roundTrip = replies[0].arrival - sent;
                EXPECT_GE(roundTrip, low) << "round " << round;
                EXPECT_LT(roundTrip, high) << "round " << round;
            }
        }));
    };
    measure(GetParam().roundTrip, GetParam().roundTrip + 1000ms);
    bed.setLinkFaults(0, {});
    measure(0ms, 100ms);
}

INSTANTIATE_TEST_SUITE_P(Directions, NetworkBedDelay,
                         ::testing::Values(DelayCase{"ToTerminal", {0.0, 200ms, 0.0, 0ms}, 200ms},
                                           DelayCase{"ToPc", {0.0, 0ms, 0.0, 150ms}, 150ms},
                                           DelayCase{"BothWays", {0.0, 100ms, 0.0, 120ms}, 220ms}),
                         [](const auto& test) { return std::string(test.param.name); });

// After the bed: no namespace, link, rule, /etc/netns entry, run directory or
// process of it is left.
TEST_F(NetworkBedLan, LeavesNothingBehind) {
    BedLayout layout;
    layout.bridges = {{"10.77.0.1/24", "fe80::1", "2001:db8:77::1"}, {"10.78.0.1/24", "fe80::1", ""}};
    layout.terminals = {standIn("10.77.0.11/24", "100101"), standIn("192.168.99.5/24", "100102", 1),
                        standIn("10.77.0.13/24", "100103")};
    layout.terminals[0].linkFaults = {0.1, 20ms, 0.1, 20ms};
    layout.terminals[1].linkFaults = {0.0, 0ms, 0.2, 10ms};
    layout.terminals[2].hostsLines = {"10.77.0.1 pc.bed.test"};
    layout.pcHostsLines = {"10.77.0.11 t0.bed.test"};
    std::string prefix;
    std::filesystem::path runDirectory;
    std::vector<pid_t> processes;
    {
        NetworkBed bed(layout);
        prefix = bed.prefix();
        runDirectory = bed.runDirectory();
        const std::vector<std::string> namespaces = {bed.pcNamespace(), bed.terminalNamespace(0),
                                                     bed.terminalNamespace(1), bed.terminalNamespace(2)};
        for (const std::string& ns : namespaces)
            for (pid_t pid : processesIn(ns))
                processes.push_back(pid);
        // Three terminals and three delay helpers.
        EXPECT_EQ(processes.size(), 6u);
        EXPECT_NE(bed.shellOnPc("iptables-save; ip6tables-save").output.find("--comment " + prefix),
                  std::string::npos);
        EXPECT_TRUE(std::filesystem::exists("/etc/netns/" + bed.terminalNamespace(2) + "/hosts"));
        EXPECT_EQ(leftoversOf(prefix),
                  (std::vector<std::string>{"/etc/netns/" + prefix + "-pc", "/etc/netns/" + prefix + "-t2",
                                            "ip netns list"}));
    }
    EXPECT_EQ(leftoversOf(prefix), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(runDirectory));
    for (pid_t pid : processes)
        EXPECT_TRUE(processGone(pid)) << pid;
}

// A bed whose process was killed is removed by the next clean-up, with the
// processes still running in it; a live bed is left alone.
TEST_F(NetworkBedLan, KilledRunIsRemovedLater) {
    const std::filesystem::path note =
        std::filesystem::temp_directory_path() / ("netbed_killed_" + std::to_string(::getpid()));
    BackgroundProcess doomed = BackgroundProcess::startFunction(
        [&note] {
            BedLayout layout;
            layout.terminals = {standIn("10.77.0.11/24", "100101")};
            layout.terminals[0].linkFaults = {0.0, 10ms, 0.0, 0ms};
            NetworkBed bed(layout);
            const CommandResult sleeper = bed.shellOnTerminal(0, "sleep 300 >/dev/null 2>&1 & echo $!");
            std::ofstream(note) << bed.prefix() << " " << sleeper.output;
            ::raise(SIGKILL);
            return 0;
        },
        "/dev/null");
    doomed.waitUntil(Clock::now() + 60s);
    std::string prefix;
    pid_t sleeper = 0;
    std::ifstream(note) >> prefix >> sleeper;
    std::filesystem::remove(note);
    ASSERT_FALSE(prefix.empty());
    ASSERT_GT(sleeper, 0);
    EXPECT_FALSE(leftoversOf(prefix).empty());
    EXPECT_FALSE(processGone(sleeper));

    BedLayout liveLayout;
    NetworkBed live(liveLayout);
    removeStaleBeds();
    EXPECT_EQ(leftoversOf(prefix), std::vector<std::string>{});
    EXPECT_TRUE(processGone(sleeper));
    EXPECT_NE(output({toolPath("ip"), "netns", "list"}).find(live.pcNamespace()), std::string::npos);
}

// 50 terminals on one bridge: the bed is up in seconds and every terminal
// answers one broadcast.
TEST_F(NetworkBedLan, FiftyTerminals) {
    constexpr int kTerminals = 50;
    BedLayout layout;
    for (int index = 0; index < kTerminals; ++index)
        layout.terminals.push_back(
            standIn("10.77.0." + std::to_string(11 + index) + "/24", std::to_string(100101 + index)));
    const auto start = Clock::now();
    std::chrono::milliseconds setup{};
    {
        NetworkBed bed(layout);
        setup = bed.setupTime();
        EXPECT_TRUE(bed.runOnPc([] {
            ProgramSocket socket;
            ASSERT_EQ(socket.send("10.77.0.255", "find *"), 0);
            EXPECT_EQ(socket.collect(500ms).size(), static_cast<std::size_t>(kTerminals));
        }));
    }
    const auto total = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::printf("[ netbed   ] %d terminals: set up in %lld ms, set up, broadcast and torn down in %lld ms\n",
                kTerminals, static_cast<long long>(setup.count()), static_cast<long long>(total.count()));
    RecordProperty("setup_ms", std::to_string(setup.count()));
    EXPECT_LT(setup, 60s); // minutes would make every bed test slow
}

#ifdef KESTRIX_TALMO_SIM_BUILT
// talmo-sim starts from the configuration the bed writes and answers.
TEST_F(NetworkBedLan, StartsTalmoSim) {
    BedLayout layout;
    TerminalSetup terminal;
    terminal.ipv4 = "10.77.0.11/24";
    terminal.ipv6LinkLocal = "fe80::11";
    terminal.terminalSection = {{"serial_number", "100101"}};
    layout.terminals = {terminal};
    NetworkBed bed(layout);
    EXPECT_TRUE(bed.runOnPc([] {
        ProgramSocket socket;
        ASSERT_EQ(socket.send("10.77.0.255", "find *"), 0);
        const std::vector<Reply> replies = socket.collect(1000ms);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].sender, "10.77.0.11");
        EXPECT_TRUE(replies[0].text.starts_with("TALMO")) << replies[0].text;
    })) << std::ifstream(bed.logFile(0)).rdbuf();
}
#endif

} // namespace
} // namespace kestrix::test
