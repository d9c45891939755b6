#pragma once

#include "crypto/aes.h"
#include "support/data_file.h"

#include <cstdint>
#include <span>
#include <vector>

// OpenSSL's answer for the program's own AES output-feedback stream.
namespace kestrix::test {

// AES-128-OFB with an all-zero initial vector over the whole message at once.
std::vector<std::uint8_t> opensslAesOfb(const AesKey& key, std::span<const std::uint8_t> message);

} // namespace kestrix::test
