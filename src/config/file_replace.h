#pragma once

// Replacing a local file by new contents without ever leaving it half
// written: the bytes go into a new file beside it, which takes its place
// only once it is complete and on disk.
#include <cstdint>
#include <span>
#include <string>

namespace kestrix {

enum class ReplaceOutcome {
    Replaced,
    CannotCreate, // no new file could be made beside the path (no such folder, no right)
    WriteFailed,  // writing or putting it in place failed; the old file is as it was
};

// Writes the bytes as the file at path (made with the umask's rights when it
// is new). On failure the new file is removed again and an existing file at
// path is untouched.
ReplaceOutcome replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace kestrix
