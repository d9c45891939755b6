#include "firmware/update_files.h"

#include "terminal/terminal_fields.h"

#include <algorithm>

namespace kestrix {

FirmwareDepotKind depotKindOf(const TerminalFields& terminal) {
    return terminal.TclKind == tcl_kind::Server || terminal.TclKind == tcl_kind::ServerMonitor
               ? FirmwareDepotKind::Server
               : FirmwareDepotKind::TCL;
}

bool UpdateFileList::isMonitorFile(std::size_t index) const {
    return std::find(monitorFiles.begin(), monitorFiles.end(), index) != monitorFiles.end();
}

void UpdateFileList::removeMonitorFiles() {
    std::vector<std::string> kept;
    std::optional<std::size_t> keptDefault;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (isMonitorFile(index))
            continue;
        if (defaultProgram == index)
            keptDefault = kept.size();
        kept.push_back(std::move(files[index]));
    }
    files = std::move(kept);
    defaultProgram = keptDefault;
    monitorFiles.clear();
}

void UpdateFileList::removeDefaultProgram() {
    if (defaultProgram && *defaultProgram < files.size()) {
        const std::size_t removed = *defaultProgram;
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(removed));
        std::erase(monitorFiles, removed);
        for (std::size_t& index : monitorFiles)
            if (index > removed)
                --index;
    }
    defaultProgram.reset();
}

} // namespace kestrix
