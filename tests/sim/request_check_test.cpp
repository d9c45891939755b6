// The terminal's computation of both suffixes against values worked out
// outside the program: the IP-based ones with the bit-by-bit CRC below, the
// ID-based ones with "openssl dgst -mac cmac -macopt cipher:aes-128-cbc"
// over the key laid out by hand.
#include "sim/request_check.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using namespace kestrix::sim;
using kestrix::Ip6Address;

namespace {

// CRC-16/ARC one bit at a time, fed 16-bit values as the terminal feeds them.
std::uint16_t bitwiseStep(std::uint16_t crc, std::uint16_t value) {
    std::uint16_t register16 = crc ^ value;
    for (int bit = 0; bit < 8; ++bit)
        register16 =
            (register16 & 1) ? static_cast<std::uint16_t>((register16 >> 1) ^ 0xA001) : register16 >> 1;
    return register16;
}

std::uint16_t bitwiseCheck(std::array<std::uint8_t, 4> address, std::uint16_t group, std::string_view text) {
    std::uint16_t crc = 0;
    for (auto number : address)
        crc = bitwiseStep(crc, number);
    crc = bitwiseStep(crc, group & 0xFF);
    crc = bitwiseStep(crc, group >> 8);
    for (unsigned char character : text)
        crc = bitwiseStep(crc, character == ' ' ? 0 : character < 0x80 ? character : 0xFF00 | character);
    return crc;
}

std::string withZeros(std::string text) {
    for (char& character : text)
        if (character == ' ')
            character = '\0';
    return text;
}

} // namespace

TEST(SimRequestCheck, IPBasedKnownAnswers) {
    const std::array<std::uint8_t, 4> pc = {192, 168, 1, 10};
    struct Case {
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
        {pc, 0x1234, "echo 123 \x80\xe9", bitwiseCheck(pc, 0x1234, "echo 123 \x80\xe9")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bitwiseCheck(c.address, c.group, c.text), c.expected) << c.text;
        EXPECT_EQ(ipBasedCheck(c.address, c.group, withZeros(c.text)), c.expected) << c.text;
    }
    // The sign-widened characters make a difference.
    EXPECT_NE(ipBasedCheck(pc, 0x1234, withZeros("echo 123 \x80")),
              ipBasedCheck(pc, 0x1234, withZeros("echo 123 \x7f")));
}

TEST(SimRequestCheck, IDBasedKnownAnswers) {
    EXPECT_EQ(idBasedCheck("1234567", 0x1234, 0xA1B2C3D4,
                           std::string("echo\0"
                                       "123\0",
                                       9)),
              0xAEEB34B0u);
    EXPECT_EQ(idBasedCheck("1234567", 0x1234, 0xA1B2C3D4,
                           std::string("reset\0"
                                       "1234567\0mode=ice\0",
                                       23)),
              0x9F8AEDA4u);
    EXPECT_EQ(idBasedCheck("1234567", 0, 0xA1B2C3D4,
                           std::string("echo\0"
                                       "123\0",
                                       9)),
              0xAA60AF50u);
    // Only ten characters of the serial number make the key.
    EXPECT_EQ(idBasedCheck("1234567890", 1, 2, "x"), idBasedCheck("1234567890ABC", 1, 2, "x"));
}

// The format of the suffix values (the outcomes by sender, group and mode are
// in authentication_test.cpp).
TEST(SimRequestCheck, SuffixFormats) {
    auto verdict = [](const std::string& text, AuthenticationMode mode) {
        auto request = parseRequest(asBytes(requestBytes(text)));
        return checkSuffix(*request, Ip6Address::fromIPv4Bytes(192, 168, 1, 10), mode, "1234567", 0x1234,
                           0xA1B2C3D4);
    };
    const auto ip = AuthenticationMode::IPBased;
    const auto id = AuthenticationMode::IDBased;
    EXPECT_EQ(verdict("echo 123 auth=62043", ip), SuffixVerdict::Valid);
    EXPECT_EQ(verdict("echo 123 auth=062043", ip), SuffixVerdict::Wrong); // six digits
    EXPECT_EQ(verdict("echo 123 auth=+62043", ip), SuffixVerdict::Wrong);
    EXPECT_EQ(verdict("echo 123", ip), SuffixVerdict::Missing);
    EXPECT_EQ(verdict("echo 123 sid=aeeb34b0", id), SuffixVerdict::Valid); // either case
    EXPECT_EQ(verdict("echo 123 sid=0AEEB34B0", id), SuffixVerdict::Wrong);
    EXPECT_EQ(verdict("echo 123 sid=AEEB34B", id), SuffixVerdict::Wrong);
    EXPECT_EQ(verdict("echo 123", id), SuffixVerdict::Missing);
}
