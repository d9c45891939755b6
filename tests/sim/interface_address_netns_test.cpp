// The real address change over netlink, in a network namespace of its own: a
// veth pair set up as the test bed sets up a terminal's eth0 (on-link default
// route, a local broadcast route for the PC's subnet).
#include "sim/interface_address.h"

#include "support/private_network.h"
#include "support/skip_or_fail.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

using namespace kestrix::sim;

namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return "popen failed";
    std::array<char, 512> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        output += buffer.data();
    pclose(pipe);
    return output;
}

// "address/prefix length"
Ipv4Settings settings(const std::string& text) {
    Ipv4Settings result;
    result.address = *ipv4FromText(text.substr(0, text.find('/')));
    result.prefixLength = std::stoi(text.substr(text.find('/') + 1));
    return result;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class SimInterfaceAddress : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // ctest starts this in a namespace of its own already; by hand it makes one.
        privateNetworkFailure = kestrix::test::enterPrivateNetwork();
    }
    void SetUp() override {
        if (!privateNetworkFailure.empty())
            KESTRIX_SKIP_OR_FAIL(privateNetworkFailure);
        run("ip link del kxs0");
        ASSERT_EQ(
            run("ip link add kxs0 type veth peer name kxs1 && ip link set kxs0 up && ip link set kxs1 up && "
                "ip addr add 10.77.0.11/24 brd + dev kxs0 && ip route add default dev kxs0 && "
                "ip route add broadcast 10.88.0.255 dev kxs0 table local"),
            "");
    }
    void TearDown() override { run("ip link del kxs0"); }

    static inline std::string privateNetworkFailure;

    static std::string addresses() { return run("ip -4 -o addr show dev kxs0"); }

    NetlinkInterfaceAddress interfaceAddress;
};

} // namespace

// One address after the other: within the subnet (where removing the old
// primary address must not take the new one along), to another subnet, and back.
TEST_F(SimInterfaceAddress, EachNewAddressReplacesTheOldOneAndKeepsTheTestBedRoutes) {
    const struct {
        std::string from;
        std::string to;
        std::string broadcast;
    } steps[] = {
        {"10.77.0.11/24", "10.77.0.20/24", "10.77.0.255"},
        {"10.77.0.20/24", "192.168.42.127/24", "192.168.42.255"},
        {"192.168.42.127/24", "10.77.0.12/16", "10.77.255.255"},
    };
    for (const auto& step : steps) {
        interfaceAddress.replaceIPv4("kxs0", settings(step.from), settings(step.to));
        const std::string now = addresses();
        EXPECT_TRUE(contains(now, "inet " + step.to + " brd " + step.broadcast)) << now;
        EXPECT_FALSE(contains(now, "inet " + step.from)) << now;
        EXPECT_TRUE(contains(run("ip route show default"), "default dev kxs0"));
        // The test bed's route and the kernel's one made from the address's broadcast.
        const std::string routes = run("ip route show table local type broadcast");
        EXPECT_TRUE(contains(routes, "broadcast 10.88.0.255 dev kxs0")) << routes;
        EXPECT_TRUE(contains(routes, "broadcast " + step.broadcast + " dev kxs0")) << routes;
    }
}

TEST_F(SimInterfaceAddress, FirstAddressOfAnIPv6OnlyTerminalAnAddressAlreadyGoneAndAnUnknownInterface) {
    ASSERT_EQ(run("ip addr del 10.77.0.11/24 dev kxs0"), "");
    interfaceAddress.replaceIPv4("kxs0", Ipv4Settings{}, settings("10.77.0.30/24"));
    EXPECT_TRUE(contains(addresses(), "inet 10.77.0.30/24")) << addresses();
    // The old address is no longer there: nothing to remove, no error.
    interfaceAddress.replaceIPv4("kxs0", settings("10.77.0.99/24"), settings("10.77.0.31/24"));
    EXPECT_TRUE(contains(addresses(), "inet 10.77.0.31/24")) << addresses();
    EXPECT_THROW(interfaceAddress.replaceIPv4("kxs9", settings("10.77.0.11/24"), settings("10.77.0.20/24")),
                 std::runtime_error);
}
