// The simulator's address change over netlink, in a network namespace of its
// own: a veth pair set up as the test bed sets up a terminal's eth0.
#include "sim/interface_address.h"
#include "sim/ipv4_settings.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>

namespace kestrix::sim {
namespace {

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            output += buffer;
        ::pclose(pipe);
    }
    return output;
}

Ipv4Settings settings(const char* address, int prefixLength) {
    Ipv4Settings result;
    result.address = *ipv4FromText(address);
    result.prefixLength = prefixLength;
    return result;
}

TEST(SimInterfaceAddress, TheNewAddressReplacesTheOldOneAndTheRoutesStay) {
    ASSERT_EQ(
        run("ip link add kxs0 type veth peer name kxs1 && ip link set kxs0 up && ip link set kxs1 up && "
            "ip addr add 10.77.0.11/24 brd + dev kxs0 && ip route add default dev kxs0"),
        "");
    NetlinkInterfaceAddress interfaceAddress;
    interfaceAddress.replaceIPv4("kxs0", settings("10.77.0.11", 24), settings("192.168.42.127", 24));
    const std::string addresses = run("ip -4 -o addr show dev kxs0");
    EXPECT_NE(addresses.find("inet 192.168.42.127/24 brd 192.168.42.255"), std::string::npos) << addresses;
    EXPECT_EQ(addresses.find("10.77.0.11"), std::string::npos) << addresses;
    EXPECT_NE(run("ip route show default").find("default dev kxs0"), std::string::npos);
    EXPECT_THROW(interfaceAddress.replaceIPv4("kxs9", settings("10.77.0.11", 24), settings("10.77.0.20", 24)),
                 std::runtime_error);
    run("ip link del kxs0");
}

} // namespace
} // namespace kestrix::sim
