#include "block_files.h"
#include "config/user_param.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

// The editor's copy in this machine's byte order, and writing a block into a
// local file: enciphered, with a new CRC in the block's byte order, the old
// file replaced only by a complete new one.

namespace kestrix {
namespace {

using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;

// The fields a big-endian terminal stores most significant byte first,
// written out from the "6.20" layout: offset and width.
std::vector<std::pair<std::size_t, std::size_t>> swappedFields() {
    std::vector<std::pair<std::size_t, std::size_t>> fields{{60, 2}, {146, 2}};
    for (std::size_t rule = 0; rule < 5; ++rule)
        fields.insert(fields.end(), {{152 + 12 * rule + 8, 2}, {212 + 20 * rule + 18, 2}});
    for (std::size_t record = 312; record < 312 + 6 * 80; record += 80)
        fields.insert(
            fields.end(),
            {{record + 4, 2}, {record + 6, 2}, {record + 8, 2}, {record + 10, 2}, {record + 24, 4}});
    fields.insert(fields.end(), {{826, 2}, {978, 2}, {980, 2}, {1036, 2}, {1038, 2}, {1236, 4}});
    return fields;
}

// The pattern differs between neighbours, so a field reversed at a wrong
// offset or width, or one left out, shows in the byte by byte comparison.
TEST(SwapUserParam, ReversesExactlyTheListedFields) {
    const UserParamBlock original = patternBlock(test::versionIndex("6.21"));
    UserParamBlock expected = original;
    for (const auto& [offset, width] : swappedFields())
        std::reverse(expected.begin() + static_cast<std::ptrdiff_t>(offset),
                     expected.begin() + static_cast<std::ptrdiff_t>(offset + width));
    UserParamBlock swapped = original;
    UserParam::swapUserParam(swapped);
    EXPECT_EQ(swapped, expected);
}

class WriteEveryVersion : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, WriteEveryVersion, ::testing::Range(0, 15), test::versionName);

// A block as the terminal keeps it, read from a longer file, its maintenance
// group set by the editor (in this machine's order) and written twice, comes
// out as the terminal keeps the changed block: the version's length, the group
// in the block's byte order, the secret fields enciphered again for the owner
// and a new CRC in the block's byte order (the test's own bit-by-bit one).
// The second write gives the same bytes: the block held stays deciphered.
TEST_P(WriteEveryVersion, WritesTheChangedBlockAsTheTerminalKeepsIt) {
    const int index = GetParam();
    const bool big = test::bigEndianVersion(index);
    ScratchDirectory directory;
    UserParamBlock expected = patternBlock(index, 4);
    expected[60] = big ? 0x12 : 0x67;
    expected[61] = big ? 0x67 : 0x12;
    test::storeCrc(expected, index);
    for (bool isServer : {false, true}) {
        BlockOwner owner;
        owner.isServer = isServer;
        std::vector<std::uint8_t> file = test::patternFile(index, 4);
        file.insert(file.end(), 7, 0x55);
        UserParam param;
        ASSERT_TRUE(test::readBlockFile(param, directory, file, owner));
        UserParamBlock native{};
        param.copyUserParamOut(native);
        native[60] = 0x67; // 4711
        native[61] = 0x12;
        param.copyUserParamIn(native);
        EXPECT_EQ(native, param.block()); // under the flag swapped in place
        const UserParamBlock held = param.block();
        for (int write = 0; write < 2; ++write) {
            ASSERT_TRUE(param.setFileUserParam(directory.file("out.cfg"), owner));
            EXPECT_EQ(test::readBytes(directory.file("out.cfg")),
                      test::firstBytes(expected, test::versionLength(index)))
                << "server " << isServer << ", write " << write;
            EXPECT_EQ(param.block(), held);
        }
    }
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "out.cfg"}));
}

// A block never read is not written; a place that cannot be written and a
// write that fails half way (here: the file size limit of the process) are
// refused. The existing file stays as it was and no temporary file is left.
TEST(SetFileUserParam, AFailedWriteLeavesTheExistingFile) {
    ScratchDirectory directory;
    const std::vector<std::uint8_t> existing(300, 0xEE);
    test::writeBytes(directory.file("talmo.cfg"), existing);
    TraceCapture trace;
    EXPECT_FALSE(UserParam().setFileUserParam(directory.file("talmo.cfg"), BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): no valid configuration block held")) << trace.text();

    UserParam param;
    ASSERT_TRUE(test::readBlockFile(param, directory, test::patternFile(test::versionIndex("6.20"))));
    const std::string nowhere = directory.file("no-such-folder/talmo.cfg");
    EXPECT_FALSE(param.setFileUserParam(nowhere, BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): Cannot open " + nowhere + " for writing\n"))
        << trace.text();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 1000; // bytes a file of the process may have
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = param.setFileUserParam(directory.file("talmo.cfg"), BlockOwner{});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_TRUE(trace.contains("setFileUserParam(): I/O error on " + directory.file("talmo.cfg") + "\n"))
        << trace.text();
    EXPECT_EQ(test::readBytes(directory.file("talmo.cfg")), existing);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "talmo.cfg"}));
}

} // namespace
} // namespace kestrix
