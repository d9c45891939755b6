// Firmware files written to the simulated terminal under the names a
// firmware update gives them: stored, a monitor file restarts a terminal of
// platform group 3 by itself (not one of group 6), and after the next reset
// the terminal reports the TCL file's version, or the configured one where
// no reader knows its files. The first write is refused (refused_writes).
#include "settings_files/ini_data.h"
#include "sim/firmware_files.h"
#include "sim/tftp/tftp_server.h"
#include "support/scratch_directory.h"
#include "tftp/tftp_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrix::sim {
namespace {

using namespace std::chrono_literals;

const bool kTimeScaleSet = setenv("KESTRIX_TIME_SCALE", "0.01", 0) == 0;

// A file with text at the given offsets, zero bytes elsewhere.
std::string fileWith(std::size_t length, const std::vector<std::pair<std::size_t, std::string>>& parts) {
    std::string file(length, '\0');
    for (const auto& [offset, text] : parts)
        file.replace(offset, text.size(), text);
    return file;
}

// A TALMO 7450 monitor of version 2.10 and TCL of version 6.20, as the
// terminal's readers know them (the version's place as a big-endian number).
const std::string kMonitor7450 =
    fileWith(300, {{224, "TALMO 7450"}, {236, std::string("\0\0\x01\x00", 4)}, {256, "2.10"}});
const std::string kTcl7450 =
    fileWith(100, {{4, "TALMO 7450"}, {16, std::string("\0\x10\0\x40", 4)}, {64, "6.20"}});

struct NoInterface : InterfaceAddress {
    void replaceIPv4(const std::string&, const Ipv4Settings&, const Ipv4Settings&) override {}
};

TEST(SimFirmware, FilesStoredMonitorRestartsAndVersionAfterReset) {
    ASSERT_TRUE(kTimeScaleSet);
    struct Row {
        std::string product, drive, versionAfterUpdate;
        bool restartsAfterMonitor;
        std::string versionAfterReset;
    } rows[] = {
        {"TALMO 7450", "C@\\t7000\\", "", true, "6.20"},
        {"TALMO 7460", "", "7.01", false, "7.01"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.product);
        IniData ini;
        for (const auto& [key, value] : {std::pair{"serial_number", "100101"},
                                         {"product", row.product.c_str()},
                                         {"authentication", "none"},
                                         {"reboot_ms", "30000"}, // 300 ms at this scale
                                         {"firmware_version_after_update", row.versionAfterUpdate.c_str()}})
            ini.setValue("terminal", key, value);
        NoInterface network;
        Responder terminal(readTerminalConfig(ini), network);
        const test::ScratchDirectory files;
        FirmwareFiles firmware(terminal);
        TftpServerOptions options;
        options.directory = files.path();
        options.serialNumber = "100101";
        options.port = 0;
        options.refusedWrites = 1;
        firmware.attachTo(options);
        TftpServer server(std::move(options));
        server.start();
        const auto send = [&](const std::string& name, const std::string& content) {
            TFTPConnection("::1", 0, 0, server.port())
                .write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(),
                       "[100101]" + row.drive + name);
        };
        const std::string identification = "TALMO|" + row.product.substr(6) + "|IP|100101|ACM|";
        const auto echo = [&terminal] {
            std::string reply = terminal
                                    .answer({reinterpret_cast<const std::uint8_t*>("echo\0"
                                                                                   "100101\0"),
                                             12},
                                            {})
                                    .value_or("(none)");
            std::replace(reply.begin(), reply.end(), '\0', '|');
            return reply.substr(0, reply.find("port="));
        };

        EXPECT_THROW(send("mon7450.bin", kMonitor7450), TFTPConnection::TFTPError) << "refused once";
        send("mon7450.bin", kMonitor7450);
        EXPECT_EQ(terminal.restarting(), row.restartsAfterMonitor);
        ASSERT_TRUE(terminal.waitUntilRunning(10s));
        send("tcl7450.bin", kTcl7450);
        send("3com\\driver.exe", "MZ");
        EXPECT_EQ(files.read("mon7450.bin"), kMonitor7450);
        EXPECT_EQ(files.read("3com/driver.exe"), "MZ");
        EXPECT_EQ(echo(), identification + "6.12|") << "the old version until the reset";
        ASSERT_TRUE(terminal.answer({reinterpret_cast<const std::uint8_t*>("reset\0"
                                                                           "100101\0"),
                                     13},
                                    {}));
        ASSERT_TRUE(terminal.waitUntilRunning(10s));
        EXPECT_EQ(echo(), identification + row.versionAfterReset + "|");
        EXPECT_EQ(terminal.state().monitorVersion, row.restartsAfterMonitor ? "2.10" : "2.05");
    }
}

} // namespace
} // namespace kestrix::sim
