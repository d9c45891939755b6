// Fetching and writing talmo.cfg on talmo-sim terminals of the test bed
// (br0 10.77.0.1/24), through UserParam and through kestrix-cli config fetch:
// a 7450 (files under "C@\t7000\") and a 7460 server (plain names) whose flash
// refuses every write. The waits of a write are shortened by KESTRIX_TIME_SCALE.
#include "config/blocks.h"
#include "config/user_param.h"
#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace kestrix {
namespace {

using test::TraceCapture;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The TCL passwords and data key of the "6.10" and "6.20" layouts.
std::vector<std::uint8_t> tclPasswordsAndKey(const UserParamBlock& block) {
    return {block.begin() + 1056, block.begin() + 1088};
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

// A failed fetch (no file) is tried once and keeps the block held; a refused
// write is tried four times. kestrix-cli config fetch writes the block as the
// terminal sent it, and nothing when the block is refused or the terminal has
// no file.
TEST_F(ConfigBlockOnBed, FetchAndWriteThroughTheProgramAndTheCli) {
    test::ScratchDirectory files, work;
    test::BedLayout layout;
    for (const char* serialNumber : {"100101", "100102"}) {
        const std::string number = std::to_string(layout.terminals.size());
        test::TerminalSetup terminal;
        terminal.ipv4 = "10.77.0." + std::to_string(11 + layout.terminals.size()) + "/24";
        terminal.terminalSection = {
            {"serial_number", serialNumber}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
        terminal.tftpSection = {{"directory", files.file("t" + number)}};
        std::filesystem::create_directory(files.file("t" + number));
        layout.terminals.push_back(terminal);
    }
    layout.terminals[1].terminalSection.insert_or_assign("product", "TALMO 7460");
    layout.terminals[1].terminalSection.insert_or_assign("kind", "BSM");
    layout.terminals[1].tftpSection.insert_or_assign("maximum_write_size", "0");
    const int index610 = test::versionIndex("6.10"), index621 = test::versionIndex("6.21");
    files.write("t0/talmo.cfg", test::patternFile(index610));
    files.write("t1/talmo.cfg", test::patternFile(index621));
    // What the write sends after the editor set the maintenance group to 4712.
    UserParamBlock written0 = test::patternBlock(index610);
    test::putItems(written0, "60=6812");
    const std::vector<std::uint8_t> written = test::firstBytes(test::withCrc(written0, index610), 1122);
    const test::NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([&] {
        withTerminal("10.77.0.11", [&](Terminal& terminal, UserParam& param, TraceCapture& trace) {
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(C@\\t7000\\talmo.cfg) startet\n"));
            EXPECT_EQ(param.actualVersionIndex(), index610);
            EXPECT_NE(tclPasswordsAndKey(param.block()), tclPasswordsAndKey(test::patternBlock(index610)))
                << "a TCL terminal's TCL area comes deciphered";
            EXPECT_TRUE(std::ranges::equal(param.receivedBytes(), test::patternFile(index610)));
            UserParamBlock native{};
            param.copyUserParamOut(native);
            test::putItems(native, "60=6812");
            param.copyUserParamIn(native);
            ASSERT_TRUE(param.setTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100101]C@\\t7000\\talmo.cfg) startet\n"));
            EXPECT_EQ(files.bytes("t0/talmo.cfg"), written);
        });
        withTerminal("10.77.0.12", [&](Terminal& terminal, UserParam& param, TraceCapture& trace) {
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(talmo.cfg) startet\n"));
            EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
            EXPECT_EQ(tclPasswordsAndKey(param.block()), tclPasswordsAndKey(test::patternBlock(index621)))
                << "a server's TCL area stays in clear";
            const UserParamBlock held = param.block();
            trace.clear();
            EXPECT_FALSE(param.setTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "setTerminalUserParam(): TFTP Write Error: ID=3, Text="), 4u);
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100102]talmo.cfg) startet\n"));
            EXPECT_EQ(files.bytes("t1/talmo.cfg"), test::patternFile(index621));
            std::filesystem::remove(files.file("t1/talmo.cfg"));
            trace.clear();
            EXPECT_FALSE(param.getTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "getTerminalUserParam(): TFTP Read Error: ID=4, Text="), 1u);
            EXPECT_EQ(param.block(), held);
            EXPECT_TRUE(param.receivedBytes().empty());
        });
    }));

    std::vector<std::uint8_t> bad = test::patternFile(test::versionIndex("6.20"));
    bad[700] ^= 1; // the CRC no longer fits
    files.write("t1/talmo.cfg", bad);
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
    EXPECT_EQ(work.bytes("fetched.cfg"), written);
    EXPECT_EQ(work.entries(), (std::vector<std::string>{"fetched.cfg"}));
}

} // namespace
} // namespace kestrix
