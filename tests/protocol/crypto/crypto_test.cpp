// The ciphers and digests against known answers (crypto_vectors.tsv), each
// stream and digest also fed in pieces that begin and end anywhere in a block.
#include "crypto/aes_cmac.h"
#include "crypto/aes_ofb.h"
#include "crypto/base64.h"
#include "crypto/crc16_arc.h"
#include "crypto/md5.h"
#include "support/data_file.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kestrix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::toHex;

Bytes bytesOf(const std::string& hex) {
    return hex == "-" ? Bytes{} : test::fromHex(hex);
}

AesKey keyOf(const std::string& hex) {
    AesKey key{};
    const Bytes bytes = bytesOf(hex);
    std::copy_n(bytes.begin(), std::min(bytes.size(), key.size()), key.begin());
    return key;
}

// Piece lengths 1, 15, 17, 3, 40, 1, 15, ...: cuts fall everywhere in a block.
template <typename Feed> void inPieces(std::size_t length, Feed feed) {
    constexpr std::size_t kPieces[] = {1, 15, 17, 3, 40};
    for (std::size_t done = 0, index = 0; done < length; ++index) {
        const std::size_t piece = std::min(length - done, kPieces[index % std::size(kPieces)]);
        feed(done, piece);
        done += piece;
    }
}

std::string streamed(AesMode mode, const AesKey& key, Bytes message) {
    AesContext context;
    EXPECT_EQ(aesKeySetup(mode, &key, &context), 0);
    inPieces(message.size(), [&](std::size_t start, std::size_t length) {
        EXPECT_EQ(aesOfbStream(mode, std::span(message).subspan(start, length), context),
                  (start + length) % 16);
    });
    return toHex(message);
}

// The decoded bytes, or the name of the refusal (which leaves no bytes).
std::string base64Outcome(const std::string& text) {
    const Base64Result result = decodeBase64(text == "-" ? "" : text);
    constexpr const char* kRefusals[] = {"", "BadLength", "BadCharacter", "BadPadding"};
    if (result.status != Base64Status::Decoded)
        return kRefusals[static_cast<int>(result.status)] +
               std::string(result.bytes.empty() ? "" : " with bytes");
    return result.bytes.empty() ? "-" : toHex(result.bytes);
}

TEST(Crypto, KnownAnswers) {
    const auto rows = test::readDataFile(KESTRIX_TEST_DATA "/crypto_vectors.tsv");
    ASSERT_GE(rows.size(), 60u);
    for (const test::DataRow& row : rows) {
        const std::string& kind = row.fields.at(0);
        const AesKey key = keyOf(row.fields.at(1));
        const Bytes input = kind == "base64" ? Bytes{} : bytesOf(row.fields.at(2));
        const std::string& expected = row.fields.at(3);
        SCOPED_TRACE(kind + ", line " + std::to_string(row.line));
        if (kind == "aes") {
            AesContext context;
            ASSERT_EQ(aesKeySetup(AesMode::Standard, &key, &context), 0);
            AesBlock block{};
            std::copy_n(input.begin(), 16, block.begin());
            aesEncryptBlock(AesMode::Standard, block, block, context); // in place
            EXPECT_EQ(toHex(block), expected);
        } else if (kind == "cmac") {
            EXPECT_EQ(toHex(aesCmac(key, input)), expected);
        } else if (kind == "ofb" || kind == "ofb-legacy") {
            EXPECT_EQ(streamed(kind == "ofb" ? AesMode::Standard : AesMode::Legacy, key, input), expected);
        } else if (kind == "md5") {
            EXPECT_EQ(toHex(md5(input)), expected);
            Md5 pieces;
            inPieces(input.size(), [&](std::size_t start, std::size_t length) {
                pieces.update(std::span(input).subspan(start, length));
            });
            EXPECT_EQ(toHex(pieces.finish()), expected);
            pieces.update(std::span(input)); // finish() started the object afresh
            EXPECT_EQ(toHex(pieces.finish()), expected);
        } else if (kind == "crc16") {
            EXPECT_EQ(crc16Arc(input), std::stoul(expected, nullptr, 16));
        } else if (kind == "base64") {
            EXPECT_EQ(base64Outcome(row.fields.at(2)), expected);
        } else {
            ADD_FAILURE() << "unknown kind";
        }
    }
}

TEST(Crypto, KeySetupRefusesWhatIsMissingAndTheStreamChecksItsSizes) {
    const AesKey key{};
    AesContext context;
    context.position = 7;
    EXPECT_EQ(aesKeySetup(AesMode::Standard, nullptr, &context), -1);
    EXPECT_EQ(aesKeySetup(AesMode::Legacy, &key, nullptr), -1);
    EXPECT_EQ(context.position, 7);
    // The in-place stream the known answers use is this one with output = input.
    ASSERT_EQ(aesKeySetup(AesMode::Standard, &key, &context), 0);
    const Bytes message(21, 0x5a);
    Bytes tooShort(message.size() - 1);
    EXPECT_THROW(aesOfbStream(AesMode::Standard, message, tooShort, context), std::length_error);
    EXPECT_EQ(context.position, 0);
}

} // namespace
} // namespace kestrix
