#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "sim/tftp/tftp_server.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

// getAutoexec against the simulated terminal's TFTP server on loopback port
// 69, in a network namespace of its own.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::TraceCapture;

class Autoexec : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() / ("kestrix-autoexec-" + std::to_string(getpid()));
        fs::create_directories(directory_);
        sim::TftpServerOptions options;
        options.directory = directory_;
        options.serialNumber = "100200";
        server_ = std::make_unique<sim::TftpServer>(options);
        server_->start();
        engine_ = &T7000ip::getT7000ip(&language_);
    }
    void TearDown() override {
        T7000ip::releaseT7000ip();
        server_.reset();
        fs::remove_all(directory_);
    }
    void writeAutoexec(const std::string& text) { std::ofstream(directory_ / "autoexec.bat", std::ios::binary) << text; }
    std::unique_ptr<Terminal> terminal(int platformGroup) {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.PlatformGroup = platformGroup;
        fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
        return std::make_unique<Terminal>(*engine_, fields);
    }
    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip* engine_ = nullptr;
    fs::path directory_;
    std::unique_ptr<sim::TftpServer> server_;
};

TEST_F(Autoexec, EntriesOfTheStartUpFile) {
    struct Case {
        const char* text;
        const char* keyboard;
        const char* net;
        const char* reader;
    } cases[] = {
        // The DCU8's LED program is skipped; the keyboard driver is taken with its line.
        {"@ECHO OFF\r\nC:\\T7000\\LEDDCU8.EXE\r\nC:\\T7000\\KBD102.COM /X\r\n", "KBD102.COM /X", "", ""},
        {"C:\\T7000\\WAVELAN\\WVLAN.EXE\r\n", "", "wavelan", ""},
        {"C:\\T7000\\LSP\\LSPDRV.EXE\r\nREM\r\n", "", "lsp", "lspdrv.exe"},
        // Only the first entry that is not the LED program is evaluated.
        {"C:\\T7000\\KBD1.COM\r\nC:\\T7000\\WAVELAN\\X.EXE\r\n", "KBD1.COM", "", ""},
        {"C:\\T7000\\WAVELAN\\X.EXE\r\nC:\\T7000\\KBD1.COM\r\n", "", "wavelan", ""},
        {"nothing of ours\r\n", "", "", ""},
    };
    for (const auto& c : cases) {
        writeAutoexec(c.text);
        auto record = terminal(1);
        EXPECT_TRUE(record->getAutoexec()) << c.text;
        EXPECT_EQ(record->KeyboardFile, c.keyboard) << c.text;
        EXPECT_EQ(record->NetDriver, c.net) << c.text;
        EXPECT_EQ(record->ReaderDriver, c.reader) << c.text;
    }
}

TEST_F(Autoexec, OtherPlatformsAndFailedReadsGiveFalseOnceAndTrueLater) {
    writeAutoexec("C:\\T7000\\KBD102.COM\r\n");
    auto other = terminal(6);
    other->KeyboardFile = "stale";
    EXPECT_FALSE(other->getAutoexec());
    EXPECT_EQ(other->KeyboardFile, "");
    EXPECT_TRUE(other->getAutoexec()); // known now

    fs::remove(directory_ / "autoexec.bat");
    auto missing = terminal(1);
    TraceCapture trace;
    EXPECT_FALSE(missing->getAutoexec());
    EXPECT_TRUE(trace.contains("getAutoexec(): TFTP Read Error: ID="));
    EXPECT_TRUE(trace.contains("getAutoexec(): Ok, KEYBName: '', PCMCIAName: '', PCMCIAFile: ''\n"));
    EXPECT_TRUE(missing->getAutoexec());

    // A file longer than the 1024-byte buffer is a read error.
    writeAutoexec("C:\\T7000\\KBD102.COM\r\n" + std::string(1100, 'x'));
    auto tooLong = terminal(1);
    EXPECT_FALSE(tooLong->getAutoexec());
    EXPECT_EQ(tooLong->KeyboardFile, "");
}

} // namespace
} // namespace kestrix
