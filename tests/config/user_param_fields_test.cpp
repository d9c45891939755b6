#include "block_files.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

// The editor's copy in this machine's byte order, and the values read from
// the block: passwords and data key.

namespace kestrix {
namespace {

using test::firstBytes;
using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;

struct Field {
    std::size_t offset;
    std::size_t width;
};

// The fields a big-endian terminal stores most significant byte first,
// written out one by one from the "6.20" layout.
std::vector<Field> swappedFields() {
    std::vector<Field> fields{{60, 2}, {146, 2}};
    for (std::size_t rule = 0; rule < 5; ++rule) {
        fields.push_back({152 + 12 * rule + 8, 2});
        fields.push_back({212 + 20 * rule + 18, 2});
    }
    for (std::size_t channel = 0; channel < 6; ++channel) {
        const std::size_t record = 312 + 80 * channel;
        fields.insert(
            fields.end(),
            {{record + 4, 2}, {record + 6, 2}, {record + 8, 2}, {record + 10, 2}, {record + 24, 4}});
    }
    fields.insert(fields.end(), {{826, 2}, {978, 2}, {980, 2}, {1036, 2}, {1038, 2}, {1236, 4}});
    return fields;
}

TEST(SwapUserParam, ReversesExactlyTheListedFields) {
    const UserParamBlock original = patternBlock(test::versionIndex("6.21"));
    UserParamBlock expected = original;
    std::size_t fieldBytes = 0;
    for (const Field& field : swappedFields()) {
        std::reverse(expected.begin() + static_cast<std::ptrdiff_t>(field.offset),
                     expected.begin() + static_cast<std::ptrdiff_t>(field.offset + field.width));
        fieldBytes += field.width;
    }
    UserParamBlock swapped = original;
    TraceCapture trace;
    UserParam::swapUserParam(swapped);
    EXPECT_EQ(trace.text(), "swapUserParam()\n");
    for (std::size_t offset = 0; offset < kUserParamSize; ++offset)
        EXPECT_EQ(swapped[offset], expected[offset]) << "offset " << offset;
    // The pattern differs between neighbours, so every byte of every field moved.
    std::size_t changed = 0;
    for (std::size_t offset = 0; offset < kUserParamSize; ++offset)
        changed += swapped[offset] != original[offset] ? 1 : 0;
    EXPECT_EQ(changed, fieldBytes);
    UserParam::swapUserParam(swapped);
    EXPECT_EQ(swapped, original);
}

// Reads the block of the version from a file, its secret fields enciphered
// as the terminal keeps them; answers the block as the object should hold it.
UserParamBlock readPlainBlock(UserParam& param, const ScratchDirectory& directory, std::string_view version,
                              UserParamBlock plain) {
    const int index = test::versionIndex(version);
    const std::size_t length = kConfigVersions[static_cast<std::size_t>(index)].length;
    UserParamBlock enciphered = plain;
    cryptSecretFields(enciphered, index, BlockOwner{});
    test::storeCrc(enciphered, index);
    test::writeBytes(directory.file("in.cfg"), firstBytes(enciphered, length));
    EXPECT_TRUE(param.getFileUserParam(directory.file("in.cfg"), BlockOwner{}));
    // The block held keeps the CRC it was read with.
    std::copy_n(enciphered.begin() + static_cast<std::ptrdiff_t>(length - 2), 2,
                plain.begin() + static_cast<std::ptrdiff_t>(length - 2));
    return plain;
}

TEST(CopyUserParam, OutAndInAreInThisMachinesByteOrder) {
    ScratchDirectory directory;
    for (const char* version : {"6.20", "6.21"}) {
        UserParam param;
        const UserParamBlock plain =
            readPlainBlock(param, directory, version, patternBlock(test::versionIndex(version)));
        UserParamBlock native{};
        param.copyUserParamOut(native);
        UserParamBlock expected = plain;
        if (std::string_view(version) == "6.21")
            UserParam::swapUserParam(expected);
        EXPECT_EQ(native, expected) << version;

        // The editor changes the maintenance group (native order) and copies it back.
        native[60] = 0x67;
        native[61] = 0x12;
        UserParamBlock buffer = native;
        param.copyUserParamIn(buffer);
        const bool big = std::string_view(version) == "6.21";
        EXPECT_EQ(param.block()[60], big ? 0x12 : 0x67) << version;
        EXPECT_EQ(param.block()[61], big ? 0x67 : 0x12) << version;
        // Under the flag the caller's buffer is swapped in place.
        EXPECT_EQ(buffer == native, !big) << version;
        EXPECT_EQ(buffer, param.block());
    }
}

TEST(UserParamValues, PasswordsAreCutToTheirWidthAndFirstZero) {
    ScratchDirectory directory;
    UserParamBlock plain = patternBlock(test::versionIndex("6.20"));
    std::memcpy(plain.data() + 794, "abc123", 6);
    std::memcpy(plain.data() + 800, "12345678", 8);
    std::memcpy(plain.data() + 808, "xy\0zzzzz", 8);
    plain[816] = 'Q'; // the byte after password 3 is not part of it
    UserParam param;
    readPlainBlock(param, directory, "6.20", plain);
    struct Case {
        int kind;
        const char* expected;
    } cases[] = {{1, "abc123"}, {2, "12345678"}, {3, "xy"}, {0, ""}, {4, ""}, {-1, ""}};
    for (const Case& c : cases)
        EXPECT_EQ(param.getPassword(c.kind), c.expected) << c.kind;

    // Blocks older than "5.50" have no passwords.
    UserParam older;
    readPlainBlock(older, directory, "5.10", patternBlock(test::versionIndex("5.10")));
    EXPECT_EQ(older.getPassword(1), "");
    EXPECT_EQ(UserParam().getPassword(1), "");
}

TEST(UserParamValues, DataKeyIsCopiedAndTraced) {
    ScratchDirectory directory;
    UserParamBlock plain = patternBlock(test::versionIndex("6.10"));
    for (std::size_t index = 0; index < 16; ++index)
        plain[1072 + index] = static_cast<std::uint8_t>(0xA0 + index);
    UserParam param;
    readPlainBlock(param, directory, "6.10", plain);
    std::array<std::uint8_t, 16> key{};
    TraceCapture trace;
    ASSERT_TRUE(param.getDataKey(key));
    EXPECT_EQ(trace.text(), "data_key:\na0a1a2a3a4a5a6a7a8a9aaabacadaeaf\n");
    EXPECT_EQ(key[0], 0xA0);
    EXPECT_EQ(key[15], 0xAF);

    // Up to the block's end and not beyond; nothing below "5.50".
    std::vector<std::uint8_t> rest(kUserParamSize - 1072);
    EXPECT_TRUE(param.getDataKey(rest));
    std::vector<std::uint8_t> tooLong(kUserParamSize - 1072 + 1);
    EXPECT_FALSE(param.getDataKey(tooLong));
    UserParam older;
    readPlainBlock(older, directory, "5.00", patternBlock(test::versionIndex("5.00")));
    EXPECT_FALSE(older.getDataKey(key));
}

} // namespace
} // namespace kestrix
