#include "block_files.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

// Writing a block into a local file: enciphered, with its CRC in the block's
// byte order, the old file replaced only by a complete new one.

namespace kestrix {
namespace {

using test::firstBytes;
using test::patternBlock;
using test::ScratchDirectory;
using test::TraceCapture;
using test::versionName;

class WriteEveryVersion : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(AllVersions, WriteEveryVersion, ::testing::Range(0, 15), versionName);

// A block as the terminal keeps it, read and written again, comes out byte
// for byte as it went in: the secret fields enciphered once more and the CRC
// in the block's byte order (big-endian for the odd versions). Writing twice
// gives the same bytes twice: the block held stays deciphered.
TEST_P(WriteEveryVersion, ReadThenWrittenTwiceGivesTheSameBytes) {
    const int index = GetParam();
    const std::size_t length = kConfigVersions[static_cast<std::size_t>(index)].length;
    ScratchDirectory directory;
    for (bool isServer : {false, true}) {
        BlockOwner owner;
        owner.isServer = isServer;
        const std::vector<std::uint8_t> terminalBytes = firstBytes(patternBlock(index, 4), length);
        test::writeBytes(directory.file("in.cfg"), terminalBytes);
        UserParam param;
        ASSERT_TRUE(param.getFileUserParam(directory.file("in.cfg"), owner));
        const UserParamBlock held = param.block();
        ASSERT_TRUE(param.setFileUserParam(directory.file("out.cfg"), owner));
        EXPECT_EQ(test::readBytes(directory.file("out.cfg")), terminalBytes);
        EXPECT_EQ(param.block(), held);
        ASSERT_TRUE(param.setFileUserParam(directory.file("out.cfg"), owner));
        EXPECT_EQ(test::readBytes(directory.file("out.cfg")), terminalBytes);
        EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "out.cfg"}));
    }
}

// A changed parameter gets a new CRC, stored most significant byte first for
// a big-endian block; the length written is the version's, whatever was read.
TEST(SetFileUserParam, NewCrcInTheBlocksByteOrderAndTheVersionsLength) {
    ScratchDirectory directory;
    for (const char* version : {"6.00", "6.01"}) {
        const int index = test::versionIndex(version);
        std::vector<std::uint8_t> bytes = firstBytes(patternBlock(index), 1100);
        bytes.resize(1200, 0x55); // a longer file
        test::writeBytes(directory.file("in.cfg"), bytes);
        UserParam param;
        ASSERT_TRUE(param.getFileUserParam(directory.file("in.cfg"), BlockOwner{})) << version;
        UserParamBlock native{};
        param.copyUserParamOut(native);
        native[144] ^= 0xFF; // a byte parameter the editor changed
        param.copyUserParamIn(native);
        ASSERT_TRUE(param.setFileUserParam(directory.file("out.cfg"), BlockOwner{}));

        const std::vector<std::uint8_t> written = test::readBytes(directory.file("out.cfg"));
        ASSERT_EQ(written.size(), 1100u) << version;
        EXPECT_EQ(written[144], bytes[144] ^ 0xFF);
        const std::uint16_t crc = test::bitwiseCrc16(std::span(written).first(1098));
        const bool big = std::string_view(version) == "6.01";
        EXPECT_EQ(written[1098], big ? crc >> 8 : crc & 0xFF) << version;
        EXPECT_EQ(written[1099], big ? crc & 0xFF : crc >> 8) << version;
        // What was written is read back as the same block.
        UserParam again;
        ASSERT_TRUE(again.getFileUserParam(directory.file("out.cfg"), BlockOwner{})) << version;
        EXPECT_EQ(std::vector<std::uint8_t>(again.block().begin(), again.block().begin() + 1098),
                  std::vector<std::uint8_t>(param.block().begin(), param.block().begin() + 1098));
    }
}

// Restores the file size limit and SIGXFSZ when the test ends.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// A write that fails half way (here: the file size limit of the process)
// leaves the existing file as it was and no temporary file behind.
TEST(SetFileUserParam, AFailedWriteLeavesTheExistingFile) {
    ScratchDirectory directory;
    const std::vector<std::uint8_t> existing(300, 0xEE);
    test::writeBytes(directory.file("talmo.cfg"), existing);
    test::writeBytes(directory.file("in.cfg"), firstBytes(patternBlock(test::versionIndex("6.20")), 1242));
    UserParam param;
    ASSERT_TRUE(param.getFileUserParam(directory.file("in.cfg"), BlockOwner{}));
    TraceCapture trace;
    bool written = true;
    {
        FileSizeLimit limit(1000);
        written = param.setFileUserParam(directory.file("talmo.cfg"), BlockOwner{});
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(trace.contains("setFileUserParam(): I/O error on " + directory.file("talmo.cfg") + "\n"))
        << trace.text();
    EXPECT_EQ(test::readBytes(directory.file("talmo.cfg")), existing);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg", "talmo.cfg"}));
}

TEST(SetFileUserParam, RefusesAPlaceItCannotWriteAndABlockNeverRead) {
    ScratchDirectory directory;
    test::writeBytes(directory.file("in.cfg"), firstBytes(patternBlock(test::versionIndex("5.50")), 646));
    UserParam param;
    ASSERT_TRUE(param.getFileUserParam(directory.file("in.cfg"), BlockOwner{}));
    TraceCapture trace;
    const std::string nowhere = directory.file("no-such-folder/talmo.cfg");
    EXPECT_FALSE(param.setFileUserParam(nowhere, BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): Cannot open " + nowhere + " for writing\n"))
        << trace.text();

    // A zeroed block has no version: it is never written.
    UserParam empty;
    EXPECT_FALSE(empty.setFileUserParam(directory.file("empty.cfg"), BlockOwner{}));
    EXPECT_TRUE(trace.contains("setFileUserParam(): no valid configuration block held")) << trace.text();
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"in.cfg"}));
}

} // namespace
} // namespace kestrix
