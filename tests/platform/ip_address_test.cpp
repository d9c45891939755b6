#include "platform/ip_address.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

namespace kestrix {
namespace {

TEST(AddressText, WritesEachFormAndReadsItBack) {
    struct Case {
        const char* input;
        const char* full;
        const char* dotted;
    } cases[] = {
        {"192.168.1.2", "::ffff:192.168.1.2", "192.168.1.2"},
        {"::ffff:10.0.0.255", "::ffff:10.0.0.255", "10.0.0.255"},
        {"fe80::1", "fe80::1", "fe80::1"},
        {"::", "::", "::"},
        {"::ff00:102:304", "::ff00:102:304", "::ff00:102:304"}, // one 0xff byte is no mapped prefix
    };
    for (const auto& c : cases) {
        auto address = addressFromText(c.input);
        ASSERT_TRUE(address) << c.input;
        EXPECT_EQ(addressToText(*address), c.full);
        EXPECT_EQ(addressToText(*address, MappedForm::DottedOnly), c.dotted);
        EXPECT_EQ(address->isIPv4Mapped(), std::string(c.full) != c.dotted);
        EXPECT_EQ(addressFromText(addressToText(*address)), address);
    }
    for (const char* text : {"", "terminal1", "1.2.3", "1.2.3.4.5", "256.1.1.1", "fe80::1%",
                             "::ffff:1.2.3.4x", "fe80::1%nosuchinterface0"})
        EXPECT_FALSE(addressFromText(text)) << text;
}

TEST(AddressText, ScopeOfALinkLocalAddressAndIPv4InNetworkOrder) {
    auto address = addressFromText("fe80::2%7");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->scopeId, 7u);
    EXPECT_TRUE(address->isLinkLocal());
    auto socketAddress = toSocketAddress(*address, 0xdead);
    EXPECT_EQ(socketAddress.sin6_scope_id, 7u);
    EXPECT_EQ(ntohs(socketAddress.sin6_port), 0xdead);
    EXPECT_EQ(fromSocketAddress(socketAddress), *address);
    EXPECT_EQ(Ip6Address::fromIPv4Bytes(10, 1, 2, 3).ipv4NetworkOrder(), htonl(0x0a010203));
    EXPECT_EQ(Ip6Address::fromIPv4(htonl(0x0a010203)), Ip6Address::fromIPv4Bytes(10, 1, 2, 3));
    EXPECT_EQ(ipv4ToText(htonl(0x0a010203)), "10.1.2.3");
    EXPECT_EQ(addressFromText("fe80::1")->ipv4NetworkOrder(), 0u);
}

} // namespace
} // namespace kestrix
