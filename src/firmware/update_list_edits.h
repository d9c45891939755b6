#pragma once

#include "firmware/update_files.h"

#include <cstddef>

namespace kestrix {

// The two ways a per-terminal update shortens its file list. Both keep the
// index of the default-program file in step with the list.

// Drops the first files (the monitor and BIOS files that are not replaced);
// at most as many as the list holds.
void dropLeadingFiles(UpdateFileList& list, std::size_t count);

// Drops the default-program file, and only that one, when the list holds it
// (the last entry may be the language or the TCL file instead).
void dropDefaultProgramFile(UpdateFileList& list);

} // namespace kestrix
