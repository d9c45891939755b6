#include "openssl_oracle.h"
#include "crypto/crc16_arc.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kestrix {
namespace {

// The CRC-16/ARC register, bit by bit: XOR the value in, then shift eight
// times with the reflected polynomial. For a 16-bit value this is what the
// request check value does with address numbers and sign-widened characters.
std::uint16_t bitwiseStep(std::uint16_t crc, std::uint16_t value) {
    unsigned reg = crc ^ value;
    for (int bit = 0; bit < 8; ++bit)
        reg = (reg >> 1) ^ ((reg & 1) != 0 ? 0xA001u : 0u);
    return static_cast<std::uint16_t>(reg);
}

TEST(Crc16Arc, CheckValueAndEmptyInput) {
    constexpr std::string_view digits = "123456789";
    EXPECT_EQ(crc16Arc(std::span(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size())),
              0xBB3D);
    EXPECT_EQ(crc16Arc({}), 0);
    EXPECT_EQ(crc16Arc({}, 0x1234), 0x1234);
}

TEST(Crc16Arc, BytesAndSixteenBitStepsMatchTheBitwiseRegister) {
    test::RandomBytes random(0xa001);
    const std::vector<std::uint8_t> bytes = random.bytes(5000);
    std::uint16_t expected = 0;
    for (std::uint8_t byte : bytes)
        expected = bitwiseStep(expected, byte);
    EXPECT_EQ(crc16Arc(bytes), expected);
    // Continuing from a CRC is the same as one run over both parts.
    EXPECT_EQ(crc16Arc(std::span(bytes).subspan(1234), crc16Arc(std::span(bytes).first(1234))), expected);

    for (unsigned crc = 0; crc < 0x10000; crc += 0x101) {
        for (unsigned value :
             {0x0000u, 0x0001u, 0x00C0u, 0x00FFu, 0x0100u, 0x012Cu, 0xFF80u, 0xFFC4u, 0xFFFFu})
            EXPECT_EQ(crc16ArcStep(static_cast<std::uint16_t>(crc), static_cast<std::uint16_t>(value)),
                      bitwiseStep(static_cast<std::uint16_t>(crc), static_cast<std::uint16_t>(value)))
                << crc << " " << value;
    }
}

TEST(Crc16Arc, CharactersFromHexEightyOnAreSignWidened) {
    EXPECT_EQ(signWidened(0x00), 0x0000);
    EXPECT_EQ(signWidened(0x7F), 0x007F);
    EXPECT_EQ(signWidened(0x80), 0xFF80);
    EXPECT_EQ(signWidened(0xE4), 0xFFE4);
    EXPECT_EQ(signWidened(0xFF), 0xFFFF);
    // The widened form changes the check value: the high byte enters the register.
    EXPECT_NE(crc16ArcStep(0, signWidened(0xE4)), crc16ArcStep(0, 0xE4));
}

} // namespace
} // namespace kestrix
