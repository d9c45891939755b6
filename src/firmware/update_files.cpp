#include "firmware/update_files.h"

#include "terminal/terminal_fields.h"

#include <algorithm>

namespace kestrix {

FirmwareDepotKind depotKindOf(const TerminalFields& terminal) {
    return terminal.TclKind == tcl_kind::Server || terminal.TclKind == tcl_kind::ServerMonitor
               ? FirmwareDepotKind::Server
               : FirmwareDepotKind::TCL;
}

void UpdateFileList::removeLeadingFiles(std::size_t count) {
    count = std::min(count, files.size());
    files.erase(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(count));
    if (defaultProgram) {
        if (*defaultProgram < count)
            defaultProgram.reset();
        else
            *defaultProgram -= count;
    }
}

void UpdateFileList::removeDefaultProgram() {
    if (defaultProgram && *defaultProgram < files.size())
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(*defaultProgram));
    defaultProgram.reset();
}

} // namespace kestrix
