#include "answering_network.h"

#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"
#include "protocol/word_reader.h"
#include "support/private_network.h"

#include "input_parts.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::fuzz {

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "answering network: %s\n", what.c_str());
    std::abort();
}

void writeFile(const char* path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    if (!file.flush())
        fail(std::string("cannot write ") + path);
}

// Without root, the namespace belongs to a user namespace in which this
// process is root.
void enterUserNamespace() {
    const uid_t user = ::getuid();
    const gid_t group = ::getgid();
    if (::unshare(CLONE_NEWUSER) != 0)
        fail("neither root nor a user namespace of its own");
    writeFile("/proc/self/setgroups", "deny");
    writeFile("/proc/self/uid_map", "0 " + std::to_string(user) + " 1");
    writeFile("/proc/self/gid_map", "0 " + std::to_string(group) + " 1");
}

// The LAN interface and the local routes for every address (link-local ones
// through the LAN interface, as the program sends them). Duplicate address
// detection is off, so that the IPv6 link-local address is usable at once. A
// rule of its own keeps the local table apart from the main one: a host route
// the program adds to the main table must not take an address away from the
// terminals.
constexpr const char* kNetworkScript = "set -e\n"
                                       "echo 0 > /proc/sys/net/ipv6/conf/default/accept_dad\n"
                                       "ip link add fuzz0 type veth peer name fuzz1\n"
                                       "echo 1 > /proc/sys/net/ipv6/conf/fuzz1/disable_ipv6\n"
                                       "ip addr add 10.66.0.1/24 dev fuzz0\n"
                                       "ip link set fuzz1 up\n"
                                       "ip link set fuzz0 up\n"
                                       "ip route add local 0.0.0.0/0 dev lo\n"
                                       "ip -6 route add local ::/0 dev lo\n"
                                       "ip -6 route add local fe80::/10 dev fuzz0 table local\n"
                                       "ip rule add pref 100 table 100\n";

int boundSocket(int family) {
    const int descriptor = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    bool ready = descriptor >= 0;
    if (ready && family == AF_INET) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(T7000ip::kRequestPort);
        ready = ::setsockopt(descriptor, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0 &&
                ::bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    } else if (ready) {
        sockaddr_in6 local{};
        local.sin6_family = AF_INET6;
        local.sin6_port = htons(T7000ip::kRequestPort);
        // Free binding: the replies leave from addresses that are local by
        // route only, which IPv6 takes as a source only so.
        ready = ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) == 0 &&
                ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) == 0 &&
                ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_FREEBIND, &on, sizeof on) == 0 &&
                ::bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }
    if (!ready)
        fail("cannot bind port 0xdead");
    return descriptor;
}

// The serial number a request asks for: its second word ("*": any).
std::string requestSerialNumber(std::string_view request) {
    const std::vector<std::string_view> words = splitAt(request, '\0');
    if (words.size() < 2 || words[1] == "*")
        return {};
    return std::string(words[1]);
}

// What the engine's wall clock is ahead of the system's, and the step that
// takes it past the deadline of every request (the longest time-out is 20 s).
// A step is taken once the engine has read every datagram sent to it before
// the step was asked for: the replies before it still count as in time.
std::atomic<std::int64_t> g_clockOffset{0};
std::atomic<bool> g_clockStepAsked{false};
std::atomic<int> g_engineSocket{-1};
constexpr std::int64_t kClockStep = 3600;

// The engine's socket: the one of this process bound to its port.
void findEngineSocket(const sockaddr_storage& engine) {
    if (g_engineSocket.load() >= 0)
        return;
    const auto port = reinterpret_cast<const sockaddr_in6&>(engine).sin6_port; // same place in sockaddr_in
    for (int descriptor = 0; descriptor < 1024; ++descriptor) {
        sockaddr_in6 local{};
        socklen_t length = sizeof local;
        if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            local.sin6_family == AF_INET6 && local.sin6_port == port) {
            g_engineSocket = descriptor;
            return;
        }
    }
}

bool engineHasReadEverything() {
    int bytes = 0;
    const int socket = g_engineSocket.load();
    return socket >= 0 && ::ioctl(socket, SIOCINQ, &bytes) == 0 && bytes == 0;
}

std::int64_t clockOffset() {
    bool asked = true;
    if (g_clockStepAsked.load() && engineHasReadEverything() &&
        g_clockStepAsked.compare_exchange_strong(asked, false))
        g_clockOffset += kClockStep;
    return g_clockOffset.load();
}

} // namespace

void enterAnsweringNetwork() {
    // The terminals answer at once: the program's own pauses need not be long.
    ::setenv("KESTRIX_TIME_SCALE", "0.001", 0);
    if (std::getenv("KESTRIX_FUZZ_TRACE") != nullptr)
        setTraceFile(stderr);
    if (!test::enterPrivateNetwork().empty()) {
        enterUserNamespace();
        const std::string failure = test::enterPrivateNetwork();
        if (!failure.empty())
            fail(failure);
    }
    if (std::system(kNetworkScript) != 0)
        fail("the LAN interface or the local routes cannot be set up");
}

TerminalsAndEngine& terminalsAndEngine() {
    static TerminalsAndEngine* const made = [] {
        enterAnsweringNetwork();
        static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
        // The terminals first: they take port 0xdead, the engine then 0xbeef.
        return new TerminalsAndEngine{{}, T7000ip::getT7000ip(&language)};
    }();
    return *made;
}

bool engineTakes(std::string_view datagram, std::string_view jobSerialNumber) {
    if (!datagram.starts_with("TALMO"))
        return false;
    std::string line(datagram);
    std::replace(line.begin(), line.end(), '\0', ' ');
    const std::string serialNumber = replySerialNumber(line);
    return !serialNumber.empty() && (jobSerialNumber.empty() || serialNumber == jobSerialNumber);
}

std::string broadcastSender(std::size_t index) {
    return "10.66.0." + std::to_string(10 + index / 2 % 200);
}

std::vector<AnsweringTerminals::Group> scriptOf(std::string_view bytes) {
    std::vector<AnsweringTerminals::Group> groups;
    if (bytes.empty())
        return groups;
    for (std::string_view group : splitAt(bytes, '\xFE')) {
        AnsweringTerminals::Group datagrams;
        for (std::string_view datagram : splitAt(group, '\xFF'))
            datagrams.emplace_back(datagram.substr(0, T7000ip::kDatagramSize));
        groups.push_back(std::move(datagrams));
    }
    return groups;
}

AnsweringTerminals::AnsweringTerminals()
    : sockets_{boundSocket(AF_INET), boundSocket(AF_INET6)}, wakeDescriptor_(::eventfd(0, EFD_CLOEXEC)) {
    thread_ = std::thread([this] { serve(); });
}

AnsweringTerminals::~AnsweringTerminals() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeDescriptor_, &one, sizeof one);
    thread_.join();
    for (int descriptor : {sockets_[0], sockets_[1], wakeDescriptor_})
        ::close(descriptor);
}

void AnsweringTerminals::setScript(std::vector<Group> groups) {
    std::lock_guard lock(mutex_);
    script_.assign(std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()));
}

void AnsweringTerminals::serve() {
    for (;;) {
        pollfd descriptors[3] = {
            {sockets_[0], POLLIN, 0}, {sockets_[1], POLLIN, 0}, {wakeDescriptor_, POLLIN, 0}};
        ::poll(descriptors, 3, -1);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        for (int index = 0; index < 2; ++index)
            if (descriptors[index].revents & POLLIN)
                answer(sockets_[index]);
    }
}

void AnsweringTerminals::answer(int socket) {
    char buffer[2048];
    sockaddr_storage sender{};
    alignas(cmsghdr) char control[256];
    iovec data{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = ::recvmsg(socket, &message, MSG_DONTWAIT);
    if (length < 0)
        return;
    const std::string serialNumber = requestSerialNumber({buffer, static_cast<std::size_t>(length)});

    // The reply leaves from the address the request went to; for a
    // broadcast or multicast request from an address of the interface's
    // network (IPv4) or the interface's own (IPv6).
    in_pktinfo* from4 = nullptr;
    bool toGroup = false;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            from4 = reinterpret_cast<in_pktinfo*>(CMSG_DATA(header));
            toGroup = from4->ipi_addr.s_addr != from4->ipi_spec_dst.s_addr;
            from4->ipi_ifindex = 0;
        } else if (header->cmsg_level == IPPROTO_IPV6 && header->cmsg_type == IPV6_PKTINFO) {
            auto* info = reinterpret_cast<in6_pktinfo*>(CMSG_DATA(header));
            toGroup = IN6_IS_ADDR_MULTICAST(&info->ipi6_addr);
            if (toGroup)
                info->ipi6_addr = in6addr_any;
        }
    }
    const bool collecting = toGroup && serialNumber.empty();

    Group group;
    {
        std::lock_guard lock(mutex_);
        if (!script_.empty()) {
            group = std::move(script_.front());
            script_.pop_front();
        }
    }
    findEngineSocket(sender);
    bool taken = false;
    for (std::size_t index = 0; index < group.size() && (collecting || !taken); ++index) {
        // An empty datagram would look like none at all to the clock.
        if (group[index].empty())
            continue;
        taken = engineTakes(group[index], serialNumber);
        if (collecting && from4 != nullptr)
            ::inet_pton(AF_INET, broadcastSender(index).c_str(), &from4->ipi_spec_dst);
        data = {group[index].data(), group[index].size()};
        ::sendmsg(socket, &message, 0);
    }
    if (collecting || !taken) {
        // The engine passes over the first datagram without asking the clock;
        // reading the second, it finds the clock moved on.
        char skipped[] = "-";
        data = {skipped, 1};
        ::sendmsg(socket, &message, 0);
        g_clockStepAsked = true;
        char wake[] = "TALMO";
        data = {wake, 5};
        ::sendmsg(socket, &message, 0);
    }
}

} // namespace kestrix::fuzz

// The wall clock of the whole program (only the engine asks it): the
// system's, moved on by the terminals. It stands in for the C library's.
extern "C" time_t time(time_t* result) noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const time_t seconds = now.tv_sec + kestrix::fuzz::clockOffset();
    if (result != nullptr)
        *result = seconds;
    return seconds;
}
