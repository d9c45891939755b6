#include "openssl_oracle.h"
#include "crypto/aes.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using test::arrayFromHex;
using test::toHex;

// The key expansion example of FIPS-197 (Appendix A.1), all 44 words.
TEST(Aes, KeyExpansionGivesTheStandardWords) {
    const char* expected[44] = {
        "2b7e1516", "28aed2a6", "abf71588", "09cf4f3c", "a0fafe17", "88542cb1", "23a33939", "2a6c7605",
        "f2c295f2", "7a96b943", "5935807a", "7359f67f", "3d80477d", "4716fe3e", "1e237e44", "6d7a883b",
        "ef44a541", "a8525b7f", "b671253b", "db0bad00", "d4d1c6f8", "7c839d87", "caf2b8bc", "11f915bc",
        "6d88a37a", "110b3efd", "dbf98641", "ca0093fd", "4e54f70e", "5f5fc9f3", "84a64fb2", "4ea6dc4f",
        "ead27321", "b58dbad2", "312bf560", "7f8d292f", "ac7766f3", "19fadc21", "28d12941", "575c006e",
        "d014f9a8", "c9ee2589", "e13f0cc8", "b6630ca6"};
    const AesKey key = arrayFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c");
    AesContext context;
    ASSERT_EQ(aesKeySetup(AesMode::Standard, &key, &context), 0);
    for (std::size_t index = 0; index < 44; ++index)
        EXPECT_EQ(context.roundKeyWords[index], std::stoul(expected[index], nullptr, 16)) << "word " << index;
}

// FIPS-197 Appendix C.1 and Appendix B, in place and into a second block.
TEST(Aes, EncryptsTheStandardExamples) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
         "3925841d02dc09fbdc118597196a0b32"},
    };
    for (const Case& c : cases) {
        const AesKey key = arrayFromHex<16>(c.key);
        AesContext context;
        ASSERT_EQ(aesKeySetup(AesMode::Standard, &key, &context), 0);
        const AesBlock plain = arrayFromHex<16>(c.plain);
        AesBlock cipher{};
        aesEncryptBlock(AesMode::Standard, plain, cipher, context);
        EXPECT_EQ(toHex(cipher), c.cipher);
        AesBlock inPlace = plain;
        aesEncryptBlock(AesMode::Standard, inPlace, inPlace, context);
        EXPECT_EQ(toHex(inPlace), c.cipher);
    }
}

TEST(Aes, KeySetupRefusesAMissingKeyOrContextAndLeavesTheContext) {
    const AesKey key{};
    AesContext context;
    context.position = 7;
    context.feedback[0] = 0x5a;
    EXPECT_EQ(aesKeySetup(AesMode::Standard, nullptr, &context), -1);
    EXPECT_EQ(aesKeySetup(AesMode::Legacy, &key, nullptr), -1);
    EXPECT_EQ(context.position, 7);
    EXPECT_EQ(context.feedback[0], 0x5a);
}

TEST(Aes, MatchesOpenSslOnRandomKeysAndBlocks) {
    test::RandomBytes random(0x4145531);
    for (int round = 0; round < 4000; ++round) {
        const AesKey key = random.array<16>();
        const AesBlock plain = random.array<16>();
        AesContext context;
        ASSERT_EQ(aesKeySetup(AesMode::Standard, &key, &context), 0);
        AesBlock cipher{};
        aesEncryptBlock(AesMode::Standard, plain, cipher, context);
        ASSERT_EQ(cipher, test::opensslAesBlock(key, plain))
            << "key " << toHex(key) << " block " << toHex(plain);
    }
}

} // namespace
} // namespace kestrix
