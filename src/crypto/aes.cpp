#include "crypto/aes.h"

#include <cstddef>

namespace kestrix {
namespace {

// AES-128 with four 256-entry round tables. State columns are held as 32-bit
// words whose most significant byte is row 0, like the round key words.

constexpr std::array<std::uint8_t, 256> kSubstitution = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};

constexpr std::uint8_t multiplyByTwo(std::uint8_t value) {
    return static_cast<std::uint8_t>((value << 1) ^ ((value & 0x80) != 0 ? 0x1b : 0x00));
}

constexpr std::uint32_t rotateRight(std::uint32_t word, unsigned bits) {
    return (word >> bits) | (word << (32 - bits));
}

// One table per row of the input byte: SubBytes and MixColumns of one byte,
// already rotated into place.
struct RoundTables {
    std::array<std::uint32_t, 256> row0{}, row1{}, row2{}, row3{};
};

constexpr RoundTables makeRoundTables() {
    RoundTables tables;
    for (std::size_t index = 0; index < 256; ++index) {
        const std::uint8_t substituted = kSubstitution[index];
        const std::uint8_t doubled = multiplyByTwo(substituted);
        const std::uint8_t tripled = static_cast<std::uint8_t>(doubled ^ substituted);
        const std::uint32_t word = (std::uint32_t{doubled} << 24) | (std::uint32_t{substituted} << 16) |
                                   (std::uint32_t{substituted} << 8) | std::uint32_t{tripled};
        tables.row0[index] = word;
        tables.row1[index] = rotateRight(word, 8);
        tables.row2[index] = rotateRight(word, 16);
        tables.row3[index] = rotateRight(word, 24);
    }
    return tables;
}

constexpr RoundTables kRoundTables = makeRoundTables();

constexpr std::uint8_t byteOf(std::uint32_t word, unsigned shift) {
    return static_cast<std::uint8_t>(word >> shift);
}

std::uint32_t substituteWord(std::uint32_t word) {
    return (std::uint32_t{kSubstitution[byteOf(word, 24)]} << 24) |
           (std::uint32_t{kSubstitution[byteOf(word, 16)]} << 16) |
           (std::uint32_t{kSubstitution[byteOf(word, 8)]} << 8) |
           std::uint32_t{kSubstitution[byteOf(word, 0)]};
}

std::uint32_t loadBigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

std::uint32_t loadLittleEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[3]} << 24) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[1]} << 8) | std::uint32_t{bytes[0]};
}

void storeBigEndian(std::uint32_t word, std::uint8_t* bytes) {
    bytes[0] = byteOf(word, 24);
    bytes[1] = byteOf(word, 16);
    bytes[2] = byteOf(word, 8);
    bytes[3] = byteOf(word, 0);
}

void storeLittleEndian(std::uint32_t word, std::uint8_t* bytes) {
    bytes[0] = byteOf(word, 0);
    bytes[1] = byteOf(word, 8);
    bytes[2] = byteOf(word, 16);
    bytes[3] = byteOf(word, 24);
}

void expandKey(const AesKey& key, std::array<std::uint32_t, 44>& words) {
    for (std::size_t index = 0; index < 4; ++index)
        words[index] = loadBigEndian(key.data() + 4 * index);
    std::uint8_t roundConstant = 0x01;
    for (std::size_t index = 4; index < 44; ++index) {
        std::uint32_t word = words[index - 1];
        if (index % 4 == 0) {
            word = substituteWord(rotateRight(word, 24)) ^ (std::uint32_t{roundConstant} << 24);
            roundConstant = multiplyByTwo(roundConstant);
        }
        words[index] = words[index - 4] ^ word;
    }
}

} // namespace

int aesKeySetup(AesMode mode, const AesKey* key, AesContext* context) {
    if (key == nullptr || context == nullptr)
        return -1;
    expandKey(*key, context->roundKeyWords);
    context->position = 0;
    context->feedback = {};
    if (mode == AesMode::Legacy) {
        for (std::size_t column = 0; column < 4; ++column)
            storeLittleEndian(context->roundKeyWords[40 + column], context->feedback.data() + 4 * column);
    }
    return 0;
}

void aesEncryptBlock(AesMode mode, const AesBlock& input, AesBlock& output, AesContext& context) {
    std::array<std::uint32_t, 44>& keys = context.roundKeyWords;
    if (mode == AesMode::Legacy) {
        for (std::size_t column = 0; column < 4; ++column)
            keys[40 + column] = loadLittleEndian(context.feedback.data() + 4 * column);
    }
    std::uint32_t s0 = loadBigEndian(input.data()) ^ keys[0];
    std::uint32_t s1 = loadBigEndian(input.data() + 4) ^ keys[1];
    std::uint32_t s2 = loadBigEndian(input.data() + 8) ^ keys[2];
    std::uint32_t s3 = loadBigEndian(input.data() + 12) ^ keys[3];
    const RoundTables& t = kRoundTables;
    for (std::size_t round = 1; round < 10; ++round) {
        const std::uint32_t* roundKey = keys.data() + 4 * round;
        const std::uint32_t n0 = t.row0[byteOf(s0, 24)] ^ t.row1[byteOf(s1, 16)] ^ t.row2[byteOf(s2, 8)] ^
                                 t.row3[byteOf(s3, 0)] ^ roundKey[0];
        const std::uint32_t n1 = t.row0[byteOf(s1, 24)] ^ t.row1[byteOf(s2, 16)] ^ t.row2[byteOf(s3, 8)] ^
                                 t.row3[byteOf(s0, 0)] ^ roundKey[1];
        const std::uint32_t n2 = t.row0[byteOf(s2, 24)] ^ t.row1[byteOf(s3, 16)] ^ t.row2[byteOf(s0, 8)] ^
                                 t.row3[byteOf(s1, 0)] ^ roundKey[2];
        const std::uint32_t n3 = t.row0[byteOf(s3, 24)] ^ t.row1[byteOf(s0, 16)] ^ t.row2[byteOf(s1, 8)] ^
                                 t.row3[byteOf(s2, 0)] ^ roundKey[3];
        s0 = n0;
        s1 = n1;
        s2 = n2;
        s3 = n3;
    }
    // Final round: SubBytes and ShiftRows without MixColumns, then round key 10.
    const std::uint32_t columns[4] = {s0, s1, s2, s3};
    for (std::size_t column = 0; column < 4; ++column) {
        const std::uint32_t word =
            (std::uint32_t{kSubstitution[byteOf(columns[column], 24)]} << 24) |
            (std::uint32_t{kSubstitution[byteOf(columns[(column + 1) % 4], 16)]} << 16) |
            (std::uint32_t{kSubstitution[byteOf(columns[(column + 2) % 4], 8)]} << 8) |
            std::uint32_t{kSubstitution[byteOf(columns[(column + 3) % 4], 0)]};
        storeBigEndian(word ^ keys[40 + column], output.data() + 4 * column);
    }
}

} // namespace kestrix
