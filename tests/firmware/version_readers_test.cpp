#include "firmware/firmware_version_readers.h"
#include "support/scratch_directory.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The firmware version readers on crafted files: each header rule, the
// version places, the terminator checks, the 7000 reader's far pointer and its
// fallback, and files that end early.

namespace kestrix {
namespace {

using test::ScratchDirectory;
using test::TraceCapture;

using Reader = std::optional<std::string> (*)(const std::string&);

// A file of the given size, zero-filled, with texts placed at offsets.
std::string image(std::size_t size, const std::vector<std::pair<std::size_t, std::string>>& pieces) {
    std::string bytes(size, '\0');
    for (const auto& [at, text] : pieces)
        bytes.replace(at, text.size(), text);
    return bytes;
}

std::string bigEndian32(std::uint32_t value) {
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string littleEndian16(std::uint16_t value) {
    return {char(value & 0xFF), char(value >> 8)};
}

const std::string v620{"6.20\0", 5};

struct ReaderCase {
    const char* title;
    Reader reader;
    std::string bytes;
    std::optional<std::string> version;
    std::string traced; // a part of the reader's last trace line
};

TEST(FirmwareVersionReaders, ReadTheVersionWhereTheHeaderSaysOrRefuseTheFile) {
    const std::string tclName = "TALMO 7450";
    const std::vector<ReaderCase> cases = {
        {"7450 TCL", init_tcl_7450_version,
         image(80, {{4, tclName}, {16, bigEndian32(0xAB100040)}, {64, v620}}), "6.20",
         "init_tcl_7450_version(): TCL 7450 Firmware '%' has Version '6.20'"},
        {"7450 TCL of another model", init_tcl_7450_version,
         image(80, {{4, "TALMO 7200"}, {16, bigEndian32(0x100040)}, {64, v620}}), std::nullopt,
         "init_tcl_7450_version(): Plausibilitäts-Fehler bei der TCL-Firmware-Datei '%'"},
        {"7450 TCL address below its load address", init_tcl_7450_version,
         image(80, {{4, tclName}, {16, bigEndian32(0x0FFFFF)}}), std::nullopt, "Plausibilitäts-Fehler"},
        {"7450 TCL without terminator", init_tcl_7450_version,
         image(80, {{4, tclName}, {16, bigEndian32(0x100040)}, {64, "6.20x"}}), std::nullopt,
         "Plausibilitäts-Fehler"},
        {"7450 TCL version beyond the end", init_tcl_7450_version,
         image(66, {{4, tclName}, {16, bigEndian32(0x100040)}, {64, "6."}}), std::nullopt,
         "init_tcl_7450_version(): I/O-Fehler (read failed) bei der TCL-Firmware Datei '%'"},
        {"7450 TCL shorter than its header", init_tcl_7450_version, image(31, {{4, tclName}}), std::nullopt,
         "(read failed)"},
        {"7450 monitor", init_monitor_7450_version,
         image(300, {{224, tclName}, {236, bigEndian32(0xFF000100)}, {256, v620}}), "6.20",
         "init_monitor_7450_version(): MONITOR Firmware '%' has Version '6.20'"},
        {"7450 monitor without terminator", init_monitor_7450_version,
         image(300, {{224, tclName}, {236, bigEndian32(256)}, {256, "6.20x"}}), std::nullopt,
         "init_monitor_7450_version(): Plausibilitäts-Fehler bei der MONITOR-Firmware-Datei '%'"},
        {"7200 TCL", init_tcl_7200_version,
         image(80, {{2, littleEndian16(0xAA55)},
                    {6, littleEndian16(0x8001)},
                    {16, littleEndian16(16)},
                    {48, v620}}),
         "6.20", "init_tcl_7200_version(): TCL 7200 Firmware '%' has Version '6.20'"},
        {"7200 TCL segment below 0x8000", init_tcl_7200_version,
         image(80, {{2, littleEndian16(0xAA55)},
                    {6, littleEndian16(0x7FFF)},
                    {16, littleEndian16(64)},
                    {64, v620}}),
         std::nullopt, "Plausibilitäts-Fehler"},
        {"7200 TCL without signature", init_tcl_7200_version,
         image(80, {{2, littleEndian16(0x55AA)},
                    {6, littleEndian16(0x8000)},
                    {16, littleEndian16(48)},
                    {64, v620}}),
         std::nullopt, "Plausibilitäts-Fehler"},
        {"7200 monitor, terminator not checked", init_monitor_7200_version,
         image(40, {{2, "TALMO 7200"}, {12, littleEndian16(32)}, {32, "1.50x"}}), "1.50",
         "init_monitor_7200_version(): MONITOR Firmware '%' has Version '1.50'"},
        {"7200 monitor of another model", init_monitor_7200_version,
         image(40, {{2, "TALMO 9300"}, {12, littleEndian16(32)}, {32, v620}}), std::nullopt,
         "init_monitor_7200_version(): Plausibilitäts-Fehler bei der MONITOR-Firmware-Datei"},
        {"9300 monitor behind 64 KiB", init_monitor_9300_version,
         image(0x10040, {{0x10002, "TALMO 9300"}, {0x1000C, littleEndian16(32)}, {0x10020, "3.00"}}), "3.00",
         "init_monitor_9300_version(): MONITOR Firmware '%' has Version '3.00'"},
        {"9300 monitor with its header at the start", init_monitor_9300_version,
         image(0x40, {{2, "TALMO 9300"}, {12, littleEndian16(32)}, {32, "3.00"}}), std::nullopt,
         "init_monitor_9300_version(): I/O-Fehler (read failed) bei der MONITOR-Firmware Datei"},
        {"7000 TCL", init_tcl_7000_version,
         image(80,
               {{0, "MZ"}, {8, littleEndian16(2)}, {32, littleEndian16(4) + littleEndian16(1)}, {52, v620}}),
         "6.20", "init_tcl_7000_version(): TCL 7000 Firmware '%' has Version '6.20' (res=0)"},
        {"7000 TCL marked ZM", init_tcl_7000_version,
         image(80, {{0, "ZM"}, {8, littleEndian16(2)}, {32, littleEndian16(16)}, {48, v620}}), "6.20",
         "(res=0)"},
        {"7000 TCL without readable pointer", init_tcl_7000_version,
         image(34, {{0, "MZ"}, {8, littleEndian16(2)}}), "5.01",
         "init_tcl_7000_version(): TCL 7000 Firmware '%' has Version '5.01' (res=-1)"},
        {"7000 TCL pointing beyond the end", init_tcl_7000_version,
         image(40, {{0, "MZ"}, {8, littleEndian16(2)}, {32, littleEndian16(0) + littleEndian16(0x100)}}),
         "5.01", "(res=-2)"},
        {"7000 TCL version without dot", init_tcl_7000_version,
         image(
             80,
             {{0, "MZ"}, {8, littleEndian16(2)}, {32, littleEndian16(16)}, {48, std::string("620\0\0", 5)}}),
         "5.01", "(res=-3)"},
        {"7000 TCL that is no executable", init_tcl_7000_version, image(80, {{0, "PK"}}), std::nullopt,
         "init_tcl_7000_version(): % not an .EXE file"},
        {"7000 TCL shorter than the executable header", init_tcl_7000_version, image(27, {{0, "MZ"}}),
         std::nullopt, "init_tcl_7000_version(): I/O-Fehler (read failed) bei der TCL-Firmware Datei"},
    };
    ScratchDirectory directory;
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.title);
        directory.write("firmware.bin", c.bytes);
        const std::string path = directory.file("firmware.bin");
        TraceCapture trace;
        EXPECT_EQ(c.reader(path), c.version);
        std::string traced = c.traced;
        if (const auto mark = traced.find('%'); mark != std::string::npos)
            traced.replace(mark, 1, path);
        EXPECT_TRUE(trace.contains(traced)) << trace.text();
    }
}

TEST(FirmwareVersionReaders, AMissingFileIsAnOpenFailure) {
    TraceCapture trace;
    EXPECT_EQ(init_monitor_9300_version("/nonexistent/monitor.bin"), std::nullopt);
    EXPECT_EQ(init_tcl_7000_version("/nonexistent/tcl.exe"), std::nullopt);
    EXPECT_TRUE(
        trace.contains("init_monitor_9300_version(): I/O-Fehler (open failed) bei der MONITOR-Firmware Datei "
                       "'/nonexistent/monitor.bin'\n"));
    EXPECT_TRUE(trace.contains("init_tcl_7000_version(): I/O-Fehler (open failed) bei der TCL-Firmware Datei "
                               "'/nonexistent/tcl.exe'\n"));
}

TEST(FirmwareVersionReaders, VersionKeysAreTracedAndShortTextsGiveTheEmptyKey) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1.06", "1_06~"}, {"5a50", "5_50a"}, {"6.21-beta", "6_21~"}, {"1.", ""}, {"", ""}};
    for (const auto& [version, key] : cases) {
        TraceCapture trace;
        EXPECT_EQ(BuildSortMonitorVersion(version), key) << version;
        EXPECT_EQ(trace.text(), "BuildSortMonitorVersion(): " + key + "\n");
    }
}

} // namespace
} // namespace kestrix
