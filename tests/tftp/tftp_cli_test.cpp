// kestrix-cli file get/put against the terminal simulator's TFTP server on
// loopback (own namespace) over IPv4 and IPv6: exit codes, error texts, that
// LOCAL is replaced only by a whole file, and the simulator's own rules (the
// program's names map to the terminal's files, writes need the serial number
// prefix, names that leave its directory are refused).
#include "sim/tftp/tftp_server.h"
#include "support/scratch_directory.h"
#include "support/sockets.h"
#include "tftp/tftp_packets.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

namespace kestrix::test {
namespace {

TEST(KestrixCli, FileGetAndPut) {
    const std::string server = patternBytes(1500), old = "old local content";
    const ScratchDirectory served;
    served.write("remote.bin", server);
    served.write("talmo.cfg", server);
    sim::TftpServerOptions options;
    options.directory = served.path();
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
         "kestrix-cli: TFTPConnection::write(file): File 'absent.bin' cannot be read: No such file or "
         "directory (2)",
         old},
        {port + "get terminal.example remote.bin local.bin", 1, "not an IPv4 or IPv6 address", old},
        {port + "move 127.0.0.1 a b", 2, "usage: kestrix-cli", old},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ScratchDirectory work;
        work.write("local.bin", old);
        const CliRun run = runCli(work.path(), c.arguments);
        EXPECT_EQ(run.exitCode, c.exitStatus) << run.output << run.errors;
        EXPECT_NE((run.output + run.errors).find(c.output), std::string::npos) << run.output << run.errors;
        EXPECT_EQ(work.read("local.bin"), c.localAfter);
        EXPECT_EQ(work.entries(), std::vector<std::string>{"local.bin"}) << "nothing is left beside LOCAL";
    }
    EXPECT_EQ(served.read("talmo/terminal-ui.xml"), old);
    EXPECT_EQ(served.read("talmo.cfg"), server);
}

// The local port range comes from Kestrix.ini in the current directory: with
// its only port taken, the transfer cannot start.
TEST(KestrixCli, PortRangeComesFromKestrixIni) {
    const ScratchDirectory work;
    work.write("Kestrix.ini", "[TFTP]\nminPort=40000\nmaxPort=40000\n");
    const int holder = bindDualStackUdp(40000);
    ASSERT_GE(holder, 0);
    const CliRun run = runCli(work.path(), "file get 127.0.0.1 remote.bin local.bin");
    ::close(holder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("TFTPConnection(::ffff:127.0.0.1): all bind() calls failed"), std::string::npos)
        << run.errors;
    EXPECT_EQ(work.entries(), std::vector<std::string>{"Kestrix.ini"});
}

} // namespace
} // namespace kestrix::test
