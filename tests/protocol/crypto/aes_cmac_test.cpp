#include "openssl_oracle.h"
#include "crypto/aes_cmac.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using test::toHex;

// The four examples of RFC 4493 (empty message, one block, a partial last
// block, four whole blocks), all prefixes of one message.
TEST(AesCmac, RfcExamples) {
    const AesKey key = test::arrayFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c");
    const std::vector<std::uint8_t> message = test::fromHex("6bc1bee22e409f96e93d7e117393172a"
                                                            "ae2d8a571e03ac9c9eb76fac45af8e51"
                                                            "30c81c46a35ce411e5fbc1191a0a52ef"
                                                            "f69f2445df4f9b17ad2b417be66c3710");
    struct Case {
        std::size_t length;
        const char* tag;
    } cases[] = {
        {0, "bb1d6929e95937287fa37d129b756746"},
        {16, "070a16b46b4d4144f79bdd9dd04a287c"},
        {40, "dfa66747de9ae63030ca32611497c827"},
        {64, "51f0bebf7e3b9d92fc49741779363cfe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toHex(aesCmac(key, std::span(message).first(c.length))), c.tag) << c.length;
}

// Lengths around the block boundaries decide between the two subkeys.
TEST(AesCmac, MatchesOpenSslOnRandomKeysAndLengths) {
    test::RandomBytes random(0xc3ac);
    for (int round = 0; round < 3000; ++round) {
        const AesKey key = random.array<16>();
        const std::size_t length = round < 100 ? static_cast<std::size_t>(round) : random.upTo(300);
        const std::vector<std::uint8_t> message = random.bytes(length);
        ASSERT_EQ(aesCmac(key, message), test::opensslCmac(key, message))
            << "key " << toHex(key) << " length " << length;
    }
}

} // namespace
} // namespace kestrix
