#include "block_files.h"
#include "cli_run.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "messages/toolbox_lang.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "lan/lan_interfaces.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

// Fetching and writing talmo.cfg on talmo-sim terminals of the test bed
// (br0 10.77.0.1/24), through UserParam and through kestrix-cli config fetch:
// a 7450 (files under "C@\t7000\") and a 7460 server (plain names) whose flash
// refuses every write. The waits of a write are shortened by KESTRIX_TIME_SCALE.

namespace kestrix {
namespace {

using test::patternBlock;
using test::TraceCapture;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Runs body with the record of the terminal at the address, located as the program does.
void withTerminal(const std::string& address,
                  const std::function<void(Terminal&, UserParam&, TraceCapture&)>& body) {
    enumerateLanInterfaces();
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(4711);
    try {
        Terminal terminal(engine, AuthenticationMode::IDBased, address, "", -1);
        UserParam param;
        TraceCapture trace;
        body(terminal, param, trace);
    } catch (const Terminal::TerminalError& error) {
        ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
    }
    T7000ip::releaseT7000ip();
}

class ConfigBlockOnBed : public test::NetworkBedTest {};

// The 7450 runs a TCL: its block's TCL area is enciphered; the server's
// big-endian block has its TCL area in clear. A failed fetch (no file) is
// tried once and keeps the block held; a refused write is tried four times.
TEST_F(ConfigBlockOnBed, FetchAndWriteThroughTheProgramAndTheCli) {
    test::ScratchDirectory files, work;
    test::BedLayout layout;
    for (const char* serialNumber : {"100101", "100102"}) {
        test::TerminalSetup terminal;
        terminal.ipv4 = "10.77.0." + std::to_string(11 + layout.terminals.size()) + "/24";
        terminal.terminalSection = {
            {"serial_number", serialNumber}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
        terminal.tftpSection = {{"directory", files.file("t" + std::to_string(layout.terminals.size()))}};
        std::filesystem::create_directory(terminal.tftpSection["directory"]);
        layout.terminals.push_back(terminal);
    }
    layout.terminals[1].terminalSection.insert_or_assign("product", "TALMO 7460");
    layout.terminals[1].terminalSection.insert_or_assign("kind", "BSM");
    layout.terminals[1].tftpSection.insert_or_assign("maximum_write_size", "0");
    const int index610 = test::versionIndex("6.10"), index621 = test::versionIndex("6.21");
    test::writeBytes(files.file("t0/talmo.cfg"), test::patternFile(index610, 1));
    test::writeBytes(files.file("t1/talmo.cfg"), test::patternFile(index621, 2));
    UserParamBlock plain0 = patternBlock(index610, 1), plain1 = patternBlock(index621, 2);
    cryptSecretFields(plain0, index610, BlockOwner{});
    BlockOwner server;
    server.isServer = true;
    cryptSecretFields(plain1, index621, server);
    // What the write sends after the editor set the maintenance group to 4712.
    UserParamBlock written0 = patternBlock(index610, 1);
    written0[60] = 0x68;
    written0[61] = 0x12;
    test::storeCrc(written0, index610);
    const test::NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([&] {
        withTerminal("10.77.0.11", [&](Terminal& terminal, UserParam& param, TraceCapture& trace) {
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(C@\\t7000\\talmo.cfg) startet\n"));
            EXPECT_EQ(param.actualVersionIndex(), index610);
            EXPECT_EQ(param.block(), plain0);
            EXPECT_TRUE(std::ranges::equal(param.receivedBytes(), test::patternFile(index610, 1)));
            UserParamBlock native{};
            param.copyUserParamOut(native);
            native[60] = 0x68;
            native[61] = 0x12;
            param.copyUserParamIn(native);
            ASSERT_TRUE(param.setTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100101]C@\\t7000\\talmo.cfg) startet\n"));
            EXPECT_EQ(test::readBytes(files.file("t0/talmo.cfg")), test::firstBytes(written0, 1122));
        });
        withTerminal("10.77.0.12", [&](Terminal& terminal, UserParam& param, TraceCapture& trace) {
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(talmo.cfg) startet\n"));
            EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
            EXPECT_EQ(param.block(), plain1);
            trace.clear();
            EXPECT_FALSE(param.setTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "setTerminalUserParam(): TFTP Write Error: ID=3, Text="), 4u);
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100102]talmo.cfg) startet\n"));
            EXPECT_EQ(test::readBytes(files.file("t1/talmo.cfg")), test::patternFile(index621, 2));
            std::filesystem::remove(files.file("t1/talmo.cfg"));
            trace.clear();
            EXPECT_FALSE(param.getTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "getTerminalUserParam(): TFTP Read Error: ID=4, Text="), 1u);
            EXPECT_EQ(param.block(), plain1);
            EXPECT_TRUE(param.receivedBytes().empty());
        });
    }));

    // kestrix-cli config fetch writes the block as the terminal sent it, and
    // nothing when the block is refused, the terminal has no file or none answers.
    std::vector<std::uint8_t> bad = test::patternFile(test::versionIndex("6.20"));
    bad[700] ^= 1; // the CRC no longer fits
    test::writeBytes(files.file("t1/talmo.cfg"), bad);
    const struct {
        const char* terminal;
        const char* file;
        int exitCode;
        const char* message;
    } fetches[] = {
        {"10.77.0.11", "fetched.cfg", 0, "fetched.cfg: version 6.10, 1122 bytes from terminal 100101"},
        {"10.77.0.12", "refused.cfg", 1,
         "kestrix-cli: terminal 100102: its talmo.cfg (1242 bytes) is no block the program accepts; nothing "
         "written"},
        {"10.77.0.99", "nobody.cfg", 1, "kestrix-cli: terminal 10.77.0.99: No response from terminal. (code 1)"},
        {"10.77.0.11", "fetched.cfg", 1, "kestrix-cli: terminal 100101: talmo.cfg cannot be fetched by TFTP"},
    };
    for (const auto& fetch : fetches) {
        if (fetch.exitCode == 1 && std::string(fetch.terminal) == "10.77.0.11")
            std::filesystem::remove(files.file("t0/talmo.cfg")); // lost since the first fetch
        const test::CommandResult result = bed.shellOnPc(test::cliCommandLine(
            work.path(), {"--group", "4711", "config", "fetch", fetch.terminal, fetch.file}));
        EXPECT_EQ(WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1, fetch.exitCode)
            << result.output;
        EXPECT_NE(result.output.find(fetch.message), std::string::npos) << result.output;
    }
    EXPECT_EQ(test::readBytes(work.file("fetched.cfg")), test::firstBytes(written0, 1122));
    EXPECT_EQ(work.entries(), (std::vector<std::string>{"fetched.cfg"}));
}

} // namespace
} // namespace kestrix
