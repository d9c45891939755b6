#include "crypto/aes_cmac.h"

#include <cstddef>

namespace kestrix {
namespace {

// Doubling in GF(2^128) as RFC 4493 derives its subkeys: shift the block left
// by one bit and, when a bit fell out, XOR the constant 0x87 into the last byte.
AesBlock doubleSubkey(const AesBlock& block) {
    AesBlock doubled{};
    for (std::size_t index = 0; index < 16; ++index) {
        const unsigned next = index + 1 < 16 ? block[index + 1] >> 7 : 0u;
        doubled[index] = static_cast<std::uint8_t>((block[index] << 1) | next);
    }
    if ((block[0] & 0x80) != 0)
        doubled[15] ^= 0x87;
    return doubled;
}

} // namespace

AesBlock aesCmac(const AesKey& key, std::span<const std::uint8_t> message) {
    AesContext context;
    aesKeySetup(AesMode::Standard, &key, &context);

    AesBlock subkey{};
    aesEncryptBlock(AesMode::Standard, subkey, subkey, context);
    const AesBlock firstSubkey = doubleSubkey(subkey);
    const AesBlock secondSubkey = doubleSubkey(firstSubkey);

    // Every block but the last is chained as it stands; the last one (which
    // may be empty) gets the first subkey when complete, else padding and the
    // second subkey.
    const std::size_t lastStart = message.empty() ? 0 : (message.size() - 1) / 16 * 16;
    AesBlock chain{};
    for (std::size_t start = 0; start < lastStart; start += 16) {
        for (std::size_t index = 0; index < 16; ++index)
            chain[index] ^= message[start + index];
        aesEncryptBlock(AesMode::Standard, chain, chain, context);
    }
    const std::size_t lastLength = message.size() - lastStart;
    const AesBlock& lastSubkey = lastLength == 16 ? firstSubkey : secondSubkey;
    for (std::size_t index = 0; index < 16; ++index) {
        std::uint8_t byte = 0;
        if (index < lastLength)
            byte = message[lastStart + index];
        else if (index == lastLength)
            byte = 0x80;
        chain[index] ^= static_cast<std::uint8_t>(byte ^ lastSubkey[index]);
    }
    aesEncryptBlock(AesMode::Standard, chain, chain, context);
    return chain;
}

} // namespace kestrix
