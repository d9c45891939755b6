#pragma once

#include <cstdint>
#include <span>

namespace kestrix {

// CRC-16/ARC: reflected polynomial 0xA001, start value 0, no final XOR (check
// value 0xBB3D over the nine ASCII digits 1 to 9), computed with two 16-entry
// tables. Besides bytes, the register also takes 16-bit values, which the
// request authentication feeds (address numbers, sign-widened characters); a
// value below 0x100 is exactly one byte.

// One step: v = crc XOR value; crc = (v >> 8) XOR T[v & 0xFF].
std::uint16_t crc16ArcStep(std::uint16_t crc, std::uint16_t value);

// The CRC of the bytes, continuing from crc (0 for a fresh CRC).
std::uint16_t crc16Arc(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

// A character byte read as a signed 8-bit value and widened to 16 bits:
// 0x00-0x7F stay, 0x80-0xFF become 0xFF80-0xFFFF.
constexpr std::uint16_t signWidened(std::uint8_t character) {
    return character < 0x80 ? character : static_cast<std::uint16_t>(0xFF00u | character);
}

} // namespace kestrix
