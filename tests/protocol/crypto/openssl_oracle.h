#pragma once

#include "crypto/aes.h"
#include "crypto/md5.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// OpenSSL's answers for the ciphers and digests the program implements itself,
// and the byte helpers of the crypto tests.
namespace kestrix::test {

AesBlock opensslAesBlock(const AesKey& key, const AesBlock& input);
// AES-128-OFB with an all-zero initial vector over the whole message at once.
std::vector<std::uint8_t> opensslAesOfb(const AesKey& key, std::span<const std::uint8_t> message);
AesBlock opensslCmac(const AesKey& key, std::span<const std::uint8_t> message);
Md5Digest opensslMd5(std::span<const std::uint8_t> message);
// Standard Base64 with padding.
std::string opensslBase64(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> fromHex(std::string_view hex);
std::string toHex(std::span<const std::uint8_t> bytes);

template <std::size_t Size> std::array<std::uint8_t, Size> arrayFromHex(std::string_view hex) {
    std::array<std::uint8_t, Size> bytes{};
    const std::vector<std::uint8_t> decoded = fromHex(hex);
    std::copy_n(decoded.begin(), std::min(Size, decoded.size()), bytes.begin());
    return bytes;
}

// Random bytes from a generator with a fixed seed, so that a failure repeats.
class RandomBytes {
public:
    explicit RandomBytes(std::uint32_t seed) : generator_(seed) {}
    std::vector<std::uint8_t> bytes(std::size_t count);
    template <std::size_t Size> std::array<std::uint8_t, Size> array() {
        std::array<std::uint8_t, Size> result;
        for (auto& byte : result)
            byte = static_cast<std::uint8_t>(generator_());
        return result;
    }
    // A number from 0 to limit.
    std::size_t upTo(std::size_t limit) {
        return std::uniform_int_distribution<std::size_t>(0, limit)(generator_);
    }

private:
    std::mt19937 generator_;
};

} // namespace kestrix::test
