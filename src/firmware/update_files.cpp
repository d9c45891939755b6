#include "firmware/update_files.h"

#include "terminal/terminal_fields.h"

namespace kestrix {

FirmwareDepotKind depotKindOf(const TerminalFields& terminal) {
    return terminal.TclKind == tcl_kind::Server || terminal.TclKind == tcl_kind::ServerMonitor
               ? FirmwareDepotKind::Server
               : FirmwareDepotKind::TCL;
}

} // namespace kestrix
