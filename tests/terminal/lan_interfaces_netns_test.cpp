// Runs in a network namespace of its own (tests/support/in-netns, as root): it
// creates interfaces there and compares the table with what the kernel reports.
#include "lan/lan_interfaces.h"

#include "support/trace_capture.h"
#include "terminal/lan_interfaces_rows.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrix {
namespace {

// kxa: bridge with two IPv4 addresses and a veth port (kxa-p, peer kxa-q), so
// it has carrier; kxb: bridge that is up but not running, IPv6 only: its one
// port's peer is down, so it has no carrier (a bridge without any port counts as
// running); kxc: bridge that is down; kxt: tap device, which gets its IPv4
// row but no IPv6 data.
const char* const kSetup[] = {
    "ip link add kxa type bridge",
    "ip link add kxa-p type veth peer name kxa-q",
    "ip link set kxa-p master kxa",
    "ip addr add 10.77.1.1/24 dev kxa",
    "ip addr add 10.77.2.1/16 dev kxa label kxa:two",
    "ip link set kxa up && ip link set kxa-p up && ip link set kxa-q up",
    "ip link add kxb type bridge && ip link add kxb-p type veth peer name kxb-q",
    "ip link set kxb-p master kxb && ip link set kxb-p up && ip link set kxb up",
    "ip link add kxc type bridge && ip addr add 10.77.3.1/24 dev kxc",
    "ip tuntap add dev kxt mode tap && ip addr add 10.77.4.1/24 dev kxt && ip link set kxt up",
};
const std::vector<std::string> kLanNames = {"kxa", "kxa-p", "kxa-q", "kxb", "kxc", "kxt"};
const std::string kTapName = "kxt";

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string output(const std::string& command) {
    std::string text;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    pclose(pipe);
    return text;
}

// sysfs shows the network namespace it was mounted in: mount one for ours, in
// a mount namespace of our own, as "ip netns exec" does.
void mountOwnSysfs() {
    ASSERT_EQ(unshare(CLONE_NEWNS), 0) << std::strerror(errno);
    ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << std::strerror(errno);
    umount2("/sys", MNT_DETACH);
    ASSERT_EQ(mount("sysfs", "/sys", "sysfs", 0, nullptr), 0) << std::strerror(errno);
}

void setIPv6Enabled(bool enabled) {
    for (const char* scope : {"all", "default"})
        std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + scope + "/disable_ipv6")
            << (enabled ? "0" : "1");
}

// What the kernel reports about one interface, read through ip and ioctl.
struct KernelInterface {
    std::uint32_t index = 0;
    std::vector<std::string> ipv4; // "a.b.c.d/prefix", in the kernel's order
    std::string firstIPv6;
    unsigned flags = 0;
    bool running() const { return (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0; }
};

KernelInterface kernelInterface(const std::string& name) {
    KernelInterface result;
    result.index = if_nametoindex(name.c_str());
    std::istringstream lines(output("ip -o addr show dev " + name));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string number, device, family, address;
        words >> number >> device >> family >> address;
        if (family == "inet")
            result.ipv4.push_back(address);
        else if (family == "inet6" && result.firstIPv6.empty())
            result.firstIPv6 = address.substr(0, address.find('/'));
    }
    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    if (probe >= 0 && ioctl(probe, SIOCGIFFLAGS, &request) == 0)
        result.flags = static_cast<unsigned short>(request.ifr_flags);
    if (probe >= 0)
        close(probe);
    return result;
}

std::string expectedRow(const std::string& name, const KernelInterface& kernel, const std::string& ipv4) {
    std::string address = "none", mask = "0.0.0.0", broadcast = "::", ipv4Index = "0";
    if (!ipv4.empty()) {
        address = ipv4.substr(0, ipv4.find('/'));
        const int prefix = std::stoi(ipv4.substr(ipv4.find('/') + 1));
        const std::uint32_t hostMask = prefix == 0 ? 0 : ~0u << (32 - prefix);
        in_addr value{};
        inet_pton(AF_INET, address.c_str(), &value);
        mask = ipv4ToText(htonl(hostMask));
        broadcast = ipv4ToText(htonl((ntohl(value.s_addr) & hostMask) | ~hostMask));
        ipv4Index = std::to_string(kernel.index);
    }
    return name + " " + address + " " + mask + " " + broadcast + " " + ipv4Index + " " +
           (kernel.firstIPv6.empty() ? "0" : std::to_string(kernel.index)) + " '" + kernel.firstIPv6 + "' " +
           (kernel.running() ? "up" : "down");
}

// The rows the kernel's state calls for: every IPv4 address of the LAN
// interfaces in index order, then the interfaces that only have IPv6.
std::vector<std::string> expectedRows() {
    std::vector<std::pair<std::string, KernelInterface>> interfaces;
    for (const std::string& name : kLanNames) {
        interfaces.emplace_back(name, kernelInterface(name));
        if (name == kTapName)
            interfaces.back().second.firstIPv6.clear();
    }
    std::sort(interfaces.begin(), interfaces.end(),
              [](const auto& left, const auto& right) { return left.second.index < right.second.index; });
    std::vector<std::string> rows;
    for (const auto& [name, kernel] : interfaces)
        for (const std::string& ipv4 : kernel.ipv4)
            rows.push_back(expectedRow(name, kernel, ipv4));
    for (const auto& [name, kernel] : interfaces)
        if (kernel.ipv4.empty() && !kernel.firstIPv6.empty())
            rows.push_back(expectedRow(name, kernel, ""));
    return rows;
}

// Link-local addresses come with carrier, which the kernel reports a little later.
void waitForLinkLocalAddresses() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto ready = [] {
        return kernelInterface("kxa").running() &&
               std::all_of(kLanNames.begin(), kLanNames.begin() + 3, [](const std::string& name) {
                   return kernelInterface(name).firstIPv6.starts_with("fe80:");
               });
    };
    while (!ready()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "link-local addresses did not appear";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

class LanInterfacesInNamespace : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        mountOwnSysfs();
        for (const char* command : kSetup)
            run(command);
    }
    void SetUp() override {
        setIPv6Enabled(true);
        waitForLinkLocalAddresses();
    }
};

TEST_F(LanInterfacesInNamespace, TableMatchesTheKernel) {
    run("ip addr replace 2001:db8:77::1/64 dev kxb nodad");
    ASSERT_TRUE(kernelInterface("kxb").flags & IFF_UP);
    ASSERT_FALSE(kernelInterface("kxb").running());
    ASSERT_FALSE(kernelInterface("kxc").flags & IFF_UP);
    ASSERT_EQ(kernelInterface("kxt").ipv4.size(), 1u);

    test::TraceCapture capture;
    enumerateLanInterfaces();
    const std::vector<std::string> expected = expectedRows();
    EXPECT_EQ(test::describe(lanInterfaces()), expected);
    EXPECT_EQ(expected.size(), 7u); // kxa twice, kxc, kxt, then kxa-p, kxa-q and kxb in some index order
    EXPECT_TRUE(capture.contains("Anzahl LanInterfaces: 7\nLanInterfaces[0]: Friendly name: 'kxa'\n"));
    EXPECT_FALSE(capture.contains("Warnung"));
}

TEST_F(LanInterfacesInNamespace, OnlyLinkLocalOrNoIPv6AddressesGiveTheirWarnings) {
    const std::string linkLocalOnly = "Warnung: Der PC besitzt keine globale IPv6 Adresse";
    const std::string none = "Warnung: Der PC besitzt keine IPv6 Adresse.\n";
    run("ip -6 addr flush dev kxb scope global");
    for (bool ipv6 : {true, false}) {
        setIPv6Enabled(ipv6);
        test::TraceCapture capture;
        const LanInterfaces table = LanInterfaces::enumerate();
        EXPECT_EQ(test::describe(table), expectedRows()) << "IPv6 " << ipv6;
        EXPECT_EQ(capture.contains(linkLocalOnly), ipv6);
        EXPECT_EQ(capture.contains(none), !ipv6);
    }
    EXPECT_EQ(LanInterfaces::enumerate().count(), 4); // kxa twice, kxc and kxt
}

} // namespace
} // namespace kestrix
