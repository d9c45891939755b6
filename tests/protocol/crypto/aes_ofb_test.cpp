#include "openssl_oracle.h"
#include "crypto/aes_ofb.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kestrix {
namespace {

using test::arrayFromHex;
using test::fromHex;
using test::toHex;

// Runs the stream over the message in pieces of random length, so that pieces
// begin and end anywhere within a block.
std::vector<std::uint8_t> streamInPieces(AesMode mode, const AesKey& key, std::vector<std::uint8_t> message,
                                         test::RandomBytes& random) {
    AesContext context;
    EXPECT_EQ(aesKeySetup(mode, &key, &context), 0);
    std::size_t done = 0;
    while (done < message.size()) {
        const std::size_t piece = std::min(message.size() - done, random.upTo(40));
        const std::uint8_t position = aesOfbStream(mode, std::span(message).subspan(done, piece), context);
        done += piece;
        EXPECT_EQ(position, done % 16);
    }
    return message;
}

TEST(AesOfb, StandardModeIsOfbWithZeroVectorAcrossCutsAndKeys) {
    test::RandomBytes random(0x0fb1);
    for (int round = 0; round < 3000; ++round) {
        const AesKey key = random.array<16>();
        const std::vector<std::uint8_t> message = random.bytes(random.upTo(200));
        ASSERT_EQ(streamInPieces(AesMode::Standard, key, message, random), test::opensslAesOfb(key, message))
            << "key " << toHex(key) << " length " << message.size();
    }
}

TEST(AesOfb, SeparateOutputEqualsInPlaceAndSizesMustAgree) {
    const AesKey key = arrayFromHex<16>("000102030405060708090a0b0c0d0e0f");
    const std::vector<std::uint8_t> message = fromHex("00112233445566778899aabbccddeeff0011223344");
    for (AesMode mode : {AesMode::Standard, AesMode::Legacy}) {
        AesContext separate, inPlace;
        aesKeySetup(mode, &key, &separate);
        aesKeySetup(mode, &key, &inPlace);
        std::vector<std::uint8_t> output(message.size());
        EXPECT_EQ(aesOfbStream(mode, message, output, separate), 5);
        std::vector<std::uint8_t> buffer = message;
        EXPECT_EQ(aesOfbStream(mode, buffer, inPlace), 5);
        EXPECT_EQ(output, buffer);

        std::vector<std::uint8_t> tooShort(message.size() - 1);
        EXPECT_THROW(aesOfbStream(mode, message, tooShort, separate), std::length_error);
        EXPECT_EQ(separate.position, 5);
        // Deciphering is the same operation on a fresh stream.
        aesKeySetup(mode, &key, &inPlace);
        aesOfbStream(mode, buffer, inPlace);
        EXPECT_EQ(buffer, message);
    }
}

// --- Legacy mode ---------------------------------------------------------
//
// No outside library knows the legacy mode, so it is checked against a model
// written from its description, not from the implementation:
//  * the stream starts with the register holding round key 10, each word
//    least significant byte first;
//  * each block operation first makes round key 10 the register's words read
//    least significant byte first, so the key bytes applied to the block are
//    the register's bytes reversed within each group of four;
//  * only the final AddRoundKey uses round key 10, so encrypting x with round
//    key 10 replaced by R gives standard AES(x) XOR K10 XOR R, taken here
//    from OpenSSL's plain AES.
// K10 comes from the test's own byte-wise key expansion below (S-box computed
// from the field inverse), checked against the FIPS-197 example.

std::uint8_t fieldMultiply(std::uint8_t left, std::uint8_t right) {
    unsigned product = 0, a = left;
    for (unsigned b = right; b != 0; b >>= 1, a = (a << 1) ^ ((a & 0x80) != 0 ? 0x11b : 0))
        if ((b & 1) != 0)
            product ^= a;
    return static_cast<std::uint8_t>(product);
}

std::uint8_t substitute(std::uint8_t value) {
    unsigned inverse = 0;
    for (unsigned candidate = 1; value != 0 && candidate < 256; ++candidate)
        if (fieldMultiply(value, static_cast<std::uint8_t>(candidate)) == 1)
            inverse = candidate;
    unsigned result = 0x63;
    for (unsigned bit = 0; bit < 8; ++bit) {
        unsigned parity = 0;
        for (unsigned offset : {0u, 4u, 5u, 6u, 7u})
            parity ^= inverse >> ((bit + offset) % 8);
        result ^= (parity & 1) << bit;
    }
    return static_cast<std::uint8_t>(result);
}

// Round key 10 as 16 bytes in block order.
AesBlock lastRoundKey(const AesKey& key) {
    std::array<std::array<std::uint8_t, 4>, 44> words{};
    for (std::size_t index = 0; index < 4; ++index)
        std::copy_n(key.begin() + 4 * index, 4, words[index].begin());
    std::uint8_t roundConstant = 1;
    for (std::size_t index = 4; index < 44; ++index) {
        std::array<std::uint8_t, 4> word = words[index - 1];
        if (index % 4 == 0) {
            word = {substitute(word[1]), substitute(word[2]), substitute(word[3]), substitute(word[0])};
            word[0] ^= roundConstant;
            roundConstant = fieldMultiply(roundConstant, 2);
        }
        for (std::size_t byte = 0; byte < 4; ++byte)
            words[index][byte] = words[index - 4][byte] ^ word[byte];
    }
    AesBlock bytes{};
    for (std::size_t index = 0; index < 16; ++index)
        bytes[index] = words[40 + index / 4][index % 4];
    return bytes;
}

AesBlock reversedWithinWords(const AesBlock& block) {
    AesBlock reversed{};
    for (std::size_t index = 0; index < 16; ++index)
        reversed[index] = block[index / 4 * 4 + 3 - index % 4];
    return reversed;
}

std::vector<std::uint8_t> legacyModel(const AesKey& key, std::span<const std::uint8_t> message) {
    const AesBlock standardLastKey = lastRoundKey(key);
    AesBlock registerBytes = reversedWithinWords(standardLastKey);
    std::vector<std::uint8_t> output;
    for (std::size_t index = 0; index < message.size(); ++index) {
        if (index % 16 == 0) {
            const AesBlock usedLastKey = reversedWithinWords(registerBytes);
            const AesBlock standard = test::opensslAesBlock(key, registerBytes);
            for (std::size_t byte = 0; byte < 16; ++byte)
                registerBytes[byte] = standard[byte] ^ standardLastKey[byte] ^ usedLastKey[byte];
        }
        output.push_back(message[index] ^ registerBytes[index % 16]);
    }
    return output;
}

TEST(AesOfbLegacy, ModelKeyExpansionMatchesTheStandard) {
    EXPECT_EQ(toHex(lastRoundKey(arrayFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c"))),
              "d014f9a8c9ee2589e13f0cc8b6630ca6");
}

// Key streams (64 zero bytes enciphered), worked out with a separate
// byte-wise transcription of FIPS-197 outside this program. The first 16
// bytes are plain AES of the starting register; the next blocks differ from
// plain AES of the previous block because their last round key is that block
// with each word's bytes reversed.
TEST(AesOfbLegacy, KnownKeyStreams) {
    struct Case {
        const char* key;
        const char* stream;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f",
         "3b1e5bec48a7c480bead9a7ad475c705c5970445c50daa883e1b79a235e5160f"
         "3d435ed913b15bc3ca0b341d7a75079a62da03aa6955aee3f3e250ded11ea4db"},
        // The key of the configuration block's secret fields.
        {"5e1c0a97d3b2f6480c7e19a2b4d6f803",
         "810b13486cb6b756f9d0dad9c512085cda291d7b75e2b34d51b9e3a3678460b8"
         "b83dd514aafc02d7823ae2a7d5b7d93936ed5d1d77b5b356d2ddd45a6855a3df"},
        {"00000000000000000000000000000000",
         "9cad830e77ce3ce8c59ef6ca9446826eb20d81b3cc3eaaa89e6c933d7d3ef324"
         "08257dbfe0d3aa025b4d9ba779a06c06f535b7ecc8642130595c0f74b1cc4d13"},
    };
    for (const Case& c : cases) {
        const AesKey key = arrayFromHex<16>(c.key);
        AesContext context;
        ASSERT_EQ(aesKeySetup(AesMode::Legacy, &key, &context), 0);
        std::vector<std::uint8_t> stream(64);
        EXPECT_EQ(aesOfbStream(AesMode::Legacy, stream, context), 0);
        EXPECT_EQ(toHex(stream), c.stream) << c.key;
        EXPECT_EQ(stream, legacyModel(key, std::vector<std::uint8_t>(64))) << c.key;

        AesBlock startRegister = reversedWithinWords(lastRoundKey(key));
        EXPECT_EQ(toHex(std::span(stream).first(16)), toHex(test::opensslAesBlock(key, startRegister)));
        // The last block operation left round key 10 as the register it
        // started from (the third key stream block), read least significant
        // byte first.
        for (std::size_t word = 0; word < 4; ++word) {
            const std::uint8_t* bytes = stream.data() + 32 + 4 * word;
            const std::uint32_t expected =
                bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
            EXPECT_EQ(context.roundKeyWords[40 + word], expected) << c.key << " word " << word;
        }
    }
}

TEST(AesOfbLegacy, MatchesTheModelOnRandomKeysAcrossCuts) {
    test::RandomBytes random(0x1e9ac);
    for (int round = 0; round < 500; ++round) {
        const AesKey key = random.array<16>();
        const std::vector<std::uint8_t> message = random.bytes(random.upTo(120));
        ASSERT_EQ(streamInPieces(AesMode::Legacy, key, message, random), legacyModel(key, message))
            << "key " << toHex(key) << " length " << message.size();
    }
}

} // namespace
} // namespace kestrix
