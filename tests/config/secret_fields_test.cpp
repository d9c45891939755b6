#include "block_files.h"
#include "config/secret_fields.h"
#include "protocol/crypto/openssl_oracle.h"

#include <gtest/gtest.h>

#include <string>

// The secret-field cipher against OpenSSL (standard mode) and the older
// mode's known key stream.

namespace kestrix {
namespace {

BlockOwner blockOwner(bool isServer) {
    BlockOwner result;
    result.isServer = isServer;
    return result;
}

// The fields the stream runs over for an owner, in order.
std::vector<SecretField> streamFields(int index, const BlockOwner& owner) {
    const SecretFieldLayout& layout = *secretFieldLayout(index);
    std::vector<SecretField> fields(layout.always.begin(), layout.always.end());
    if (owner.hasTclApplicationArea())
        fields.insert(fields.end(), layout.tclArea.begin(),
                      layout.tclArea.begin() + static_cast<std::ptrdiff_t>(layout.tclAreaCount));
    return fields;
}

std::vector<std::uint8_t> gather(const UserParamBlock& block, const std::vector<SecretField>& fields) {
    std::vector<std::uint8_t> bytes;
    for (const SecretField& field : fields)
        bytes.insert(bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(field.offset),
                     block.begin() + static_cast<std::ptrdiff_t>(field.offset + field.width));
    return bytes;
}

// The block with the fields' bytes zeroed: what the cipher must leave alone.
UserParamBlock outside(UserParamBlock block, const std::vector<SecretField>& fields) {
    for (const SecretField& field : fields)
        std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(field.offset), field.width, 0);
    return block;
}

bool olderMode(int index) {
    return index == test::versionIndex("5.50") || index == test::versionIndex("5.91");
}

class SecretFieldVersions : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, SecretFieldVersions, ::testing::Range(0, 15), test::versionName);

// From "5.50" on the fields lie between version and CRC without overlapping;
// the stream runs over the owner's fields taken together (a server's TCL area
// stays in clear), from "5.92" on as AES-128-OFB with a zero initial vector.
// Deciphering is enciphering once more; nothing outside the fields changes.
TEST_P(SecretFieldVersions, OneStreamOverTheOwnersFields) {
    const int index = GetParam();
    const UserParamBlock plain = test::patternBlock(index, 3);
    if (index < test::versionIndex("5.50")) {
        EXPECT_EQ(secretFieldLayout(index), nullptr);
        EXPECT_EQ(secretFieldLayout(index + 15), nullptr); // outside the table
        UserParamBlock block = plain;
        cryptSecretFields(block, index, blockOwner(false));
        EXPECT_EQ(block, plain);
        return;
    }
    std::vector<int> uses(kUserParamSize, 0);
    for (const SecretField& field : streamFields(index, blockOwner(false))) {
        EXPECT_GE(field.offset, 4u);
        EXPECT_LE(field.offset + field.width, test::versionLength(index) - 2);
        for (std::size_t offset = field.offset; offset < field.offset + field.width; ++offset)
            EXPECT_EQ(++uses[offset], 1) << "offset " << offset;
    }
    for (bool isServer : {false, true}) {
        const std::vector<SecretField> fields = streamFields(index, blockOwner(isServer));
        UserParamBlock block = plain;
        cryptSecretFields(block, index, blockOwner(isServer));
        if (!olderMode(index)) {
            EXPECT_EQ(gather(block, fields), test::opensslAesOfb(kSecretFieldKey, gather(plain, fields)));
        }
        EXPECT_EQ(outside(block, fields), outside(plain, fields)) << "server " << isServer;
        cryptSecretFields(block, index, blockOwner(isServer));
        EXPECT_EQ(block, plain) << "server " << isServer;
    }
}

// The older mode of "5.50" and "5.91": on a zeroed block the enciphered
// fields are the key stream itself, which the cipher tests know for the
// field key (its first 64 bytes, all in the fields every owner has).
TEST(SecretFieldsOlderMode, FiveFiftyAndFiveNinetyOneUseTheKnownKeyStream) {
    const std::string keyStream = "810b13486cb6b756f9d0dad9c512085cda291d7b75e2b34d51b9e3a3678460b8"
                                  "b83dd514aafc02d7823ae2a7d5b7d93936ed5d1d77b5b356d2ddd45a6855a3df";
    for (const char* version : {"5.50", "5.91"}) {
        for (bool isServer : {false, true}) {
            UserParamBlock block{};
            cryptSecretFields(block, test::versionIndex(version), blockOwner(isServer));
            const std::vector<std::uint8_t> stream =
                gather(block, streamFields(test::versionIndex(version), blockOwner(isServer)));
            EXPECT_EQ(test::toHex(std::span(stream).first(64)), keyStream) << version;
        }
    }
}

} // namespace
} // namespace kestrix
