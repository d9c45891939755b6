#include "crypto/crc16_arc.h"

#include <array>

namespace kestrix {
namespace {

// Entries 0x00-0x0F and 0x00, 0x10, ..., 0xF0 of the CRC-16/ARC byte table;
// as the CRC is linear, T[x] = low[x & 15] XOR high[x >> 4].
constexpr std::array<std::uint16_t, 16> kLowNibble = {0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0,
                                                      0x0280, 0xC241, 0xC601, 0x06C0, 0x0780, 0xC741,
                                                      0x0500, 0xC5C1, 0xC481, 0x0440};
constexpr std::array<std::uint16_t, 16> kHighNibble = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                                       0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                                       0x5000, 0x9C01, 0x8801, 0x4400};

} // namespace

std::uint16_t crc16ArcStep(std::uint16_t crc, std::uint16_t value) {
    const unsigned mixed = static_cast<unsigned>(crc ^ value);
    return static_cast<std::uint16_t>((mixed >> 8) ^ kLowNibble[mixed & 0x0Fu] ^
                                      kHighNibble[(mixed >> 4) & 0x0Fu]);
}

std::uint16_t crc16Arc(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
    for (std::uint8_t byte : bytes)
        crc = crc16ArcStep(crc, byte);
    return crc;
}

} // namespace kestrix
