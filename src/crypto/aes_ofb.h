#pragma once

#include "crypto/aes.h"

#include <cstdint>
#include <span>

namespace kestrix {

// The AES output-feedback stream of one context: for each byte, when the
// position is 0 the feedback register is encrypted in place with the block
// operation of the given mode; the byte is XORed with register[position] and
// the position advances modulo 16. Position and register carry over from call
// to call, so a stream may be cut anywhere; enciphering and deciphering are
// the same operation. In the standard mode, after a fresh key setup, this is
// AES-128-OFB with an all-zero initial vector. The stream has no lock: one
// context belongs to one thread's stream.

// Runs the stream over the bytes in place; returns the new position.
std::uint8_t aesOfbStream(AesMode mode, std::span<std::uint8_t> bytes, AesContext& context);

// Runs the stream over the input into the output, which must have the input's
// size (it may be the same memory, but must not overlap it otherwise). Returns
// the new position. Throws std::length_error, with nothing processed, when the
// sizes differ.
std::uint8_t aesOfbStream(AesMode mode, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                          AesContext& context);

} // namespace kestrix
