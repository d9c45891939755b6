#include "openssl_oracle.h"
#include "crypto/base64.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

std::string decodedText(std::string_view base64) {
    const Base64Result result = decodeBase64(base64);
    EXPECT_EQ(result.status, Base64Status::Decoded) << base64;
    return std::string(result.bytes.begin(), result.bytes.end());
}

TEST(Base64, RfcVectors) {
    EXPECT_EQ(decodedText(""), "");
    EXPECT_EQ(decodedText("Zg=="), "f");
    EXPECT_EQ(decodedText("Zm8="), "fo");
    EXPECT_EQ(decodedText("Zm9v"), "foo");
    EXPECT_EQ(decodedText("Zm9vYg=="), "foob");
    EXPECT_EQ(decodedText("Zm9vYmE="), "fooba");
    EXPECT_EQ(decodedText("Zm9vYmFy"), "foobar");
}

TEST(Base64, RefusesWhatNoEncoderWritesWithoutBytes) {
    struct Case {
        const char* text;
        Base64Status status;
    } cases[] = {
        {"Zm9", Base64Status::BadLength},       {"Zm9vY", Base64Status::BadLength},
        {"Zg", Base64Status::BadLength},        {"Zm9v\n", Base64Status::BadCharacter},
        {"Zm 9v", Base64Status::BadCharacter},  {"Zm9-", Base64Status::BadCharacter},
        {"Zm9_", Base64Status::BadCharacter},   {"Zm9\xC3\xA4", Base64Status::BadCharacter},
        {"Z===", Base64Status::BadPadding},     {"====", Base64Status::BadPadding},
        {"Zg==Zm9v", Base64Status::BadPadding}, {"Z=g=", Base64Status::BadPadding},
        {"Zh==", Base64Status::BadPadding}, // leftover bits of "f" not zero
        {"Zm9=", Base64Status::BadPadding},
    };
    for (const Case& c : cases) {
        const Base64Result result = decodeBase64(c.text);
        EXPECT_EQ(result.status, c.status) << c.text;
        EXPECT_TRUE(result.bytes.empty()) << c.text;
    }
}

// A 32-byte key is 44 characters with one "="; 31 and 33 bytes also take 44
// characters, so the caller checks the byte count.
TEST(Base64, ThirtyTwoByteKeyAndRandomRoundTripsThroughOpenSsl) {
    test::RandomBytes random(0xb64);
    for (int round = 0; round < 2000; ++round) {
        const std::vector<std::uint8_t> bytes =
            random.bytes(round < 3 ? 31 + static_cast<std::size_t>(round) : random.upTo(100));
        const std::string text = test::opensslBase64(bytes);
        const Base64Result result = decodeBase64(text);
        ASSERT_EQ(result.status, Base64Status::Decoded) << text;
        ASSERT_EQ(result.bytes, bytes) << text;
        if (bytes.size() >= 31 && bytes.size() <= 33) {
            EXPECT_EQ(text.size(), 44u);
        }
    }
}

} // namespace
} // namespace kestrix
