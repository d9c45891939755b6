#include "block_files.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "mainwindow/toolbox_lang.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/lan_interfaces.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <filesystem>

// Fetching and writing talmo.cfg on talmo-sim terminals of the test bed
// (br0 10.77.0.1/24): a 7450 (files under "C@\t7000\") and a 7460 server
// (plain names) whose flash refuses every write. The waits of a write are
// shortened by KESTRIX_TIME_SCALE.

namespace kestrix {
namespace {

using test::BedLayout;
using test::firstBytes;
using test::NetworkBed;
using test::patternBlock;
using test::ScratchDirectory;
using test::TerminalSetup;
using test::TraceCapture;

TerminalSetup simTerminal(const std::string& address, const std::string& serialNumber,
                          const std::filesystem::path& files) {
    TerminalSetup terminal;
    terminal.ipv4 = address + "/24";
    terminal.terminalSection = {
        {"serial_number", serialNumber}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
    terminal.tftpSection = {{"directory", files.string()}};
    return terminal;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Runs body with the record of the terminal at the address, located as the
// program does (ID-based).
void withTerminal(const std::string& address, const std::function<void(Terminal&)>& body) {
    enumerateLanInterfaces();
    static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(4711);
    try {
        Terminal terminal(engine, AuthenticationMode::IDBased, address, "", -1);
        body(terminal);
    } catch (const Terminal::TerminalError& error) {
        ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
    }
    T7000ip::releaseT7000ip();
}

class UserParamOnBed : public test::NetworkBedTest {};

TEST_F(UserParamOnBed, FetchAndWriteUnderBothNamesAndFourRefusedWrites) {
    ScratchDirectory terminalFiles;
    std::filesystem::create_directory(terminalFiles.path() / "t0");
    std::filesystem::create_directory(terminalFiles.path() / "t1");
    const std::string file0 = terminalFiles.file("t0/talmo.cfg");
    const std::string file1 = terminalFiles.file("t1/talmo.cfg");

    // A 7450 running a TCL: its block's TCL area is enciphered.
    const int index610 = test::versionIndex("6.10");
    const std::vector<std::uint8_t> stored0 = firstBytes(patternBlock(index610, 1), 1122);
    test::writeBytes(file0, stored0);
    UserParamBlock plain0{};
    std::copy(stored0.begin(), stored0.end(), plain0.begin());
    cryptSecretFields(plain0, index610, BlockOwner{});
    // What the write sends after the editor set the maintenance group to 4712.
    UserParamBlock written0 = patternBlock(index610, 1);
    written0[60] = 0x68;
    written0[61] = 0x12;
    test::storeCrc(written0, index610);

    // A 7460 server with a big-endian block: its TCL area is in clear.
    const int index621 = test::versionIndex("6.21");
    const std::vector<std::uint8_t> stored1 = firstBytes(patternBlock(index621, 2), 1242);
    test::writeBytes(file1, stored1);
    BlockOwner server;
    server.isServer = true;
    UserParamBlock plain1{};
    std::copy(stored1.begin(), stored1.end(), plain1.begin());
    cryptSecretFields(plain1, index621, server);

    BedLayout layout;
    layout.terminals = {simTerminal("10.77.0.11", "100101", terminalFiles.path() / "t0"),
                        simTerminal("10.77.0.12", "100102", terminalFiles.path() / "t1")};
    layout.terminals[1].terminalSection.insert_or_assign("product", "TALMO 7460");
    layout.terminals[1].terminalSection.insert_or_assign("kind", "BSM");
    layout.terminals[1].tftpSection.insert_or_assign("maximum_write_size", "0");
    NetworkBed bed(layout);

    EXPECT_TRUE(bed.runOnPc([&] {
        withTerminal("10.77.0.11", [&](Terminal& terminal) {
            UserParam param;
            TraceCapture trace;
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("getTerminalUserParam(::ffff:10.77.0.11 == 100101) startet\n"));
            EXPECT_TRUE(
                trace.contains("getTerminalUserParam(::ffff:10.77.0.11 == 100101): got TFTPConnection\n"));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(C@\\t7000\\talmo.cfg) startet\n"))
                << trace.text();
            EXPECT_EQ(param.actualVersionIndex(), index610);
            EXPECT_EQ(param.block(), plain0);
            EXPECT_EQ(std::vector<std::uint8_t>(param.receivedBytes().begin(), param.receivedBytes().end()),
                      stored0);

            UserParamBlock native{};
            param.copyUserParamOut(native);
            native[60] = 0x68;
            native[61] = 0x12;
            param.copyUserParamIn(native);
            trace.clear();
            ASSERT_TRUE(param.setTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("setTerminalUserParam(): m_Actual_VersionIndex 11\n"));
            EXPECT_TRUE(trace.contains("setTerminalUserParam(): got TFTPConnection for IP Address: "
                                       "::ffff:10.77.0.11, Seriennummer: 100101\n"));
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100101]C@\\t7000\\talmo.cfg) startet\n"))
                << trace.text();
            EXPECT_EQ(test::readBytes(file0), firstBytes(written0, 1122));

            // No file on the terminal: one attempt, and the block held stays.
            std::filesystem::remove(file0);
            const UserParamBlock held = param.block();
            trace.clear();
            EXPECT_FALSE(param.getTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "getTerminalUserParam(): TFTP Read Error: ID=4, Text="), 1u)
                << trace.text();
            EXPECT_EQ(param.block(), held);
            EXPECT_TRUE(param.receivedBytes().empty());
        });
        withTerminal("10.77.0.12", [&](Terminal& terminal) {
            UserParam param;
            TraceCapture trace;
            ASSERT_TRUE(param.getTerminalUserParam(terminal));
            EXPECT_TRUE(trace.contains("TFTPConnection::read(talmo.cfg) startet\n")) << trace.text();
            EXPECT_EQ(param.byteOrder(), BlockByteOrder::BigEndian);
            EXPECT_EQ(param.block(), plain1);

            trace.clear();
            EXPECT_FALSE(param.setTerminalUserParam(terminal));
            EXPECT_EQ(occurrences(trace.text(), "setTerminalUserParam(): got TFTPConnection for IP Address: "
                                                "::ffff:10.77.0.12, Seriennummer: 100102\n"),
                      4u);
            EXPECT_EQ(occurrences(trace.text(), "setTerminalUserParam(): TFTP Write Error: ID=3, Text="), 4u)
                << trace.text();
            EXPECT_TRUE(trace.contains("TFTPConnection::write([100102]talmo.cfg) startet\n"));
            EXPECT_EQ(test::readBytes(file1), stored1);
        });
    }));
}

} // namespace
} // namespace kestrix
