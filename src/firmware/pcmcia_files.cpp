#include "firmware/pcmcia_files.h"

#include "firmware/folder_entries.h"

#include <algorithm>
#include <fnmatch.h>
#include <strings.h>

namespace kestrix {

PcmciaFiles pcmciaFiles(const std::string& depotRoot, const std::string& netDriver,
                        const std::string& readerDriver) {
    const std::string pcmcia = depotRoot + "/pcmcia";
    const std::vector<std::string> folders = folderEntries(pcmcia, FolderEntryType::Folder);
    auto folder = std::find(folders.begin(), folders.end(), netDriver);
    if (folder == folders.end())
        folder = std::find_if(folders.begin(), folders.end(), [&](const std::string& name) {
            return strcasecmp(name.c_str(), netDriver.c_str()) == 0;
        });
    PcmciaFiles result;
    result.directory = pcmcia + "/" + (folder == folders.end() ? netDriver : *folder) + "/";
    if (folder == folders.end())
        return result;
    const bool byReaderDriver = strcasecmp(netDriver.c_str(), "lsp") == 0;
    for (const std::string& name : folderEntries(result.directory, FolderEntryType::File))
        if (!byReaderDriver || fnmatch(readerDriver.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            result.files.push_back(result.directory + name);
    return result;
}

} // namespace kestrix
