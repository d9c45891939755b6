#include "block_files.h"
#include "config/secret_fields.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstring>

// Reading a block: validation as received (version, length, CRC and byte
// order, directly and through a file read), what the object then holds, and
// the values read from it.

namespace kestrix {
namespace {

using test::firstBytes;
using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;

class EveryVersion : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, EveryVersion, ::testing::Range(0, 15), test::versionName);

// With the byte-order flag clear the check reads the CRC little-endian at the
// version's length: more bytes pass, a wrong CRC or bytes too few to hold it
// fail. Each input is a vector of exactly its size, so reading past it would
// show under AddressSanitizer. Through a file, a big-endian block sets the
// flag and its CRC is not checked.
TEST_P(EveryVersion, TheCrcIsCheckedAtTheVersionsLength) {
    const int index = GetParam();
    const std::size_t length = test::versionLength(index);
    const bool big = test::bigEndianVersion(index);
    UserParamBlock block = patternBlock(index);
    if (big)
        std::swap(block[length - 2], block[length - 1]);
    UserParam param;
    TraceCapture trace;
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(block, length)));
    EXPECT_EQ(param.actualVersionIndex(), index);
    EXPECT_TRUE(trace.contains("checkUserParamVersion(): Ok, m_Cfg_Versions-Index: " + std::to_string(index) +
                               " == '" + std::string(kConfigVersions[static_cast<std::size_t>(index)].text) +
                               "'\n"));
    std::vector<std::uint8_t> longer = firstBytes(block, length);
    longer.insert(longer.end(), 9, 0xA5);
    EXPECT_TRUE(UserParam().checkUserParamVersion(longer));

    UserParamBlock wrongCrc = block;
    wrongCrc[length - 1] ^= 0x40;
    for (const std::vector<std::uint8_t>& bytes :
         {firstBytes(wrongCrc, length), firstBytes(block, length - 1), firstBytes(block, length - 2),
          firstBytes(block, length / 2)}) {
        UserParam fresh;
        trace.clear();
        EXPECT_FALSE(fresh.checkUserParamVersion(bytes)) << bytes.size();
        EXPECT_EQ(fresh.actualVersionIndex(), 0);
        EXPECT_TRUE(trace.contains("has CRC error\n")) << trace.text();
    }

    ScratchDirectory directory;
    std::vector<std::uint8_t> file = test::patternFile(index);
    file[length - 1] ^= 0x40;
    UserParam reader;
    EXPECT_EQ(test::readBlockFile(reader, directory, file), big);
    EXPECT_EQ(reader.byteOrder(), big ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian);
}

TEST(CheckUserParamVersion, UnknownVersionsFailAndLeaveTheIndex) {
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(test::bitwiseCrc16(digits), 0xBB3D); // the tests' own CRC is CRC-16/ARC
    UserParam param;
    const UserParamBlock good = patternBlock(test::versionIndex("6.10"));
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(good, 1122)));
    for (const char* version : {"6.22", "6,20", "6.2 ", "4.1\0", "    "}) {
        UserParamBlock block = good;
        std::copy_n(version, 4, block.begin());
        TraceCapture trace;
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(block, 1122))) << version;
        EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.10"));
        EXPECT_TRUE(
            trace.contains("checkUserParamVersion(): talmo.cfg has invalid or unknown driver_version '"));
    }
    for (std::size_t length = 0; length < 4; ++length) // the missing characters are zero bytes
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(good, length))) << length;
}

// A file read holds exactly the version's bytes: those beyond its length are
// dropped, and those a short big-endian file lacks (its CRC is not checked)
// are zero whatever was held before. A failed read keeps the block held and
// its index; the byte-order flag, once set by a big-endian block, stays set.
TEST(GetFileUserParam, HoldsTheVersionsBytesAndFailuresKeepTheBlock) {
    ScratchDirectory directory;
    UserParam param;
    EXPECT_EQ(param.getNewestVersion(), "6.20");
    std::vector<std::uint8_t> longer = test::patternFile(test::versionIndex("6.00"));
    longer.resize(1242, 0x77);
    ASSERT_TRUE(test::readBlockFile(param, directory, longer));
    EXPECT_TRUE(
        std::all_of(param.block().begin() + 1100, param.block().end(), [](auto byte) { return byte == 0; }));
    const UserParamBlock held = param.block();

    std::vector<std::uint8_t> bad = test::patternFile(test::versionIndex("6.20"));
    bad[100] ^= 1;
    TraceCapture trace;
    EXPECT_FALSE(test::readBlockFile(param, directory, bad));
    EXPECT_FALSE(param.getFileUserParam(directory.file("missing.cfg"), BlockOwner{}));
    EXPECT_FALSE(param.getFileUserParam(directory.path().string(), BlockOwner{}));
    EXPECT_TRUE(trace.contains("getFileUserParam(): " + directory.file("missing.cfg") + " does not exist\n"));
    EXPECT_TRUE(trace.contains("getFileUserParam(): I/O error on " + directory.path().string() + "\n"));
    EXPECT_EQ(param.block(), held);
    EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.00"));
    EXPECT_TRUE(param.receivedBytes().empty());

    const int index621 = test::versionIndex("6.21");
    const UserParamBlock shortBlock = patternBlock(index621, 2);
    ASSERT_TRUE(test::readBlockFile(param, directory, firstBytes(shortBlock, 700)));
    EXPECT_TRUE(trace.contains("has wrong length (700 must be 1242)"));
    EXPECT_EQ(param.receivedBytes().size(), 700u);
    UserParamBlock expected{};
    std::copy_n(shortBlock.begin(), 700, expected.begin());
    cryptSecretFields(expected, index621, BlockOwner{}); // the fields come deciphered
    EXPECT_EQ(param.block(), expected);
    EXPECT_EQ(param.getNewestVersion(), "6.21");
    ASSERT_TRUE(test::readBlockFile(param, directory, test::patternFile(test::versionIndex("6.10"))));
    EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
}

// Passwords end at their width or first zero byte; the data key is copied up
// to the block's end and not beyond. Blocks older than "5.50" have neither.
TEST(UserParamValues, PasswordsAndDataKeyComeDeciphered) {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = patternBlock(index);
    std::memcpy(block.data() + 794, "abc123", 6);
    std::memcpy(block.data() + 800, "12345678", 8);
    std::memcpy(block.data() + 808, "xy\0zzzzz", 8);
    block[816] = 'Q'; // the byte after password 3 is not part of it
    for (std::size_t offset = 0; offset < 16; ++offset)
        block[1072 + offset] = static_cast<std::uint8_t>(0xA0 + offset);
    cryptSecretFields(block, index, BlockOwner{}); // as the terminal keeps it
    test::storeCrc(block, index);
    ScratchDirectory directory;
    UserParam param;
    ASSERT_TRUE(test::readBlockFile(param, directory, firstBytes(block, 1242)));
    const std::pair<int, const char*> passwords[] = {{1, "abc123"}, {2, "12345678"}, {3, "xy"},
                                                     {0, ""},       {4, ""},         {-1, ""}};
    for (const auto& [kind, expected] : passwords)
        EXPECT_EQ(param.getPassword(kind), expected) << kind;

    std::array<std::uint8_t, 16> key{};
    TraceCapture trace;
    ASSERT_TRUE(param.getDataKey(key));
    EXPECT_EQ(trace.text(), "data_key:\na0a1a2a3a4a5a6a7a8a9aaabacadaeaf\n");
    EXPECT_EQ(key[15], 0xAF);
    std::vector<std::uint8_t> rest(kUserParamSize - 1072);
    EXPECT_TRUE(param.getDataKey(rest));
    rest.push_back(0);
    EXPECT_FALSE(param.getDataKey(rest));

    UserParam older;
    ASSERT_TRUE(test::readBlockFile(older, directory, test::patternFile(test::versionIndex("5.10"))));
    EXPECT_EQ(older.getPassword(1), "");
    EXPECT_FALSE(older.getDataKey(key));
}

} // namespace
} // namespace kestrix
