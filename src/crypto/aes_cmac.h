#pragma once

#include "crypto/aes.h"

#include <cstdint>
#include <span>

namespace kestrix {

// AES-CMAC (RFC 4493) with AES-128 in the standard mode: the 16-byte tag of a
// message of any length, the empty message included. It keeps no state
// between calls; truncating the tag is the caller's business.
AesBlock aesCmac(const AesKey& key, std::span<const std::uint8_t> message);

} // namespace kestrix
