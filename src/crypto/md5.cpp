#include "crypto/md5.h"

#include <algorithm>
#include <cstddef>

namespace kestrix {
namespace {

// The additive constants (integer parts of 2^32 * |sin(i + 1)|) and the
// rotation of each of the 64 steps.
constexpr std::array<std::uint32_t, 64> kAdditive = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::array<unsigned, 16> kRotation = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

constexpr std::uint32_t rotateLeft(std::uint32_t word, unsigned bits) {
    return (word << bits) | (word >> (32 - bits));
}

} // namespace

void Md5::reset() {
    state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    buffer_ = {};
    length_ = 0;
}

void Md5::compress(const std::uint8_t* block) {
    std::uint32_t words[16];
    for (std::size_t index = 0; index < 16; ++index) {
        const std::uint8_t* bytes = block + 4 * index;
        words[index] = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                       (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (unsigned step = 0; step < 64; ++step) {
        std::uint32_t mixed;
        unsigned wordIndex;
        switch (step / 16) {
        case 0:
            mixed = (b & c) | (~b & d);
            wordIndex = step;
            break;
        case 1:
            mixed = (d & b) | (~d & c);
            wordIndex = (5 * step + 1) % 16;
            break;
        case 2:
            mixed = b ^ c ^ d;
            wordIndex = (3 * step + 5) % 16;
            break;
        default:
            mixed = c ^ (b | ~d);
            wordIndex = (7 * step) % 16;
            break;
        }
        const std::uint32_t rotated =
            rotateLeft(a + mixed + kAdditive[step] + words[wordIndex], kRotation[(step / 16) * 4 + step % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::update(std::span<const std::uint8_t> bytes) {
    std::size_t buffered = static_cast<std::size_t>(length_ % 64);
    length_ += bytes.size();
    std::size_t offset = 0;
    if (buffered != 0) {
        const std::size_t taken = std::min(bytes.size(), 64 - buffered);
        std::copy_n(bytes.data(), taken, buffer_.data() + buffered);
        offset = taken;
        if (buffered + taken < 64)
            return;
        compress(buffer_.data());
    }
    for (; bytes.size() - offset >= 64; offset += 64)
        compress(bytes.data() + offset);
    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end(), buffer_.begin());
}

void Md5::update(std::string_view text) {
    update(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Md5Digest Md5::finish() {
    const std::uint64_t bitLength = length_ * 8;
    const std::size_t buffered = static_cast<std::size_t>(length_ % 64);
    // 0x80, zeros up to 56 bytes modulo 64, then the bit length, least
    // significant byte first.
    std::array<std::uint8_t, 72> padding{};
    padding[0] = 0x80;
    const std::size_t zeros = buffered < 56 ? 56 - buffered : 120 - buffered;
    for (std::size_t index = 0; index < 8; ++index)
        padding[zeros + index] = static_cast<std::uint8_t>(bitLength >> (8 * index));
    update(std::span<const std::uint8_t>(padding.data(), zeros + 8));

    Md5Digest digest;
    for (std::size_t index = 0; index < 16; ++index)
        digest[index] = static_cast<std::uint8_t>(state_[index / 4] >> (8 * (index % 4)));
    reset();
    return digest;
}

Md5Digest md5(std::span<const std::uint8_t> bytes) {
    Md5 digest;
    digest.update(bytes);
    return digest.finish();
}

Md5Digest md5(std::string_view text) {
    Md5 digest;
    digest.update(text);
    return digest.finish();
}

} // namespace kestrix
