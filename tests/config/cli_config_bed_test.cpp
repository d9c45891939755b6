#include "block_files.h"
#include "cli_run.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

// kestrix-cli config fetch as a technician runs it, in the PC's namespace of
// a test bed with two simulated terminals: one with a good block, one whose
// block the program refuses.

namespace kestrix {
namespace {

using test::BedLayout;
using test::firstBytes;
using test::NetworkBed;
using test::ScratchDirectory;
using test::TerminalSetup;

TerminalSetup simTerminal(const std::string& address, const std::string& serialNumber,
                          const std::filesystem::path& files) {
    TerminalSetup terminal;
    terminal.ipv4 = address + "/24";
    terminal.terminalSection = {{"serial_number", serialNumber},
                                {"product", "TALMO 7460"},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", "4711"}};
    terminal.tftpSection = {{"directory", files.string()}};
    return terminal;
}

int exitCode(const test::CommandResult& result) {
    return WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1;
}

class ConfigFetchOnBed : public test::NetworkBedTest {};

TEST_F(ConfigFetchOnBed, WritesTheBlockAsTheTerminalSentItAndNothingElse) {
    ScratchDirectory files;
    ScratchDirectory work;
    std::filesystem::create_directory(files.path() / "t0");
    std::filesystem::create_directory(files.path() / "t1");
    const std::vector<std::uint8_t> good = firstBytes(test::namedBlock620(), 1242);
    std::vector<std::uint8_t> bad = good;
    bad[700] ^= 1; // the CRC no longer fits
    test::writeBytes(files.file("t0/talmo.cfg"), good);
    test::writeBytes(files.file("t1/talmo.cfg"), bad);

    BedLayout layout;
    layout.terminals = {simTerminal("10.77.0.11", "100101", files.path() / "t0"),
                        simTerminal("10.77.0.12", "100102", files.path() / "t1")};
    NetworkBed bed(layout);
    const auto fetch = [&](const std::string& terminal, const std::string& file) {
        return bed.shellOnPc(
            test::cliCommandLine(work.path(), {"--group", "4711", "config", "fetch", terminal, file}));
    };

    const auto fetched = fetch("10.77.0.11", "fetched.cfg");
    EXPECT_EQ(exitCode(fetched), 0) << fetched.output;
    EXPECT_NE(fetched.output.find("fetched.cfg: version 6.20, 1242 bytes from terminal 100101"),
              std::string::npos)
        << fetched.output;
    EXPECT_EQ(test::readBytes(work.file("fetched.cfg")), good);

    const auto refused = fetch("10.77.0.12", "refused.cfg");
    EXPECT_EQ(exitCode(refused), 1) << refused.output;
    EXPECT_NE(refused.output.find("kestrix-cli: terminal 100102: its talmo.cfg (1242 bytes) is no block the "
                                  "program accepts; nothing written"),
              std::string::npos)
        << refused.output;

    std::filesystem::remove(files.file("t0/talmo.cfg"));
    const auto missing = fetch("10.77.0.11", "fetched.cfg");
    EXPECT_EQ(exitCode(missing), 1) << missing.output;
    EXPECT_NE(missing.output.find("kestrix-cli: terminal 100101: talmo.cfg cannot be fetched by TFTP"),
              std::string::npos)
        << missing.output;
    // The earlier file stays; nothing else was written.
    EXPECT_EQ(test::readBytes(work.file("fetched.cfg")), good);
    EXPECT_EQ(work.entries(), (std::vector<std::string>{"fetched.cfg"}));

    const auto nobody = fetch("10.77.0.99", "nobody.cfg");
    EXPECT_EQ(exitCode(nobody), 1) << nobody.output;
    EXPECT_NE(nobody.output.find("kestrix-cli: terminal 10.77.0.99: keine Antwort vom Netz"),
              std::string::npos)
        << nobody.output;
}

} // namespace
} // namespace kestrix
