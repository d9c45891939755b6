// TFTPConnection against tftpd-hpa, a server written elsewhere, on loopback
// in a network namespace of its own: files round-trip byte-exact over IPv4
// and IPv6 (the server's own error texts reaching the caller: tftp_cli_test).
#include "tftp/tftp_connection.h"

#include "support/skip_or_fail.h"
#include "tftp/tftp_packets.h"
#include "tftp/tftpd_hpa.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace kestrix::test {
namespace {

constexpr std::uint16_t kPort = 6969;
const std::string kServer = "::ffff:127.0.0.1";

std::filesystem::path scratch(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("kestrix-tftp-" + std::to_string(::getpid()) + "-" + name);
}

std::string readLocal(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class TftpdHpaInterop : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override {
        if (TftpdHpa::program().empty())
            KESTRIX_SKIP_OR_FAIL("tftpd-hpa is not installed");
        ASSERT_EQ(giveNamespaceAnAddress(), "");
    }
};

TEST_P(TftpdHpaInterop, FileRoundTripsByteExact) {
    const std::size_t size = GetParam();
    const std::string content = patternBytes(size);
    TftpdHpa server("127.0.0.1", kPort, scratch("root"));
    const std::filesystem::path upload = scratch("up");
    const std::filesystem::path download = scratch("down");
    std::ofstream(upload, std::ios::binary) << content;

    TFTPConnection(kServer, 0, 0, kPort).write(upload.string(), "round.bin");
    EXPECT_EQ(server.fileBytes("round.bin"), content);
    TFTPConnection(kServer, 0, 0, kPort).read(download.string(), "round.bin");
    EXPECT_EQ(readLocal(download), content);

    std::vector<std::uint8_t> buffer(size);
    const std::size_t length = TFTPConnection(kServer, 0, 0, kPort).read(buffer.data(), size, "round.bin");
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)), content);
    std::filesystem::remove(upload);
    std::filesystem::remove(download);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TftpdHpaInterop,
                         ::testing::Values(0, 511, 512, 513, 1024, 3 * 1024 * 1024 + 7));

using TftpdHpaServer = TftpdHpaInterop;

TEST_F(TftpdHpaServer, IPv6ServerIsReached) {
    TftpdHpa server("[::1]", kPort, scratch("root6"));
    server.putFile("six.bin", patternBytes(700));
    std::vector<std::uint8_t> buffer(1000);
    const std::size_t length =
        TFTPConnection("::1", 0, 0, kPort).read(buffer.data(), buffer.size(), "six.bin");
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)), patternBytes(700));
}

} // namespace
} // namespace kestrix::test
