#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrix {

using Md5Digest = std::array<std::uint8_t, 16>;

// MD5 (RFC 1321) over a message given in pieces: update() any number of times,
// then finish() for the digest. finish() also starts the object afresh, so it
// can digest the next message. It is a digest for keys and file checks, not a
// protection against deliberate collisions.
class Md5 {
public:
    Md5() { reset(); }

    void update(std::span<const std::uint8_t> bytes);
    void update(std::string_view text);
    Md5Digest finish();

private:
    void reset();
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_{};
    std::array<std::uint8_t, 64> buffer_{};
    std::uint64_t length_ = 0; // bytes so far; the bit count is taken modulo 2^64
};

// The MD5 digest of one whole message.
Md5Digest md5(std::span<const std::uint8_t> bytes);
Md5Digest md5(std::string_view text);

} // namespace kestrix
