#pragma once

#include <string>
#include <vector>

namespace kestrix {

enum class FolderEntryType { Folder, File };

// The names of a folder's entries of one type (links count as what they point
// to), sorted by name in byte order; none when the folder cannot be read.
// "." and ".." are never among them.
std::vector<std::string> folderEntries(const std::string& folder, FolderEntryType type);

} // namespace kestrix
