// The terminal's computation of both suffixes against values worked out
// outside the program: the IP-based ones with a bit-by-bit CRC-16/ARC fed
// 16-bit values (characters from 0x80 up sign-widened), the ID-based ones
// with "openssl dgst -mac cmac -macopt cipher:aes-128-cbc" over the key laid
// out by hand. How the responder uses them is in authentication_test.cpp.
#include "sim/request_check.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using namespace kestrix::sim;

TEST(SimRequestCheck, IPBasedKnownAnswers) {
    const std::array<std::uint8_t, 4> pc = {192, 168, 1, 10};
    const struct {
        std::array<std::uint8_t, 4> address;
        std::uint16_t group;
        std::string text;
        std::uint16_t expected;
    } cases[] = {
        {pc, 0x1234, "echo 123", 62043},
        {pc, 0x1234, "reset 123 mode=cold", 28244},
        {pc, 0x1234, "echo *", 65364},
        {{192, 168, 1, 11}, 0x1234, "echo 123", 3679},
        {pc, 0x1235, "echo 123", 14090},
        {pc, 0x1234, "echo 123 \x80\xe9", 48427}, // 64916 without the sign-widening
    };
    for (const auto& c : cases)
        EXPECT_EQ(ipBasedCheck(c.address, c.group, requestBody(c.text)), c.expected) << c.text;
}

TEST(SimRequestCheck, IDBasedKnownAnswers) {
    const struct {
        std::uint16_t group;
        std::string text;
        std::uint32_t expected;
    } cases[] = {
        {0x1234, "echo 123", 0xAEEB34B0u},
        {0x1234, "reset 1234567 mode=ice", 0x9F8AEDA4u},
        {0, "echo 123", 0xAA60AF50u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(idBasedCheck("1234567", c.group, 0xA1B2C3D4, requestBytes(c.text)), c.expected) << c.text;
    // Only ten characters of the serial number make the key.
    EXPECT_EQ(idBasedCheck("1234567890", 1, 2, "x"), idBasedCheck("1234567890ABC", 1, 2, "x"));
}
