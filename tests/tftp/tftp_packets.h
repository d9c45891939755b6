#pragma once

// TFTP packets as bytes, for the tests that play a server packet by packet.
#include <cstdint>
#include <string>

namespace kestrix::test {

inline std::string word(unsigned value) {
    return {static_cast<char>((value >> 8) & 0xff), static_cast<char>(value & 0xff)};
}
inline std::string dataPacket(unsigned block, const std::string& bytes) {
    return word(3) + word(block) + bytes;
}
inline std::string ackPacket(unsigned block) {
    return word(4) + word(block);
}
inline std::string errorPacket(unsigned code, const std::string& text) {
    return word(5) + word(code) + text + std::string(1, '\0');
}
inline std::string requestPacket(unsigned opcode, const std::string& name) {
    return word(opcode) + name + std::string(1, '\0') + "octet" + std::string(1, '\0');
}

// A file's content that shows a shifted or repeated block: byte i is (i * 7 + i / 512) mod 251.
inline std::string patternBytes(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t index = 0; index < length; ++index)
        bytes[index] = static_cast<char>((index * 7 + index / 512) % 251);
    return bytes;
}

} // namespace kestrix::test
