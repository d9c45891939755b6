// kestrix-cli keyboard get and put against talmo-sim on one test bed
// (br0 10.77.0.1/24): a TALMO 7000 (its keyboard driver named in
// autoexec.bat, COM form), a 7450 (KEYB.MAP) and a 7460 (the XML file), each
// with a matrix keyboard and the default layout, and a 7450 without one whose
// flash refuses the first three writes and which ignores "reset". The
// restarts and the fixed waits are shortened by KESTRIX_TIME_SCALE.
#include "keyboard/keyb_file.h"
#include "netbed/network_bed.h"
#include "support/scratch_directory.h"
#include "tools/cli_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kestrix {
namespace {

using test::CliRun;

struct SimulatedTerminal {
    const char* serialNumber;
    const char* product;
    int platformGroup;
    const char* keyboardFile; // in the terminal's directory
    const char* matrixKeyboard;
};
// Terminal N answers at 10.77.0.(31 + N).
constexpr SimulatedTerminal kTerminals[] = {
    {"100301", "TALMO 7000", 1, "KBD8X8.COM", "8"},
    {"100302", "TALMO 7450", 3, "KEYB.MAP", "8"},
    {"100303", "TALMO 7460", 6, "talmo/terminal-ui.xml", "8"},
    {"100304", "TALMO 7450", 3, "KEYB.MAP", "0"},
};

std::string address(std::size_t terminal) {
    return "10.77.0." + std::to_string(31 + terminal);
}

std::vector<std::uint8_t> defaultFileOfGroup(int platformGroup) {
    KeybFile file;
    file.layout() = defaultKeyboardLayout();
    const std::size_t length = file.SaveKeybFile(platformGroup);
    return {file.contents().begin(), file.contents().begin() + static_cast<std::ptrdiff_t>(length)};
}

class CliKeyboardOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        // The terminals' restarts too: talmo-sim inherits it.
        ::setenv("KESTRIX_TIME_SCALE", "0.02", 1);
        test::BedLayout layout;
        for (std::size_t index = 0; index < std::size(kTerminals); ++index) {
            const SimulatedTerminal& simulated = kTerminals[index];
            directories_.push_back(std::make_unique<test::ScratchDirectory>());
            test::ScratchDirectory& directory = *directories_.back();
            if (simulated.platformGroup == 6)
                std::filesystem::create_directory(directory.path() / "talmo");
            if (simulated.platformGroup == 1)
                directory.write("autoexec.bat",
                                "PROMPT $P$G\r\nC:\\T7000\\KBD8X8.COM\r\nC:\\T7000\\TCL.EXE\r\n");
            directory.write(simulated.keyboardFile, defaultFileOfGroup(simulated.platformGroup));
            test::TerminalSetup terminal;
            terminal.ipv4 = address(index) + "/24";
            terminal.terminalSection = {{"serial_number", simulated.serialNumber},
                                        {"product", simulated.product},
                                        {"kind", "PZE"},
                                        {"firmware_version", "6.20"},
                                        {"security_id", "A1B2C3D4"},
                                        {"maintenance_group", "4711"},
                                        {"eeprom_keyboard", simulated.matrixKeyboard},
                                        {"eeprom_display", "7"}};
            terminal.tftpSection = {{"directory", directory.path().string()}};
            if (index == 3) {
                terminal.tftpSection["refused_writes"] = "3";
                terminal.faultsSection = {{"ignored_requests", "reset"}};
            }
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        directories_.clear();
        ::unsetenv("KESTRIX_TIME_SCALE");
    }

    static CliRun cli(const std::string& words) {
        return test::runCli(bed_->runDirectory(), words,
                            test::toolPath("ip") + " netns exec " + bed_->pcNamespace() +
                                " env LC_ALL= LC_MESSAGES= LANG=C");
    }
    // The layout of a file in the run directory; a file that does not load fails the test.
    static KeyMatrix matrixOf(const std::string& name) {
        KeybFile file;
        std::ifstream input(bed_->runDirectory() / name, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(input), {}};
        EXPECT_TRUE(file.setContents(bytes) && file.LoadKeybFile(bytes.size())) << name;
        return file.layout().matrix;
    }
    static void writeLayout(const std::string& name, const KeyboardLayout& layout, int platformGroup) {
        KeybFile file;
        file.layout() = layout;
        const std::size_t length = file.SaveKeybFile(platformGroup);
        std::ofstream(bed_->runDirectory() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.contents().data()),
                   static_cast<std::streamsize>(length));
    }
    static std::string fileText(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    static inline std::vector<std::unique_ptr<test::ScratchDirectory>> directories_;
};

// Fetch the layout, move a key, send it (as XML: converted for the COM and
// MAP terminals) and find it on the terminal after its restart.
TEST_F(CliKeyboardOnBed, FetchedLayoutChangedAndSentIsTheTerminalsAfterTheRestart) {
    for (std::size_t index = 0; index < 3; ++index) {
        const SimulatedTerminal& simulated = kTerminals[index];
        SCOPED_TRACE(simulated.product);
        const std::string before = std::string("before-") + simulated.serialNumber;
        const CliRun get = cli("--group 4711 keyboard get " + address(index) + " " + before);
        ASSERT_EQ(get.exitCode, 0) << get.errors;
        EXPECT_EQ(fileText(bed_->runDirectory() / before),
                  fileText(directories_[index]->path() / simulated.keyboardFile));

        KeyboardLayout changed = defaultKeyboardLayout();
        changed.matrix = matrixOf(before);
        EXPECT_EQ(changed.matrix, defaultKeyboardLayout().matrix);
        changed.matrix[7][0] = changed.matrix[0][0]; // BACKSPACE into the top left corner
        changed.matrix[0][0] = kNoKey;
        writeLayout("changed.xml", changed, -1);
        const CliRun put = cli("--group 4711 keyboard put " + address(index) + " changed.xml");
        EXPECT_EQ(put.exitCode, 0) << put.errors;
        EXPECT_EQ(put.output, "Keyboard file installed.\n");
        const std::string warning =
            "kestrix-cli: warning: changed.xml is an XML file; the terminal takes the " +
            std::string(simulated.platformGroup == 1 ? "COM" : "MAP") +
            " form, into which it is converted (a validate element is dropped)\n";
        EXPECT_EQ(put.errors, simulated.platformGroup == 6 ? "" : warning);

        const std::string after = std::string("after-") + simulated.serialNumber;
        ASSERT_EQ(cli("--group 4711 keyboard get " + address(index) + " " + after).exitCode, 0);
        EXPECT_EQ(matrixOf(after), changed.matrix);
    }
}

// 100304 has no matrix keyboard, refuses the first three writes and ignores "reset".
TEST_F(CliKeyboardOnBed, WithoutMatrixKeyboardOnlyForcedAndAFailedResetSaysTheFileWasSent) {
    KeyboardLayout changed = defaultKeyboardLayout();
    changed.matrix[4][4] = changed.matrix[3][0];
    writeLayout("changed.map", changed, 3);
    const std::string put = "--group 4711 keyboard put " + address(3) + " changed.map";
    const std::string failure = "kestrix-cli: terminal " + address(3) + ": ";
    const CliRun refused = cli(put);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errors, failure +
                                  "The terminal has no matrix touch keyboard that can be changed. --force "
                                  "sends the file all the same.\n");
    // Three attempts, each refused.
    const CliRun notSent = cli(put + " --force --no-reset");
    EXPECT_EQ(notSent.exitCode, 1);
    EXPECT_EQ(notSent.errors,
              failure + "Cannot send keyboard file to terminal. Make sure TFTP is not blocked.\n");
    const std::string log = fileText(bed_->logFile(3));
    std::size_t refusals = 0;
    for (std::size_t at = log.find("ERROR 3 '"); at != std::string::npos; at = log.find("ERROR 3 '", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 3u) << log;
    const CliRun noReset = cli(put + " --force");
    EXPECT_EQ(noReset.exitCode, 1);
    EXPECT_EQ(noReset.errors, failure + "Reset not executed. Keyboard file sent.\n");
    // Not restarted: the terminal still serves the layout it started with.
    ASSERT_EQ(cli("--group 4711 keyboard get " + address(3) + " held.map").exitCode, 0);
    EXPECT_EQ(matrixOf("held.map"), defaultKeyboardLayout().matrix);
}

TEST_F(CliKeyboardOnBed, RefusesAFileTheEditorRefusesBeforeAskingTheTerminal) {
    std::ofstream(bed_->runDirectory() / "short.bin") << "neither XML nor 128 or 741 bytes";
    std::ofstream(bed_->runDirectory() / "long.bin") << std::string(kKeybBufferSize + 1, 'x');
    for (const auto& [file, message] : {std::pair{"short.bin", "Unknown format of keyboard file."},
                                        std::pair{"long.bin", "Wrong size of keyboard file."},
                                        std::pair{"missing.xml", "Cannot open keyboard file."}}) {
        const CliRun put = cli("--group 4711 keyboard put 10.77.0.99 " + std::string(file));
        EXPECT_EQ(put.exitCode, 1);
        EXPECT_EQ(put.errors, "kestrix-cli: " + std::string(file) + ": " + message + "\n");
    }
}

} // namespace
} // namespace kestrix
