// kestrix-cli config show, set and put against talmo-sim on the test bed (br0
// 10.77.0.1/24): one terminal in maintenance group 4711 with host port 3001
// and setup passwords of all three grades, changed, refused and restored in
// turn, then moved to another address in the PC's subnet and to one outside it
// (followed through a host route) and back; each step's effect is read from
// the block the terminal keeps. Restarts and the waits of a write
// are shortened by KESTRIX_TIME_SCALE.
#include "config/blocks.h"
#include "config/secret_fields.h"
#include "netbed/child_process.h"
#include "netbed/network_bed.h"
#include "support/data_file.h"
#include "support/table_reader.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace kestrix {
namespace {

// A "6.20" talmo.cfg: group 4711, passwords 111111, 22222222, 33333333, and
// the items given (host port 3001 unless they set another).
std::vector<std::uint8_t> terminalBlock(const std::string& items = "") {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, "60=6712 146=b90b 794='111111' 800='22222222' 808='33333333' " + items);
    cryptSecretFields(block, index, BlockOwner{});
    return test::firstBytes(test::withCrc(block, index), 1242);
}

class CliSetupOnBed : public test::NetworkBedTest {};

TEST_F(CliSetupOnBed, SetShowAndPutChangeTheTerminalOrRefuseBeforeWriting) {
    test::ScratchDirectory files;
    test::TerminalSetup terminal;
    terminal.ipv4 = "10.77.0.41/24";
    terminal.terminalSection = {
        {"serial_number", "100401"}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
    terminal.tftpSection = {{"directory", files.path().string()}};
    files.write("talmo.cfg", terminalBlock());
    test::BedLayout layout;
    layout.terminals.push_back(terminal);
    // A second terminal whose talmo.cfg cannot be fetched: a backup lists it as failed.
    test::ScratchDirectory noBlock;
    terminal.ipv4 = "10.77.0.43/24";
    terminal.terminalSection["serial_number"] = "100403";
    terminal.tftpSection = {{"directory", noBlock.path().string()}};
    layout.terminals.push_back(terminal);
    const test::NetworkBed bed(layout);
    // A saved block whose TCL table field (1038) differs: the terminal must cold-boot to take it.
    const std::string sizes = (bed.runDirectory() / "sizes.cfg").string();
    const std::vector<std::uint8_t> sizesBlock = terminalBlock("146=bd0b 1038=0a00");
    std::ofstream(sizes, std::ios::binary)
        .write(reinterpret_cast<const char*>(sizesBlock.data()),
               static_cast<std::streamsize>(sizesBlock.size()));

    struct Row {
        std::string words;
        int exitCode;
        std::vector<std::string> says; // parts of standard output or error
        const char* group;             // bytes 60-61, 146-147 and 826-827 of talmo.cfg afterwards
        const char* port;
        const char* deviation;
        std::string terminalAt = "10.77.0.41"; // the terminal's interface address afterwards
    };
    const std::string saved = (bed.runDirectory() / "saved.cfg").string();
    std::ofstream(bed.runDirectory() / "site.rch")
        << "100401;10.77.0.41;;;;;;\r\n\r\n100403;10.77.0.43;;;;;;\r\n100499;10.77.0.99;;;;;;\r\n";
    const Row rows[] = {
        {"--group 4711 config fetch 10.77.0.41 " + saved, 0, {}, "6712", "b90b", "0000"},
        {"config show " + saved + " --show-secrets",
         0,
         {"block version 6.20", "host-port       3001", "group           4711", "password3       33333333",
          "\nFirewall\n  firewall        off\n", "\nLBus1\n  reader type     "},
         "6712",
         "b90b",
         "0000"},
        {"--group 4711 config show 10.77.0.41 --password wrong", 1, {"Login"}, "6712", "b90b", "0000"},
        {"--group 4711 config set 10.77.0.41 group=4712 --password 22222222",
         1,
         {"group is not offered for this terminal at access grade 2"},
         "6712",
         "b90b",
         "0000"},
        {"--group 4711 config set 10.77.0.41 host-port=3002 password1=123 --password 33333333",
         1,
         {"Password is too short", "password1 refused: nothing written"},
         "6712",
         "b90b",
         "0000"},
        // The three terminals of a list file at once; one has no block, one does not answer.
        {"--group 4711 config backup site.rch --dir before --parallel 3",
         1,
         {"/3] 100401;10.77.0.41;;;;;;: SN 100401, version 6.20 -> 100401.cfg",
          "/3] 100403;10.77.0.43;;;;;;: failed: talmo.cfg cannot be",
          "/3] 100499;10.77.0.99;;;;;;: failed: ", "2 of 3 terminals not backed up"},
         "6712",
         "b90b",
         "0000"},
        {"--group 4711 config set 10.77.0.41 host-port=3002 group=4712 gmt-offset=+60 summer=auto "
         "summer-start=M3.5.0/2 summer-end=M13.5.0 --password 33333333",
         0,
         {"POSIX-TZ time formatting error", "Configuration file installed."},
         "6812",
         "ba0b",
         "c4ff"},
        {"--group 4712 config show 10.77.0.41 --password 33333333",
         0,
         {"host-port       3002", "group           4712", "gmt-offset      +60", "summer          off",
          "summer-start    M3.5.0/2", "password3       (set"},
         "6812",
         "ba0b",
         "c4ff"},
        {"--group 4712 config backup 10.77.0.41 --dir before",
         1,
         {"backup.json exists"},
         "6812",
         "ba0b",
         "c4ff"},
        {"--group 4712 config backup 10.77.0.41 --dir after",
         0,
         {"1 of 1 terminals backed up into after"},
         "6812",
         "ba0b",
         "c4ff"},
        {"config diff before/100401.cfg after/100401.cfg",
         1,
         {"group: 4711 -> 4712"},
         "6812",
         "ba0b",
         "c4ff"},
        {"--group 4712 config set 10.77.0.41 host-port=3003 gmt-offset=+120 --password 33333333",
         0,
         {"Configuration file installed."},
         "6812",
         "bb0b",
         "88ff"},
        {"--group 4712 config backup 10.77.0.41 --dir later", 0, {}, "6812", "bb0b", "88ff"},
        {"--group 4712 config put 10.77.0.41 " + saved + " --password 33333333",
         0,
         {"Configuration file installed."},
         "6712",
         "b90b",
         "0000"},
        {"--group 4711 config set 10.77.0.41 address=10.77.0.42 mask=255.255.255.0 password2=87654321 "
         "summer=auto summer-start=M3.5.0/2 summer-end=M10.5.0/3 --password 33333333",
         0,
         {"Configuration file installed."},
         "6712",
         "b90b",
         "0000",
         "10.77.0.42"},
        {"--group 4711 config show 10.77.0.42 --password 87654321",
         0,
         {"address         10.77.0.42", "summer          auto", "summer-start    M3.5.0/2",
          "summer-end      M10.5.0/3"},
         "6712",
         "b90b",
         "0000",
         "10.77.0.42"},
        // Outside every subnet of the PC: reached again through a host route.
        {"--group 4711 config set 10.77.0.42 address=192.168.50.41 --password 33333333",
         0,
         {"Configuration file installed."},
         "6712",
         "b90b",
         "0000",
         "192.168.50.41"},
        // Added by its address alone, a terminal in a foreign subnet answers the
        // echo through the host route only; its answer's security ID has it
        // asked the ID-based way (IP-based requests it does not accept).
        {"--group 4711 config set 192.168.50.41 address=10.77.0.41 --password 33333333",
         0,
         {"Configuration file installed."},
         "6712",
         "b90b",
         "0000",
         "10.77.0.41"},
    };
    // A terminal outside the PC's subnet still reaches the PC on the link.
    ASSERT_TRUE(bed.shellOnTerminal(0, "ip route replace default dev eth0").succeeded());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words);
        const test::CommandResult run = test::runCommand(
            {test::toolPath("ip"), "netns", "exec", bed.pcNamespace(), "env",
             "LC_ALL=", "LC_MESSAGES=", "LANG=C", "KESTRIX_TIME_SCALE=0.05", "sh", "-c",
             "cd '" + bed.runDirectory().string() + "' && " KESTRIX_CLI " " + row.words + " 2>&1"});
        const std::string& said = run.output;
        EXPECT_EQ(WIFEXITED(run.waitStatus) ? WEXITSTATUS(run.waitStatus) : -1, row.exitCode) << said;
        for (const std::string& part : row.says)
            EXPECT_NE(said.find(part), std::string::npos) << part << " in:\n" << said;
        const std::vector<std::uint8_t> block = files.bytes("talmo.cfg");
        ASSERT_GE(block.size(), 828u);
        EXPECT_EQ(test::toHex(std::span(block).subspan(60, 2)), row.group);
        EXPECT_EQ(test::toHex(std::span(block).subspan(146, 2)), row.port);
        EXPECT_EQ(test::toHex(std::span(block).subspan(826, 2)), row.deviation);
        const std::string interface = bed.shellOnTerminal(0, "ip -4 -o address show dev eth0").output;
        EXPECT_NE(interface.find(" " + row.terminalAt + "/24 "), std::string::npos) << interface;
    }
    // The backup recorded every terminal; the diff of two blocks the editor
    // wrote names exactly what config set changed, and the time it stamps.
    const auto record = test::tableReadByPython(bed.runDirectory() / "before" / "backup.json");
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(record[0], (std::vector<std::string>{"terminal", "serial_number", "version", "time", "file",
                                                   "result", "reason"}));
    EXPECT_EQ(std::vector(record[1].begin(), record[1].begin() + 3),
              (std::vector<std::string>{"100401;10.77.0.41;;;;;;", "100401", "6.20"}));
    EXPECT_EQ(std::vector(record[1].begin() + 4, record[1].end()),
              (std::vector<std::string>{"100401.cfg", "ok", ""}));
    EXPECT_EQ(record[2][5], "failed");
    EXPECT_EQ(record[3][5], "failed");
    EXPECT_EQ(files.bytes("talmo.cfg").size(), 1242u);
    const test::CommandResult diff = test::runCommand(
        {"sh", "-c",
         "cd '" + bed.runDirectory().string() +
             "' && " KESTRIX_CLI " config diff after/100401.cfg later/100401.cfg | grep -v ^last-write:"});
    EXPECT_EQ(diff.output, "host-port: 3002 -> 3003\ngmt-deviation: 65476 -> 65416\n");
}

} // namespace
} // namespace kestrix
