#pragma once

#include "sim/responder.h"
#include "sim/tftp/tftp_server_options.h"

namespace kestrix::sim {

// The terminal's platform group by its model word ("7450" -> 3), as the
// terminal knows its own hardware; 0 for a model it does not know.
int platformGroupOf(const TerminalConfig& config);

// What a terminal makes of the files a firmware update writes to it. The
// TFTP server stores them under their remote names like any other file
// ("[SN]C@\t7000\tcl.exe" as tcl.exe, a PCMCIA driver in its subfolder); this
// looks at each stored file at the top level of the directory (talmo.cfg
// aside) with the version readers of the terminal's platform group:
// - a monitor file (platform groups 2, 3 and 5), or on group 2 the file named
//   bios_file: the terminal restarts by itself once the file is stored, and
//   reports the monitor file's version from that restart on;
// - a TCL file: its version is the firmware version from the next restart on;
// - any other file, while no TCL file was recognised since the last restart:
//   firmware_version_after_update (when configured) from the next restart on,
//   for the platform groups and depots whose TCL files no reader knows.
// It flashes nothing and checks nothing beyond the readers' headers.
class FirmwareFiles {
public:
    explicit FirmwareFiles(Responder& responder);

    // Adds to onWriteAccepted (what was set before runs first); this object
    // must outlive the server.
    void attachTo(TftpServerOptions& options);

    void takeWrite(const AcceptedWrite& write);

private:
    Responder& responder_;
    const int platformGroup_;
};

} // namespace kestrix::sim
