#include "firmware/firmware_remote_name.h"
#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(FirmwareRemoteName, NamesOnTheTerminal) {
    const std::string depot = "/opt/pcmcia-tools/FirmwareDir";
    struct Row {
        int platformGroup;
        std::string path;
        std::string expected;
    };
    const Row rows[] = {
        {3, depot + "/TCL/V6.20/tcl7450.bin", "[A123]C@\\t7000\\tcl7450.bin"},
        {7, depot + "/TCL/V6.20/rootfs.img", "[A123]rootfs.img"},
        {3, depot + "/TCL/V6.20/deutsch.tcl", "[A123]C@\\t7000\\talmo.tcl"},
        {3, depot + "/TCL/V6.20/sprache.txt", "[A123]C@\\t7000\\talmo.txt"},
        {3, depot + "/TCL/V6.20/demo.tcl.txt", "[A123]C@\\t7000\\talmo.tcl"}, // the TCL rule comes first
        {1, depot + "/TCL/V5.01/tcl.bin", "[A123]C@\\t7000\\tcl.exe"},
        {1, depot + "/TCL/V5.01/mytcl.bin", "[A123]C@\\t7000\\mytcl.bin"},
        {1, depot + "/TCL/V5.01/autoexec.bat", "[A123]C@\\autoexec.bat"},
        // The driver folder stays part of the name, in the terminal's form.
        {1, depot + "/pcmcia/lsp/lsp.sys", "[A123]C@\\t7000\\lsp\\lsp.sys"},
        {1, depot + "/pcmcia/wavelan/autoexec.bat", "[A123]C@\\t7000\\wavelan\\autoexec.bat"},
        // Only the path below the depot counts for "pcmcia".
        {1, "/srv/pcmcia/extra.dat", "[A123]C@\\t7000\\extra.dat"},
        {1, depot + "/TCL/V5.01/net.cfg", "[A123]C@\\t7000\\net.cfg"},
    };
    for (const Row& row : rows) {
        TerminalFields terminal;
        terminal.SerialNumber = "A123";
        terminal.PlatformGroup = row.platformGroup;
        EXPECT_EQ(remoteFileName(row.path, depot, terminal), row.expected) << row.path;
        EXPECT_EQ(remoteFileName(row.path, depot + "/", terminal), row.expected) << row.path;
    }
}

} // namespace
} // namespace kestrix
