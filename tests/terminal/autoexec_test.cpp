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

TEST(Autoexec, EntriesOfTheStartUpFileAndFailedReads) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-autoexec-" + std::to_string(getpid()));
    fs::create_directories(directory);
    sim::TftpServerOptions options;
    options.directory = directory;
    options.serialNumber = "100200";
    sim::TftpServer server(options);
    server.start();
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    const auto record = [&](int platformGroup) {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.PlatformGroup = platformGroup;
        fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
        return std::make_unique<Terminal>(engine, fields);
    };
    const auto write = [&](const std::string& text) {
        std::ofstream(directory / "autoexec.bat", std::ios::binary) << text;
    };
    struct Case {
        std::string text;
        const char* found; // keyboard file, net driver, reader driver
    } cases[] = {
        // The DCU8's LED program is skipped; the keyboard driver is taken with its line.
        {"@ECHO OFF\r\nC:\\T7000\\LEDDCU8.EXE\r\nC:\\T7000\\KBD102.COM /X\r\n", "KBD102.COM /X||"},
        {"C:\\T7000\\WAVELAN\\WVLAN.EXE\r\n", "|wavelan|"},
        {"C:\\T7000\\LSP\\LSPDRV.EXE\r\nREM\r\n", "|lsp|lspdrv.exe"},
        // Only the first entry that is not the LED program is evaluated.
        {"C:\\T7000\\KBD1.COM\r\nC:\\T7000\\WAVELAN\\X.EXE\r\n", "KBD1.COM||"},
        {"C:\\T7000\\WAVELAN\\X.EXE\r\nC:\\T7000\\KBD1.COM\r\n", "|wavelan|"},
        {"nothing of ours\r\n", "||"},
        // Longer than the 1024-byte buffer: a read error.
        {"C:\\T7000\\KBD102.COM\r\n" + std::string(1100, 'x'), ""},
    };
    for (const Case& c : cases) {
        write(c.text);
        auto terminal = record(1);
        EXPECT_EQ(terminal->getAutoexec(), *c.found != '\0') << c.text;
        EXPECT_EQ(terminal->KeyboardFile + "|" + terminal->NetDriver + "|" + terminal->ReaderDriver,
                  *c.found ? c.found : "||")
            << c.text;
    }

    // Other platforms have none; a failed read, too, is not tried again.
    write("C:\\T7000\\KBD102.COM\r\n");
    auto other = record(6);
    other->KeyboardFile = "stale";
    EXPECT_FALSE(other->getAutoexec());
    EXPECT_EQ(other->KeyboardFile, "");
    EXPECT_TRUE(other->getAutoexec());
    fs::remove(directory / "autoexec.bat");
    auto missing = record(1);
    test::TraceCapture trace;
    EXPECT_FALSE(missing->getAutoexec());
    EXPECT_TRUE(trace.contains("getAutoexec(): TFTP Read Error: ID="));
    EXPECT_TRUE(missing->getAutoexec());

    other.reset();
    missing.reset();
    T7000ip::releaseT7000ip();
    fs::remove_all(directory);
}

} // namespace
} // namespace kestrix
