#pragma once

// Reading the framing of a configuration block from the bytes received,
// never past their end.
#include "config/user_param.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestrix {

// The block's name on the terminal.
inline constexpr std::string_view kConfigFileName = "talmo.cfg";

// The four version characters at a block's start; characters beyond the bytes
// received are zero bytes. text is terminated for tracing with "%4.4s".
struct VersionCharacters {
    std::array<char, 5> text{};
    std::string_view view() const { return {text.data(), 4}; }
};

inline VersionCharacters versionCharacters(std::span<const std::uint8_t> block) {
    VersionCharacters version;
    std::copy_n(block.begin(), std::min<std::size_t>(block.size(), 4), version.text.begin());
    return version;
}

// The 16-bit value at an offset in the given byte order; nothing when it does
// not lie wholly within the bytes.
inline std::optional<std::uint16_t> readUnsigned16(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   BlockByteOrder order) {
    if (offset > bytes.size() || bytes.size() - offset < 2)
        return std::nullopt;
    const unsigned first = bytes[offset];
    const unsigned second = bytes[offset + 1];
    return static_cast<std::uint16_t>(order == BlockByteOrder::BigEndian ? (first << 8) | second
                                                                         : (second << 8) | first);
}

// Stores a 16-bit value at an offset in the given byte order.
inline void writeUnsigned16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value,
                            BlockByteOrder order) {
    const auto high = static_cast<std::uint8_t>(value >> 8);
    const auto low = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset] = order == BlockByteOrder::BigEndian ? high : low;
    bytes[offset + 1] = order == BlockByteOrder::BigEndian ? low : high;
}

// The 32-bit value at an offset in the given byte order; nothing when it does
// not lie wholly within the bytes.
inline std::optional<std::uint32_t> readUnsigned32(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   BlockByteOrder order) {
    const auto first = readUnsigned16(bytes, offset, order);
    const auto second = readUnsigned16(bytes, offset + 2, order);
    if (!first || !second)
        return std::nullopt;
    return order == BlockByteOrder::BigEndian ? std::uint32_t{*first} << 16 | *second
                                              : std::uint32_t{*second} << 16 | *first;
}

// Stores a 32-bit value at an offset in the given byte order.
inline void writeUnsigned32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value,
                            BlockByteOrder order) {
    const auto high = static_cast<std::uint16_t>(value >> 16);
    const auto low = static_cast<std::uint16_t>(value & 0xFFFF);
    writeUnsigned16(bytes, offset, order == BlockByteOrder::BigEndian ? high : low, order);
    writeUnsigned16(bytes, offset + 2, order == BlockByteOrder::BigEndian ? low : high, order);
}

} // namespace kestrix
