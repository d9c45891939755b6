#include "firmware/folder_entries.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kestrix {

std::vector<std::string> folderEntries(const std::string& folder, FolderEntryType type) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code typeError;
        const bool isFolder = entry->is_directory(typeError);
        if (!typeError && isFolder == (type == FolderEntryType::Folder))
            names.push_back(entry->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kestrix
