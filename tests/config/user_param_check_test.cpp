#include "block_files.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <string>

// Validation of a block as received: version, length, CRC and byte order,
// directly and through a file read.

namespace kestrix {
namespace {

using test::firstBytes;
using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;
using test::versionName;

std::size_t lengthOf(int index) {
    return kConfigVersions[static_cast<std::size_t>(index)].length;
}

bool bigEndian(int index) {
    return isBigEndianVersion(kConfigVersions[static_cast<std::size_t>(index)].text);
}

TEST(BlockCrc, IsCrc16ArcOverAllButTheLastTwoBytes) {
    const std::string digits = "123456789";
    EXPECT_EQ(test::bitwiseCrc16({reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()}),
              0xBB3D);
    // A "4.10" block whose CRC the test worked out bit by bit passes.
    UserParamBlock block = patternBlock(0);
    UserParam param;
    EXPECT_TRUE(param.checkUserParamVersion(firstBytes(block, 450)));
    block[448] ^= 1;
    EXPECT_FALSE(param.checkUserParamVersion(firstBytes(block, 450)));
}

class EveryVersion : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, EveryVersion, ::testing::Range(0, 15), versionName);

// The check on its own, with the byte-order flag clear: the CRC is read
// little-endian for every version, at the version's length also when more
// bytes were received.
TEST_P(EveryVersion, RightCrcAtTheTableLengthPassesWhateverTheLength) {
    const int index = GetParam();
    UserParamBlock block = patternBlock(index);
    if (bigEndian(index))
        std::swap(block[lengthOf(index) - 2], block[lengthOf(index) - 1]);
    const std::string version(kConfigVersions[static_cast<std::size_t>(index)].text);
    UserParam param;
    TraceCapture trace;
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(block, lengthOf(index))));
    EXPECT_EQ(param.actualVersionIndex(), index);
    EXPECT_EQ(trace.text(),
              "checkUserParamVersion(): talmo.cfg: driver_version '" + version +
                  "', file_len: " + std::to_string(lengthOf(index)) +
                  ", CRC: " + std::to_string(block[lengthOf(index) - 2] | block[lengthOf(index) - 1] << 8) +
                  "\ncheckUserParamVersion(): Ok, m_Cfg_Versions-Index: " + std::to_string(index) + " == '" +
                  version + "'\n");

    std::vector<std::uint8_t> longer = firstBytes(block, lengthOf(index));
    longer.insert(longer.end(), 9, 0xA5);
    UserParam other;
    trace.clear();
    EXPECT_TRUE(other.checkUserParamVersion(longer));
    EXPECT_EQ(other.actualVersionIndex(), index);
    EXPECT_TRUE(trace.contains("checkUserParamVersion(): talmo.cfg (driver_version '" + version +
                               "') has wrong length (" + std::to_string(lengthOf(index) + 9) + " must be " +
                               std::to_string(lengthOf(index)) + ")\n"))
        << trace.text();
}

// A little-endian block shorter than its table length never passes: its CRC
// lies beyond the bytes received. The short input is a vector of exactly that
// size, so reading past it would show under AddressSanitizer.
TEST_P(EveryVersion, ShortLittleEndianBlockFailsWithoutReadingPastTheBytes) {
    const int index = GetParam();
    const UserParamBlock block = patternBlock(index);
    for (std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{3}, lengthOf(index) / 2}) {
        UserParam param;
        TraceCapture trace;
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(block, lengthOf(index) - cut))) << cut;
        EXPECT_EQ(param.actualVersionIndex(), 0);
        EXPECT_TRUE(trace.contains("has CRC error\n")) << trace.text();
    }
}

TEST_P(EveryVersion, ThroughAFileTheCrcIsCheckedOnlyForLittleEndianBlocks) {
    const int index = GetParam();
    ScratchDirectory directory;
    UserParamBlock block = patternBlock(index);
    block[lengthOf(index) - 1] ^= 0x40; // a wrong CRC
    test::writeBytes(directory.file("talmo.cfg"), firstBytes(block, lengthOf(index)));
    UserParam param;
    TraceCapture trace;
    const bool accepted = param.getFileUserParam(directory.file("talmo.cfg"), BlockOwner{});
    EXPECT_EQ(accepted, bigEndian(index));
    EXPECT_EQ(param.byteOrder(), bigEndian(index) ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian);
    const std::string version(kConfigVersions[static_cast<std::size_t>(index)].text);
    EXPECT_TRUE(trace.contains("getTerminalUserParam(): talmo.cfg has driver_version: " + version +
                               " (m_Do_Swap: " + (bigEndian(index) ? "1" : "0") + ")\n"))
        << trace.text();
    EXPECT_EQ(trace.contains("has CRC error"), !bigEndian(index));
}

TEST(CheckUserParamVersion, UnknownVersionsFailAndLeaveTheIndex) {
    UserParam param;
    UserParamBlock good = patternBlock(test::versionIndex("6.10"));
    ASSERT_TRUE(param.checkUserParamVersion(firstBytes(good, 1122)));
    for (const char* version : {"6.22", "6,20", "6.2 ", "4.1\0", "    "}) {
        UserParamBlock block = good;
        std::copy_n(version, 4, block.begin());
        TraceCapture trace;
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(block, 1122))) << version;
        EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.10"));
        EXPECT_TRUE(
            trace.contains("checkUserParamVersion(): talmo.cfg has invalid or unknown driver_version '"))
            << trace.text();
    }
    // Fewer than four bytes: the missing characters are zero bytes.
    for (std::size_t length = 0; length < 4; ++length)
        EXPECT_FALSE(param.checkUserParamVersion(firstBytes(good, length))) << length;
}

// A big-endian block is not CRC-checked, so a short one passes: the bytes it
// lacks are zero in the block held, whatever the object held before.
TEST(GetFileUserParam, ShortBigEndianBlockPassesWithTheMissingBytesZero) {
    ScratchDirectory directory;
    UserParam param;
    test::writeBytes(directory.file("full.cfg"),
                     firstBytes(patternBlock(test::versionIndex("6.21"), 1), 1242));
    ASSERT_TRUE(param.getFileUserParam(directory.file("full.cfg"), BlockOwner{}));

    const UserParamBlock block = patternBlock(test::versionIndex("6.21"), 2);
    test::writeBytes(directory.file("short.cfg"), firstBytes(block, 700));
    TraceCapture trace;
    ASSERT_TRUE(param.getFileUserParam(directory.file("short.cfg"), BlockOwner{}));
    EXPECT_TRUE(trace.contains("has wrong length (700 must be 1242)")) << trace.text();
    EXPECT_EQ(param.receivedBytes().size(), 700u);
    UserParamBlock expected{};
    std::copy_n(block.begin(), 700, expected.begin());
    cryptSecretFields(expected, test::versionIndex("6.21"), BlockOwner{}); // the fields come deciphered
    EXPECT_EQ(param.block(), expected);
}

// A failed read keeps the block held, its index and its byte order; a file
// longer than the version keeps none of its extra bytes.
TEST(GetFileUserParam, FailuresKeepTheBlockHeldAndExtraBytesAreDropped) {
    ScratchDirectory directory;
    UserParam param;
    const int index = test::versionIndex("6.00");
    std::vector<std::uint8_t> longer = firstBytes(patternBlock(index), 1100);
    longer.resize(1242, 0x77);
    test::writeBytes(directory.file("good.cfg"), longer);
    ASSERT_TRUE(param.getFileUserParam(directory.file("good.cfg"), BlockOwner{}));
    for (std::size_t offset = 1100; offset < 1242; ++offset)
        ASSERT_EQ(param.block()[offset], 0) << offset;
    const UserParamBlock held = param.block();

    UserParamBlock bad = patternBlock(test::versionIndex("6.20"));
    bad[100] ^= 1;
    test::writeBytes(directory.file("bad.cfg"), firstBytes(bad, 1242));
    TraceCapture trace;
    EXPECT_FALSE(param.getFileUserParam(directory.file("bad.cfg"), BlockOwner{}));
    EXPECT_FALSE(param.getFileUserParam(directory.file("missing.cfg"), BlockOwner{}));
    EXPECT_FALSE(param.getFileUserParam(directory.path().string(), BlockOwner{}));
    EXPECT_TRUE(trace.contains("getFileUserParam(): " + directory.file("missing.cfg") + " does not exist\n"));
    EXPECT_TRUE(trace.contains("getFileUserParam(): I/O error on " + directory.path().string() + "\n"))
        << trace.text();
    EXPECT_EQ(param.block(), held);
    EXPECT_EQ(param.actualVersionIndex(), index);
    EXPECT_TRUE(param.receivedBytes().empty());
}

// The byte-order flag is set by a big-endian block and stays set.
TEST(GetFileUserParam, TheByteOrderFlagIsNeverCleared) {
    ScratchDirectory directory;
    UserParam param;
    EXPECT_EQ(param.byteOrder(), BlockByteOrder::LittleEndian);
    EXPECT_EQ(param.getNewestVersion(), "6.20");
    test::writeBytes(directory.file("big.cfg"), firstBytes(patternBlock(test::versionIndex("6.11")), 1122));
    test::writeBytes(directory.file("little.cfg"),
                     firstBytes(patternBlock(test::versionIndex("6.10")), 1122));
    ASSERT_TRUE(param.getFileUserParam(directory.file("big.cfg"), BlockOwner{}));
    EXPECT_EQ(param.getNewestVersion(), "6.21");
    param.getFileUserParam(directory.file("little.cfg"), BlockOwner{});
    EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
}

} // namespace
} // namespace kestrix
