#pragma once

#include <string>
#include <vector>

namespace kestrix {

// A terminal's PCMCIA software in the depot.
struct PcmciaFiles {
    // depot root + "/pcmcia/" + the driver's folder + "/"
    std::string directory;
    // The files to send, directory + name, sorted by name.
    std::vector<std::string> files;
};

// The PCMCIA files for a terminal's drivers. The driver's folder is the folder
// below depot root + "/pcmcia" whose name equals the network driver name
// without regard to case (the terminal reports its drivers in lower case; a
// folder of exactly that name is preferred). For the network driver "lsp" the
// files matching the reader driver name (a pattern with "*" and "?", compared
// without regard to case) are taken, for every other driver all files; folders
// are left out. A driver without a folder gives no files (the directory then
// names the driver as given): a driver name from a terminal never leads out of
// the "pcmcia" folder.
PcmciaFiles pcmciaFiles(const std::string& depotRoot, const std::string& netDriver,
                        const std::string& readerDriver);

} // namespace kestrix
