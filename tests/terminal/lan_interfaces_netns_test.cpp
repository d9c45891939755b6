// Runs in a network namespace of its own (tests/support/in-netns, as root): it
// makes interfaces there and reads the table the system gives.
#include "lan/lan_interfaces.h"

#include "support/trace_capture.h"
#include "terminal/lan_interfaces_rows.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/mount.h>
#include <thread>

namespace kestrix {
namespace {

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void setIPv6(const char* setting, const char* value) {
    for (const char* scope : {"all", "default"})
        std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + scope + "/" + setting) << value;
}

std::string index(const char* name) {
    return std::to_string(if_nametoindex(name));
}

// kxa: a bridge with carrier (its veth port's peer is up) and two IPv4
// addresses; kxb: up without carrier (its port's peer is down), IPv6 only;
// kxc: down; kxt: a tap device, left out of the IPv6 pass as lo is. No
// interface makes link-local addresses of its own.
TEST(LanInterfacesInNamespace, TableAndWarningsFollowTheSystem) {
    // sysfs shows the namespace it was mounted in: one for ours, in a mount namespace of our own.
    ASSERT_EQ(unshare(CLONE_NEWNS), 0) << std::strerror(errno);
    ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << std::strerror(errno);
    umount2("/sys", MNT_DETACH);
    ASSERT_EQ(mount("sysfs", "/sys", "sysfs", 0, nullptr), 0) << std::strerror(errno);
    setIPv6("addr_gen_mode", "1");
    run("ip link add kxa type bridge && ip link add kxa-p type veth peer name kxa-q && ip link set kxa-p "
        "master kxa"
        " && ip addr add 10.77.1.1/24 dev kxa && ip addr add 10.77.2.1/16 dev kxa label kxa:two"
        " && ip addr add fe80::a/64 dev kxa nodad && ip link set kxa up && ip link set kxa-p up"
        " && ip link set kxa-q up");
    run("ip link add kxb type bridge && ip link add kxb-p type veth peer name kxb-q && ip link set kxb-p "
        "master kxb"
        " && ip link set kxb-p up && ip link set kxb up && ip addr add 2001:db8:77::1/64 dev kxb nodad");
    run("ip link add kxc type bridge && ip addr add 10.77.3.1/24 dev kxc");
    run("ip tuntap add dev kxt mode tap && ip addr add fe80::7/64 dev kxt nodad && ip link set kxt up");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (LanInterfaces table; table.count() == 0 || !table.entries()[0].bUp;
         table = LanInterfaces::enumerate()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "kxa has no carrier";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    const std::string a = index("kxa"), b = index("kxb"), c = index("kxc");
    test::TraceCapture trace;
    enumerateLanInterfaces();
    EXPECT_EQ(
        test::describe(lanInterfaces()),
        (std::vector<std::string>{"kxa 10.77.1.1 255.255.255.0 10.77.1.255 " + a + " " + a + " 'fe80::a' up",
                                  "kxa 10.77.2.1 255.255.0.0 10.77.255.255 " + a + " " + a + " 'fe80::a' up",
                                  "kxc 10.77.3.1 255.255.255.0 10.77.3.255 " + c + " 0 '' down",
                                  "kxb none 0.0.0.0 :: 0 " + b + " '2001:db8:77::1' down"}));
    EXPECT_TRUE(trace.contains("Anzahl LanInterfaces: 4\nLanInterfaces[0]: Friendly name: 'kxa'\n"));
    EXPECT_FALSE(trace.contains("Warnung"));

    run("ip -6 addr flush dev kxb scope global");
    trace.clear();
    EXPECT_EQ(LanInterfaces::enumerate().count(), 3);
    EXPECT_TRUE(trace.contains("Warnung: Der PC besitzt keine globale IPv6 Adresse"));
    setIPv6("disable_ipv6", "1");
    trace.clear();
    EXPECT_EQ(test::describe(LanInterfaces::enumerate()).at(0),
              "kxa 10.77.1.1 255.255.255.0 10.77.1.255 " + a + " 0 '' up");
    EXPECT_TRUE(trace.contains("Warnung: Der PC besitzt keine IPv6 Adresse.\n"));
}

} // namespace
} // namespace kestrix
