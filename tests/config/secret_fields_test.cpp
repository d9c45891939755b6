#include "block_files.h"
#include "config/secret_fields.h"
#include "protocol/crypto/openssl_oracle.h"

#include <gtest/gtest.h>

#include <string>

// The secret-field cipher against OpenSSL (standard mode) and the older
// mode's known key stream.

namespace kestrix {
namespace {

using test::patternBlock;
using test::versionName;

BlockOwner tclTerminal() {
    return BlockOwner{};
}

BlockOwner server() {
    BlockOwner owner;
    owner.isServer = true;
    return owner;
}

// The fields the stream runs over for an owner, in order.
std::vector<SecretField> streamFields(const SecretFieldLayout& layout, const BlockOwner& owner) {
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

// Whether a block offset lies in one of the fields.
bool inFields(std::size_t offset, const std::vector<SecretField>& fields) {
    for (const SecretField& field : fields)
        if (offset >= field.offset && offset < field.offset + field.width)
            return true;
    return false;
}

TEST(SecretFieldLayouts, FieldsLieBetweenVersionAndCrcAndNeverOverlap) {
    for (int index = 0; index < static_cast<int>(kConfigVersions.size()); ++index) {
        const SecretFieldLayout* layout = secretFieldLayout(index);
        EXPECT_EQ(layout == nullptr, index < 3) << index;
        if (layout == nullptr)
            continue;
        const std::size_t length = kConfigVersions[static_cast<std::size_t>(index)].length;
        const std::vector<SecretField> fields = streamFields(*layout, tclTerminal());
        std::vector<int> owners(kUserParamSize, 0);
        for (const SecretField& field : fields) {
            EXPECT_GE(field.offset, 4u) << index;
            EXPECT_LE(field.offset + field.width, length - 2) << index;
            for (std::size_t offset = field.offset; offset < field.offset + field.width; ++offset)
                EXPECT_EQ(++owners[offset], 1) << "version index " << index << " offset " << offset;
        }
    }
    EXPECT_EQ(secretFieldLayout(-1), nullptr);
    EXPECT_EQ(secretFieldLayout(15), nullptr);
}

class SecretFieldVersions : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(FromVersion550, SecretFieldVersions, ::testing::Range(3, 15), versionName);

class StandardModeVersions : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(FromVersion592, StandardModeVersions, ::testing::Range(5, 15), versionName);

// Standard mode is AES-128-OFB with a zero initial vector over the fields
// taken together: the position runs on from one field into the next.
TEST_P(StandardModeVersions, IsOfbOverTheConcatenatedFields) {
    const int index = GetParam();
    EXPECT_EQ(secretFieldMode(index), AesMode::Standard);
    for (const BlockOwner& owner : {tclTerminal(), server()}) {
        const UserParamBlock plain = patternBlock(index, 3);
        const std::vector<SecretField> fields = streamFields(*secretFieldLayout(index), owner);
        const std::vector<std::uint8_t> expected =
            test::opensslAesOfb(kSecretFieldKey, gather(plain, fields));
        UserParamBlock enciphered = plain;
        cryptSecretFields(enciphered, index, owner);
        EXPECT_EQ(gather(enciphered, fields), expected);
        for (std::size_t offset = 0; offset < kUserParamSize; ++offset) {
            if (!inFields(offset, fields)) {
                ASSERT_EQ(enciphered[offset], plain[offset]) << "offset " << offset;
            }
        }
    }
}

// Deciphering is enciphering once more, for every version and both owners,
// and nothing outside the owner's fields changes.
TEST_P(SecretFieldVersions, DecipherOfEncipherGivesTheBlockBack) {
    const int index = GetParam();
    for (const BlockOwner& owner : {tclTerminal(), server()}) {
        const UserParamBlock plain = patternBlock(index, 7);
        UserParamBlock block = plain;
        cryptSecretFields(block, index, owner);
        EXPECT_NE(block, plain);
        cryptSecretFields(block, index, owner);
        EXPECT_EQ(block, plain);
    }
}

// A server has no TCL application area: those bytes stay in clear.
TEST_P(SecretFieldVersions, ServersKeepTheTclAreaInClear) {
    const int index = GetParam();
    const SecretFieldLayout& layout = *secretFieldLayout(index);
    const UserParamBlock plain = patternBlock(index, 9);
    UserParamBlock asServer = plain;
    UserParamBlock asTerminal = plain;
    cryptSecretFields(asServer, index, server());
    cryptSecretFields(asTerminal, index, tclTerminal());
    const std::vector<SecretField> tclFields(
        layout.tclArea.begin(), layout.tclArea.begin() + static_cast<std::ptrdiff_t>(layout.tclAreaCount));
    EXPECT_EQ(gather(asServer, tclFields), gather(plain, tclFields));
    EXPECT_NE(gather(asTerminal, tclFields), gather(plain, tclFields));
    // The fields both have agree: the TCL area comes after them in the stream.
    const std::vector<SecretField> always(layout.always.begin(), layout.always.end());
    EXPECT_EQ(gather(asServer, always), gather(asTerminal, always));
}

// The older mode of "5.50" and "5.91": on a zeroed block the enciphered
// fields are the key stream itself, which the cipher tests know for the
// field key (its first 64 bytes).
TEST(SecretFieldsOlderMode, FiveFiftyAndFiveNinetyOneUseTheKnownKeyStream) {
    const std::string keyStream = "810b13486cb6b756f9d0dad9c512085cda291d7b75e2b34d51b9e3a3678460b8"
                                  "b83dd514aafc02d7823ae2a7d5b7d93936ed5d1d77b5b356d2ddd45a6855a3df";
    for (const char* version : {"5.50", "5.91"}) {
        const int index = test::versionIndex(version);
        EXPECT_EQ(secretFieldMode(index), AesMode::Legacy) << version;
        UserParamBlock block{};
        cryptSecretFields(block, index, tclTerminal());
        const std::vector<std::uint8_t> stream =
            gather(block, streamFields(*secretFieldLayout(index), tclTerminal()));
        ASSERT_GE(stream.size(), 64u);
        EXPECT_EQ(test::toHex(std::span(stream).first(64)), keyStream) << version;
    }
    // "5.92" has the same fields as "5.91" but the standard mode.
    UserParamBlock block{};
    cryptSecretFields(block, test::versionIndex("5.92"), tclTerminal());
    const std::vector<std::uint8_t> stream =
        gather(block, streamFields(*secretFieldLayout(test::versionIndex("5.92")), tclTerminal()));
    EXPECT_EQ(stream, test::opensslAesOfb(kSecretFieldKey, std::vector<std::uint8_t>(stream.size())));
    EXPECT_NE(test::toHex(std::span(stream).first(64)), keyStream);
}

TEST(SecretFieldsOlderMode, VersionsWithoutSecretFieldsAreLeftAlone) {
    for (const char* version : {"4.10", "5.00", "5.10"}) {
        const UserParamBlock plain = patternBlock(test::versionIndex(version));
        UserParamBlock block = plain;
        cryptSecretFields(block, test::versionIndex(version), tclTerminal());
        EXPECT_EQ(block, plain) << version;
    }
}

} // namespace
} // namespace kestrix
