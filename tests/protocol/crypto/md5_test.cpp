#include "openssl_oracle.h"
#include "crypto/md5.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using test::toHex;

TEST(Md5, RfcTestSuite) {
    struct Case {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    Md5 reused;
    for (const Case& c : cases) {
        EXPECT_EQ(toHex(md5(c.text)), c.digest) << c.text;
        // finish() starts the object afresh for the next message.
        reused.update(c.text);
        EXPECT_EQ(toHex(reused.finish()), c.digest) << c.text;
    }
}

// Lengths 0 to 200 cover the padding cases (55, 56, 63, 64 bytes in the last
// block); random pieces cover updates that end inside and across blocks.
TEST(Md5, MatchesOpenSslOnRandomMessagesInPieces) {
    test::RandomBytes random(0x3d5);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = round <= 200 ? static_cast<std::size_t>(round) : random.upTo(5000);
        const std::vector<std::uint8_t> message = random.bytes(length);
        const Md5Digest expected = test::opensslMd5(message);
        ASSERT_EQ(md5(message), expected) << "length " << length;
        Md5 pieces;
        for (std::size_t done = 0; done < length;) {
            const std::size_t piece = std::min(length - done, random.upTo(150));
            pieces.update(std::span(message).subspan(done, piece));
            done += piece;
        }
        ASSERT_EQ(pieces.finish(), expected) << "length " << length << " in pieces";
    }
}

} // namespace
} // namespace kestrix
