// kestrix-cli file get/put against tftpd-hpa on loopback (own namespace):
// exit codes, error texts, and that LOCAL is replaced only by a whole file.
#include "netbed/child_process.h"
#include "support/skip_or_fail.h"
#include "support/sockets.h"
#include "tftp/tftp_packets.h"
#include "tftp/tftpd_hpa.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix::test {
namespace {

std::string readLocal(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct CliCase {
    const char* name;
    std::vector<std::string> arguments; // after "kestrix-cli --port 6969"
    int expectedExit;
    std::string expectedOutput; // contained in what it printed
    std::string localAfter;     // content of "local.bin" in the work directory afterwards
    std::string serverFile;     // a file the server must then hold ("" for none)
};

const std::string kServerContent = patternBytes(1500);
const std::string kOldLocal = "old local content";

class KestrixCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(KestrixCli, File) {
    if (TftpdHpa::program().empty())
        KESTRIX_SKIP_OR_FAIL("tftpd-hpa is not installed");
    ASSERT_EQ(giveNamespaceAnAddress(), "");
    const CliCase& testCase = GetParam();
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("kestrix-cli-" + std::to_string(::getpid()));
    const std::filesystem::path work = base.string() + "-work";
    std::filesystem::create_directories(work);
    TftpdHpa server("127.0.0.1", 6969, base);
    server.putFile("remote.bin", kServerContent);
    std::ofstream(work / "local.bin", std::ios::binary) << kOldLocal;

    std::string commandLine = "cd '" + work.string() + "' && exec '" KESTRIX_CLI "' --port 6969";
    for (const std::string& argument : testCase.arguments)
        commandLine += " '" + argument + "'";
    const CommandResult result = runCommand({"sh", "-c", commandLine});
    EXPECT_TRUE(WIFEXITED(result.waitStatus));
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), testCase.expectedExit) << result.output;
    EXPECT_NE(result.output.find(testCase.expectedOutput), std::string::npos) << result.output;
    EXPECT_EQ(readLocal(work / "local.bin"), testCase.localAfter);
    if (!testCase.serverFile.empty()) {
        EXPECT_EQ(server.fileBytes(testCase.serverFile), testCase.localAfter);
    }
    // Nothing is left beside LOCAL.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(work))
        ++files;
    EXPECT_EQ(files, 1u);
    std::filesystem::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KestrixCli,
    ::testing::Values(CliCase{"GetReplacesLocal",
                              {"file", "get", "127.0.0.1", "remote.bin", "local.bin"},
                              0,
                              "",
                              kServerContent,
                              ""},
                      CliCase{"GetOverMappedAddress",
                              {"file", "get", "::ffff:127.0.0.1", "remote.bin", "local.bin"},
                              0,
                              "",
                              kServerContent,
                              ""},
                      CliCase{
                          "FailedGetKeepsLocal",
                          {"file", "get", "127.0.0.1", "missing.bin", "local.bin"},
                          1,
                          "kestrix-cli: TFTPConnection::read(file): received error code 1: 'File not found'",
                          kOldLocal,
                          ""},
                      CliCase{"PutSendsLocal",
                              {"file", "put", "127.0.0.1", "local.bin", "sent.bin"},
                              0,
                              "",
                              kOldLocal,
                              "sent.bin"},
                      CliCase{"PutOfMissingFileFails",
                              {"file", "put", "127.0.0.1", "absent.bin", "sent.bin"},
                              1,
                              "kestrix-cli: cannot read absent.bin: No such file or directory",
                              kOldLocal,
                              ""},
                      CliCase{"NoAddress",
                              {"file", "get", "terminal.example", "remote.bin", "local.bin"},
                              1,
                              "not an IPv4 or IPv6 address",
                              kOldLocal,
                              ""},
                      CliCase{"UnknownSubcommand",
                              {"file", "move", "127.0.0.1", "a", "b"},
                              2,
                              "usage: kestrix-cli",
                              kOldLocal,
                              ""}),
    [](const ::testing::TestParamInfo<CliCase>& testInfo) { return std::string(testInfo.param.name); });

// The local port range comes from Kestrix.ini in the current directory: with
// its only port taken, the transfer cannot start.
TEST(KestrixCliSettings, PortRangeComesFromKestrixIni) {
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("kestrix-cli-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    std::ofstream(work / "Kestrix.ini") << "[TFTP]\nminPort=40000\nmaxPort=40000\n";
    const int holder = test::bindDualStackUdp(40000);
    ASSERT_GE(holder, 0);
    const CommandResult result = runCommand(
        {"sh", "-c",
         "cd '" + work.string() + "' && exec '" KESTRIX_CLI "' file get 127.0.0.1 remote.bin local.bin"});
    ::close(holder);
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 1);
    EXPECT_NE(result.output.find("TFTPConnection(::ffff:127.0.0.1): all bind() calls failed"),
              std::string::npos)
        << result.output;
    EXPECT_FALSE(std::filesystem::exists(work / "local.bin"));
    std::filesystem::remove_all(work);
}

} // namespace
} // namespace kestrix::test
