#pragma once

#include <string>
#include <system_error>

namespace kestrix {

// The start directory: the process's current directory when the program
// starts. The trace file, the settings file, the terminal list files, the help
// pages and the licence page are all taken from it, never from the directory
// of the executable.

// Reads the current directory once and keeps it for the whole run (one
// trailing slash removed). Answers false when the system cannot tell it,
// with the system's error in *error when asked for.
bool initStartDirectory(std::error_code* error = nullptr);
// The directory read by initStartDirectory(); empty before.
const std::string& startDirectory();
// A file name in the start directory.
std::string startDirectoryFile(const std::string& name);

} // namespace kestrix
