#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrix {

// Bytes as lowercase hexadecimal digits, two per byte ("%02x" each): digests
// and keys as the traces and the command line show them.
std::string hexText(std::span<const std::uint8_t> bytes);

} // namespace kestrix
