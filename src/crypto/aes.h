#pragma once

#include <array>
#include <cstdint>

namespace kestrix {

using AesKey = std::array<std::uint8_t, 16>;
using AesBlock = std::array<std::uint8_t, 16>;

// How the key setup and the block operation treat the last round key. The
// numeric values are the mode bytes the terminals use.
enum class AesMode : std::uint8_t {
    // The older variant: the key setup loads the feedback register with round
    // key 10 (each of its words least significant byte first), and every block
    // operation first replaces round key 10 by the register's four words (read
    // least significant byte first) and ends with that key. The first block of
    // a stream is therefore plain AES; later blocks are not.
    Legacy = 0,
    // FIPS-197 AES-128; the key setup clears the register.
    Standard = 1,
};

// The state of one AES-128 key and one output-feedback stream: the 44 words of
// the key expansion (a word's most significant byte belongs to the first byte
// of its column), the 16-byte feedback register and the position (0-15) of the
// next register byte the stream uses. A context lives as long as its stream;
// two streams never share one. In the legacy mode the block operation rewrites
// round key 10 (words 40 to 43), and that change stays.
struct AesContext {
    std::array<std::uint32_t, 44> roundKeyWords{};
    AesBlock feedback{};
    std::uint8_t position = 0;
};

// Expands the key into the context and starts a fresh stream: position 0 and
// the register cleared (standard mode) or loaded with round key 10 (legacy
// mode). Returns 0, or -1 when the key or the context is missing (nullptr); the
// context is then left as it was.
int aesKeySetup(AesMode mode, const AesKey* key, AesContext* context);

// Encrypts one block with the context's key. Input and output may be the same
// block. In the legacy mode round key 10 is first replaced by the register
// (see AesMode), so the context changes; in the standard mode it does not.
// There is no decryption: nothing needs it.
void aesEncryptBlock(AesMode mode, const AesBlock& input, AesBlock& output, AesContext& context);

} // namespace kestrix
