// Smoke test of the network bed, as root, on one bed: what the PC's namespace
// reaches by broadcast, directed datagram and ff02::1, the link faults, and
// that nothing is left behind (the program's bed tests resolve names through
// its hosts file and search on its bridges, the only LAN interfaces).
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"

#include "platform/ip_address.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A dual-stack UDP socket with broadcast allowed, as the program's engine has.
class ProgramSocket {
public:
    ProgramSocket() : descriptor_(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const int off = 0, on = 1;
        ::setsockopt(descriptor_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        ::setsockopt(descriptor_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        const unsigned bridge = ::if_nametoindex("br0");
        ::setsockopt(descriptor_, IPPROTO_IPV6, IPV6_MULTICAST_IF, &bridge, sizeof bridge);
    }
    ~ProgramSocket() { ::close(descriptor_); }

    // Sends "find *" to port 0xdead: 0 when sent, else the errno of sendto.
    int find(const std::string& address) {
        const sockaddr_in6 target = toSocketAddress(*addressFromText(address), 0xdead);
        const std::string datagram("find\0*", 7);
        return ::sendto(descriptor_, datagram.data(), datagram.size(), 0,
                        reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0
                   ? errno
                   : 0;
    }
    // The senders of the replies until none came for half a second.
    std::set<std::string> senders() {
        std::set<std::string> result;
        for (pollfd readable{descriptor_, POLLIN, 0}; ::poll(&readable, 1, 500) == 1;) {
            char buffer[2048];
            sockaddr_in6 sender{};
            socklen_t length = sizeof sender;
            if (::recvfrom(descriptor_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender),
                           &length) >= 0)
                result.insert(addressToText(fromSocketAddress(sender), MappedForm::DottedOnly));
        }
        return result;
    }

private:
    int descriptor_;
};

using Senders = std::set<std::string>;

// talmo-sim with the serial number, at the address on the bridge.
TerminalSetup terminal(const std::string& serialNumber, const std::string& ipv4, std::size_t bridge = 0) {
    TerminalSetup setup;
    setup.bridge = bridge;
    setup.ipv4 = ipv4;
    setup.terminalSection = {{"serial_number", serialNumber}};
    return setup;
}

class NetworkBedSmoke : public NetworkBedTest {};

TEST_F(NetworkBedSmoke, LanHostsFileFaultsAndNothingLeftBehind) {
    BedLayout layout;
    layout.bridges = {{"10.77.0.1/24", "fe80::1", "2001:db8:77::1"}, {"10.78.0.1/24", "", ""}};
    // In the PC's subnet with an IPv6 link-local address, in a foreign subnet, and on br1.
    layout.terminals = {terminal("100101", "10.77.0.11/24"), terminal("100102", "192.168.99.5/24"),
                        terminal("100103", "10.78.0.11/24", 1)};
    layout.terminals[0].ipv6LinkLocal = "fe80::11";
    layout.pcHostsLines = {"10.77.0.11 t0.bed.test"};
    std::string prefix;
    {
        NetworkBed bed(layout);
        prefix = bed.prefix();
        EXPECT_TRUE(bed.runOnPc([] {
            ProgramSocket socket;
            ASSERT_EQ(socket.find("10.77.0.255"), 0);
            EXPECT_EQ(socket.senders(), (Senders{"10.77.0.11", "192.168.99.5"}));
            EXPECT_EQ(socket.find("192.168.99.5"), ENETUNREACH); // no host route yet
            ASSERT_EQ(socket.find("ff02::1"), 0);
            EXPECT_EQ(socket.senders(), Senders{"fe80::11"});
        }));
        ASSERT_TRUE(bed.shellOnPc("ip route add 192.168.99.5/32 dev br0").succeeded());
        bed.setLinkFaults(2, {1.0, 0ms, 0.0, 0ms});
        EXPECT_TRUE(bed.runOnPc([] {
            ProgramSocket socket;
            ASSERT_EQ(socket.find("192.168.99.5"), 0);
            EXPECT_EQ(socket.senders(), Senders{"192.168.99.5"});
            ASSERT_EQ(socket.find("10.78.0.11"), 0);
            EXPECT_EQ(socket.senders(), Senders{}); // every packet to the terminal dropped
        }));
        bed.setLinkFaults(2, {0.0, 0ms, 0.0, 150ms});
        EXPECT_TRUE(bed.runOnPc([] {
            ProgramSocket socket;
            const Clock::time_point sent = Clock::now();
            ASSERT_EQ(socket.find("10.78.0.11"), 0);
            EXPECT_EQ(socket.senders(), Senders{"10.78.0.11"});
            EXPECT_GE(Clock::now() - sent, 150ms + 500ms); // the delay, then the quiet half second
        }));
    }
    std::ifstream hosts("/etc/hosts");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(hosts), {}).find("t0.bed.test"), std::string::npos);
    const std::string left =
        runCommand({"sh", "-c", "ip netns list; ip -o link; iptables-save; ls /etc/netns"}).output;
    EXPECT_EQ(left.find(prefix), std::string::npos) << left;
}

} // namespace
} // namespace kestrix::test
