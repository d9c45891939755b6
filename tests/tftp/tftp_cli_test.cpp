// kestrix-cli file get/put against the terminal simulator's TFTP server on
// loopback (own namespace) over IPv4 and IPv6: exit codes, error texts, that
// LOCAL is replaced only by a whole file, and the simulator's own rules (the
// program's names map to the terminal's files, writes need the serial number
// prefix, names that leave its directory are refused).
#include "sim/tftp/tftp_server.h"
#include "support/sockets.h"
#include "tftp/tftp_packets.h"
#include "tools/cli_runner.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kestrix::test {
namespace {

std::string readLocal(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const std::filesystem::path kBase =
    std::filesystem::temp_directory_path() / ("kestrix-cli-" + std::to_string(::getpid()));

// Runs kestrix-cli in the work directory; answers its exit status and output.
std::pair<int, std::string> cli(const std::filesystem::path& work, const std::string& arguments) {
    const CliRun run = runCli(work, arguments);
    return {run.exitCode, run.output + run.errors};
}

TEST(KestrixCli, FileGetAndPut) {
    const std::string server = patternBytes(1500), old = "old local content";
    const std::filesystem::path work = kBase.string() + "-work", served = kBase.string() + "-served";
    std::filesystem::create_directories(served);
    std::ofstream(served / "remote.bin", std::ios::binary) << server;
    std::ofstream(served / "talmo.cfg", std::ios::binary) << server;
    sim::TftpServerOptions options;
    options.directory = served;
    options.serialNumber = "100101";
    options.port = 0;
    sim::TftpServer terminal(options);
    terminal.start();
    const std::string port = "--port " + std::to_string(terminal.port()) + " file ";
    struct Case {
        std::string arguments;
        int exitStatus;
        std::string output;     // contained in what it printed
        std::string localAfter; // content of local.bin afterwards
    } cases[] = {
        {port + "get 127.0.0.1 remote.bin local.bin", 0, "", server},
        {port + "get ::ffff:127.0.0.1 remote.bin local.bin", 0, "", server},
        {port + "get 127.0.0.1 missing.bin local.bin", 1,
         "kestrix-cli: TFTPConnection::read(file): received error code 1: 'File not found'", old},
        {port + "get ::1 'C@\\t7000\\talmo.cfg' local.bin", 0, "", server},
        {port + "put ::1 local.bin '[100101]/talmo/terminal-ui.xml'", 0, "", old},
        {port + "put 127.0.0.1 local.bin '[100102]sent.bin'", 1, "received error code 2: 'Access violation'",
         old},
        {port + "put 127.0.0.1 local.bin talmo.cfg", 1, "received error code 2: 'Access violation'", old},
        {port + "get 127.0.0.1 'C@\\t7000\\..\\..\\etc\\passwd' local.bin", 1,
         "received error code 2: 'Access violation'", old},
        {port + "put 127.0.0.1 absent.bin sent.bin", 1,
         "kestrix-cli: cannot read absent.bin: No such file or directory", old},
        {port + "get terminal.example remote.bin local.bin", 1, "not an IPv4 or IPv6 address", old},
        {port + "move 127.0.0.1 a b", 2, "usage: kestrix-cli", old},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
        std::ofstream(work / "local.bin", std::ios::binary) << old;
        const auto [status, output] = cli(work, c.arguments);
        EXPECT_EQ(status, c.exitStatus) << c.arguments << "\n" << output;
        EXPECT_NE(output.find(c.output), std::string::npos) << c.arguments << "\n" << output;
        EXPECT_EQ(readLocal(work / "local.bin"), c.localAfter) << c.arguments;
        // Nothing is left beside LOCAL.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work), {}), 1) << c.arguments;
    }
    EXPECT_EQ(readLocal(served / "talmo" / "terminal-ui.xml"), old);
    EXPECT_EQ(readLocal(served / "talmo.cfg"), server);
    std::filesystem::remove_all(work);
    std::filesystem::remove_all(served);
}

// The local port range comes from Kestrix.ini in the current directory: with
// its only port taken, the transfer cannot start.
TEST(KestrixCli, PortRangeComesFromKestrixIni) {
    const std::filesystem::path work = kBase.string() + "-ini";
    std::filesystem::create_directories(work);
    std::ofstream(work / "Kestrix.ini") << "[TFTP]\nminPort=40000\nmaxPort=40000\n";
    const int holder = bindDualStackUdp(40000);
    ASSERT_GE(holder, 0);
    const auto [status, output] = cli(work, "file get 127.0.0.1 remote.bin local.bin");
    ::close(holder);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("TFTPConnection(::ffff:127.0.0.1): all bind() calls failed"), std::string::npos)
        << output;
    EXPECT_FALSE(std::filesystem::exists(work / "local.bin"));
    std::filesystem::remove_all(work);
}

} // namespace
} // namespace kestrix::test
