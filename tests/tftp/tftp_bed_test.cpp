// TFTPConnection against tftpd-hpa, a server written elsewhere, across one
// network test bed shared by all cases: files over links that lose, delay and
// duplicate packets arrive byte-exact (the block boundaries are pinned packet
// by packet in tftp_connection_test; 100 KiB + 512 ends with an empty block).
#include "netbed/bed_availability.h"
#include "support/trace_capture.h"
#include "tftp/tftp_bed.h"
#include "tftp/tftp_connection.h"

#include <gtest/gtest.h>

namespace kestrix::test {
namespace {

using namespace std::chrono_literals;

enum class Transfers { ReadAndWrite, ReadOnly };

class TftpBedTest : public NetworkBedTest {
protected:
    static void SetUpTestSuite() {
        if (networkBedUnavailable().empty() && !TftpBed::program().empty())
            server_ = std::make_unique<TftpBed>();
    }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override {
        NetworkBedTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_FALSE(TftpBed::program().empty()) << "tftpd-hpa is not installed";
        ASSERT_NE(server_, nullptr) << "the bed was not built";
    }
    // Takes back what a test changed on the shared bed: its link faults and
    // the packet rules of the tests, all in the mangle tables.
    void TearDown() override {
        if (server_ == nullptr)
            return;
        server_->bed.setLinkFaults(0, {});
        EXPECT_TRUE(server_->bed.shellOnPc("iptables -t mangle -F").succeeded());
        EXPECT_TRUE(server_->bed.shellOnTerminal(0, "iptables -t mangle -F").succeeded());
    }

    static inline std::unique_ptr<TftpBed> server_;
};

// In the PC's namespace: reads down.bin into a file and writes content as
// up.bin; a failure shows the end of the trace.
void transferAll(const TftpBed& server, const std::string& content, Transfers transfers) {
    const std::filesystem::path local = server.directory.string() + "-local";
    TraceCapture traces;
    try {
        TFTPConnection(TftpBed::kServer, 0, 0).read(local.string(), "down.bin");
        EXPECT_TRUE(TftpBed::readFile(local) == content) << content.size() << " bytes";
        if (transfers == Transfers::ReadAndWrite) {
            TFTPConnection(TftpBed::kServer, 0, 0)
                .write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(), "up.bin");
            EXPECT_TRUE(server.fileBytes("up.bin") == content) << content.size() << " bytes";
        }
    } catch (const TFTPConnection::TFTPError& error) {
        const std::string text = traces.text();
        ADD_FAILURE() << error.text << "\n--- trace end:\n"
                      << text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
    }
    std::filesystem::remove(local);
}

struct FaultCase {
    const char* name;
    LinkFaults faults;
    // A write whose final ACK is lost depends on an early repeat of the last
    // block reaching the server within its short linger (100 ms here); a
    // second loss in a row would fail it now and then, so loss toward the PC
    // reads only. LostFinalAcknowledgementOfWriteIsRecovered covers the write.
    Transfers transfers;
    std::size_t size;
};

class TftpBedFaults : public TftpBedTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TftpBedFaults, FilesRoundTripByteExact) {
    server_->bed.setLinkFaults(0, GetParam().faults);
    const std::string content = patternBytes(GetParam().size);
    server_->putFile("down.bin", content);
    EXPECT_TRUE(server_->bed.runOnPc([&] { transferAll(*server_, content, GetParam().transfers); }));
}

INSTANTIATE_TEST_SUITE_P(
    Links, TftpBedFaults,
    ::testing::Values(
        FaultCase{"TenPercentLossToTerminal", {0.1, {}, 0.0, {}}, Transfers::ReadAndWrite, 200 * 1024 + 3},
        FaultCase{"TenPercentLossToPc", {0.0, {}, 0.1, {}}, Transfers::ReadOnly, 200 * 1024 + 3},
        FaultCase{"FiveMillisecondsDelay", {0.0, 5ms, 0.0, 5ms}, Transfers::ReadAndWrite, 100 * 1024 + 512}),
    [](const ::testing::TestParamInfo<FaultCase>& testInfo) { return std::string(testInfo.param.name); });

// The server's ACK of the last block is lost once on its way to the PC. The
// server has the file and answers a repeated last block only during its
// retransmit time-out (100 ms here): the write must still succeed.
TEST_F(TftpBedTest, LostFinalAcknowledgementOfWriteIsRecovered) {
    // UDP payload (after the IP header of the length in its first byte and
    // the 8-byte UDP header) 00 04 00 02: the ACK of block 2. Only the first
    // such packet is dropped.
    ASSERT_TRUE(
        server_->bed
            .shellOnPc("iptables -t mangle -A PREROUTING -p udp -s 10.77.0.11 -m u32 --u32 "
                       "'0>>22&0x3C@8=0x00040002' -m statistic --mode nth --every 1000000 --packet 0 -j DROP")
            .succeeded());
    const std::string content = patternBytes(700);
    EXPECT_TRUE(server_->bed.runOnPc([&] {
        TraceCapture traces;
        try {
            TFTPConnection(TftpBed::kServer, 0, 0)
                .write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(), "up.bin");
        } catch (const TFTPConnection::TFTPError& error) {
            ADD_FAILURE() << error.text << "\n--- trace:\n" << traces.text();
        }
        EXPECT_TRUE(
            traces.contains("TFTPConnection::write(mem): no ACK of the last block yet, resend data\n"));
    }));
    EXPECT_EQ(server_->fileBytes("up.bin"), content);
}

// Every packet in both directions arrives twice (iptables TEE clones it to
// the other side): the duplicates are answered or ignored, never written.
TEST_F(TftpBedTest, DuplicatedPacketsDoNotCorruptFiles) {
    ASSERT_TRUE(
        server_->bed.shellOnTerminal(0, "iptables -t mangle -A OUTPUT -p udp -j TEE --gateway 10.77.0.1")
            .succeeded());
    ASSERT_TRUE(
        server_->bed
            .shellOnPc("iptables -t mangle -A OUTPUT -p udp -d 10.77.0.11 -j TEE --gateway 10.77.0.11")
            .succeeded());
    const std::string content = patternBytes(300 * 1024 + 17);
    server_->putFile("down.bin", content);
    EXPECT_TRUE(server_->bed.runOnPc([&] { transferAll(*server_, content, Transfers::ReadAndWrite); }));
}

} // namespace
} // namespace kestrix::test
