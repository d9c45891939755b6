#include "firmware/pcmcia_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fnmatch.h>
#include <system_error>

namespace kestrix {

namespace {

bool sameWithoutCase(const std::string& left, const std::string& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

enum class EntryType { Folder, File };

// The names of a folder's entries of one type, sorted ("." and ".." are never among them).
std::vector<std::string> entryNames(const std::string& directory, EntryType type) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code typeError;
        const bool isFolder = entry->is_directory(typeError);
        if (!typeError && isFolder == (type == EntryType::Folder))
            names.push_back(entry->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

PcmciaFiles pcmciaFiles(const std::string& depotRoot, const std::string& netDriver,
                        const std::string& readerDriver) {
    const std::string pcmcia = depotRoot + "/pcmcia";
    const std::vector<std::string> folders = entryNames(pcmcia, EntryType::Folder);
    auto folder = std::find(folders.begin(), folders.end(), netDriver);
    if (folder == folders.end())
        folder = std::find_if(folders.begin(), folders.end(),
                              [&](const std::string& name) { return sameWithoutCase(name, netDriver); });
    PcmciaFiles result;
    result.directory = pcmcia + "/" + (folder == folders.end() ? netDriver : *folder) + "/";
    if (folder == folders.end())
        return result;
    const bool byReaderDriver = sameWithoutCase(netDriver, "lsp");
    for (const std::string& name : entryNames(result.directory, EntryType::File))
        if (!byReaderDriver || fnmatch(readerDriver.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            result.files.push_back(result.directory + name);
    return result;
}

} // namespace kestrix
